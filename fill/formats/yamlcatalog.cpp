#include "fill/formats/yamlcatalog.h"

#include <algorithm>
#include <map>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

#include <yaml.h>

#include "fill/languages.h"

using namespace Qt::StringLiterals;

namespace tarnix::fill {

namespace yaml {

namespace {

const QSet<QString> &categoryNames()
{
    static const QSet<QString> names {u"zero"_s, u"one"_s, u"two"_s, u"few"_s, u"many"_s, u"other"_s};
    return names;
}

// libyaml counts characters; the edits need bytes. Marks come in the file's
// order, so a cursor walks forward (and back, for an end before a start).
class Offsets
{
public:
    explicit Offsets(const QByteArray &bytes)
        : m_bytes(bytes)
    { }
    qsizetype byteOf(size_t index)
    {
        const auto character = qsizetype(index);
        while (m_character < character && m_byte < m_bytes.size()) {
            ++m_byte;
            while (m_byte < m_bytes.size() && (uchar(m_bytes[m_byte]) & 0xC0) == 0x80)
                ++m_byte;
            ++m_character;
        }
        while (m_character > character && m_byte > 0) {
            --m_byte;
            while (m_byte > 0 && (uchar(m_bytes[m_byte]) & 0xC0) == 0x80)
                --m_byte;
            --m_character;
        }
        return m_byte;
    }

private:
    const QByteArray &m_bytes;
    qsizetype m_character = 0;
    qsizetype m_byte = 0;
};

QString fromYaml(const yaml_char_t *text, size_t length)
{
    return QString::fromUtf8(reinterpret_cast<const char *>(text), qsizetype(length));
}

QString fromYaml(const yaml_char_t *text)
{
    return text ? QString::fromUtf8(reinterpret_cast<const char *>(text)) : QString();
}

struct Frame
{
    Node node;
    bool haveKey = false;
    Node key;
};

// Adds a finished node to the mapping or sequence being read.
void attach(Frame &parent, Node &&node)
{
    if (parent.node.isSequence()) {
        parent.node.members.append(std::move(node));
        return;
    }
    if (!parent.haveKey) {
        parent.key = std::move(node);
        parent.haveKey = true;
        return;
    }
    node.key = parent.key.isScalar() ? parent.key.text : QString();
    node.keyStart = parent.key.start;
    node.keyEnd = parent.key.end;
    node.keyColumn = parent.key.column;
    node.keyLine = parent.key.line;
    parent.haveKey = false;
    parent.node.byName.insert(node.key, int(parent.node.members.size()));
    parent.node.members.append(std::move(node));
}

} // namespace

bool Node::isText() const
{
    if (type != Type::Scalar)
        return false;
    if (!tag.isEmpty())
        return tag == u"tag:yaml.org,2002:str"_s || tag == u"!"_s;
    if (!plain)
        return true;
    // What Psych resolves to something else than a string.
    static const QRegularExpression other(
        u"^(?:~|null|Null|NULL|true|True|TRUE|false|False|FALSE|yes|Yes|YES|no|No|NO"
        "|on|On|ON|off|Off|OFF|[-+]?(?:0|[1-9][0-9_]*)|0[0-7_]+|0x[0-9a-fA-F_]+|0b[01_]+"
        "|[-+]?(?:[0-9][0-9_]*)?\\.[0-9_]*(?:[eE][-+]?[0-9]+)?|[-+]?\\.(?:inf|Inf|INF)"
        "|\\.(?:nan|NaN|NAN)|:[^\\s:]\\S*|)$"_s);
    return !other.match(text).hasMatch();
}

bool Node::isNull() const
{
    static const QRegularExpression null(u"^(?:~|null|Null|NULL|)$"_s);
    return type == Type::Scalar && plain && tag.isEmpty() && null.match(text).hasMatch();
}

const Node *Node::member(const QString &name) const
{
    const auto found = byName.constFind(name);
    return found == byName.cend() ? nullptr : &members[*found];
}

int Node::indexOf(const QString &name) const
{
    return byName.value(name, -1);
}

bool parse(const QByteArray &bytes, const QString &path, Document &doc, QString &error)
{
    doc = Document {};
    doc.path = path;
    doc.bytes = bytes;
    const qsizetype firstBreak = bytes.indexOf('\n');
    doc.lineBreak = firstBreak > 0 && bytes[firstBreak - 1] == '\r' ? "\r\n" : "\n";
    yaml_parser_t parser;
    yaml_parser_initialize(&parser);
    yaml_parser_set_input_string(
        &parser, reinterpret_cast<const unsigned char *>(bytes.constData()), size_t(bytes.size()));
    yaml_parser_set_encoding(&parser, YAML_UTF8_ENCODING);
    Offsets offsets(bytes);
    QList<Frame> stack;
    Frame top; // holds the document's root as the one item of a sequence
    top.node.type = Node::Type::Sequence;
    int documents = 0;
    bool ok = true;
    bool done = false;
    int unit = 0; // the least indentation of a nested mapping's members beyond its parent's
    while (!done) {
        yaml_event_t event;
        if (!yaml_parser_parse(&parser, &event)) {
            // Where what failed began (a quoted scalar's opening quote), and what it found.
            const bool context = parser.context != nullptr;
            error = u"%1:%2: not valid YAML: %3%4"_s.arg(path)
                        .arg((context ? parser.context_mark.line : parser.problem_mark.line) + 1)
                        .arg(context ? QString::fromUtf8(parser.context) + u": "_s : QString(),
                            QString::fromUtf8(parser.problem ? parser.problem : "unreadable"));
            ok = false;
            break;
        }
        Node node;
        node.start = offsets.byteOf(event.start_mark.index);
        node.line = int(event.start_mark.line) + 1;
        node.column = int(event.start_mark.column);
        Frame &parent = stack.isEmpty() ? top : stack.last();
        switch (event.type) {
        case YAML_STREAM_END_EVENT:
            done = true;
            break;
        case YAML_DOCUMENT_START_EVENT:
            if (++documents > 1) {
                error = u"%1:%2: more than one YAML document: a catalog is one"_s.arg(path).arg(node.line);
                ok = false;
                done = true;
            }
            break;
        case YAML_SCALAR_EVENT:
            node.type = Node::Type::Scalar;
            node.text = fromYaml(event.data.scalar.value, event.data.scalar.length);
            node.style = int(event.data.scalar.style);
            node.tag = fromYaml(event.data.scalar.tag);
            node.plain = event.data.scalar.plain_implicit && event.data.scalar.style == YAML_PLAIN_SCALAR_STYLE;
            node.anchor = fromYaml(event.data.scalar.anchor);
            node.end = offsets.byteOf(event.end_mark.index);
            attach(parent, std::move(node));
            break;
        case YAML_ALIAS_EVENT:
            node.type = Node::Type::Alias;
            node.anchor = fromYaml(event.data.alias.anchor);
            node.end = offsets.byteOf(event.end_mark.index);
            attach(parent, std::move(node));
            break;
        case YAML_MAPPING_START_EVENT:
        case YAML_SEQUENCE_START_EVENT: {
            const bool mapping = event.type == YAML_MAPPING_START_EVENT;
            node.type = mapping ? Node::Type::Mapping : Node::Type::Sequence;
            node.anchor = fromYaml(mapping ? event.data.mapping_start.anchor : event.data.sequence_start.anchor);
            node.tag = fromYaml(mapping ? event.data.mapping_start.tag : event.data.sequence_start.tag);
            node.flow = mapping ? event.data.mapping_start.style == YAML_FLOW_MAPPING_STYLE
                                : event.data.sequence_start.style == YAML_FLOW_SEQUENCE_STYLE;
            stack.append(Frame {std::move(node), false, {}});
            break;
        }
        case YAML_MAPPING_END_EVENT:
        case YAML_SEQUENCE_END_EVENT: {
            Frame frame = stack.takeLast();
            frame.node.end = offsets.byteOf(event.end_mark.index);
            Frame &owner = stack.isEmpty() ? top : stack.last();
            if (frame.node.isMapping() && !frame.node.flow && owner.node.isMapping() && owner.haveKey
                && !frame.node.members.isEmpty() && frame.node.members.first().keyColumn > owner.key.column) {
                const int step = frame.node.members.first().keyColumn - owner.key.column;
                unit = unit == 0 ? step : std::min(unit, step);
            }
            attach(owner, std::move(frame.node));
            break;
        }
        default:
            break;
        }
        yaml_event_delete(&event);
    }
    yaml_parser_delete(&parser);
    if (!ok)
        return false;
    doc.indentUnit = unit > 0 ? unit : 2;
    if (top.node.members.isEmpty()) { // an empty file
        doc.root.type = Node::Type::Mapping;
        return true;
    }
    doc.root = std::move(top.node.members.first());
    return true;
}

QByteArray doubleQuoted(const QString &text)
{
    QString out = u"\""_s;
    for (const QChar c : text) {
        switch (c.unicode()) {
        case u'\\':
            out += u"\\\\"_s;
            continue;
        case u'"':
            out += u"\\\""_s;
            continue;
        case u'\n':
            out += u"\\n"_s;
            continue;
        case u'\t':
            out += u"\\t"_s;
            continue;
        case u'\r':
            out += u"\\r"_s;
            continue;
        case 0x85:
            out += u"\\N"_s;
            continue;
        case 0x2028:
            out += u"\\L"_s;
            continue;
        case 0x2029:
            out += u"\\P"_s;
            continue;
        default:
            break;
        }
        if (c.unicode() < 0x20 || c.unicode() == 0x7f || c.unicode() == 0xfeff)
            out += u"\\u"_s + QString::number(c.unicode(), 16).rightJustified(4, u'0');
        else
            out += c;
    }
    return (out + u'"').toUtf8();
}

namespace {

// Whether a text reads back as the same string when written plain after "key: ".
bool plainSafe(const QString &text)
{
    static const QRegularExpression unsafe(
        u"^[-?:,\\[\\]{}#&*!|>'\"%@`\\s]|\\s$|:\\s|\\s#|:$|[\\x00-\\x1f\\x7f\\x{85}\\x{2028}\\x{2029}\\x{feff}]"_s);
    if (text.isEmpty() || unsafe.match(text).hasMatch())
        return false;
    Node probe;
    probe.plain = true;
    probe.text = text;
    return probe.isText();
}

bool printable(const QString &text)
{
    return std::none_of(text.cbegin(), text.cend(), [](QChar c) {
        return (c.unicode() < 0x20 && c != u'\t') || c.unicode() == 0x7f || c.unicode() == 0x85 || c.unicode() == 0x2028
            || c.unicode() == 0x2029 || c.unicode() == 0xfeff;
    });
}

} // namespace

QByteArray scalar(const QString &text, int style, int column, const Document &doc)
{
    const bool block = style == YAML_LITERAL_SCALAR_STYLE || style == YAML_FOLDED_SCALAR_STYLE;
    // A literal block holds every line as it is: folded text is written so too.
    if (block && !text.isEmpty() && !text.front().isSpace() && printable(QString(text).remove(u'\n'))) {
        qsizetype body = text.size();
        while (body > 0 && text[body - 1] == u'\n')
            --body;
        const qsizetype trailing = text.size() - body;
        QByteArray out = trailing == 0 ? " |-" : trailing == 1 ? " |" : " |+";
        const QByteArray indent(column + doc.indentUnit, ' ');
        const QStringList lines = text.left(body).split(u'\n');
        for (const QString &line : lines)
            out += doc.lineBreak + (line.isEmpty() ? QByteArray() : indent + line.toUtf8());
        for (qsizetype i = 1; i < trailing; ++i)
            out += doc.lineBreak;
        return out;
    }
    if (style == YAML_SINGLE_QUOTED_SCALAR_STYLE && !text.contains(u'\n') && printable(text) && !text.isEmpty()
        && !text.front().isSpace() && !text.back().isSpace())
        return " '" + QString(text).replace(u'\'', u"''"_s).toUtf8() + '\'';
    if (style != YAML_DOUBLE_QUOTED_SCALAR_STYLE && plainSafe(text))
        return ' ' + text.toUtf8();
    return ' ' + doubleQuoted(text);
}

} // namespace yaml

using yaml::Document;
using yaml::Node;

namespace {

// Rails' own settings among the texts: date_select's order, rounding's mode.
bool railsSetting(const QStringList &path)
{
    return path.join(u'.') == u"date.order"_s || path.value(path.size() - 1) == u"round_mode"_s;
}

bool pluralMapping(const Node &node)
{
    return node.isMapping() && !node.flow && node.anchor.isEmpty() && node.byName.contains(u"other"_s)
        && std::all_of(node.members.cbegin(), node.members.cend(),
            [](const Node &member) { return yaml::categoryNames().contains(member.key) && member.isText(); });
}

// A target value that holds no translation: nothing, null, "".
bool holdsNothing(const Node &node)
{
    return node.isNull() || (node.isText() && node.text.isEmpty());
}

// The language's root key in a catalog: the member named as a language
// (the first when several are), whose value is a mapping.
const Node *languageRoot(const Document &doc)
{
    if (!doc.root.isMapping())
        return nullptr;
    for (const Node &member : doc.root.members) {
        if (isKnownLanguage(member.key))
            return &member;
    }
    return nullptr;
}

bool loadFile(const QString &path, Document &doc, QString &error)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        error = u"%1:0: cannot be read: %2"_s.arg(path, file.errorString());
        return false;
    }
    return yaml::parse(file.readAll(), path, doc, error);
}

} // namespace

void RailsYamlFormat::collect(const Node &mapping, const QStringList &path)
{
    for (const Node &member : mapping.members) {
        if (member.key == u"<<"_s || member.type == Node::Type::Alias)
            continue; // a merge key or an alias: its texts are where its anchor is
        const QStringList here = path + QStringList {member.key};
        if (railsSetting(here))
            continue;
        if (pluralMapping(member)) {
            m_units.append({here, &member, true});
            // Rails shows "zero" for a count of 0 in every language: where the
            // target's rules have no such category, it is a text of its own.
            const Node *zero = member.member(u"zero"_s);
            if (zero && !m_categories.contains(u"zero"_s))
                m_units.append({here + QStringList {u"zero"_s}, zero, false});
        } else if (member.isMapping()) {
            collect(member, here);
        } else if (member.isSequence()) {
            for (qsizetype i = 0; i < member.members.size(); ++i) {
                const Node &item = member.members[i];
                if (item.isText() && !item.text.isEmpty())
                    m_units.append({here + QStringList {QString::number(i)}, &item, false});
            }
        } else if (member.isText() && !member.text.isEmpty()) {
            m_units.append({here, &member, false});
        }
    }
}

namespace {

// The node at a key path below a root; null when there is none.
const Node *nodeAt(const Node *node, const QStringList &path)
{
    for (const QString &name : path) {
        if (!node)
            return nullptr;
        if (node->isSequence()) {
            bool number = false;
            const int index = name.toInt(&number);
            node = number && index >= 0 && index < node->members.size() ? &node->members[index] : nullptr;
        } else {
            node = node->isMapping() ? node->member(name) : nullptr;
        }
    }
    return node;
}

} // namespace

bool RailsYamlFormat::read(const CatalogFiles &files, Catalog &catalog, QString &error)
{
    catalog = Catalog {};
    catalog.path = files.target;
    m_units.clear();
    m_unitOf.clear();
    m_target = Document {};
    const QString sourcePath = files.source.isEmpty() ? files.target : files.source;
    if (!loadFile(sourcePath, m_source, error))
        return false;
    const Node *sourceRoot = languageRoot(m_source);
    if (!sourceRoot || !sourceRoot->isMapping()) {
        error = sourcePath + u":1: not a Rails catalog: its top level is no language's key over a mapping"_s;
        return false;
    }
    m_fresh = !QFileInfo::exists(files.target) || QFileInfo(files.target).size() == 0;
    const Node *targetRoot = nullptr;
    if (!m_fresh) {
        if (!loadFile(files.target, m_target, error))
            return false;
        targetRoot = languageRoot(m_target);
        if (!targetRoot) {
            error = files.target + u":1: not a Rails catalog: its top level is no language's key"_s;
            return false;
        }
        if (targetRoot->isNull()) // "it:" and nothing yet
            m_fresh = true;
        else if (!targetRoot->isMapping()) {
            error = u"%1:%2: not a Rails catalog: its language's key holds no mapping"_s.arg(files.target)
                        .arg(targetRoot->keyLine);
            return false;
        }
    }
    catalog.language = m_fresh ? railsFileLanguage(files.target) : targetRoot->key;
    catalog.sourceLanguage = sourceRoot->key;
    m_categories = pluralCategoriesOf(catalog.language.isEmpty() ? u"en"_s : catalog.language);
    collect(*sourceRoot, {});
    for (int i = 0; i < m_units.size(); ++i) {
        const Unit &unit = m_units[i];
        m_unitOf.insert(unit.node, i);
        Entry entry;
        entry.key = unit.path.join(u'.');
        entry.id = i;
        entry.line = unit.node->keyLine > 0 ? unit.node->keyLine : unit.node->line;
        const Node *there = m_fresh ? nullptr : nodeAt(targetRoot, unit.path);
        if (unit.plural) {
            const Node *one = unit.node->member(u"one"_s);
            entry.plural = true;
            entry.source = (one ? one : unit.node->member(u"other"_s))->text;
            entry.pluralSource = unit.node->member(u"other"_s)->text;
            const auto foreign = [](const Node &form) { return !form.isText() && !form.isNull(); };
            if (there && (!there->isMapping() || std::any_of(there->members.cbegin(), there->members.cend(), foreign)))
                continue; // the target holds something else there: left alone
            for (const QString &category : std::as_const(m_categories)) {
                const Node *form = there ? there->member(category) : nullptr;
                entry.translations.append(form && form->isText() ? form->text : QString());
            }
        } else {
            entry.source = unit.node->text;
            if (there && !there->isText() && !there->isNull())
                continue;
            entry.translations = {there && there->isText() ? there->text : QString()};
        }
        if (there)
            entry.line = there->keyLine > 0 ? there->keyLine : there->line;
        catalog.entries.append(entry);
    }
    return true;
}

// The edits a write makes to the target (or to the source, for a new target).
struct RailsYamlFormat::Writer
{
    const RailsYamlFormat &format;
    const Document &doc; // what is edited
    QHash<int, QStringList> forms;
    QStringList categories;
    std::multimap<qsizetype, std::pair<qsizetype, QByteArray>> edits; // start -> (end, text), in order
    QSet<int> written;

    void edit(qsizetype start, qsizetype end, const QByteArray &text) { edits.insert({start, {end, text}}); }

    qsizetype lineStart(qsizetype at) const { return doc.bytes.lastIndexOf('\n', at - 1) + 1; }

    // One past the line break that ends a node (a member: its value).
    // A block collection's end mark lies where the next token starts, past
    // the comments after it: its last member's end is its own.
    static qsizetype lastByte(const Node &node)
    {
        return !node.members.isEmpty() && !node.flow ? lastByte(node.members.last()) : node.end;
    }

    qsizetype endOf(const Node &node) const
    {
        const qsizetype end = lastByte(node);
        if (end > 0 && doc.bytes[end - 1] == '\n')
            return end;
        const qsizetype lineBreak = doc.bytes.indexOf('\n', end);
        return lineBreak < 0 ? doc.bytes.size() : lineBreak + 1;
    }

    // An insertion of whole lines at a line's start (the end of the file, if need be).
    void insertLines(qsizetype at, QByteArray lines)
    {
        if (at == doc.bytes.size() && !doc.bytes.isEmpty() && !doc.bytes.endsWith('\n'))
            lines = doc.lineBreak + lines.chopped(doc.lineBreak.size());
        edit(at, at, lines);
    }

    QString formFor(int unit, const QString &category = {}) const
    {
        const QStringList list = forms.value(unit);
        return category.isEmpty() ? list.value(0) : formOfCategory(list, categories, category);
    }

    // Where a scalar's own text starts: after its anchor ("&name", which
    // ends where its name does) and tag, which stay.
    qsizetype valueStart(const Node &node) const
    {
        const auto blank = [this](qsizetype at) { return QByteArray(" \t\r\n").contains(doc.bytes[at]); };
        qsizetype at = node.start;
        for (int property = 0; property < 2 && at < node.end; ++property) {
            if (doc.bytes[at] == '&' && !node.anchor.isEmpty())
                at += 1 + node.anchor.toUtf8().size();
            else if (doc.bytes[at] == '!')
                while (at < node.end && !blank(at))
                    ++at;
            else
                break;
            while (at < node.end && blank(at))
                ++at;
        }
        return std::min(at, node.end);
    }

    // Where a scalar's own text ends: a block scalar's mark lies past its
    // line breaks and blank lines, which stay; the blanks that end its last
    // line are its text.
    qsizetype valueEnd(const Node &node) const
    {
        qsizetype end = node.end;
        if (node.style != YAML_LITERAL_SCALAR_STYLE && node.style != YAML_FOLDED_SCALAR_STYLE)
            return end;
        for (;;) {
            while (end > node.start && (doc.bytes[end - 1] == '\n' || doc.bytes[end - 1] == '\r'))
                --end;
            qsizetype line = end;
            while (line > node.start && (doc.bytes[line - 1] == ' ' || doc.bytes[line - 1] == '\t'))
                --line;
            if (line == end || line == node.start || (doc.bytes[line - 1] != '\n' && doc.bytes[line - 1] != '\r'))
                return end;
            end = line; // a line of blanks alone: not the text's
        }
    }

    // A scalar's text replaced by a value, apart from an anchor or tag that
    // held nothing ("- &name").
    void replaceValue(const Node &node, const QByteArray &value)
    {
        const qsizetype from = valueStart(node);
        const bool glued = from > node.start && !QByteArray(" \t\r\n").contains(doc.bytes[from - 1]);
        edit(from, valueEnd(node), glued ? ' ' + value : value);
    }

    // A value put where a target had none.
    void fillValue(const Node &there, int unit, const QString &form, const Node &from)
    {
        const int style = there.isNull() ? from.style : there.style;
        const int column = there.keyStart >= 0 ? there.keyColumn : there.column;
        if (there.start == there.end) { // "key:" and nothing after it
            const qsizetype colon = there.keyEnd >= 0 ? doc.bytes.indexOf(':', there.keyEnd) : -1;
            if (colon < 0)
                return;
            edit(colon + 1, colon + 1, yaml::scalar(form, style, column, doc));
        } else {
            replaceValue(there, yaml::scalar(form, style, column, doc).mid(1));
        }
        written.insert(unit);
    }

    // The lines of a plural's forms for the target's categories (and a zero of its own).
    QByteArray pluralLines(int unit, int column) const
    {
        const Unit &u = format.m_units[unit];
        const Node *other = u.node->member(u"other"_s);
        QByteArray out;
        const auto zero = format.m_unitOf.constFind(u.node->member(u"zero"_s));
        if (zero != format.m_unitOf.cend() && *zero != unit && !formFor(*zero).isEmpty())
            out += QByteArray(column, ' ') + "zero:" + yaml::scalar(formFor(*zero), other->style, column, doc)
                + doc.lineBreak;
        for (const QString &category : categories) {
            const QString form = formFor(unit, category);
            if (!form.isEmpty())
                out += QByteArray(column, ' ') + category.toUtf8() + ':' + yaml::scalar(form, other->style, column, doc)
                    + doc.lineBreak;
        }
        return out;
    }

    // A source member as new lines at `column`, with the filled texts it
    // holds; empty when it holds none.
    QByteArray newMember(const Node &member, int column, const Document &source)
    {
        const QByteArray indent(column, ' ');
        const QByteArray key = source.bytes.mid(member.keyStart, member.keyEnd - member.keyStart) + ':';
        const auto unit = format.m_unitOf.constFind(&member);
        if (unit != format.m_unitOf.cend() && format.m_units[*unit].plural) {
            const QByteArray lines = pluralLines(*unit, column + doc.indentUnit);
            if (lines.isEmpty())
                return {};
            written.insert(*unit);
            const auto zero = format.m_unitOf.constFind(member.member(u"zero"_s));
            if (zero != format.m_unitOf.cend() && !formFor(*zero).isEmpty())
                written.insert(*zero);
            return indent + key + doc.lineBreak + lines;
        }
        if (unit != format.m_unitOf.cend()) {
            if (formFor(*unit).isEmpty())
                return {};
            written.insert(*unit);
            return indent + key + yaml::scalar(formFor(*unit), member.style, column, doc) + doc.lineBreak;
        }
        if (member.isMapping() && !member.flow) {
            QByteArray inner;
            bool content = false;
            for (const Node &child : member.members) {
                const QByteArray lines = newMember(child, column + doc.indentUnit, source);
                content = content || !lines.isEmpty();
                // Settings beside the texts (a number's precision, date_select's order) go along.
                const QByteArray childKey = QByteArray(column + doc.indentUnit, ' ')
                    + source.bytes.mid(child.keyStart, child.keyEnd - child.keyStart) + ':';
                if (lines.isEmpty() && child.isScalar() && !child.isText() && child.keyStart >= 0)
                    inner += childKey
                        + (child.start < child.end ? ' ' + source.bytes.mid(child.start, child.end - child.start)
                                                   : QByteArray())
                        + doc.lineBreak;
                const bool settings = child.isSequence()
                    && std::none_of(child.members.cbegin(), child.members.cend(),
                        [&](const Node &item) { return item.isText() || !item.isScalar(); });
                if (lines.isEmpty() && settings && child.keyStart >= 0) {
                    QByteArrayList items;
                    for (const Node &item : child.members)
                        items.append(item.start < item.end ? source.bytes.mid(item.start, item.end - item.start) : "~");
                    inner += childKey + " [" + items.join(", ") + ']' + doc.lineBreak;
                }
                inner += lines;
            }
            return content ? indent + key + doc.lineBreak + inner : QByteArray();
        }
        if (member.isSequence()) {
            QByteArray items;
            bool content = false;
            const QByteArray dash = QByteArray(column + std::max(0, member.column - member.keyColumn), ' ') + '-';
            for (const Node &item : member.members) {
                const auto itemUnit = format.m_unitOf.constFind(&item);
                if (itemUnit != format.m_unitOf.cend()) {
                    if (formFor(*itemUnit).isEmpty())
                        return {}; // Rails reads the list whole: all or nothing
                    items += dash + yaml::scalar(formFor(*itemUnit), item.style, column, doc) + doc.lineBreak;
                    content = true;
                } else if (item.isScalar()) {
                    items += dash
                        + (item.start < item.end ? ' ' + source.bytes.mid(item.start, item.end - item.start)
                                                 : QByteArray())
                        + doc.lineBreak;
                } else {
                    return {};
                }
            }
            if (!content)
                return {};
            for (const Node &item : member.members)
                written.insert(format.m_unitOf.value(&item, -1));
            return indent + key + doc.lineBreak + items;
        }
        return {};
    }

    // Fills a target's mapping from the source's, adding what it lacks where the source has it.
    void merge(const Node &from, const Node &into, const Document &source)
    {
        if (into.flow || into.members.isEmpty())
            return; // no lines to put new members beside: their fills are reported skipped
        int last = -1;
        const int column = into.members.first().keyColumn;
        for (const Node &member : from.members) {
            if (member.key == u"<<"_s || member.type == Node::Type::Alias)
                continue;
            const int index = into.indexOf(member.key);
            if (index < 0) {
                const QByteArray lines = newMember(member, column, source);
                if (!lines.isEmpty())
                    insertLines(
                        last >= 0 ? endOf(into.members[last]) : lineStart(into.members.first().keyStart), lines);
                continue;
            }
            last = index;
            const Node &there = into.members[index];
            if (there.type == Node::Type::Alias)
                continue; // never written through an alias
            const auto unit = format.m_unitOf.constFind(&member);
            if (unit != format.m_unitOf.cend() && format.m_units[*unit].plural) {
                if (there.isMapping())
                    mergePlural(*unit, there);
            } else if (unit != format.m_unitOf.cend()) {
                if (!formFor(*unit).isEmpty() && holdsNothing(there))
                    fillValue(there, *unit, formFor(*unit), member);
            } else if (member.isMapping() && there.isMapping()) {
                merge(member, there, source);
            } else if (member.isSequence() && there.isSequence() && member.members.size() == there.members.size()) {
                for (qsizetype i = 0; i < member.members.size(); ++i) {
                    const auto item = format.m_unitOf.constFind(&member.members[i]);
                    if (item != format.m_unitOf.cend() && !formFor(*item).isEmpty() && holdsNothing(there.members[i]))
                        fillValue(there.members[i], *item, formFor(*item), member.members[i]);
                }
            }
        }
    }

    void mergePlural(int unit, const Node &there)
    {
        if (there.flow || there.members.isEmpty())
            return;
        const Unit &u = format.m_units[unit];
        const Node *other = u.node->member(u"other"_s);
        const int column = there.members.first().keyColumn;
        const auto zero = format.m_unitOf.constFind(u.node->member(u"zero"_s));
        QStringList all = categories;
        if (zero != format.m_unitOf.cend() && *zero != unit)
            all.prepend(u"zero"_s);
        int last = -1;
        for (const QString &category : std::as_const(all)) {
            const bool own = category == u"zero"_s && zero != format.m_unitOf.cend() && *zero != unit;
            const int id = own ? *zero : unit;
            const QString form = own ? formFor(*zero) : formFor(unit, category);
            const int index = there.indexOf(category);
            if (index >= 0) {
                if (!form.isEmpty() && holdsNothing(there.members[index]))
                    fillValue(there.members[index], id, form, *other);
                last = index;
            } else if (!form.isEmpty()) {
                insertLines(last >= 0 ? endOf(there.members[last]) : lineStart(there.members.first().keyStart),
                    QByteArray(column, ' ') + category.toUtf8() + ':' + yaml::scalar(form, other->style, column, doc)
                        + doc.lineBreak);
                written.insert(id);
            }
        }
    }

    // A new target from the source itself: filled texts replaced, the rest
    // left out. Whether a mapping keeps any text.
    bool prune(const Node &mapping)
    {
        bool content = false;
        for (const Node &member : mapping.members) {
            const auto drop = [&] {
                if (member.anchor.isEmpty()) // an alias elsewhere needs it
                    edit(lineStart(member.keyStart), endOf(member), {});
            };
            const auto unit = format.m_unitOf.constFind(&member);
            if (unit != format.m_unitOf.cend() && format.m_units[*unit].plural) {
                const QByteArray lines = pluralLines(*unit, member.members.first().keyColumn);
                if (lines.isEmpty()) {
                    drop();
                    continue;
                }
                edit(lineStart(member.members.first().keyStart), endOf(member), lines);
                written.insert(*unit);
                const auto zero = format.m_unitOf.constFind(member.member(u"zero"_s));
                if (zero != format.m_unitOf.cend() && !formFor(*zero).isEmpty())
                    written.insert(*zero);
                content = true;
            } else if (unit != format.m_unitOf.cend()) {
                if (formFor(*unit).isEmpty()) {
                    drop();
                    continue;
                }
                replaceValue(member, yaml::scalar(formFor(*unit), member.style, member.keyColumn, doc).mid(1));
                written.insert(*unit);
                content = true;
            } else if (member.type == Node::Type::Alias) {
                content = true; // its anchor stays, and so it
            } else if (member.isMapping() && !member.flow) {
                if (prune(member))
                    content = true;
                else
                    drop();
            } else if (member.isSequence()) {
                QList<int> items;
                bool complete = true;
                for (const Node &item : member.members) {
                    const int id = format.m_unitOf.value(&item, -1);
                    if (id >= 0)
                        items.append(id);
                    complete = complete && (id < 0 || !formFor(id).isEmpty());
                }
                if (items.isEmpty())
                    continue; // a list of settings: kept
                if (!complete) {
                    drop();
                    continue;
                }
                for (const int id : std::as_const(items)) {
                    const Node &item = *format.m_units[id].node;
                    replaceValue(item, yaml::scalar(formFor(id), item.style, item.column, doc).mid(1));
                    written.insert(id);
                }
                content = true;
            }
        }
        return content;
    }

    QByteArray result() const
    {
        QByteArray out;
        out.reserve(doc.bytes.size() + 1024);
        qsizetype at = 0;
        for (const auto &[start, change] : edits) {
            if (start < at)
                continue; // inside a part already replaced
            out += doc.bytes.mid(at, start - at);
            out += change.second;
            at = std::max(at, change.first);
        }
        out += doc.bytes.mid(at);
        return out;
    }
};

WriteResult RailsYamlFormat::write(const QList<Fill> &fills, const QString &language, int)
{
    const Document &doc = m_fresh ? m_source : m_target;
    Writer writer {*this, doc, {}, pluralCategoriesOf(language), {}, {}};
    for (const Fill &fill : fills) {
        if (fill.id >= 0 && fill.id < m_units.size())
            writer.forms.insert(fill.id, fill.forms);
    }
    const Node *sourceRoot = languageRoot(m_source);
    if (m_fresh) {
        if (!m_target.bytes.isEmpty()) { // "it:" alone: the source's tree under the target's own key
            writer.edit(sourceRoot->keyStart, sourceRoot->keyEnd, languageRoot(m_target)->key.toUtf8());
        } else {
            writer.edit(sourceRoot->keyStart, sourceRoot->keyEnd, QString(language).replace(u'_', u'-').toUtf8());
        }
        writer.prune(*sourceRoot);
    } else {
        writer.merge(*sourceRoot, *languageRoot(m_target), m_source);
    }
    WriteResult result;
    result.ok = true;
    result.bytes = writer.result();
    for (const Fill &fill : fills) {
        if (!fill.forms.value(0).isEmpty() && !writer.written.contains(fill.id))
            result.skipped.append(fill.id);
    }
    if (!result.skipped.isEmpty())
        result.skippedWhy = u"the file has no lines to put them on (a flow-style mapping, or a list whose other items "
                            "were not translated)"_s;
    return result;
}

QString railsFileLanguage(const QString &path)
{
    const QFileInfo file(path);
    const QString base = file.completeBaseName();
    if (isKnownLanguage(base))
        return base;
    if (base.contains(u'.') && isKnownLanguage(base.section(u'.', -1)))
        return base.section(u'.', -1);
    return isKnownLanguage(file.dir().dirName()) ? file.dir().dirName() : QString();
}

QString railsTargetFor(const QString &source, const QString &language)
{
    const QString code = QString(language).replace(u'_', u'-');
    const QFileInfo file(source);
    const QString base = file.completeBaseName();
    const QString suffix = u'.' + file.suffix();
    if (isKnownLanguage(base))
        return file.dir().filePath(code + suffix);
    if (base.contains(u'.') && isKnownLanguage(base.section(u'.', -1)))
        return file.dir().filePath(base.section(u'.', 0, -2) + u'.' + code + suffix);
    if (isKnownLanguage(file.dir().dirName()))
        return QDir::cleanPath(file.dir().path() + u"/../"_s + code + u'/' + file.fileName());
    return file.dir().filePath(code + suffix);
}

QString railsSourceFor(const QString &target, const QString &sourceLanguage)
{
    if (railsFileLanguage(target).isEmpty())
        return {};
    const QString source = railsTargetFor(target, sourceLanguage);
    return source == target ? QString() : source;
}

} // namespace tarnix::fill
