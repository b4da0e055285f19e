#pragma once

#include <QHash>
#include <QString>

#include "fill/formats/catalog.h"

namespace tarnix::fill {

namespace properties {

// How a properties file writes what is not ASCII: escaped as \uXXXX (a file
// of ASCII alone, as native2ascii and Properties.store() leave it), raw
// Latin-1 with \u escapes for the rest (what Properties.load() reads), or
// raw UTF-8 (what PropertyResourceBundle reads since Java 9).
enum class Charset : unsigned char { Escaped, Latin1, Utf8 };

// One key and value of a file, as java.util.Properties.load() reads them,
// and where the value lies in the file's decoded text.
struct Property
{
    QString key;
    QString value; // unescaped
    int line = 0; // 1-based line of the key
    qsizetype block = 0; // the first character of its comment lines, or of its own line
    qsizetype start = 0; // the logical line's first character (its indentation)
    qsizetype valueStart = 0; // the value's first character, after the separator
    bool separated = true; // false for a key alone on its line, without '=', ':' or a blank after it
    qsizetype end = 0; // one past the value's last character, before the line break
    qsizetype next = 0; // the first character of the next line
    QStringList comments; // the comment lines right above it, without their '#'
};

struct File
{
    QString text; // the file decoded in its charset
    Charset charset = Charset::Escaped;
    bool upperHex = true; // "\u00E8" rather than "\u00e8"
    QString lineBreak = QStringLiteral("\n");
    QString separator = QStringLiteral("="); // between key and value, as the file's first property has it
    bool finalNewline = true;
    QList<Property> properties;
    QHash<QString, int> byKey; // the last property of a key, as Properties.load() keeps it
};

// Reads bytes as Properties.load() does (continuation lines, '#' and '!'
// comments, '=' ':' or white space between key and value, escapes); false
// with "file:line: what" for what it refuses (a malformed \u escape).
bool parse(const QByteArray &bytes, const QString &path, File &file, QString &error);

// A value or key escaped as the file writes: backslashes, line breaks, tabs,
// a leading space, what the charset cannot hold as \uXXXX; a key also
// escapes its separators and a leading comment mark.
QString escaped(const QString &text, const File &style, bool key);

// The file's text as bytes in its charset.
QByteArray encoded(const QString &text, Charset charset);

} // namespace properties

// Java's resource bundles: "Messages.properties" holds the source texts,
// "Messages_it.properties" and "Messages_pt_BR.properties" beside it their
// translations. A key of the source missing or empty in the target is
// filled; a new key goes where the source has it. The file keeps its
// charset and escapes. MessageFormat's "{0}" arguments are placeholders.
//
// Where the project's texts are MessageFormat patterns (a source value with
// a "{0}" argument or a doubled "''"), a pattern's apostrophe is written
// doubled, as MessageFormat reads it: the texts go to the engine with "''"
// as "'" and come back doubled again. That holds for the values with
// arguments, which Java formats, and for every value only where the source
// doubles apostrophes in values without arguments too (its project formats
// them all); a value whose apostrophes quote ("'{0}'") is left as written.
class PropertiesFormat : public CatalogFormat
{
public:
    using CatalogFormat::read;
    bool read(const CatalogFiles &files, Catalog &catalog, QString &error) override;
    WriteResult write(const QList<Fill> &fills, const QString &language, int pluralForms) override;
    bool marksReview() const override { return false; }

private:
    properties::File m_source;
    properties::File m_target;
    bool m_hasTarget = false;
    // Per source property: whether its texts double their apostrophes.
    QList<bool> m_doubles;
};

// "Messages.properties" -> "Messages_pt_BR.properties"; and back, empty
// when the file names no language.
QString propertiesTargetFor(const QString &source, const QString &language);
QString propertiesSourceFor(const QString &target);

} // namespace tarnix::fill
