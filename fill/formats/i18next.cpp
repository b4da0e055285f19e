#include "fill/formats/i18next.h"

#include <QRegularExpression>

#include "fill/languages.h"

using namespace Qt::StringLiterals;

namespace tarnix::fill {

namespace {

using json::Node;

bool holdsString(const Node &object, const QString &key)
{
    const Node *member = object.member(key);
    return member && member->isString();
}

// The base name of the plural group a member belongs to, empty when it
// belongs to none: "items_one" beside "items_other", and in the third
// version "items" and "items_plural". "step_one" and "step_two" without
// "step_other" are keys of their own; so is "items_zero" in a language
// without that category: i18next shows it for a count of 0 in every language.
QString groupOf(const Node &object, const QString &key, bool zeroCategory)
{
    static const QRegularExpression suffix(u"^(.+)_(zero|one|two|few|many|other|plural)$"_s);
    const QRegularExpressionMatch match = suffix.match(key);
    if (match.hasMatch() && (zeroCategory || match.captured(2) != u"zero"_s)) {
        const QString base = match.captured(1);
        if (match.captured(2) == u"plural"_s)
            return holdsString(object, base) ? base : QString();
        return holdsString(object, base + u"_other"_s) ? base : QString();
    }
    return holdsString(object, key + u"_plural"_s) && !holdsString(object, key + u"_other"_s) ? key : QString();
}

void collect(
    const json::Document &doc, const Node &object, const QStringList &path, bool zeroCategory, QList<JsonUnit> &units)
{
    QHash<QString, qsizetype> groups; // base -> its unit
    for (qsizetype i = 0; i < object.members.size(); ++i) {
        const Node &member = object.members[i];
        // An array (for returnObjects) holds its texts by index: "steps.0".
        const QStringList here = path + QStringList {object.isArray() ? QString::number(i) : member.key};
        if (member.isObject() || member.isArray()) {
            collect(doc, member, here, zeroCategory, units);
            continue;
        }
        if (!member.isString() || (path.isEmpty() && member.key == u"$schema"_s))
            continue;
        const QString base = object.isArray() ? QString() : groupOf(object, member.key, zeroCategory);
        JsonUnit unit;
        unit.path = base.isEmpty() ? here : path + QStringList {base};
        unit.key = unit.path.join(u'.');
        unit.source = member.text;
        unit.flags = {u"i18next-format"_s};
        unit.line = doc.lineAt(member.start);
        if (base.isEmpty()) {
            unit.nodes = {&member};
            units.append(unit);
            continue;
        }
        auto group = groups.constFind(base);
        if (group == groups.cend()) {
            const bool third = !holdsString(object, base + u"_other"_s);
            const Node *one = object.member(third ? base : base + u"_one"_s);
            const Node *other = object.member(base + (third ? u"_plural"_s : u"_other"_s));
            unit.plural = true;
            unit.source = one && one->isString() ? one->text : other->text;
            unit.pluralSource = other->text;
            group = groups.insert(base, units.size());
            units.append(unit);
        }
        units[*group].nodes.append(&member);
    }
}

} // namespace

QList<JsonUnit> I18nextFormat::units(const json::Document &source) const
{
    QList<JsonUnit> found;
    const QString language = jsonFileLanguage(source.path);
    const bool zeroCategory = pluralCategoriesOf(language.isEmpty() ? u"en"_s : language).contains(u"zero"_s);
    collect(source, source.root, {}, zeroCategory, found);
    return found;
}

} // namespace tarnix::fill
