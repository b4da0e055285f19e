#pragma once

#include <QString>
#include <QStringList>

namespace tarnix::languages {

// Language codes as the engines spell them, from the service codes the program
// sends ("en", "zh-CN", "zh-TW", "ko", "pl", "iw", …) and the few more that
// catalogs ask for ("pt-BR", "ca", "gl", "nl"). Empty for a code the service does not
// know, or one the engine has no code for.
QString apertiumCode(const QString &serviceCode); // ISO 639-3: "eng", "spa"
QString libreTranslateCode(const QString &serviceCode); // "en", "zh", "zt", "he"
QString deepLSourceCode(const QString &serviceCode); // "EN", "ZH", "PT"
QStringList deepLTargetCodes(const QString &serviceCode); // {"ZH-HANS", "ZH"}: the first DeepL lists is used
QString languageName(const QString &serviceCode); // "Simplified Chinese"

// The service codes: the program's 21 languages, then "pt-BR", "ca", "gl"
// and "nl".
QStringList serviceCodes();

} // namespace tarnix::languages
