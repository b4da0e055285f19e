#include "service/text/languagecodes.h"

#include <array>

namespace tarnix::service {

namespace {

struct Codes
{
    const char16_t *service;
    const char16_t *apertium;
    const char16_t *libreTranslate;
};

// Apertium names languages by ISO 639-3 codes; it has no Chinese pair, so
// both Chinese scripts are left without a code there rather than merged.
// LibreTranslate uses ISO 639-1, "zt" for Traditional Chinese and "he" for
// Hebrew, which the program still calls by its old code "iw".
constexpr std::array<Codes, 21> table {{
    {u"en", u"eng", u"en"},
    {u"zh-CN", u"", u"zh"},
    {u"zh-TW", u"", u"zt"},
    {u"es", u"spa", u"es"},
    {u"fr", u"fra", u"fr"},
    {u"ru", u"rus", u"ru"},
    {u"uk", u"ukr", u"uk"},
    {u"de", u"deu", u"de"},
    {u"ja", u"jpn", u"ja"},
    {u"ko", u"kor", u"ko"},
    {u"it", u"ita", u"it"},
    {u"pl", u"pol", u"pl"},
    {u"ro", u"ron", u"ro"},
    {u"pt", u"por", u"pt"},
    {u"ar", u"ara", u"ar"},
    {u"iw", u"heb", u"he"},
    {u"tr", u"tur", u"tr"},
    {u"id", u"ind", u"id"},
    {u"hi", u"hin", u"hi"},
    {u"vi", u"vie", u"vi"},
    {u"fa", u"fas", u"fa"},
}};

const Codes *find(const QString &serviceCode)
{
    for (const Codes &codes : table) {
        if (serviceCode == QStringView(codes.service))
            return &codes;
    }
    return nullptr;
}

} // namespace

QString apertiumCode(const QString &serviceCode)
{
    const Codes *codes = find(serviceCode);
    return codes ? QString::fromUtf16(codes->apertium) : QString();
}

QString libreTranslateCode(const QString &serviceCode)
{
    const Codes *codes = find(serviceCode);
    return codes ? QString::fromUtf16(codes->libreTranslate) : QString();
}

} // namespace tarnix::service
