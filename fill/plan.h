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

// Whether the entry's texts are ICU MessageFormat messages (icuFormatFlag):
// asked as their text runs and rebuilt for the target language
// (fill/icumessage.h).
bool isIcuMessage(const Entry &entry);

// The texts to ask the service for one entry: its source, and for a plural
// entry its plural source too when that is another text; a label without
// its keyboard accelerator (fill/accelerator.h). An ICU message is asked as
// the texts of every source, in order, for the target `language`; one
// that does not parse or holds no words asks nothing.
QStringList textsToAsk(const Entry &entry, const QString &language = QString());

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

// A plural entry's forms one per CLDR category (`categories`, in
// pluralCategories()' order), as ICU-style formats hold them: "one" from
// the singular's answer, every other category from the plural's. Forms a
// partly translated entry has keep their text.
QStringList formsByCategory(const Entry &entry, const QStringList &answers, const QStringList &categories);

// Where a catalog's entries are filled: its language, and how its plural
// entries hold their forms.
struct FillTarget
{
    QString language;
    int pluralForms = 2; // gettext's numbered forms
    QStringList categories; // one form per CLDR category instead, when the format's forms go by category
};

// An entry's forms from the answers to textsToAsk(entry, target.language),
// or why it gets none: an ICU message that does not parse, or whose rebuilt
// form ICU's MessageFormat cannot read.
struct EntryFill
{
    QStringList forms;
    QString refused;
};
EntryFill fillFromAnswers(const Entry &entry, const QStringList &answers, const FillTarget &target);

// The language a catalog is filled into: the file's own, else its file
// name's, else the one given on the command line. Empty when none says.
QString catalogLanguage(const Catalog &catalog, const QString &commandLine);

} // namespace tarnix::fill
