#include "fill/languages.h"

#include <optional>

#include <QRegularExpression>
#include <QSet>
#include <QStringList>

#include <unicode/locid.h>

#include "fill/cldrplurals.h"

using namespace Qt::StringLiterals;

namespace tarnix::fill {

namespace {

struct GettextRule
{
    const char16_t *code;
    const char16_t *pluralForms;
};

// What msginit writes for each language it knows.
constexpr GettextRule gettextRules[] = {
#include "fill/gettext-plurals.inc"
};

// A locale code as gettext names catalogs, in its parts.
struct Code
{
    QString language; // "pt"
    QString script; // "Hant"
    QString region; // "BR", "419"
    QString modifier; // "@latin"

    QString icuName() const
    {
        return language + (script.isEmpty() ? QString() : u'_' + script)
            + (region.isEmpty() ? QString() : u'_' + region);
    }
};

// "pt_BR", "pt-br", "zh-Hant", "sr_RS@latin", "ru_RU.UTF-8"; nothing for a
// text that is no such code ("C", "messages").
std::optional<Code> parse(const QString &text)
{
    static const QRegularExpression pattern(
        u"^([A-Za-z]{2,3})(?:_([A-Za-z]{4}))?(?:_([A-Za-z]{2}|\\d{3}))?(?:\\.[\\w-]+)?(@[A-Za-z0-9]+)?$"_s);
    const QRegularExpressionMatch match = pattern.match(QString(text).replace(u'-', u'_'));
    if (!match.hasMatch())
        return std::nullopt;
    QString script = match.captured(2).toLower();
    if (!script.isEmpty())
        script[0] = script[0].toUpper();
    return Code {match.captured(1).toLower(), script, match.captured(3).toUpper(), match.captured(4).toLower()};
}

const char16_t *gettextRule(const QString &code)
{
    for (const GettextRule &rule : gettextRules) {
        if (code == QStringView(rule.code))
            return rule.pluralForms;
    }
    return nullptr;
}

// The language as ICU's current code names it: "iw" -> "he", "sh" -> "sr".
QString canonicalLanguage(const QString &language)
{
    return QString::fromLatin1(icu::Locale::createCanonical(language.toLatin1().constData()).getLanguage());
}

// As msginit looks a code up: the whole code, then its language.
const char16_t *gettextRuleFor(const Code &code)
{
    const QString region = code.region.isEmpty() ? QString() : u'_' + code.region;
    for (const QString &language : {code.language, canonicalLanguage(code.language)}) {
        for (const QString &candidate : {language + region + code.modifier, language + region, language}) {
            if (const char16_t *rule = gettextRule(candidate))
                return rule;
        }
    }
    return nullptr;
}

// The languages ICU has locale data for, plural rules or not (Tatar, Kinyarwanda).
const QSet<QString> &icuLanguages()
{
    static const QSet<QString> languages = [] {
        QSet<QString> set;
        int32_t count = 0;
        const icu::Locale *locales = icu::Locale::getAvailableLocales(count);
        for (int32_t i = 0; i < count; ++i)
            set.insert(QString::fromLatin1(locales[i].getLanguage()));
        return set;
    }();
    return languages;
}

} // namespace

PluralRule pluralRule(const QString &language)
{
    const auto code = parse(language);
    if (!code)
        return {};
    const char16_t *gettext = gettextRuleFor(*code);
    QString expression = gettext ? QString::fromUtf16(gettext) : gettextPluralForms(cldrPluralRules(code->icuName()));
    if (expression.isEmpty()) { // "ara" as "ar"
        Code current = *code;
        current.language = canonicalLanguage(code->language);
        expression = gettextPluralForms(cldrPluralRules(current.icuName()));
    }
    const int count = pluralCountOf(expression);
    return count > 0 ? PluralRule {count, expression} : PluralRule {};
}

bool isKnownLanguage(const QString &language)
{
    const auto code = parse(language);
    return code
        && (pluralRule(language).count > 0 || icuLanguages().contains(code->language)
            || icuLanguages().contains(canonicalLanguage(code->language)));
}

int pluralCountOf(const QString &pluralForms)
{
    static const QRegularExpression count(u"nplurals\\s*=\\s*(\\d+)"_s);
    const QRegularExpressionMatch match = count.match(pluralForms);
    const int n = match.hasMatch() ? match.captured(1).toInt() : 0;
    return n >= 1 && n <= 6 ? n : 0;
}

QStringList pluralCategoriesOf(const QString &language)
{
    const auto code = parse(language);
    return pluralCategories(code ? code->icuName() : language);
}

QString languageFromFileName(const QString &path)
{
    // The code ends the base name ("app_pt_BR", "messages.fr"), or comes
    // before the mark of a result left beside its catalog ("es.tarnix-fill").
    static const QRegularExpression code(
        u"(?:^|[._-])([a-z]{2,3})(?:[_-]([A-Z][a-z]{3}))?(?:[_-]([A-Z]{2}|\\d{3}))?(@[a-z]+)?(?:\\.tarnix-fill)?$"_s);
    QString base = path.section(u'/', -1);
    base = base.left(base.lastIndexOf(u'.'));
    const QRegularExpressionMatch match = code.match(base);
    if (!match.hasMatch() || !isKnownLanguage(match.captured(1)))
        return {};
    QString language = match.captured(1);
    for (int part : {2, 3}) {
        if (match.hasCaptured(part))
            language += u'_' + match.captured(part);
    }
    return language + match.captured(4);
}

QString serviceLanguage(const QString &language)
{
    QString code = language.section(u'@', 0, 0).section(u'.', 0, 0);
    code.replace(u'-', u'_');
    const QString base = code.section(u'_', 0, 0).toLower();
    if (base == u"zh"_s) {
        // The script when the code names one (zh_Hans_TW is simplified), else the region.
        static const QStringList traditional {u"TW"_s, u"HK"_s, u"MO"_s};
        const auto chinese = parse(language);
        const bool hant = chinese
            && (chinese->script.isEmpty() ? traditional.contains(chinese->region) : chinese->script == u"Hant"_s);
        return hant ? u"zh-TW"_s : u"zh-CN"_s;
    }
    if (base == u"he"_s)
        return u"iw"_s;
    if (base == u"c"_s || base == u"posix"_s)
        return u"en"_s; // Qt's and POSIX's untranslated locale: the source texts' English
    return base;
}

QString languageName(const QString &language)
{
    const auto code = parse(language);
    if (!code)
        return language;
    icu::UnicodeString name;
    icu::Locale(code->language.toLatin1().constData()).getDisplayLanguage(icu::Locale::getEnglish(), name);
    const QString english = QString::fromUtf16(reinterpret_cast<const char16_t *>(name.getBuffer()), name.length());
    return english.isEmpty() || english == code->language ? language : english;
}

} // namespace tarnix::fill
