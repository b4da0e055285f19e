#pragma once

#include <QString>
#include <QStringList>

namespace tarnix::fill {

// How a language forms plurals, as a PO header's Plural-Forms spells it.
struct PluralRule
{
    int count = 0; // 0: a language with no known rule
    QString expression; // "nplurals=2; plural=(n != 1);"
};

// The plural rule of a catalog language ("es", "pt_BR", "sr@latin", "zh-Hant"):
// for a language gettext's msginit knows, the rule it writes into a new
// catalog (a region with its own rule, pt_BR, before its language; a
// deprecated code as its current one, iw as he); for any other, CLDR's rule
// from ICU's data, as gettext's formula for integer counts.
PluralRule pluralRule(const QString &language);

// Whether gettext or CLDR knows the code's language: a rule of either, or
// ICU locale data for it. The code is spelled as gettext names catalogs,
// with an optional script, region, charset and @modifier ("sr_RS@latin").
bool isKnownLanguage(const QString &language);

// CLDR's plural categories of a catalog language, in CLDR's order
// ("pt-BR", "sr@latin" -> pluralCategories() of "pt_BR", "sr_Latn").
QStringList pluralCategoriesOf(const QString &language);

// nplurals from a Plural-Forms value; 0 when it holds no valid count.
int pluralCountOf(const QString &pluralForms);

// The language a catalog's file name names: "es.po", "po/pt_BR.po",
// "app_pt_BR.ts", "messages.fr.xlf", "strings-zh_CN.xliff": a known language
// at the end of the base name, with its script, region and @modifier. Empty
// when the name ends in none.
QString languageFromFileName(const QString &path);

// The service's code for a catalog language, whatever its convention: the
// service's own reading (languages/languagetags.h), region and script kept
// where the service tells them apart ("pt_BR" -> "pt-BR", "zh_HK" and
// "zh-Hant" -> "zh-TW", "zh_Hans_TW" -> "zh-CN", "he" -> "iw"), dropped where
// it does not ("pt_PT" -> "pt"); Qt's and POSIX's C locale is English.
QString serviceLanguage(const QString &language);

// The catalog language as an ICU locale name ("pt-br" -> "pt_BR",
// "sr@latin" -> "sr_Latn", "zh-Hant" -> "zh_Hant"): what ICU's plural rules and
// formats are asked with. The code itself when it is no such code.
QString icuLocaleName(const QString &language);

// The language's name in English as ICU gives it ("pt_BR" -> "Portuguese",
// as msginit names a new catalog's language); the code itself when ICU
// knows no name for it.
QString languageName(const QString &language);

} // namespace tarnix::fill
