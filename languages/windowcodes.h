#pragma once

#include <QString>

namespace tarnix::languages {

// The service spells four catalogue languages differently (kr/ko, po/pl,
// zh_CN/zh-CN, zh_TW/zh-TW). Exact, case-sensitive; anything else passes
// through unchanged.
QString toServiceCode(const QString &uiCode);
QString toUiCode(const QString &serviceCode);

} // namespace tarnix::languages
