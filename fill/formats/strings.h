#pragma once

#include <optional>

#include "fill/formats/catalog.h"
#include "fill/formats/xmledit.h"

namespace tarnix::fill {

// One `key = value;` of an Apple .strings file, where its parts lie in the
// file's text.
struct StringsPair
{
    QString key;
    QString value;
    qsizetype leadStart = 0; // the comments just above it (no blank line between), else `start`
    qsizetype start = 0; // its key
    qsizetype valueStart = 0; // its value, quotes included; == valueEnd for "key"; without one
    qsizetype valueEnd = 0;
    qsizetype end = 0; // just past its ';'
    QStringList comments; // those comments' texts, without their markers
};

// The pairs of a .strings file's text, as Foundation reads the old-style
// property list format: quoted or bare keys and values, `/* */` and `//`
// comments, the escapes \" \\ \n \t \r \a \b \f \v, octal \NNN and \UXXXX. On
// a syntax error: nullopt and the offset of the fault.
std::optional<QList<StringsPair>> parseStrings(const QString &text, qsizetype &faultAt, QString &fault);

// A text as a quoted .strings value: " \ and control characters escaped,
// everything else as it is (the file's encoding is UTF-8 or UTF-16).
QString quotedStringsValue(const QString &text);

// Apple's .strings files ("en.lproj/Localizable.strings"): each key of the
// source language's file is one entry, its comment (genstrings' comment from
// the code) a note. A target file that exists is edited in place: an empty
// value is filled where it stands, a key it lacks goes where the source has
// it, with the source's comment. A new target is the source's file with the
// filled values alone: a key not filled stays out, for a later run to fill.
// Written back in the encoding and line endings the file came in.
class StringsFormat : public CatalogFormat
{
public:
    using CatalogFormat::read;
    bool read(const CatalogFiles &files, Catalog &catalog, QString &error) override;
    WriteResult write(const QList<Fill> &fills, const QString &language, int pluralForms) override;
    bool marksReview() const override { return false; }

private:
    xml::Document m_source;
    xml::Document m_target;
    bool m_hasTarget = false;
    QList<StringsPair> m_sourcePairs;
    QList<StringsPair> m_targetPairs;
    QList<int> m_units; // Entry::id -> its pair in the source
};

// The language of a file in an Xcode localization folder
// ("pt_BR.lproj/Localizable.strings" -> "pt-BR"); empty for Base.lproj and
// a file in no such folder.
QString lprojLanguage(const QString &path);

} // namespace tarnix::fill
