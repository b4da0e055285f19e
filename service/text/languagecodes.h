#pragma once

#include <QString>

namespace tarnix::service {

// Language codes as the engines spell them, from the service codes the program
// sends ("en", "zh-CN", "zh-TW", "ko", "pl", "iw", …). Empty for a code that is
// not one of the program's 21 languages.
QString apertiumCode(const QString &serviceCode); // ISO 639-3: "eng", "spa"
QString libreTranslateCode(const QString &serviceCode); // "en", "zh", "zt", "he"

} // namespace tarnix::service
