#include "fill/formats/jsoncatalog.h"

#include <map>

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>

#include "fill/languages.h"

using namespace Qt::StringLiterals;

namespace tarnix::fill {

using json::NewMember;
using json::Node;

QString jsonFileLanguage(const QString &path)
{
    const QFileInfo file(path);
    // The folder first: "locales/de/new.json" is German whatever its namespace.
    for (const QString &name : {file.dir().dirName(), file.completeBaseName()}) {
        if (isKnownLanguage(name))
            return name;
    }
    return {};
}

bool holdsExtractedMessages(const Node &root)
{
    return !root.members.isEmpty() && std::all_of(root.members.cbegin(), root.members.cend(), [](const Node &m) {
        const Node *message = m.isObject() ? m.member(u"defaultMessage"_s) : nullptr;
        return message && message->isString();
    });
}

namespace {

// What a catalog's keys and texts show of its convention.
struct Signs
{
    bool doubleBraces = false;
    bool pluralKeys = false;
    bool icuArguments = false;
    bool nested = false;
};

void look(const Node &object, int depth, Signs &signs)
{
    static const QRegularExpression pluralKey(u"_(?:zero|one|two|few|many|other|plural)$"_s);
    // "{{name}}", "{{- html}}", "{{value, number}}"; not ICU's "{{counter} followers}".
    static const QRegularExpression interpolation(u"\\{\\{\\s*-?\\s*[\\w.]+\\s*(?:,[^{}]*)?\\}\\}"_s);
    static const QRegularExpression icuArgument(
        u"(?<!\\{)\\{\\s*\\w+\\s*(?:\\}(?!\\})|,\\s*(?:plural|select|selectordinal|number|date|time)\\b)"_s);
    for (const Node &member : object.members) {
        if (member.isObject()) {
            signs.nested = signs.nested || depth == 0;
            look(member, depth + 1, signs);
            continue;
        }
        if (!member.isString())
            continue;
        signs.pluralKeys = signs.pluralKeys || pluralKey.match(member.key).hasMatch();
        signs.doubleBraces = signs.doubleBraces || interpolation.match(member.text).hasMatch();
        signs.icuArguments = signs.icuArguments || icuArgument.match(member.text).hasMatch();
    }
}

} // namespace

JsonDialect jsonDialect(const json::Document &doc)
{
    if (holdsExtractedMessages(doc.root))
        return JsonDialect::FormatJs;
    Signs signs;
    look(doc.root, 0, signs);
    if (signs.doubleBraces)
        return JsonDialect::I18next;
    if (signs.icuArguments)
        return JsonDialect::FormatJs;
    return signs.pluralKeys || signs.nested ? JsonDialect::I18next : JsonDialect::Unknown;
}

namespace {

// The member of a plural's form in a target: "<base>_<category>", or the
// singular and "_plural" members i18next's third JSON version writes.
int formIndex(const Node &object, const QString &base, const QString &category)
{
    const int index = object.indexOf(base + u'_' + category);
    if (index >= 0 || object.indexOf(base + u"_plural"_s) < 0)
        return index;
    if (category == u"one"_s)
        return object.indexOf(base);
    return category == u"other"_s ? object.indexOf(base + u"_plural"_s) : -1;
}

} // namespace

bool JsonCatalogFormat::copied(const Node &, int) const
{
    return true;
}

QList<NewMember> JsonCatalogFormat::header(const QString &) const
{
    return {};
}

bool JsonCatalogFormat::replacedByHeader(const Node &, int) const
{
    return false;
}

const Node *JsonCatalogFormat::targetNode(const QStringList &path) const
{
    const Node *node = &m_target.root;
    for (const QString &name : path) {
        if (node->isArray()) {
            bool number = false;
            const int index = name.toInt(&number);
            node = number && index >= 0 && index < node->members.size() ? &node->members[index] : nullptr;
        } else {
            node = node->isObject() ? node->member(name) : nullptr;
        }
        if (!node)
            return nullptr;
    }
    return node;
}

bool JsonCatalogFormat::read(const CatalogFiles &files, Catalog &catalog, QString &error)
{
    catalog = Catalog {};
    catalog.path = files.target;
    m_units.clear();
    m_unitOf.clear();
    m_target = json::Document {};
    m_hasTarget = QFileInfo::exists(files.target);
    const QString sourcePath = files.source.isEmpty() ? files.target : files.source;
    if (!json::load(sourcePath, m_source, error))
        return false;
    if (m_hasTarget && !json::load(files.target, m_target, error))
        return false;
    catalog.language = languageOf(files.target);
    catalog.sourceLanguage = languageOf(sourcePath);
    m_categories = pluralCategoriesOf(catalog.language);
    m_units = units(m_source);
    for (int i = 0; i < m_units.size(); ++i) {
        const JsonUnit &unit = m_units[i];
        for (const Node *node : unit.nodes)
            m_unitOf.insert(node, i);
        Entry entry;
        entry.key = unit.key;
        entry.source = unit.source;
        entry.pluralSource = unit.pluralSource;
        entry.plural = unit.plural;
        entry.notes = unit.notes;
        entry.flags = unit.flags;
        entry.id = i;
        entry.line = unit.line;
        if (unit.plural) {
            const Node *parent = targetNode(unit.path.mid(0, unit.path.size() - 1));
            for (const QString &category : std::as_const(m_categories)) {
                const int index = parent && parent->isObject() ? formIndex(*parent, unit.path.last(), category) : -1;
                const Node *form = index >= 0 ? &parent->members[index] : nullptr;
                entry.translations.append(form && form->isString() ? form->text : QString());
            }
        } else {
            const Node *node = m_hasTarget ? targetNode(unit.path) : nullptr;
            if (node && !node->holdsText())
                continue; // the target holds something else there: left alone
            entry.translations = {node ? node->text : QString()};
            if (node)
                entry.line = m_target.lineAt(node->start);
        }
        catalog.entries.append(entry);
    }
    return true;
}

namespace {

// A plural's form for one category from the forms a fill holds: one per
// category in order, or (from a run that counted otherwise) the singular
// for "one" and the plural for the rest.
} // namespace

struct JsonCatalogFormat::Merge
{
    QList<json::Edit> edits;
    QList<json::Insertion> insertions;
};

bool JsonCatalogFormat::holdsOwnEntry(const Node &object, const QString &key) const
{
    const Node *member = object.member(key);
    const auto unit = member ? m_unitOf.constFind(member) : m_unitOf.cend();
    return unit != m_unitOf.cend() && !m_units[*unit].plural;
}

QList<NewMember> JsonCatalogFormat::filtered(const Node &object, int depth, bool &content) const
{
    // An array keeps every item in its place: one not filled stays as the source has it.
    const bool inArray = object.isArray();
    const auto asWritten = [this](const Node &member) {
        return NewMember {
            member.key, {}, m_source.bytes.mid(member.start, member.end - member.start), {}, false, false};
    };
    QList<NewMember> out;
    for (const Node &member : object.members) {
        if (replacedByHeader(member, depth))
            continue;
        if (const auto unit = m_unitOf.constFind(&member); unit != m_unitOf.cend()) {
            const JsonUnit &u = m_units[*unit];
            const QStringList forms = m_forms.value(*unit);
            if (!u.plural) {
                if (!forms.value(0).isEmpty()) {
                    out.append({member.key, forms.first(), {}, {}, false, false});
                    content = true;
                } else if (inArray) {
                    out.append(asWritten(member));
                }
                continue;
            }
            if (u.nodes.first() != &member)
                continue;
            for (const QString &category : m_writeCategories) {
                if (holdsOwnEntry(object, u.path.last() + u'_' + category))
                    continue;
                const QString form = formOfCategory(forms, m_writeCategories, category);
                if (!form.isEmpty()) {
                    out.append({u.path.last() + u'_' + category, form, {}, {}, false, false});
                    content = true;
                }
            }
            continue;
        }
        if (!copied(member, depth))
            continue;
        if (member.isObject() || member.isArray()) {
            bool inner = false;
            const QList<NewMember> members = filtered(member, depth + 1, inner);
            if (inner)
                out.append({member.key, {}, {}, members, member.isObject(), member.isArray()});
            else if (inArray)
                out.append(asWritten(member));
            content = content || inner;
            continue;
        }
        out.append(asWritten(member));
    }
    return out;
}

void JsonCatalogFormat::merge(const Node &source, const Node &target, int depth, Merge &merge) const
{
    // What the target should hold, in the source's order: units, plural forms, objects.
    struct Item
    {
        QString key;
        int unit = -1;
        QString category; // a plural's form
        const Node *object = nullptr;
    };
    if (source.isArray()) { // item by item; the items the target lacks follow its last
        if (!target.isArray())
            return;
        if (source.members.size() > target.members.size()) {
            bool content = false;
            const QList<NewMember> items = filtered(source, depth, content).mid(target.members.size());
            // Only for a filled one: the others would be the source's text again.
            if (std::any_of(items.cbegin(), items.cend(), [](const NewMember &item) { return item.raw.isEmpty(); }))
                merge.insertions.append({&target, int(target.members.size()) - 1, items});
        }
        for (qsizetype i = 0; i < std::min(source.members.size(), target.members.size()); ++i) {
            const Node &from = source.members[i];
            const Node &there = target.members[i];
            const auto unit = m_unitOf.constFind(&from);
            const QString form = unit == m_unitOf.cend() ? QString() : m_forms.value(*unit).value(0);
            if (unit != m_unitOf.cend() && there.holdsText() && !form.isEmpty()
                && (there.text != form || !there.isString()))
                merge.edits.append({there.start, there.end, json::quoted(form, m_target)});
            else if ((from.isObject() || from.isArray()) && from.type == there.type)
                this->merge(from, there, depth + 1, merge);
        }
        return;
    }
    QList<Item> items;
    for (const Node &member : source.members) {
        if (const auto unit = m_unitOf.constFind(&member); unit != m_unitOf.cend()) {
            const JsonUnit &u = m_units[*unit];
            if (!u.plural)
                items.append({member.key, *unit, {}, nullptr});
            else if (u.nodes.first() == &member) {
                for (const QString &category : m_writeCategories) {
                    if (!holdsOwnEntry(source, u.path.last() + u'_' + category))
                        items.append({u.path.last(), *unit, category, nullptr});
                }
            }
        } else if ((member.isObject() || member.isArray()) && copied(member, depth)) {
            items.append({member.key, -1, {}, &member});
        }
    }
    int last = -1; // the target's member the next new one follows
    QList<NewMember> front;
    std::map<int, QList<NewMember>> after;
    for (const Item &item : std::as_const(items)) {
        const int index =
            item.category.isEmpty() ? target.indexOf(item.key) : formIndex(target, item.key, item.category);
        const QStringList forms = m_forms.value(item.unit);
        const QString form =
            item.category.isEmpty() ? forms.value(0) : formOfCategory(forms, m_writeCategories, item.category);
        if (index >= 0) {
            const Node &there = target.members[index];
            if (item.object && there.type == item.object->type)
                this->merge(*item.object, there, depth + 1, merge);
            else if (!item.object && there.holdsText() && !form.isEmpty() && (there.text != form || !there.isString()))
                merge.edits.append({there.start, there.end, json::quoted(form, m_target)});
            last = index;
            continue;
        }
        // The forms of a plural whose singular is a bare key (the third
        // version's) follow it.
        if (!item.category.isEmpty() && target.indexOf(item.key) >= 0)
            last = target.indexOf(item.key);
        NewMember added;
        if (item.object) {
            bool content = false;
            added = {item.key, {}, {}, filtered(*item.object, depth + 1, content), item.object->isObject(),
                item.object->isArray()};
            if (!content)
                continue;
        } else {
            if (form.isEmpty())
                continue;
            added = {item.category.isEmpty() ? item.key : item.key + u'_' + item.category, form, {}, {}, false, false};
        }
        (last >= 0 ? after[last] : front).append(added);
    }
    if (!front.isEmpty())
        merge.insertions.append({&target, -1, front});
    for (const auto &[index, members] : after)
        merge.insertions.append({&target, index, members});
}

WriteResult JsonCatalogFormat::write(const QList<Fill> &fills, const QString &language, int)
{
    m_forms.clear();
    for (const Fill &fill : fills) {
        if (fill.id >= 0 && fill.id < m_units.size())
            m_forms.insert(fill.id, fill.forms);
    }
    m_writeCategories = pluralCategoriesOf(language);
    WriteResult result;
    if (!m_hasTarget) {
        bool content = false;
        result.bytes = json::writtenDocument(header(language) + filtered(m_source.root, 0, content), m_source);
    } else {
        Merge merge;
        this->merge(m_source.root, m_target.root, 0, merge);
        for (const json::Insertion &insertion : std::as_const(merge.insertions))
            merge.edits.append(json::insertionEdit(insertion, m_target));
        result.bytes = json::applied(m_target.bytes, merge.edits);
    }
    result.ok = true;
    return result;
}

} // namespace tarnix::fill
