#include "languages/languagetags.h"

#include <array>
#include <utility>

#include <QRegularExpression>

#include "languages/languagecodes.h"
#include "languages/windowcodes.h"

using namespace Qt::StringLiterals;

namespace tarnix::languages {

namespace {

// Spellings of the service's languages that are not its own codes: current
// and older ISO codes and Chinese by script or region. The window's own
// spellings (kr, po) come from its table.
constexpr std::array<std::pair<const char16_t *, const char16_t *>, 8> aliases {{
    {u"he", u"iw"},
    {u"in", u"id"},
    {u"zh", u"zh-CN"},
    {u"zh-Hans", u"zh-CN"},
    {u"zh-SG", u"zh-CN"},
    {u"zh-Hant", u"zh-TW"},
    {u"zh-HK", u"zh-TW"},
    {u"zh-MO", u"zh-TW"},
}};

// gettext's locale modifiers that name a script, and what BCP 47 calls it.
constexpr std::array<std::pair<const char16_t *, const char16_t *>, 5> modifierScripts {{
    {u"latin", u"Latn"}, {u"cyrillic", u"Cyrl"}, {u"devanagari", u"Deva"}, {u"arabic", u"Arab"},
    {u"iqtelif", u"Latn"}, // Tatar in Latin letters
}};

// RFC 5646's langtag, without the 4 to 8 letter language subtags the
// registry reserves but never assigned ("English" is a name, not a code),
// and private-use tags alone ("x-klingon") kept apart.
const QRegularExpression &tagShape()
{
    static const QRegularExpression shape(u"^([a-z]{2,3}(?:-[a-z]{3}){0,3})(?:-([a-z]{4}))?(?:-([a-z]{2}|[0-9]{3}))?((?"
                                          u":-(?:[a-z0-9]{5,8}|[0-9][a-z0-9]{3}))*)"
                                          u"((?:-[0-9a-wy-z](?:-[a-z0-9]{2,8})+)*(?:-x(?:-[a-z0-9]{1,8})+)?)$"_s,
        QRegularExpression::CaseInsensitiveOption);
    return shape;
}

// The text of a code in another convention as BCP 47 text, case aside:
// Android's qualifiers and gettext's locales (charset dropped, modifier
// kept apart). Empty modifier when there is none.
QString asBcp47(QString text, QString &modifier)
{
    text = text.trimmed();
    if (text.startsWith(u"values-"_s))
        text.remove(0, 7);
    if (text.startsWith(u"b+"_s)) // Android's BCP 47 form: b+sr+Latn
        text = text.sliced(2).replace(u'+', u'-');
    static const QRegularExpression androidRegion(u"^([a-zA-Z]{2,3})-r([A-Z]{2})$"_s);
    text.replace(androidRegion, u"\\1-\\2"_s);
    const qsizetype at = text.indexOf(u'@');
    if (at >= 0) {
        modifier = text.sliced(at + 1).toLower();
        text.truncate(at);
    }
    const qsizetype dot = text.indexOf(u'.'); // ru_RU.UTF-8
    if (dot > 0)
        text.truncate(dot);
    return text.replace(u'_', u'-');
}

} // namespace

QString LanguageTag::bcp47() const
{
    QStringList parts {language};
    if (!script.isEmpty())
        parts.append(script);
    if (!region.isEmpty())
        parts.append(region);
    parts += variants;
    if (!extensions.isEmpty())
        parts.append(extensions);
    return parts.join(u'-');
}

std::optional<LanguageTag> readLanguageTag(const QString &written)
{
    QString modifier;
    const QString text = asBcp47(written, modifier);
    const QRegularExpressionMatch match = tagShape().match(text);
    static const QRegularExpression modifierShape(u"^[a-z0-9]*$"_s);
    if (text.size() > 64 || !match.hasMatch() || !modifierShape.match(modifier).hasMatch())
        return std::nullopt;
    LanguageTag tag;
    tag.language = match.captured(1).toLower();
    tag.script = match.captured(2).toLower();
    if (!tag.script.isEmpty())
        tag.script[0] = tag.script[0].toUpper();
    tag.region = match.captured(3).toUpper();
    tag.variants = match.captured(4).toLower().split(u'-', Qt::SkipEmptyParts);
    tag.extensions = match.captured(5).toLower().mid(1);
    tag.modifier = modifier;
    for (const auto &[name, script] : modifierScripts) {
        if (modifier == QStringView(name) && tag.script.isEmpty())
            tag.script = QString::fromUtf16(script);
    }
    // A modifier of variant shape is BCP 47's variant (ca@valencia); others
    // (euro) say nothing of the language.
    if (tag.script.isEmpty() && modifier.size() >= 5 && modifier.size() <= 8 && !tag.variants.contains(modifier))
        tag.variants.append(modifier);
    return tag;
}

std::optional<QString> readLanguageCode(const QString &written)
{
    // A private-use tag alone ("x-klingon") is a tag of no language the
    // service knows, for the engines to refuse like any other.
    static const QRegularExpression privateUse(u"^x(-[a-z0-9]{1,8})+$"_s, QRegularExpression::CaseInsensitiveOption);
    const QString trimmed = written.trimmed();
    if (trimmed.size() <= 64 && privateUse.match(trimmed).hasMatch())
        return trimmed.toLower();
    const auto tag = readLanguageTag(written);
    if (!tag)
        return std::nullopt;
    const QStringList known = serviceCodes();
    const QString full = tag->bcp47();
    for (QString prefix = full; !prefix.isEmpty(); prefix.truncate(qMax<qsizetype>(prefix.lastIndexOf(u'-'), 0))) {
        if (known.contains(prefix))
            return prefix;
        for (const auto &[alias, code] : aliases) {
            if (prefix == QStringView(alias))
                return QString::fromUtf16(code);
        }
        if (const QString service = toServiceCode(prefix); service != prefix && known.contains(service))
            return service;
    }
    return full;
}

std::optional<LanguageTag> readLprojName(const QString &folder)
{
    // What NSBundle still reads in the oldest bundles, before ISO codes.
    static constexpr std::array<std::pair<const char16_t *, const char16_t *>, 7> legacyNames {{
        {u"English", u"en"},
        {u"French", u"fr"},
        {u"German", u"de"},
        {u"Italian", u"it"},
        {u"Japanese", u"ja"},
        {u"Spanish", u"es"},
        {u"Dutch", u"nl"},
    }};
    if (!folder.endsWith(u".lproj"_s, Qt::CaseInsensitive))
        return std::nullopt;
    const QString name = folder.chopped(6);
    for (const auto &[legacy, code] : legacyNames) {
        if (name.compare(QStringView(legacy), Qt::CaseInsensitive) == 0)
            return readLanguageTag(QString::fromUtf16(code));
    }
    // "Base" is no code; neither is an Android or gettext spelling in a bundle.
    if (name.startsWith(u"values-"_s) || name.startsWith(u"b+"_s) || name.contains(u'@') || name.contains(u'.'))
        return std::nullopt;
    return readLanguageTag(name);
}

namespace {

// Android's names for languages whose ISO code changed: Java's Locale gave
// the old ones until recently, and resource folders are matched on them.
constexpr std::array<std::pair<const char16_t *, const char16_t *>, 3> androidOldCodes {{
    {u"he", u"iw"},
    {u"id", u"in"},
    {u"yi", u"ji"},
}};

} // namespace

QString androidQualifier(const LanguageTag &tag)
{
    if (tag.language.isEmpty())
        return {};
    QString language = tag.language;
    for (const auto &[current, old] : androidOldCodes) {
        if (language == QStringView(current))
            language = QString::fromUtf16(old);
    }
    const bool plain = tag.script.isEmpty() && tag.variants.isEmpty() && tag.extensions.isEmpty()
        && (tag.region.isEmpty() || tag.region.size() == 2);
    if (!plain) {
        LanguageTag full = tag;
        full.language = language;
        return u"b+"_s + full.bcp47().replace(u'-', u'+');
    }
    return tag.region.isEmpty() ? language : language + u"-r"_s + tag.region;
}

std::optional<LanguageTag> readAndroidQualifiers(const QString &folder)
{
    QStringList parts = folder.split(u'-');
    if (parts.size() < 2)
        return std::nullopt;
    parts.removeFirst(); // the resource type: "values"
    static const QRegularExpression mobileCode(u"^(mcc|mnc)[0-9]+$"_s, QRegularExpression::CaseInsensitiveOption);
    while (!parts.isEmpty() && mobileCode.match(parts.first()).hasMatch())
        parts.removeFirst();
    if (parts.isEmpty())
        return std::nullopt;
    const QString first = parts.first();
    if (first.startsWith(u"b+"_s, Qt::CaseInsensitive))
        return readLanguageTag(first.sliced(2).replace(u'+', u'-'));
    // Qualifiers of three letters that name no language: the car UI mode, a wide colour gamut screen.
    static const QRegularExpression language(u"^[a-z]{2,3}$"_s, QRegularExpression::CaseInsensitiveOption);
    if (!language.match(first).hasMatch() || first.compare(u"car"_s, Qt::CaseInsensitive) == 0
        || first.compare(u"hdr"_s, Qt::CaseInsensitive) == 0)
        return std::nullopt;
    static const QRegularExpression region(u"^r([a-z]{2})$"_s, QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch match = region.match(parts.value(1));
    return readLanguageTag(match.hasMatch() ? first + u'-' + match.captured(1) : first);
}

} // namespace tarnix::languages
