#include "fill/formats/xcstrings.h"

#include <map>

#include <QCollator>
#include <QHash>
#include <QLocale>
#include <QSet>

#include "fill/languages.h"

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

// What a localization holds beyond one unit or plural variations: left alone.
bool beyondPlural(const Node *localization)
{
    const Node *variations = path(localization, {u"variations"_s});
    return path(localization, {u"substitutions"_s})
        || (variations
            && (!variations->isObject() || variations->members.size() != 1 || !variations->member(u"plural"_s)));
}

// A plural's form for one category from the forms a fill holds: one per
// category in order, or the singular for "one" and the plural for the rest.
QString formOf(const QStringList &forms, const QStringList &categories, const QString &category)
{
    if (forms.isEmpty())
        return {};
    if (forms.size() == categories.size())
        return forms.value(categories.indexOf(category));
    return category == u"one"_s ? forms.first() : forms.last();
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
        added[{&object, after}].append(member);
    }

    QList<json::Edit> done()
    {
        for (const auto &[where, members] : added)
            edits.append(json::insertionEdit({where.first, where.second, members}, doc));
        return edits;
    }

private:
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

// A key's entry in one language from its source and target localizations;
// false when the target holds something else than the source's shape (a
// person's choice, left alone).
bool readEntry(const Node &unit, const Node *source, const Node *target, const QStringList &categories, Entry &entry)
{
    entry.notes = QStringList {textAt(&unit, {u"comment"_s})};
    entry.notes.removeAll(QString());
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
    for (const QString &category : categories) {
        const Node *form = path(forms, {category, u"stringUnit"_s});
        entry.translations.append(translationOf(form));
        entry.fuzzy = entry.fuzzy || awaitsReview(form);
    }
    return !path(target, {u"stringUnit"_s});
}

} // namespace

bool XcstringsFormat::read(const CatalogFiles &files, Catalog &catalog, QString &error)
{
    catalog = Catalog {};
    catalog.path = files.target;
    m_units.clear();
    if (!json::load(files.target, m_doc, error))
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
    QSet<QString> substitutions;
    QSet<QString> devices;
    for (const Node &unit : strings->members) {
        if (!unit.isObject() || textAt(&unit, {u"extractionState"_s}) == u"stale"_s)
            continue;
        const Node *translate = unit.member(u"shouldTranslate"_s);
        if (translate && m_doc.bytes.mid(translate->start, translate->end - translate->start) == "false")
            continue;
        const Node *localizations = unit.member(u"localizations"_s);
        const Node *source = path(localizations, {catalog.sourceLanguage});
        for (const QString &language : languages) {
            const Node *target = path(localizations, {language});
            if (beyondPlural(source) || beyondPlural(target)) {
                const bool substituted = path(source, {u"substitutions"_s}) || path(target, {u"substitutions"_s});
                (substituted ? substitutions : devices).insert(unit.key);
                continue;
            }
            Entry entry;
            if (!readEntry(unit, source, target, categories.value(language), entry))
                continue;
            entry.key = every ? language + keySeparator + unit.key : unit.key;
            entry.line = m_doc.lineAt(target ? target->keyStart : unit.keyStart);
            entry.id = int(m_units.size());
            m_units.append({language, unit.key});
            catalog.entries.append(entry);
        }
    }
    if (!substitutions.isEmpty())
        catalog.notices.append(
            u"%1: %2 keys with substitutions left as they are (tarnix-fill does not fill them)"_s.arg(files.target)
                .arg(substitutions.size()));
    if (!devices.isEmpty())
        catalog.notices.append(
            u"%1: %2 keys that vary by device left as they are (tarnix-fill does not fill them)"_s.arg(files.target)
                .arg(devices.size()));
    return true;
}

WriteResult XcstringsFormat::write(const QList<Fill> &fills, const QString &language, int)
{
    const Node *strings = path(&m_doc.root, {u"strings"_s});
    const QString sourceLanguage =
        textAt(&m_doc.root, {u"sourceLanguage"_s}).isEmpty() ? u"en"_s : textAt(&m_doc.root, {u"sourceLanguage"_s});
    QStringList categories = pluralCategoriesOf(language);
    QStringList sorted = categories;
    std::sort(sorted.begin(), sorted.end(), xcodeOrdersBefore);
    Placer placer(m_doc);
    for (const Fill &fill : fills) {
        const Node *unit =
            fill.id >= 0 && fill.id < m_units.size() ? strings->member(m_units[fill.id].second) : nullptr;
        if (!unit || !unit->isObject() || fill.forms.isEmpty())
            continue;
        const Node *target = path(unit, {u"localizations"_s, language});
        NewMember localization;
        if (!path(unit, {u"localizations"_s, sourceLanguage, u"variations"_s, u"plural"_s})) {
            if (fill.forms.first().isEmpty())
                continue;
            localization = object(language, {stringUnit(fill.forms.first())});
        } else {
            const Node *forms = path(target, {u"variations"_s, u"plural"_s});
            QList<NewMember> members;
            for (const QString &category : std::as_const(sorted)) {
                const Node *there = path(forms, {category, u"stringUnit"_s});
                const QString form = formOf(fill.forms, categories, category);
                // A form a person translated stays.
                if (form.isEmpty()
                    || (textAt(there, {u"state"_s}) == u"translated"_s && !translationOf(there).isEmpty()))
                    continue;
                members.append(object(category, {stringUnit(form)}));
            }
            if (members.isEmpty())
                continue;
            localization = object(language, {object(u"variations"_s, {object(u"plural"_s, members)})});
        }
        placer.place(*unit, object(u"localizations"_s, {localization}));
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
    if (!json::parse(bytes, m_doc.path, doc, error))
        return false;
    m_doc = doc;
    return true;
}

QStringList xcstringsLanguages(const QString &file)
{
    json::Document doc;
    QString error;
    return json::load(file, doc, error) ? targetLanguages(doc.root, sourceLanguageOf(doc.root)) : QStringList();
}

WriteResult XcstringsFormat::accept(const QList<int> &ids)
{
    const Node *strings = path(&m_doc.root, {u"strings"_s});
    QList<json::Edit> edits;
    for (int id : ids) {
        if (id < 0 || id >= m_units.size())
            continue;
        const auto &[language, key] = m_units[id];
        const Node *localization = strings ? path(strings->member(key), {u"localizations"_s, language}) : nullptr;
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
