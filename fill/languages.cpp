#include "fill/languages.h"

#include <QRegularExpression>
#include <QStringList>

using namespace Qt::StringLiterals;

namespace tarnix::fill {

namespace {

struct Language
{
    const char16_t *code;
    const char16_t *name;
    const char16_t *pluralForms;
};

constexpr char16_t oneForm[] = u"nplurals=1; plural=0;";
constexpr char16_t notOne[] = u"nplurals=2; plural=(n != 1);";
constexpr char16_t aboveOne[] = u"nplurals=2; plural=(n > 1);";
constexpr char16_t eastSlavic[] = u"nplurals=3; plural=(n%10==1 && n%100!=11 ? 0 : n%10>=2 && n%10<=4 && "
                                  u"(n%100<10 || n%100>=20) ? 1 : 2);";

// gettext's rules for the service's languages and a few more that engines
// offer; regions with a rule of their own come before their language.
constexpr Language languages[] = {
    {u"pt_BR", u"Brazilian Portuguese", aboveOne},
    {u"en", u"English", notOne},
    {u"zh", u"Chinese", oneForm},
    {u"es", u"Spanish", notOne},
    {u"fr", u"French", aboveOne},
    {u"ru", u"Russian", eastSlavic},
    {u"uk", u"Ukrainian", eastSlavic},
    {u"de", u"German", notOne},
    {u"ja", u"Japanese", oneForm},
    {u"ko", u"Korean", oneForm},
    {u"it", u"Italian", notOne},
    {u"pl", u"Polish", u"nplurals=3; plural=(n==1 ? 0 : n%10>=2 && n%10<=4 && (n%100<10 || n%100>=20) ? 1 : 2);"},
    {u"ro", u"Romanian", u"nplurals=3; plural=(n==1 ? 0 : (n==0 || (n%100 > 0 && n%100 < 20)) ? 1 : 2);"},
    {u"pt", u"Portuguese", notOne},
    {u"ar", u"Arabic",
        u"nplurals=6; plural=(n==0 ? 0 : n==1 ? 1 : n==2 ? 2 : n%100>=3 && n%100<=10 ? 3 : n%100>=11 ? 4 : 5);"},
    {u"he", u"Hebrew", notOne},
    {u"iw", u"Hebrew", notOne},
    {u"tr", u"Turkish", notOne},
    {u"id", u"Indonesian", oneForm},
    {u"hi", u"Hindi", notOne},
    {u"vi", u"Vietnamese", oneForm},
    {u"fa", u"Persian", aboveOne},
    {u"ca", u"Catalan", notOne},
    {u"gl", u"Galician", notOne},
    {u"nl", u"Dutch", notOne},
};

const Language *find(const QString &language)
{
    QString code = language;
    code.replace(u'-', u'_');
    code = code.section(u'@', 0, 0).section(u'.', 0, 0);
    for (const QString &candidate : {code, code.section(u'_', 0, 0)}) {
        for (const Language &entry : languages) {
            if (candidate.compare(QStringView(entry.code), Qt::CaseInsensitive) == 0)
                return &entry;
        }
    }
    return nullptr;
}

} // namespace

PluralRule pluralRule(const QString &language)
{
    const Language *entry = find(language);
    if (!entry)
        return {};
    const QString expression = QString::fromUtf16(entry->pluralForms);
    return {pluralCountOf(expression), expression};
}

int pluralCountOf(const QString &pluralForms)
{
    static const QRegularExpression count(u"nplurals\\s*=\\s*(\\d+)"_s);
    const QRegularExpressionMatch match = count.match(pluralForms);
    const int n = match.hasMatch() ? match.captured(1).toInt() : 0;
    return n >= 1 && n <= 6 ? n : 0;
}

QString languageFromFileName(const QString &path)
{
    // The last part of the base name that is a language code, with the
    // region or script after it: "app_pt_BR" -> "pt_BR", "es.tarnix-fill" -> "es".
    static const QRegularExpression separators(u"[._-]"_s);
    static const QRegularExpression code(u"^([a-z]{2,3})(@[a-z]+)?$"_s);
    static const QRegularExpression region(u"^([A-Z]{2}|[A-Z][a-z]{3})(@[a-z]+)?$"_s);
    QString base = path.section(u'/', -1);
    base = base.left(base.lastIndexOf(u'.'));
    const QStringList parts = base.split(separators);
    for (qsizetype i = parts.size() - 1; i >= 0; --i) {
        const QRegularExpressionMatch match = code.match(parts[i]);
        if (!match.hasMatch() || !find(match.captured(1)))
            continue;
        const QRegularExpressionMatch next = region.match(parts.value(i + 1));
        if (match.captured(2).isEmpty() && next.hasMatch())
            return match.captured(1) + u'_' + next.captured(0);
        return parts[i];
    }
    return {};
}

QString serviceLanguage(const QString &language)
{
    QString code = language.section(u'@', 0, 0).section(u'.', 0, 0);
    code.replace(u'-', u'_');
    const QString base = code.section(u'_', 0, 0).toLower();
    const QString rest = code.section(u'_', 1);
    if (base == u"zh"_s) {
        static const QStringList traditional {u"TW"_s, u"HK"_s, u"MO"_s, u"Hant"_s};
        return traditional.contains(rest.section(u'_', -1)) || rest.startsWith(u"Hant"_s) ? u"zh-TW"_s : u"zh-CN"_s;
    }
    if (base == u"he"_s)
        return u"iw"_s;
    if (base == u"c"_s || base == u"posix"_s)
        return u"en"_s; // Qt's and POSIX's untranslated locale: the source texts' English
    return base;
}

QString languageName(const QString &language)
{
    const Language *entry = find(language);
    return entry ? QString::fromUtf16(entry->name) : language;
}

} // namespace tarnix::fill
