#include "fill/formats/jsonedit.h"

#include <algorithm>
#include <cctype>

#include <QFile>
#include <QSet>
#include <QStringDecoder>

using namespace Qt::StringLiterals;

namespace tarnix::fill::json {

const Node *Node::member(const QString &name) const
{
    const int index = indexOf(name);
    return index < 0 ? nullptr : &members[index];
}

int Node::indexOf(const QString &name) const
{
    if (!byName.isEmpty())
        return byName.value(name, -1);
    for (qsizetype i = members.size() - 1; i >= 0; --i) {
        if (members[i].key == name)
            return int(i);
    }
    return -1;
}

int Document::lineAt(qsizetype offset) const
{
    return int(std::upper_bound(lineStarts.cbegin(), lineStarts.cend(), offset) - lineStarts.cbegin());
}

namespace {

// How many members an object has before it is looked up by name through a hash.
constexpr int indexedFrom = 16;

// A recursive reader over the bytes that notes each value's offsets and how
// the file writes its strings.
class Parser
{
public:
    Parser(const QByteArray &bytes, Document &doc, const Pruning &pruning)
        : b(bytes)
        , doc(doc)
        , pruning(pruning)
    { }

    bool run(QString &what)
    {
        if (b.startsWith("\xef\xbb\xbf"))
            pos = 3;
        skipSpace();
        if (!value(doc.root, 0))
            return fail(what);
        skipSpace();
        if (pos != b.size()) {
            problem = u"text after the end of the document"_s;
            return fail(what);
        }
        doc.asciiOnly = escapedBeyondAscii > 0 && rawBeyondAscii == 0;
        doc.escapedSlash = escapedSlashes > 0 && rawSlashes == 0;
        return true;
    }
    qsizetype at() const { return pos; }

private:
    bool fail(QString &what) const
    {
        what = problem;
        return false;
    }
    bool expected(const char *what)
    {
        problem = pos < b.size() ? u"%1 expected"_s.arg(QLatin1String(what))
                                 : u"the document ends where %1 is expected"_s.arg(QLatin1String(what));
        return false;
    }
    void skipSpace()
    {
        while (pos < b.size() && (b[pos] == ' ' || b[pos] == '\n' || b[pos] == '\r' || b[pos] == '\t'))
            ++pos;
    }
    bool value(Node &node, int depth)
    {
        if (depth > 256) {
            problem = u"nested too deeply"_s;
            return false;
        }
        node.start = pos;
        if (pos >= b.size())
            return expected("a value");
        const char c = b[pos];
        bool ok = true;
        if (c == '{') {
            node.type = Node::Type::Object;
            ok = object(node, depth);
        } else if (c == '[') {
            node.type = Node::Type::Array;
            ok = array(node, depth);
        } else if (c == '"') {
            node.type = Node::Type::String;
            ok = string(node.text);
            if (node.text.size() <= sharedLength)
                shared(node.text);
        } else {
            ok = scalar();
            node.type = b.mid(node.start, pos - node.start) == "null" ? Node::Type::Null : Node::Type::Other;
        }
        node.end = pos;
        return ok;
    }
    bool object(Node &node, int depth)
    {
        const bool prunes = pruning.keep && depth == pruning.depth && node.key == pruning.under;
        const qsizetype open = ++pos;
        skipSpace();
        if (pos < b.size() && b[pos] == '}') {
            ++pos;
            return true;
        }
        while (true) {
            if (pos >= b.size() || b[pos] != '"')
                return expected("a member name in quotes");
            Node member;
            member.keyStart = pos;
            if (!string(member.key))
                return false;
            shared(member.key);
            const qsizetype keyEnd = pos;
            skipSpace();
            if (pos >= b.size() || b[pos] != ':')
                return expected("':' after a member name");
            ++pos;
            skipSpace();
            if (!sawMember) {
                sawMember = true;
                doc.colon = b.mid(keyEnd, pos - keyEnd);
                if (depth == 0) {
                    const QByteArray lead = b.mid(open, member.keyStart - open);
                    const qsizetype lineBreak = lead.lastIndexOf('\n');
                    doc.indentUnit = lineBreak < 0 ? QByteArray() : lead.mid(lineBreak + 1);
                }
            }
            if (!(prunes && !pruning.keep(member.key) ? skipped(member) : value(member, depth + 1)))
                return false;
            member.members.squeeze();
            node.members.append(std::move(member));
            if (node.members.size() == indexedFrom) {
                for (int i = 0; i < indexedFrom; ++i)
                    node.byName.insert(node.members[i].key, i);
            } else if (node.members.size() > indexedFrom) {
                node.byName.insert(node.members.last().key, int(node.members.size() - 1));
            }
            skipSpace();
            if (pos < b.size() && b[pos] == ',') {
                ++pos;
                skipSpace();
                continue;
            }
            if (pos < b.size() && b[pos] == '}') {
                ++pos;
                return true;
            }
            return expected("',' or '}'");
        }
    }
    bool array(Node &node, int depth)
    {
        ++pos;
        skipSpace();
        if (pos < b.size() && b[pos] == ']') {
            ++pos;
            return true;
        }
        while (true) {
            Node item;
            if (!value(item, depth + 1))
                return false;
            node.members.append(std::move(item));
            skipSpace();
            if (pos < b.size() && b[pos] == ',') {
                ++pos;
                skipSpace();
                continue;
            }
            if (pos < b.size() && b[pos] == ']') {
                ++pos;
                return true;
            }
            return expected("',' or ']'");
        }
    }
    bool scalar()
    {
        const qsizetype from = pos;
        while (pos < b.size()
            && (std::isalnum(static_cast<unsigned char>(b[pos])) || b[pos] == '.' || b[pos] == '-' || b[pos] == '+'))
            ++pos;
        const QByteArray word = b.mid(from, pos - from);
        static const QByteArray literals[] {"true", "false", "null"};
        if (std::find(std::begin(literals), std::end(literals), word) != std::end(literals))
            return true;
        bool number = false;
        word.toDouble(&number);
        if (number && !word.isEmpty() && (word[0] == '-' || std::isdigit(static_cast<unsigned char>(word[0]))))
            return true;
        pos = from;
        return expected("a value");
    }
    // A value passed over: its type and where it lies, nothing read into
    // memory. Its brackets are matched and its strings ended, so that the
    // value after it is found; what lies inside is not checked further.
    bool skipped(Node &node)
    {
        node.start = pos;
        if (pos >= b.size())
            return expected("a value");
        const char c = b[pos];
        if (c != '{' && c != '[' && c != '"') {
            const bool ok = scalar();
            node.type = b.mid(node.start, pos - node.start) == "null" ? Node::Type::Null : Node::Type::Other;
            node.end = pos;
            return ok;
        }
        node.type = c == '{' ? Node::Type::Object : c == '[' ? Node::Type::Array : Node::Type::String;
        QByteArray open; // the brackets not closed yet
        do {
            const char here = b[pos];
            if (here == '"') {
                for (++pos; pos < b.size() && b[pos] != '"'; ++pos)
                    pos += b[pos] == '\\';
                if (pos >= b.size()) {
                    problem = u"a string without its closing quote"_s;
                    return false;
                }
            } else if (here == '{' || here == '[') {
                open += here == '{' ? '}' : ']';
            } else if (here == '}' || here == ']') {
                if (open.isEmpty() || open.back() != here)
                    return expected(open.isEmpty() ? "a value" : open.back() == '}' ? "'}'" : "']'");
                open.chop(1);
            }
            ++pos;
        } while (!open.isEmpty() && pos < b.size());
        if (!open.isEmpty())
            return expected(open.back() == '}' ? "'}'" : "']'");
        node.end = pos;
        return true;
    }
    int hex4(qsizetype at)
    {
        if (at + 4 > b.size())
            return -1;
        bool ok = false;
        const int code = b.mid(at, 4).toInt(&ok, 16);
        if (!ok || b[at] == '+' || b[at] == '-')
            return -1;
        return code;
    }
    bool string(QString &out)
    {
        ++pos;
        qsizetype run = pos;
        const auto flush = [&] { out += QString::fromUtf8(b.constData() + run, pos - run); };
        while (pos < b.size()) {
            const auto c = static_cast<unsigned char>(b[pos]);
            if (c == '"') {
                flush();
                ++pos;
                return true;
            }
            if (c < 0x20) {
                problem = u"a control character inside a string (JSON writes it as an escape)"_s;
                return false;
            }
            if (c >= 0x80)
                ++rawBeyondAscii;
            if (c == '/')
                ++rawSlashes;
            if (c != '\\') {
                ++pos;
                continue;
            }
            flush();
            if (pos + 1 >= b.size())
                break;
            const char e = b[pos + 1];
            pos += 2;
            switch (e) {
            case '"':
            case '\\':
                out += QLatin1Char(e);
                break;
            case '/':
                out += u'/';
                ++escapedSlashes;
                break;
            case 'b':
                out += u'\b';
                break;
            case 'f':
                out += u'\f';
                break;
            case 'n':
                out += u'\n';
                break;
            case 'r':
                out += u'\r';
                break;
            case 't':
                out += u'\t';
                break;
            case 'u': {
                const int code = hex4(pos);
                if (code < 0) {
                    pos -= 2;
                    problem = u"a \\u escape without four hexadecimal digits"_s;
                    return false;
                }
                if (code >= 0x80) {
                    if (escapedBeyondAscii++ == 0)
                        doc.upperHex = b.mid(pos, 4) != b.mid(pos, 4).toLower();
                }
                out += QChar(char16_t(code));
                pos += 4;
                break;
            }
            default:
                pos -= 2;
                problem = u"an unknown escape in a string"_s;
                return false;
            }
            run = pos;
        }
        problem = u"a string without its closing quote"_s;
        return false;
    }

    // Names and short values repeat through a catalog ("stringUnit",
    // "state", "translated", a language's code): one copy of each is shared.
    static constexpr qsizetype sharedLength = 16;
    void shared(QString &text)
    {
        const auto found = seen.constFind(text);
        if (found != seen.cend())
            text = *found;
        else
            seen.insert(text);
    }

    const QByteArray &b;
    Document &doc;
    const Pruning &pruning;
    QSet<QString> seen;
    qsizetype pos = 0;
    QString problem;
    bool sawMember = false;
    int rawBeyondAscii = 0;
    int escapedBeyondAscii = 0;
    int rawSlashes = 0;
    int escapedSlashes = 0;
};

// Checked a slice at a time, each ending before a character's first byte,
// so that a large file's text is never held whole.
bool isUtf8(QByteArrayView bytes)
{
    constexpr qsizetype slice = 1 << 20;
    for (qsizetype from = 0; from < bytes.size();) {
        qsizetype to = std::min(from + slice, bytes.size());
        while (to < bytes.size() && to > from + 1 && (static_cast<unsigned char>(bytes[to]) & 0xC0) == 0x80)
            --to;
        QStringDecoder decoder(QStringDecoder::Utf8, QStringConverter::Flag::Stateless);
        [[maybe_unused]] const QString text = decoder(bytes.sliced(from, to - from));
        if (decoder.hasError())
            return false;
        from = to;
    }
    return true;
}

QByteArray hex(uint code, bool upper)
{
    QByteArray digits = QByteArray::number(code, 16).rightJustified(4, '0');
    return upper ? digits.toUpper() : digits;
}

} // namespace

bool parse(const QByteArray &bytes, const QString &path, Document &doc, QString &error, const Pruning &pruning)
{
    doc = Document {};
    doc.path = path;
    doc.bytes = bytes;
    doc.lineStarts = {0};
    for (qsizetype i = bytes.indexOf('\n'); i >= 0; i = bytes.indexOf('\n', i + 1))
        doc.lineStarts.append(i + 1);
    doc.crlf = doc.lineStarts.size() > 1 && doc.lineStarts[1] >= 2 && bytes[doc.lineStarts[1] - 2] == '\r';
    if (!isUtf8(bytes)) {
        error = u"%1:0: not a UTF-8 file (JSON is written in UTF-8)"_s.arg(path);
        return false;
    }
    Parser parser(doc.bytes, doc, pruning);
    QString what;
    if (!parser.run(what)) {
        error = u"%1:%2: not valid JSON: %3"_s.arg(path).arg(doc.lineAt(parser.at())).arg(what);
        return false;
    }
    if (!doc.root.isObject()) {
        error = u"%1:%2: not a catalog (its top level is not an object)"_s.arg(path).arg(doc.lineAt(doc.root.start));
        return false;
    }
    doc.finalNewline = bytes.endsWith('\n');
    return true;
}

bool load(const QString &path, Document &doc, QString &error, const Pruning &pruning)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        error = u"%1:0: cannot read: %2"_s.arg(path, file.errorString());
        return false;
    }
    // Read into a buffer of the file's size: readAll() grows one to twice that.
    QByteArray bytes(file.size(), Qt::Uninitialized);
    if (file.read(bytes.data(), bytes.size()) != bytes.size() || !file.atEnd()) {
        error = u"%1:0: cannot read: %2"_s.arg(path, file.errorString());
        return false;
    }
    return parse(bytes, path, doc, error, pruning);
}

QByteArray quoted(const QString &text, const Document &style)
{
    QByteArray out = "\"";
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t u = text[i].unicode();
        switch (u) {
        case u'"':
            out += "\\\"";
            continue;
        case u'\\':
            out += "\\\\";
            continue;
        case u'\n':
            out += "\\n";
            continue;
        case u'\r':
            out += "\\r";
            continue;
        case u'\t':
            out += "\\t";
            continue;
        case u'\b':
            out += "\\b";
            continue;
        case u'\f':
            out += "\\f";
            continue;
        case u'/':
            out += style.escapedSlash ? "\\/" : "/";
            continue;
        default:
            break;
        }
        // Line and paragraph separators end a line in JavaScript source.
        if (u < 0x20 || u == 0x2028 || u == 0x2029 || (u >= 0x80 && style.asciiOnly))
            out += "\\u" + hex(u, style.upperHex);
        else if (text[i].isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate())
            out += text.mid(i++, 2).toUtf8();
        else
            out += QStringView(text).mid(i, 1).toUtf8();
    }
    return out + '"';
}

namespace {

QByteArray value(const NewMember &member, const QByteArray &indent, const Document &style)
{
    if (!member.object && !member.array)
        return member.raw.isEmpty() ? quoted(member.text, style) : member.raw;
    const char open = member.object ? '{' : '[';
    const char close = member.object ? '}' : ']';
    if (member.members.isEmpty())
        return QByteArray(1, open) + close;
    const bool lines = !style.indentUnit.isEmpty();
    const QByteArray inner = indent + style.indentUnit;
    QByteArray out(1, open);
    for (qsizetype i = 0; i < member.members.size(); ++i) {
        out += (i > 0 ? "," : "") + (lines ? "\n" + inner : QByteArray());
        const NewMember &child = member.members[i];
        out += member.object ? written(child, inner, style) : value(child, inner, style);
    }
    return out + (lines ? "\n" + indent : QByteArray()) + close;
}

} // namespace

QByteArray written(const NewMember &member, const QByteArray &indent, const Document &style)
{
    return quoted(member.key, style) + style.colon + value(member, indent, style);
}

QByteArray writtenDocument(const QList<NewMember> &members, const Document &style)
{
    NewMember root;
    root.object = true;
    root.members = members;
    const QByteArray out = value(root, {}, style);
    return style.finalNewline ? out + '\n' : out;
}

namespace {

// The indentation of the line that holds offset.
QByteArray lineIndent(const QByteArray &bytes, qsizetype offset)
{
    const qsizetype lineStart = bytes.lastIndexOf('\n', offset - 1) + 1;
    qsizetype end = lineStart;
    while (end < offset && (bytes[end] == ' ' || bytes[end] == '\t'))
        ++end;
    return bytes.mid(lineStart, end - lineStart);
}

} // namespace

Edit insertionEdit(const Insertion &insertion, const Document &doc)
{
    const Node &object = *insertion.object;
    const QByteArray &bytes = doc.bytes;
    const QByteArray newline = doc.crlf ? "\r\n" : "\n";
    // An array's items are values alone.
    const auto text = [&](const NewMember &member, const QByteArray &indent) {
        return object.isArray() ? value(member, indent, doc) : written(member, indent, doc);
    };
    if (object.members.isEmpty()) {
        // "{}" or "{\n  }": the members go inside, one level deeper than the object's line.
        const QByteArray outer = lineIndent(bytes, object.start);
        const bool lines = !doc.indentUnit.isEmpty();
        const QByteArray inner = outer + doc.indentUnit;
        QByteArray inside;
        for (qsizetype i = 0; i < insertion.members.size(); ++i)
            inside += (i > 0 ? "," : "") + (lines ? newline + inner : QByteArray()) + text(insertion.members[i], inner);
        return {object.start + 1, object.end - 1, inside + (lines ? newline + outer : QByteArray())};
    }
    // What stands after a comma between two members, or before the first.
    const auto startOf = [&object](const Node &member) { return object.isArray() ? member.start : member.keyStart; };
    const Node &first = object.members.first();
    const qsizetype firstStart = startOf(first);
    QByteArray lead = bytes.mid(object.start + 1, firstStart - object.start - 1);
    if (object.members.size() > 1) {
        const QByteArray between = bytes.mid(first.end, startOf(object.members[1]) - first.end);
        lead = between.mid(between.indexOf(',') + 1);
    }
    const QByteArray indent = lineIndent(bytes, firstStart);
    QByteArray added;
    if (insertion.after < 0) {
        for (const NewMember &member : insertion.members)
            added += text(member, indent) + ',' + lead;
        return {firstStart, firstStart, added};
    }
    for (const NewMember &member : insertion.members)
        added += ',' + lead + text(member, indent);
    const qsizetype at = object.members[insertion.after].end;
    return {at, at, added};
}

QByteArray applied(const QByteArray &bytes, QList<Edit> edits)
{
    std::stable_sort(edits.begin(), edits.end(), [](const Edit &a, const Edit &b) { return a.start < b.start; });
    // One allocation of the result's size: a large catalog is held twice at
    // most, never three times.
    qsizetype size = bytes.size();
    for (const Edit &edit : std::as_const(edits))
        size += edit.text.size() - (edit.end - edit.start);
    QByteArray out;
    out.reserve(size);
    const QByteArrayView from(bytes);
    qsizetype at = 0;
    for (const Edit &edit : std::as_const(edits)) {
        out += from.sliced(at, edit.start - at);
        out += edit.text;
        at = edit.end;
    }
    out += from.sliced(at);
    return out;
}

} // namespace tarnix::fill::json
