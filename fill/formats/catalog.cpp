#include "fill/formats/catalog.h"

#include <cstring>

using namespace Qt::StringLiterals;

namespace tarnix::fill {

QString systemError(int error)
{
    QString text = QString::fromLocal8Bit(std::strerror(error));
    if (text.size() > 1 && text[1].isLower())
        text[0] = text[0].toLower();
    return text;
}

WriteResult CatalogFormat::accept(const QList<int> &)
{
    return {false, {}, u"this format keeps no review marks in the file: its review record has them"_s, {}, {}};
}

QString formOfCategory(const QStringList &forms, const QStringList &categories, const QString &category)
{
    if (forms.isEmpty())
        return {};
    if (forms.size() == categories.size())
        return forms.value(categories.indexOf(category));
    return category == u"one"_s ? forms.first() : forms.last();
}

QString withOrigin(const QString &comments, const QString &origin)
{
    QStringList lines = comments.split(u'\n');
    if (lines.last().isEmpty())
        lines.removeLast();
    lines.removeIf([](const QString &line) { return line.startsWith(originPrefix); });
    if (!origin.isEmpty())
        lines.append(origin);
    return lines.join(u'\n');
}

QString originIn(const QString &comments)
{
    for (const QStringView line : QStringView(comments).split(u'\n')) {
        if (line.startsWith(originPrefix))
            return line.toString();
    }
    return {};
}

} // namespace tarnix::fill
