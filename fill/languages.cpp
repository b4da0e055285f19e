#include "fill/languages.h"

#include <optional>

#include <QRegularExpression>
#include <QSet>
#include <QStringList>

#include <unicode/locid.h>

#include "fill/cldrplurals.h"
#include "languages/languagetags.h"

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

// A language code in its parts, read by the languages' one reader.
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
    const auto tag = languages::readLanguageTag(text);
    if (!tag)
        return std::nullopt;
    return Code {tag->language, tag->script, tag->region, tag->modifier.isEmpty() ? QString() : u'@' + tag->modifier};
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
    return pluralCategories(icuLocaleName(language));
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
    const QString base = language.section(u'_', 0, 0).section(u'.', 0, 0);
    if (base == u"C"_s || base == u"POSIX"_s)
        return u"en"_s; // Qt's and POSIX's untranslated locale: the source texts' English
    return languages::readLanguageCode(language).value_or(language);
}

QString icuLocaleName(const QString &language)
{
    const auto code = parse(language);
    return code ? code->icuName() : language;
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
