#pragma once

#include <QString>

namespace tarnix::fill {

// How a language forms plurals, as a PO header's Plural-Forms spells it.
struct PluralRule
{
    int count = 0; // 0: a language the table does not know
    QString expression; // "nplurals=2; plural=(n != 1);"
};

// The plural rule of a catalog language ("es", "pt_BR", "sr@latin"), from
// gettext's rules for the languages the service knows; a region with its own
// rule (pt_BR) is looked up before its language.
PluralRule pluralRule(const QString &language);

// nplurals from a Plural-Forms value; 0 when it holds no valid count.
int pluralCountOf(const QString &pluralForms);

// The language a catalog's file name names: "es.po", "po/pt_BR.po",
// "app_pt_BR.ts", "messages.fr.xlf", "strings-zh_CN.xliff". Empty when the
// name holds no language code the table knows.
QString languageFromFileName(const QString &path);

// The service's code for a catalog language: regions dropped ("pt_BR" ->
// "pt"), except Chinese, whose scripts the service tells apart ("zh_TW",
// "zh_HK", "zh-Hant" -> "zh-TW"; other Chinese -> "zh-CN"), and Hebrew,
// which the service still calls "iw".
QString serviceLanguage(const QString &language);

// The language's name in English, for a new catalog's Language-Team; the
// code itself when the table does not know it.
QString languageName(const QString &language);

} // namespace tarnix::fill
