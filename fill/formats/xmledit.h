#pragma once

#include <functional>
#include <optional>

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringConverter>

class QXmlStreamReader;

// What the XML catalog formats share: a file decoded so that it encodes back
// to the same bytes, where each element lies in it, an entry's text with its
// inline elements, and the edits that splice translations in.
namespace tarnix::fill::xml {

// A file's text, and how to write an edited text back in the same encoding.
class Document
{
public:
    // Reads path; fails ("file:0: what") on an encoding the file cannot be
    // written back in byte for byte.
    bool load(const QString &path, QString &error);
    const QString &text() const { return m_text; }
    const QString &path() const { return m_path; }
    int lineAt(qsizetype offset) const;
    // Whether the file's encoding holds the character (only Latin-1 does not hold them all).
    bool holds(char32_t c) const { return m_encoding != QStringConverter::Latin1 || c < 0x100; }
    QByteArray encode(const QString &text) const;
    // "file:line: what" for a fault found at a reader's position.
    QString fault(const QXmlStreamReader &reader) const;

private:
    QString m_path;
    QString m_text;
    QByteArray m_bom;
    QStringConverter::Encoding m_encoding = QStringConverter::Utf8;
    QList<qsizetype> m_lineStarts;
};

// Where an element lies: its start tag [tagStart, tagEnd), its content
// [tagEnd, contentEnd) and its end tag [contentEnd, end); a self-closing
// element has contentEnd == end == tagEnd.
struct Span
{
    qsizetype tagStart = -1;
    qsizetype tagEnd = -1;
    qsizetype contentEnd = -1;
    qsizetype end = -1;
    bool present() const { return tagStart >= 0; }
    bool selfClosing() const { return end == tagEnd; }
};

// The span of the start tag the reader has just read; finish() completes it
// at the reader's matching end element.
Span startSpan(const QXmlStreamReader &reader, const QString &text);
void finishSpan(Span &span, const QXmlStreamReader &reader, const QString &text);

// An inline element as an entry shows it (markup the service keeps as a
// placeholder) and as the file has it, to be written back byte for byte.
struct Inline
{
    QString shown;
    QString raw;
};

// The text of an element: character data as text, a character element (TS
// <byte>, XLIFF 2.0 <cp>) as its character, a paired inline element (<g>,
// <pc>, <mrk>) as its own tags around its text, any other inline element as
// one tag.
struct Content
{
    QString text;
    QList<Inline> inlines;
    Span span;
};
// Reads from the reader's start element to its end element.
Content readContent(QXmlStreamReader &reader, const QString &text);

// Writes one character of a translation as the format escapes it; nullopt
// when the format cannot hold it.
using Escaper = std::function<std::optional<QString>(char32_t)>;
// A translation as element content: the inline elements it shows written as
// in the source, everything else escaped. nullopt when a character cannot be held.
std::optional<QString> toXml(const QString &translation, const QList<Inline> &inlines, const Escaper &escape);

// Whether element content is well-formed on its own: an engine may have
// moved a paired inline element's end before its start.
bool wellFormed(const QString &content);

// The start tag with the attribute set to value, in place when it is there,
// else added at the end of the tag.
QString withAttribute(const QString &tag, const QString &name, const QString &value);
// The start tag without the attribute (and the space before it).
QString withoutAttribute(const QString &tag, const QString &name);
// The start tag of a self-closing element as the start of one with content.
QString opened(const QString &tag);
// What goes before a new element placed after the one spanning
// [lineOffset…]: a line break and the indentation of that element's line when
// it stands on its own line, else nothing.
QString breakBefore(const QString &text, qsizetype elementStart);

// Where the blanks before an element start, with the line break before
// them: removing from there to the element's end leaves no empty line.
qsizetype lineBefore(const QString &text, qsizetype elementStart);

struct Edit
{
    qsizetype start = 0;
    qsizetype end = 0;
    QString text;
};
// The text with the edits applied; edits do not overlap.
QString applied(const QString &text, QList<Edit> edits);

} // namespace tarnix::fill::xml
