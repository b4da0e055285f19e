#pragma once

#include <utility>

#include <QList>
#include <QString>
#include <QStringList>

namespace tarnix::fill {

// CLDR's cardinal plural rules of a locale as ICU's data holds them
// ("one" -> "i = 1 and v = 0 @integer 1"), the locale's own or its nearest
// parent's ("sr_Latn_RS" -> "sr"), as ICU's PluralRules::forLocale finds
// them. Empty when neither has rules.
QList<std::pair<QString, QString>> cldrPluralRules(const QString &icuLocale);

// Those rules as a gettext Plural-Forms value for the integer counts gettext
// passes (i = n; v, w, f, t, c and e are 0): the categories in CLDR's order
// (zero, one, two, few, many, other) that some integer reaches, as the
// samples say, the last one taking every count the others leave.
// "one: i = 1 and v = 0; few: i = 2..4 and v = 0; many: v != 0; other"
// -> "nplurals=3; plural=(n==1 ? 0 : n>=2 && n<=4 ? 1 : 2);". Empty for a
// rule it cannot read.
QString gettextPluralForms(const QList<std::pair<QString, QString>> &rules);

// The categories CLDR gives a locale's cardinal numbers, in CLDR's order
// (zero, one, two, few, many, other): the branches an ICU plural message,
// the plural keys of an i18next file and a string catalog's plural
// variations hold for that language ("pl" -> one few many other, "ja" ->
// other). {"other"} when ICU knows no rules for it.
QStringList pluralCategories(const QString &icuLocale);

} // namespace tarnix::fill
