#include "fill/formats/xmledit.h"

#include <algorithm>

#include <QFile>
#include <QRegularExpression>
#include <QStringDecoder>
#include <QStringEncoder>
#include <QXmlStreamReader>

using namespace Qt::StringLiterals;

namespace tarnix::fill::xml {

namespace {

struct Bom
{
    QByteArrayView bytes;
    QStringConverter::Encoding encoding;
};

// Longest first: the UTF-32 LE mark starts with the UTF-16 LE one.
constexpr Bom boms[] = {{"\xEF\xBB\xBF", QStringConverter::Utf8},
    {QByteArrayView("\xFF\xFE\0\0", 4), QStringConverter::Utf32LE},
    {QByteArrayView("\0\0\xFE\xFF", 4), QStringConverter::Utf32BE}, {"\xFF\xFE", QStringConverter::Utf16LE},
    {"\xFE\xFF", QStringConverter::Utf16BE}};

// The encoding of a file without a byte order mark: UTF-16 by its first
// character (of ASCII, beside a zero byte), else its XML declaration's,
// else UTF-8.
std::optional<QStringConverter::Encoding> encodingOf(const QByteArray &bytes, QString &name)
{
    if (bytes.size() >= 2 && bytes[0] != 0 && bytes[1] == 0)
        return QStringConverter::Utf16LE;
    if (bytes.size() >= 2 && bytes[0] == 0 && bytes[1] != 0)
        return QStringConverter::Utf16BE;
    static const QRegularExpression declaration(uR"(^<\?xml[^>]*?\sencoding\s*=\s*["']([A-Za-z0-9._-]+)["'])"_s);
    const auto match = declaration.match(QString::fromLatin1(bytes.left(200)));
    if (!match.hasMatch())
        return QStringConverter::Utf8;
    name = match.captured(1);
    if (name.compare(u"US-ASCII"_s, Qt::CaseInsensitive) == 0 || name.compare(u"ASCII"_s, Qt::CaseInsensitive) == 0)
        return QStringConverter::Utf8;
    const auto encoding = QStringConverter::encodingForName(name.toLatin1().constData());
    if (encoding == QStringConverter::System)
        return std::nullopt;
    return encoding;
}

QString escapedAttribute(const QString &value)
{
    QString out;
    for (const QChar c : value)
        out += c == u'&' ? u"&amp;"_s : c == u'<' ? u"&lt;"_s : c == u'"' ? u"&quot;"_s : QString(c);
    return out;
}

// A character element's character: TS <byte value="x1b"> (or decimal), XLIFF 2.0 <cp hex="001B">.
QString characterOf(const QXmlStreamReader &reader)
{
    bool ok = false;
    char32_t c = 0;
    if (reader.name() == u"cp") {
        c = reader.attributes().value(u"hex"_s).toUInt(&ok, 16);
    } else {
        const QStringView value = reader.attributes().value(u"value"_s);
        c = value.startsWith(u'x') ? value.sliced(1).toUInt(&ok, 16) : value.toUInt(&ok);
    }
    return ok ? QString::fromUcs4(&c, 1) : QString();
}

bool isPaired(QStringView name)
{
    return name == u"g" || name == u"pc" || name == u"mrk" || name == u"lengthvariant";
}

void addInline(Content &content, const QString &shown, const QString &raw)
{
    content.text += shown;
    const bool known = std::any_of(
        content.inlines.cbegin(), content.inlines.cend(), [&shown](const Inline &i) { return i.shown == shown; });
    if (!known)
        content.inlines.append({shown, raw});
}

} // namespace

bool Document::load(const QString &path, QString &error)
{
    m_path = path;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        error = u"%1:0: %2"_s.arg(path, file.errorString());
        return false;
    }
    QByteArray bytes = file.readAll();
    m_bom.clear();
    QString name;
    std::optional<QStringConverter::Encoding> encoding;
    for (const Bom &bom : boms) {
        if (bytes.startsWith(bom.bytes)) {
            m_bom = bom.bytes.toByteArray();
            encoding = bom.encoding;
            bytes.remove(0, bom.bytes.size());
            break;
        }
    }
    if (!encoding)
        encoding = encodingOf(bytes, name);
    if (!encoding) {
        error = u"%1:1: encoding %2 is not supported (UTF-8, UTF-16, UTF-32 and ISO-8859-1 are)"_s.arg(path, name);
        return false;
    }
    m_encoding = *encoding;
    QStringDecoder decoder(m_encoding, QStringConverter::Flag::Stateless);
    m_text = decoder.decode(bytes);
    if (decoder.hasError() || encode(m_text) != m_bom + bytes) {
        error =
            u"%1:0: not valid %2 text"_s.arg(path, QString::fromLatin1(QStringConverter::nameForEncoding(m_encoding)));
        return false;
    }
    m_lineStarts = {0};
    for (qsizetype i = 0; i < m_text.size(); ++i) {
        if (m_text[i] == u'\n')
            m_lineStarts.append(i + 1);
    }
    return true;
}

int Document::lineAt(qsizetype offset) const
{
    return int(std::upper_bound(m_lineStarts.cbegin(), m_lineStarts.cend(), offset) - m_lineStarts.cbegin());
}

QByteArray Document::encode(const QString &text) const
{
    QStringEncoder encoder(m_encoding, QStringConverter::Flag::Stateless);
    return m_bom + QByteArray(encoder.encode(text));
}

QString Document::fault(const QXmlStreamReader &reader) const
{
    return u"%1:%2: %3"_s.arg(m_path).arg(reader.lineNumber()).arg(reader.errorString());
}

// The reader's offset stands just past the token it has read; a tag holds
// no '<' after its first character, so its start is the last '<' before.
Span startSpan(const QXmlStreamReader &reader, const QString &text)
{
    Span span;
    span.tagEnd = reader.characterOffset();
    span.tagStart = text.lastIndexOf(u'<', span.tagEnd - 1);
    return span;
}

void finishSpan(Span &span, const QXmlStreamReader &reader, const QString &text)
{
    span.end = reader.characterOffset();
    span.contentEnd = span.end == span.tagEnd ? span.end : text.lastIndexOf(u'<', span.end - 1);
}

Content readContent(QXmlStreamReader &reader, const QString &text)
{
    Content content;
    content.span = startSpan(reader, text);
    int depth = 0;
    while (!reader.atEnd()) {
        const auto token = reader.readNext();
        if (token == QXmlStreamReader::Characters) {
            content.text += reader.text();
        } else if (token == QXmlStreamReader::StartElement) {
            Span span = startSpan(reader, text);
            const QString tag = text.mid(span.tagStart, span.tagEnd - span.tagStart);
            const bool empty = tag.endsWith(u"/>"_s);
            if (reader.name() == u"byte" || reader.name() == u"cp") {
                content.text += characterOf(reader);
                reader.skipCurrentElement();
            } else if (isPaired(reader.name()) && !empty) {
                addInline(content, tag, tag);
                ++depth;
            } else {
                reader.skipCurrentElement();
                finishSpan(span, reader, text);
                const QString raw = text.mid(span.tagStart, span.end - span.tagStart);
                // Native code inside (<ph>…</ph>, <bpt>…</bpt>) is no text to
                // translate: the entry shows the element as one empty tag.
                QString shown = empty ? raw : tag.chopped(1).trimmed() + u"/>"_s;
                const bool clash = std::any_of(content.inlines.cbegin(), content.inlines.cend(),
                    [&](const Inline &i) { return i.shown == shown && i.raw != raw; });
                addInline(content, clash ? raw : shown, raw);
            }
        } else if (token == QXmlStreamReader::EndElement) {
            if (depth == 0) {
                finishSpan(content.span, reader, text);
                break;
            }
            const qsizetype end = reader.characterOffset();
            const qsizetype start = text.lastIndexOf(u'<', end - 1);
            addInline(content, text.mid(start, end - start), text.mid(start, end - start));
            --depth;
        }
    }
    return content;
}

std::optional<QString> toXml(const QString &translation, const QList<Inline> &inlines, const Escaper &escape)
{
    QList<Inline> longestFirst = inlines;
    std::stable_sort(longestFirst.begin(), longestFirst.end(),
        [](const Inline &a, const Inline &b) { return a.shown.size() > b.shown.size(); });
    QString out;
    for (qsizetype i = 0; i < translation.size();) {
        if (translation[i] == u'<') {
            const auto inl = std::find_if(longestFirst.cbegin(), longestFirst.cend(), [&](const Inline &candidate) {
                return QStringView(translation).sliced(i).startsWith(candidate.shown);
            });
            if (inl != longestFirst.cend()) {
                out += inl->raw;
                i += inl->shown.size();
                continue;
            }
        }
        char32_t c = translation[i].unicode();
        qsizetype width = 1;
        if (translation[i].isHighSurrogate() && i + 1 < translation.size() && translation[i + 1].isLowSurrogate()) {
            c = QChar::surrogateToUcs4(translation[i], translation[i + 1]);
            width = 2;
        }
        const std::optional<QString> escaped = escape(c);
        if (!escaped)
            return std::nullopt;
        out += *escaped;
        i += width;
    }
    return out;
}

bool wellFormed(const QString &content)
{
    QXmlStreamReader reader(u"<t>"_s + content + u"</t>"_s);
    reader.setNamespaceProcessing(false);
    while (!reader.atEnd())
        reader.readNext();
    return !reader.hasError();
}

QString withAttribute(const QString &tag, const QString &name, const QString &value)
{
    const QRegularExpression attribute(u"(?<=\\s)%1\\s*=\\s*([\"'])(.*?)\\1"_s.arg(QRegularExpression::escape(name)),
        QRegularExpression::DotMatchesEverythingOption);
    const auto match = attribute.match(tag);
    QString out = tag;
    if (match.hasMatch())
        return out.replace(match.capturedStart(2), match.capturedLength(2), escapedAttribute(value));
    qsizetype at = tag.endsWith(u"/>"_s) ? tag.size() - 2 : tag.size() - 1;
    while (at > 0 && tag[at - 1].isSpace())
        --at;
    return out.insert(at, u" %1=\"%2\""_s.arg(name, escapedAttribute(value)));
}

QString withoutAttribute(const QString &tag, const QString &name)
{
    const QRegularExpression attribute(u"\\s+%1\\s*=\\s*([\"'])(.*?)\\1"_s.arg(QRegularExpression::escape(name)),
        QRegularExpression::DotMatchesEverythingOption);
    QString out = tag;
    return out.remove(attribute);
}

QString opened(const QString &tag)
{
    if (!tag.endsWith(u"/>"_s))
        return tag;
    qsizetype at = tag.size() - 2;
    while (at > 0 && tag[at - 1].isSpace())
        --at;
    return tag.left(at) + u'>';
}

QString breakBefore(const QString &text, qsizetype elementStart)
{
    const qsizetype lineStart = text.lastIndexOf(u'\n', elementStart - 1) + 1;
    const QString indent = text.mid(lineStart, elementStart - lineStart);
    if (!indent.trimmed().isEmpty() || lineStart == 0)
        return {};
    return (lineStart >= 2 && text[lineStart - 2] == u'\r' ? u"\r\n"_s : u"\n"_s) + indent;
}

qsizetype lineBefore(const QString &text, qsizetype elementStart)
{
    qsizetype from = elementStart;
    while (from > 0 && (text[from - 1] == u' ' || text[from - 1] == u'\t'))
        --from;
    if (from > 0 && text[from - 1] == u'\n')
        --from;
    if (from > 0 && text[from - 1] == u'\r')
        --from;
    return from;
}

QString applied(const QString &text, QList<Edit> edits)
{
    // In one pass, so a large catalog with many fills costs its size once; at
    // one offset an insertion goes before a replacement that starts there.
    std::stable_sort(edits.begin(), edits.end(),
        [](const Edit &a, const Edit &b) { return a.start < b.start || (a.start == b.start && a.end < b.end); });
    QString out;
    out.reserve(text.size() + text.size() / 8);
    qsizetype at = 0;
    for (const Edit &edit : std::as_const(edits)) {
        if (edit.start < at)
            continue; // overlaps the one before (one entry filled twice): the first stands
        out += QStringView(text).sliced(at, edit.start - at);
        out += edit.text;
        at = edit.end;
    }
    out += QStringView(text).sliced(at);
    return out;
}

} // namespace tarnix::fill::xml
