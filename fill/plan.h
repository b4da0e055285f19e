#pragma once

#include <QList>
#include <QString>
#include <QStringList>

#include "fill/formats/catalog.h"

namespace tarnix::fill {

// Whether an entry gets a translation: not obsolete, a source to translate
// (a PO header has none), and no translation yet, or a fuzzy one when
// fuzzy entries are to be filled again.
bool needsFill(const Entry &entry, bool refillFuzzy);

// Whether an entry holds a translation (every form, for a plural entry).
bool isTranslated(const Entry &entry);

// The texts to ask the service for one entry: its source, and for a plural
// entry its plural source too when that is another text; a label without
// its keyboard accelerator (fill/accelerator.h).
QStringList textsToAsk(const Entry &entry);

// What the service is told about an entry beside its text: the message
// context (msgctxt, a TS disambiguation) and the notes for translators, one
// to a line, at most maxContext characters.
inline constexpr qsizetype maxContext = 1000;
QString contextOf(const Entry &entry);

// An entry's translation from the service's answers to textsToAsk(), in the
// catalog's pluralForms forms: a plural entry's form 0 from the singular and
// the others from the plural; a language with one form takes the plural's
// (it must read well for every number, as "%d files" does and "One file"
// does not). Forms a partly translated entry has keep their text. An answer
// to a label gets the label's accelerator back.
QStringList formsFromAnswers(const Entry &entry, const QStringList &answers, int pluralForms);

// The same for a format whose plural forms go by CLDR category: one form
// per category in the given order, "one" from the singular, every other
// from the plural.
QStringList formsByCategory(const Entry &entry, const QStringList &answers, const QStringList &categories);

// The language a catalog is filled into: the file's own, else its file
// name's, else the one given on the command line. Empty when none says.
QString catalogLanguage(const Catalog &catalog, const QString &commandLine);

} // namespace tarnix::fill
