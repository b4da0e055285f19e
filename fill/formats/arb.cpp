#include "fill/formats/arb.h"

#include "fill/languages.h"

using namespace Qt::StringLiterals;

namespace tarnix::fill {

using json::Node;

QStringList arbNotes(const Node &metadata)
{
    QStringList notes;
    const Node *description = metadata.member(u"description"_s);
    if (description && description->isString() && !description->text.isEmpty())
        notes.append(description->text);
    const Node *placeholders = metadata.member(u"placeholders"_s);
    QStringList named;
    for (const Node &placeholder : placeholders && placeholders->isObject() ? placeholders->members : QList<Node>()) {
        const Node *example = placeholder.member(u"example"_s);
        named.append(u'{' + placeholder.key + u'}'
            + (example && example->isString() ? u" (e.g. %1)"_s.arg(example->text) : QString()));
    }
    if (!named.isEmpty())
        notes.append(u"Placeholders: "_s + named.join(u", "_s));
    return notes;
}

QList<JsonUnit> ArbFormat::units(const json::Document &source) const
{
    QList<JsonUnit> found;
    for (const Node &member : source.root.members) {
        if (!member.isString() || member.key.startsWith(u'@'))
            continue;
        JsonUnit unit;
        unit.path = {member.key};
        unit.key = member.key;
        unit.source = member.text;
        unit.flags = {u"icu-format"_s};
        unit.line = source.lineAt(member.start);
        unit.nodes = {&member};
        if (const Node *metadata = source.root.member(u'@' + member.key); metadata && metadata->isObject())
            unit.notes = arbNotes(*metadata);
        found.append(unit);
    }
    return found;
}

QString ArbFormat::languageOf(const QString &path) const
{
    return languageFromFileName(path);
}

bool ArbFormat::copied(const Node &member, int depth) const
{
    // The file's own attributes ("@@context") are every language's; a message's are the template's.
    return depth > 0 || !member.key.startsWith(u'@') || member.key.startsWith(u"@@"_s);
}

QList<json::NewMember> ArbFormat::header(const QString &language) const
{
    return {{u"@@locale"_s, QString(language).replace(u'-', u'_'), {}, {}, false, false}};
}

bool ArbFormat::replacedByHeader(const Node &member, int depth) const
{
    return depth == 0 && member.key == u"@@locale"_s;
}

} // namespace tarnix::fill
