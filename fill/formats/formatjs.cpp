#include "fill/formats/formatjs.h"

using namespace Qt::StringLiterals;

namespace tarnix::fill {

namespace {

using json::Node;

JsonUnit message(const json::Document &doc, const Node &node, const QStringList &path, const QString &key)
{
    JsonUnit unit;
    unit.path = path;
    unit.key = key;
    unit.source = node.text;
    unit.flags = {u"icu-format"_s};
    unit.line = doc.lineAt(node.start);
    unit.nodes = {&node};
    return unit;
}

// A flat file, or one nested as some projects keep it before flattening.
void collect(const json::Document &doc, const Node &object, const QStringList &path, QList<JsonUnit> &units)
{
    for (const Node &member : object.members) {
        const QStringList here = path + QStringList {member.key};
        if (member.isObject())
            collect(doc, member, here, units);
        else if (member.isString())
            units.append(message(doc, member, here, here.join(u'.')));
    }
}

} // namespace

QList<JsonUnit> FormatJsFormat::units(const json::Document &source) const
{
    QList<JsonUnit> found;
    if (!holdsExtractedMessages(source.root)) {
        collect(source, source.root, {}, found);
        return found;
    }
    for (const Node &descriptor : source.root.members) {
        const Node *text = descriptor.member(u"defaultMessage"_s);
        JsonUnit unit = message(source, *text, {descriptor.key, text->key}, descriptor.key);
        const Node *description = descriptor.member(u"description"_s);
        if (description && description->isString() && !description->text.isEmpty())
            unit.notes = {description->text};
        found.append(unit);
    }
    return found;
}

} // namespace tarnix::fill
