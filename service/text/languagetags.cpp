#include "service/text/languagetags.h"

#include <array>
#include <utility>

#include <QRegularExpression>
#include <QStringList>

#include "service/text/languagecodes.h"

using namespace Qt::StringLiterals;

namespace tarnix::service {

namespace {

// Spellings of the service's languages that are not its own codes: current
// and older ISO codes, the window's names, and Chinese by script or region.
constexpr std::array<std::pair<const char16_t *, const char16_t *>, 10> aliases {{
    {u"he", u"iw"},
    {u"kr", u"ko"},
    {u"po", u"pl"},
    {u"in", u"id"},
    {u"zh", u"zh-CN"},
    {u"zh-Hans", u"zh-CN"},
    {u"zh-SG", u"zh-CN"},
    {u"zh-Hant", u"zh-TW"},
    {u"zh-HK", u"zh-TW"},
    {u"zh-MO", u"zh-TW"},
}};

// RFC 5646's langtag, without the 4 to 8 letter language subtags the
// registry reserves but never assigned ("English" is a name, not a code),
// and private-use tags ("x-klingon").
bool hasTagShape(const QString &tag)
{
    static const QRegularExpression shape(
        u"^[a-z]{2,3}(-[a-z]{3}){0,3}(-[a-z]{4})?(-([a-z]{2}|[0-9]{3}))?(-([a-z0-9]{5,8}|[0-9][a-z0-9]{3}))*"
        u"(-[0-9a-wy-z](-[a-z0-9]{2,8})+)*(-x(-[a-z0-9]{1,8})+)?$|^x(-[a-z0-9]{1,8})+$"_s,
        QRegularExpression::CaseInsensitiveOption);
    return tag.size() <= 64 && shape.match(tag).hasMatch();
}

// BCP 47's conventional case: the language in lower case, a script in title
// case, a region in upper case, everything after a singleton in lower case.
QString canonicalCase(const QString &tag)
{
    QStringList subtags = tag.toLower().split(u'-');
    for (qsizetype i = 1; i < subtags.size(); ++i) {
        QString &subtag = subtags[i];
        if (subtag.size() == 1)
            break;
        if (subtag.size() == 4 && subtag[0].isLetter())
            subtag[0] = subtag[0].toUpper();
        else if (subtag.size() == 2)
            subtag = subtag.toUpper();
    }
    return subtags.join(u'-');
}

QString known(const QString &tag)
{
    if (serviceCodes().contains(tag))
        return tag;
    for (const auto &[alias, code] : aliases) {
        if (tag == QStringView(alias))
            return QString::fromUtf16(code);
    }
    return QString();
}

} // namespace

std::optional<QString> readLanguageCode(const QString &written)
{
    QString tag = written.trimmed();
    tag.replace(u'_', u'-');
    if (!hasTagShape(tag))
        return std::nullopt;
    tag = canonicalCase(tag);
    for (QString prefix = tag; !prefix.isEmpty(); prefix.truncate(qMax<qsizetype>(prefix.lastIndexOf(u'-'), 0))) {
        if (const QString code = known(prefix); !code.isEmpty())
            return code;
    }
    return tag;
}

} // namespace tarnix::service
