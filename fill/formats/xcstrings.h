#pragma once

#include <QStringList>

#include "fill/formats/catalog.h"
#include "fill/formats/jsonedit.h"

namespace tarnix::fill {

// Xcode's string catalogs (".xcstrings"): one JSON file holds every
// language, {"sourceLanguage", "strings": {KEY: {"comment", "extractionState",
// "shouldTranslate", "localizations": {LANG: {"stringUnit": {"state",
// "value"}} or {"variations": {"plural": {CATEGORY: {"stringUnit"}}}}}}}}.
// A catalog is read for one target language (CatalogFiles::language); the
// run fills each language as a job of its own over the same file, each
// write starting from the bytes the one before wrote (follow()). Read
// without a language (to review it), it holds every language's entries,
// each named by its language, U+0004 and its key.
//
// A key is an entry unless it is stale or not to be translated; its source
// text is the source language's unit, or the key itself when it has none.
// Plural variations are one plural entry whose forms go by the target
// language's CLDR categories. Each device variation and each substitution
// ("%#@files@" in the text, its own plural variations with "%arg") is an
// entry of its own, named by its key, U+0004 and its path in the
// localization ("variations/device/mac", "substitutions/files"); a new
// substitution gets the source's argument number and format. Variations of
// a kind not known here are left as they are (Catalog::notices says how many). A unit in state "new"
// holds no translation yet (Xcode copies the source there), one in state
// "needs_review" or "stale" (of an older source text) awaits review; a
// filled unit is written with state "needs_review", Xcode's own review mark.
//
// The file keeps Xcode's layout: every byte but the filled units stays, and
// what is added goes where Xcode would put it (members in its sorted order,
// " : " after a name, two spaces a level).
class XcstringsFormat : public CatalogFormat
{
public:
    using CatalogFormat::read;
    bool read(const CatalogFiles &files, Catalog &catalog, QString &error) override;
    WriteResult write(const QList<Fill> &fills, const QString &language, int pluralForms) override;
    bool pluralByCategory() const override { return true; }
    bool follow(const QByteArray &bytes) override;
    // Accepting an entry makes its units that await review "translated".
    WriteResult accept(const QList<int> &ids) override;

private:
    json::Document m_doc;
    QString m_language; // the language read; empty: every language
    // Entry::id -> its language, its key under "strings" and its slot in
    // that localization (a device's, a substitution's; empty for its own).
    struct Unit
    {
        QString language;
        QString key;
        QStringList slot;
    };
    QList<Unit> m_units;
};

// The languages a string catalog holds other than its source language, in
// the file's order; empty when it cannot be read.
QStringList xcstringsLanguages(const QString &path);

// Whether Xcode orders a before b as it writes the keys of its catalogs:
// Finder's order (numbers by their value, punctuation before symbols, case
// only between keys otherwise equal, lower case first). Checked against the
// key and language order of real catalogs.
bool xcodeOrdersBefore(const QString &a, const QString &b);

} // namespace tarnix::fill
