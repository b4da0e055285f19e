#include "languages/windowcodes.h"

#include <array>
#include <utility>

namespace tarnix::languages {

namespace {

// UI code and service code of every language whose spellings differ.
constexpr std::array<std::pair<char16_t const *, char16_t const *>, 4> differing {{
    {u"kr", u"ko"},
    {u"po", u"pl"},
    {u"zh_CN", u"zh-CN"},
    {u"zh_TW", u"zh-TW"},
}};

} // namespace

QString toServiceCode(const QString &uiCode)
{
    for (const auto &[ui, service] : differing) {
        if (uiCode == QStringView(ui))
            return QString::fromUtf16(service);
    }
    return uiCode;
}

QString toUiCode(const QString &serviceCode)
{
    for (const auto &[ui, service] : differing) {
        if (serviceCode == QStringView(service))
            return QString::fromUtf16(ui);
    }
    return serviceCode;
}

} // namespace tarnix::languages
