#include "fill/formats/xcstrings.h"

#include <map>

#include <QCollator>
#include <QHash>
#include <QLocale>
#include <QSet>

#include "fill/languages.h"
#include "service/text/placeholdergrammar.h"

using namespace Qt::StringLiterals;

namespace tarnix::fill {

using json::NewMember;
using json::Node;

bool xcodeOrdersBefore(const QString &a, const QString &b)
{
    static const QCollator collator = [] {
        QCollator c(QLocale(QLocale::English));
        c.setNumericMode(true); // case tells only between otherwise equal keys, lower case first
        return c;
    }();
    const int order = collator.compare(a, b);
    return order != 0 ? order < 0 : a < b;
}

namespace {

const Node *path(const Node *node, std::initializer_list<QString> names)
{
    for (const QString &name : names) {
        if (!node || !node->isObject())
            return nullptr;
        node = node->member(name);
    }
    return node;
}

QString textAt(const Node *node, std::initializer_list<QString> names)
{
    const Node *found = path(node, names);
    return found && found->isString() ? found->text : QString();
}

// A unit's translation: none while Xcode's "new" state says it holds the
// source text as a stand-in.
QString translationOf(const Node *stringUnit)
{
    return textAt(stringUnit, {u"state"_s}) == u"new"_s ? QString() : textAt(stringUnit, {u"value"_s});
}

// Whether a unit's translation waits for a person: filled by a machine
// ("needs_review"), or of an older source text (Xcode's "stale").
bool awaitsReview(const Node *stringUnit)
{
    const QString state = textAt(stringUnit, {u"state"_s});
    return state == u"needs_review"_s || state == u"stale"_s;
}

const Node *below(const Node *node, const QStringList &names)
{
    for (const QString &name : names) {
        if (!node || !node->isObject())
            return nullptr;
        node = node->member(name);
    }
    return node;
}

// One place of a localization that holds text: a unit or a plural's
// variations, named by the members that lead to it from the localization
// ("variations/device/mac", "substitutions/files"; none for its own text).
struct Slot
{
    QStringList path;
    const Node *node = nullptr;
};

// The places of a localization: its own unit or plural, each device's, and
// each substitution's; false when it varies in a way Xcode may add and
// this reader does not know (left alone).
bool collectSlots(const Node *node, const QStringList &prefix, QList<Slot> &places)
{
    if (!node || !node->isObject())
        return true;
    const Node *variations = node->member(u"variations"_s);
    const Node *devices = path(variations, {u"device"_s});
    if (variations
        && (!variations->isObject() || variations->members.size() != 1
            || !(variations->member(u"plural"_s) || (devices && devices->isObject()))))
        return false;
    if (node->member(u"stringUnit"_s) || path(variations, {u"plural"_s}))
        places.append({prefix, node});
    for (const Node &device : devices ? devices->members : QList<Node>()) {
        if (!collectSlots(&device, prefix + QStringList {u"variations"_s, u"device"_s, device.key}, places))
            return false;
    }
    const Node *substitutions = node->member(u"substitutions"_s);
    for (const Node &substitution :
        substitutions && substitutions->isObject() ? substitutions->members : QList<Node>()) {
        if (!collectSlots(&substitution, prefix + QStringList {u"substitutions"_s, substitution.key}, places))
            return false;
    }
    return true;
}

// What the engine is told of a slot besides the key's comment.
QString slotNote(const QStringList &slotPath, const Node *localization)
{
    if (slotPath.size() >= 2 && slotPath[slotPath.size() - 2] == u"substitutions"_s)
        return u"The words that replace %#@%1@ in: %2"_s.arg(
            slotPath.last(), textAt(localization, {u"stringUnit"_s, u"value"_s}));
    if (slotPath.size() >= 2 && slotPath[slotPath.size() - 2] == u"device"_s)
        return u"The text shown on the device \"%1\"."_s.arg(slotPath.last());
    return {};
}

NewMember stringUnit(const QString &value)
{
    return {u"stringUnit"_s, {}, {},
        {{u"state"_s, u"needs_review"_s, {}, {}, false, false}, {u"value"_s, value, {}, {}, false, false}}, true,
        false};
}

NewMember object(const QString &key, const QList<NewMember> &members)
{
    return {key, {}, {}, members, true, false};
}

// The edits that make `object` hold `member`: a string replaces the one of
// its name, an object's members go into the one of its name, and what the
// object lacks goes in Xcode's order among its members.
class Placer
{
public:
    explicit Placer(const json::Document &doc)
        : doc(doc)
    { }

    void place(const Node &object, const NewMember &member)
    {
        const Node *there = object.member(member.key);
        if (there && member.object && there->isObject()) {
            for (const NewMember &inner : member.members)
                place(*there, inner);
            return;
        }
        if (there) {
            const QByteArray key = json::quoted(member.key, doc) + doc.colon;
            const QByteArray indent = lineIndent(there->keyStart);
            edits.append({there->start, there->end, json::written(member, indent, doc).mid(key.size())});
            return;
        }
        int after = -1;
        for (int i = 0; i < object.members.size(); ++i) {
            if (xcodeOrdersBefore(object.members[i].key, member.key))
                after = i;
        }
        merge(added[{&object, after}], member);
    }

    QList<json::Edit> done()
    {
        for (auto &[where, members] : added) {
            sortMembers(members);
            edits.append(json::insertionEdit({where.first, where.second, members}, doc));
        }
        return edits;
    }

private:
    // Several fills of one key and language (a text and its substitutions)
    // add to one new object.
    static void merge(QList<NewMember> &members, const NewMember &member)
    {
        for (NewMember &there : members) {
            if (there.key == member.key && there.object && member.object) {
                for (const NewMember &inner : member.members)
                    merge(there.members, inner);
                return;
            }
        }
        members.append(member);
    }

    // New objects are written whole, in Xcode's order of their members.
    static void sortMembers(QList<NewMember> &members)
    {
        std::stable_sort(members.begin(), members.end(),
            [](const NewMember &a, const NewMember &b) { return xcodeOrdersBefore(a.key, b.key); });
        for (NewMember &member : members)
            sortMembers(member.members);
    }

    QByteArray lineIndent(qsizetype offset) const
    {
        const qsizetype start = doc.bytes.lastIndexOf('\n', offset - 1) + 1;
        qsizetype end = start;
        while (end < offset && (doc.bytes[end] == ' ' || doc.bytes[end] == '\t'))
            ++end;
        return doc.bytes.mid(start, end - start);
    }

    const json::Document &doc;
    QList<json::Edit> edits;
    std::map<std::pair<const Node *, int>, QList<NewMember>> added;
};

} // namespace

namespace {

// A catalog read for one language holds its source's and that language's
// units alone: a file of twenty languages is read at a tenth of its size.
// The source language is known when "sourceLanguage" comes before
// "strings", as Xcode writes it; else every language is read.
json::Pruning pruning(const json::Document &doc, const QString &language)
{
    if (language.isEmpty())
        return {};
    return {u"localizations"_s, 3, [&doc, language](const QString &key) {
                const Node *source = doc.root.member(u"sourceLanguage"_s);
                return !source || key == language || key == source->text;
            }};
}

// The languages of a catalog's keys other than its source, in Xcode's order.
QStringList targetLanguages(const Node &root, const QString &source)
{
    QStringList languages;
    const Node *strings = root.member(u"strings"_s);
    for (const Node &unit : strings && strings->isObject() ? strings->members : QList<Node>()) {
        const Node *localizations = path(&unit, {u"localizations"_s});
        for (const Node &language :
            localizations && localizations->isObject() ? localizations->members : QList<Node>()) {
            if (language.key != source && !languages.contains(language.key))
                languages.append(language.key);
        }
    }
    std::sort(languages.begin(), languages.end(), xcodeOrdersBefore);
    return languages;
}

QString sourceLanguageOf(const Node &root)
{
    const QString named = textAt(&root, {u"sourceLanguage"_s});
    return named.isEmpty() ? u"en"_s : named;
}

bool hasWords(const QString &text)
{
    qsizetype from = 0;
    for (const service::Placeholder &p : service::findPlaceholders(text)) {
        if (std::any_of(text.begin() + from, text.begin() + p.start, [](QChar c) { return c.isLetter(); }))
            return true;
        from = p.start + p.length;
    }
    return std::any_of(text.begin() + from, text.end(), [](QChar c) { return c.isLetter(); });
}

// A key's entry in one language from its source and target localizations;
// false when the target holds something else than the source's shape (a
// person's choice, left alone).
bool readEntry(const Node &unit, const Node *source, const Node *target, const QStringList &categories, Entry &entry)
{
    entry.notes.prepend(textAt(&unit, {u"comment"_s}));
    const Node *sourcePlural = path(source, {u"variations"_s, u"plural"_s});
    if (!sourcePlural) {
        const Node *sourceUnit = path(source, {u"stringUnit"_s});
        entry.source = sourceUnit ? textAt(sourceUnit, {u"value"_s}) : unit.key;
        const Node *targetUnit = path(target, {u"stringUnit"_s});
        entry.translations = {translationOf(targetUnit)};
        entry.fuzzy = awaitsReview(targetUnit);
        return !path(target, {u"variations"_s});
    }
    entry.plural = true;
    entry.pluralSource = textAt(sourcePlural, {u"other"_s, u"stringUnit"_s, u"value"_s});
    entry.source = textAt(sourcePlural, {u"one"_s, u"stringUnit"_s, u"value"_s});
    if (entry.source.isEmpty())
        entry.source = entry.pluralSource;
    const Node *forms = path(target, {u"variations"_s, u"plural"_s});
    bool personWrote = false;
    for (const QString &category : categories) {
        const Node *form = path(forms, {category, u"stringUnit"_s});
        entry.translations.append(translationOf(form));
        entry.fuzzy = entry.fuzzy || awaitsReview(form);
        personWrote = personWrote || !translationOf(form).isEmpty();
    }
    // A substitution whose source is its number alone ("%arg", the noun in
    // the text around it) that a person has given words in this language
    // has been laid out anew: its missing forms are theirs to write.
    if (personWrote && !hasWords(entry.source) && !hasWords(entry.pluralSource))
        return false;
    return !path(target, {u"stringUnit"_s});
}

} // namespace

bool XcstringsFormat::read(const CatalogFiles &files, Catalog &catalog, QString &error)
{
    catalog = Catalog {};
    catalog.path = files.target;
    m_units.clear();
    m_language = files.language;
    if (!json::load(files.target, m_doc, error, pruning(m_doc, m_language)))
        return false;
    const Node *strings = path(&m_doc.root, {u"strings"_s});
    if (!strings || !strings->isObject()) {
        error = u"%1:1: not a string catalog (it has no \"strings\" object)"_s.arg(files.target);
        return false;
    }
    catalog.language = files.language;
    catalog.sourceLanguage = sourceLanguageOf(m_doc.root);
    // Without a language (--unreviewed, --accept), every language the file
    // has: an entry per key and language, "de\u0004key".
    const bool every = files.language.isEmpty();
    const QStringList languages =
        every ? targetLanguages(m_doc.root, catalog.sourceLanguage) : QStringList {files.language};
    QHash<QString, QStringList> categories;
    for (const QString &language : languages)
        categories.insert(language, pluralCategoriesOf(language));
    QSet<QString> unknown;
    for (const Node &unit : strings->members) {
        if (!unit.isObject() || textAt(&unit, {u"extractionState"_s}) == u"stale"_s)
            continue;
        const Node *translate = unit.member(u"shouldTranslate"_s);
        if (translate && m_doc.bytes.mid(translate->start, translate->end - translate->start) == "false")
            continue;
        const Node *localizations = unit.member(u"localizations"_s);
        const Node *source = path(localizations, {catalog.sourceLanguage});
        // A key without a source unit has its key for the source text.
        QList<Slot> places;
        if (!source)
            places.append(Slot {});
        else if (!collectSlots(source, {}, places)) {
            unknown.insert(unit.key);
            continue;
        }
        for (const QString &language : languages) {
            const Node *target = path(localizations, {language});
            for (const Slot &slot : std::as_const(places)) {
                const Node *targetSlot = below(target, slot.path);
                Entry entry;
                entry.notes = QStringList {slotNote(slot.path, source)};
                if (!readEntry(unit, slot.node, targetSlot, categories.value(language), entry))
                    continue;
                entry.notes.removeAll(QString());
                entry.key = every ? language + keySeparator + unit.key : unit.key;
                if (!slot.path.isEmpty())
                    entry.key += keySeparator + slot.path.join(u'/');
                entry.line = m_doc.lineAt(targetSlot ? targetSlot->keyStart
                        : target                     ? target->keyStart
                                                     : unit.keyStart);
                entry.id = int(m_units.size());
                m_units.append({language, unit.key, slot.path});
                catalog.entries.append(entry);
            }
        }
    }
    if (!unknown.isEmpty())
        catalog.notices.append(
            u"%1: %2 keys that vary in a way tarnix-fill does not know left as they are"_s.arg(files.target)
                .arg(unknown.size()));
    return true;
}

WriteResult XcstringsFormat::write(const QList<Fill> &fills, const QString &language, int)
{
    const Node *strings = path(&m_doc.root, {u"strings"_s});
    const QString sourceLanguage = sourceLanguageOf(m_doc.root);
    QStringList categories = pluralCategoriesOf(language);
    QStringList sorted = categories;
    std::sort(sorted.begin(), sorted.end(), xcodeOrdersBefore);
    Placer placer(m_doc);
    for (const Fill &fill : fills) {
        const Node *unit = fill.id >= 0 && fill.id < m_units.size() ? strings->member(m_units[fill.id].key) : nullptr;
        if (!unit || !unit->isObject() || fill.forms.isEmpty())
            continue;
        const QStringList &slotPath = m_units[fill.id].slot;
        const Node *source = path(unit, {u"localizations"_s, sourceLanguage});
        const Node *target = path(unit, {u"localizations"_s, language});
        QList<NewMember> members;
        if (!path(below(source, slotPath), {u"variations"_s, u"plural"_s})) {
            if (fill.forms.first().isEmpty())
                continue;
            members = {stringUnit(fill.forms.first())};
        } else {
            const Node *forms = path(below(target, slotPath), {u"variations"_s, u"plural"_s});
            QList<NewMember> plural;
            for (const QString &category : std::as_const(sorted)) {
                const Node *there = path(forms, {category, u"stringUnit"_s});
                const QString form = formOfCategory(fill.forms, categories, category);
                // A form a person translated stays.
                if (form.isEmpty()
                    || (textAt(there, {u"state"_s}) == u"translated"_s && !translationOf(there).isEmpty()))
                    continue;
                plural.append(object(category, {stringUnit(form)}));
            }
            if (plural.isEmpty())
                continue;
            members = {object(u"variations"_s, {object(u"plural"_s, plural)})};
        }
        // Out to the localization; a substitution the target lacks gets the
        // source's argument number and format with its variations.
        for (qsizetype i = slotPath.size() - 1; i >= 0; --i) {
            const QStringList upTo = slotPath.first(i + 1);
            if (i >= 1 && slotPath[i - 1] == u"substitutions"_s && !below(target, upTo)) {
                const Node *from = below(source, upTo);
                for (const Node &member : from && from->isObject() ? from->members : QList<Node>()) {
                    if (!member.isObject() && member.key != u"variations"_s)
                        members.append({member.key, {}, m_doc.bytes.mid(member.start, member.end - member.start), {},
                            false, false});
                }
            }
            members = {object(slotPath[i], members)};
        }
        placer.place(*unit, object(u"localizations"_s, {object(language, members)}));
    }
    WriteResult result;
    result.ok = true;
    result.bytes = json::applied(m_doc.bytes, placer.done());
    return result;
}

bool XcstringsFormat::follow(const QByteArray &bytes)
{
    QString error;
    json::Document doc;
    if (!json::parse(bytes, m_doc.path, doc, error, pruning(doc, m_language)))
        return false;
    m_doc = doc;
    return true;
}

QStringList xcstringsLanguages(const QString &file)
{
    json::Document doc;
    QString error;
    const json::Pruning languagesOnly {u"localizations"_s, 3, [](const QString &) { return false; }};
    return json::load(file, doc, error, languagesOnly) ? targetLanguages(doc.root, sourceLanguageOf(doc.root))
                                                       : QStringList();
}

WriteResult XcstringsFormat::accept(const QList<int> &ids)
{
    const Node *strings = path(&m_doc.root, {u"strings"_s});
    QList<json::Edit> edits;
    for (int id : ids) {
        if (id < 0 || id >= m_units.size())
            continue;
        const auto &[language, key, slot] = m_units[id];
        const Node *localization =
            below(strings ? path(strings->member(key), {u"localizations"_s, language}) : nullptr, slot);
        QList<const Node *> units {path(localization, {u"stringUnit"_s})};
        const Node *forms = path(localization, {u"variations"_s, u"plural"_s});
        for (const Node &form : forms && forms->isObject() ? forms->members : QList<Node>())
            units.append(path(&form, {u"stringUnit"_s}));
        for (const Node *unit : std::as_const(units)) {
            const Node *state = path(unit, {u"state"_s});
            if (state && state->isString() && awaitsReview(unit))
                edits.append({state->start, state->end, json::quoted(u"translated"_s, m_doc)});
        }
    }
    WriteResult result;
    result.ok = true;
    result.bytes = json::applied(m_doc.bytes, edits);
    return result;
}

} // namespace tarnix::fill
