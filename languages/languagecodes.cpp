#include "languages/languagecodes.h"

#include <array>

namespace tarnix::languages {

namespace {

struct Codes
{
    const char16_t *service;
    const char16_t *apertium;
    const char16_t *libreTranslate;
    const char16_t *name; // in English, for a language model's prompt
    const char16_t *deepLSource;
    const char16_t *deepLTargets; // DeepL's target codes, preferred first
};

// Apertium names languages by ISO 639-3 codes; it has no Chinese pair, so
// both Chinese scripts are left without a code there rather than merged.
// LibreTranslate uses ISO 639-1, "zt" for Traditional Chinese and "he" for
// Hebrew, which the program still calls by its old code "iw". DeepL reads
// one source code per language but wants a variant for some targets: American
// English, European Portuguese (the program's "pt", as in gettext) and the
// two Chinese scripts, each with the older plain code as a fallback where it
// means the same. The program's 21 languages come first; after them the ones
// only catalogs ask for, routed to whichever configured engine offers them:
// Brazilian Portuguese, kept apart from the window's European "pt" wherever an
// engine tells them apart, Catalan and Galician through Apertium's English
// pairs, Dutch through a language model, LibreTranslate or DeepL.
constexpr std::array<Codes, 25> table {{
    {u"en", u"eng", u"en", u"English", u"EN", u"EN-US EN-GB EN"},
    {u"zh-CN", u"", u"zh", u"Simplified Chinese", u"ZH", u"ZH-HANS ZH"},
    {u"zh-TW", u"", u"zt", u"Traditional Chinese", u"ZH", u"ZH-HANT"},
    {u"es", u"spa", u"es", u"Spanish", u"ES", u"ES"},
    {u"fr", u"fra", u"fr", u"French", u"FR", u"FR"},
    {u"ru", u"rus", u"ru", u"Russian", u"RU", u"RU"},
    {u"uk", u"ukr", u"uk", u"Ukrainian", u"UK", u"UK"},
    {u"de", u"deu", u"de", u"German", u"DE", u"DE"},
    {u"ja", u"jpn", u"ja", u"Japanese", u"JA", u"JA"},
    {u"ko", u"kor", u"ko", u"Korean", u"KO", u"KO"},
    {u"it", u"ita", u"it", u"Italian", u"IT", u"IT"},
    {u"pl", u"pol", u"pl", u"Polish", u"PL", u"PL"},
    {u"ro", u"ron", u"ro", u"Romanian", u"RO", u"RO"},
    {u"pt", u"por", u"pt", u"Portuguese", u"PT", u"PT-PT PT-BR"},
    {u"ar", u"ara", u"ar", u"Arabic", u"AR", u"AR"},
    {u"iw", u"heb", u"he", u"Hebrew", u"HE", u"HE"},
    {u"tr", u"tur", u"tr", u"Turkish", u"TR", u"TR"},
    {u"id", u"ind", u"id", u"Indonesian", u"ID", u"ID"},
    {u"hi", u"hin", u"hi", u"Hindi", u"HI", u"HI"},
    {u"vi", u"vie", u"vi", u"Vietnamese", u"VI", u"VI"},
    {u"fa", u"fas", u"fa", u"Persian", u"FA", u"FA"},
    {u"pt-BR", u"por_BR", u"pt", u"Brazilian Portuguese", u"PT", u"PT-BR"},
    {u"ca", u"cat", u"ca", u"Catalan", u"", u""},
    {u"gl", u"glg", u"gl", u"Galician", u"", u""},
    {u"nl", u"nld", u"nl", u"Dutch", u"NL", u"NL"},
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

QString languageName(const QString &serviceCode)
{
    const Codes *codes = find(serviceCode);
    return codes ? QString::fromUtf16(codes->name) : QString();
}

QString deepLSourceCode(const QString &serviceCode)
{
    const Codes *codes = find(serviceCode);
    return codes ? QString::fromUtf16(codes->deepLSource) : QString();
}

QStringList deepLTargetCodes(const QString &serviceCode)
{
    const Codes *codes = find(serviceCode);
    return codes ? QString::fromUtf16(codes->deepLTargets).split(u' ', Qt::SkipEmptyParts) : QStringList();
}

QStringList serviceCodes()
{
    QStringList codes;
    for (const Codes &entry : table)
        codes.append(QString::fromUtf16(entry.service));
    return codes;
}

} // namespace tarnix::languages
