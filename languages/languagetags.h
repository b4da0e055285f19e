#pragma once

#include <optional>

#include <QString>
#include <QStringList>

namespace tarnix::languages {

// A language code in its parts, as BCP 47 orders them.
struct LanguageTag
{
    QString language; // "pt", "sr", lower case
    QString script; // "Latn", title case; empty when none is named
    QString region; // "BR", "419"; empty when none is named
    QStringList variants; // "valencia"
    QString extensions; // what follows a singleton, lower case ("u-nu-latn", "x-private")
    QString modifier; // a gettext locale's @modifier as written ("latin"), for gettext's own tables

    QString bcp47() const; // "sr-Latn-RS", "ca-valencia"
};

// A language code written in any of the conventions around: BCP 47 as the
// web, XLIFF and Apple write it ("pt-BR", "zh-Hans", "sr-Latn-RS", "en-GB"),
// gettext's and POSIX locales ("pt_BR", "zh_Hant_TW", "sr_RS@latin",
// "ca@valencia", "ru_RU.UTF-8"; a modifier that names a script becomes that
// script, one BCP 47 registers as a variant that variant), Android resource
// qualifiers ("values-pt-rBR", "b+sr+Latn"). Case does not matter. Nothing
// for a text that is no such code ("English", "C", "x").
std::optional<LanguageTag> readLanguageTag(const QString &written);

// A language code as people and clients write it, read as the service code
// the engines are asked with: the code of the service's language it names
// (region and script kept where the service tells them apart, "pt_BR" ->
// "pt-BR", "zh_Hant_TW" -> "zh-TW"; else dropped, "en-GB" -> "en"), the usual
// other spellings of those languages included ("he" for "iw", the window's
// "kr" and "po", "zh", "zh-Hans" and "zh-SG" for "zh-CN", "zh-Hant" and
// "zh-HK" for "zh-TW"). A well-formed code of no language the service knows
// comes back as its BCP 47 tag in canonical case ("sr@latin" -> "sr-Latn"),
// for the engines to refuse; a value that is no language code gives nullopt.
std::optional<QString> readLanguageCode(const QString &written);

// The language of an Xcode project's localization folder: "pt-BR.lproj",
// "pt_BR.lproj", "zh-Hans.lproj", "zh_CN.lproj", and the English names the
// oldest projects used ("English.lproj", "German.lproj"). Nothing for
// "Base.lproj", which holds the development language's base
// internationalization and names no language, and for a folder that is no
// localization.
std::optional<LanguageTag> readLprojName(const QString &folder);

// A language as an Android resource folder's locale qualifier: "it",
// "pt-rBR" for a language and a two-letter region, "b+sr+Latn" and
// "b+es+419" (Android's BCP 47 form) for anything more; the codes Android
// has always matched for Hebrew, Indonesian and Yiddish ("iw", "in", "ji"),
// as Android Studio names their folders. Empty for a tag without a language.
QString androidQualifier(const LanguageTag &tag);

// The language of a resource folder from its qualifiers, the others
// (mobile codes before it, "land", "night", "v21" after it) passed over:
// "values-pt-rBR" -> pt-BR, "values-b+sr+Latn-land" -> sr-Latn,
// "values-mcc310-en-rUS" -> en-US. Nothing for a folder without one
// ("values", "values-night", "values-v21").
std::optional<LanguageTag> readAndroidQualifiers(const QString &folder);

} // namespace tarnix::languages
