#include "ui/catalogue.h"

namespace tarnix::catalogue {

namespace {

std::optional<QString> lookUp(const QStringList &keys, const QStringList &values, const QString &key)
{
    const qsizetype at = keys.indexOf(key);
    if (at < 0)
        return std::nullopt;
    return values.at(at);
}

} // namespace

QStringList codes()
{
    return QString::fromUtf16(codesString).split(u',', Qt::KeepEmptyParts);
}

QStringList names()
{
    return QString::fromUtf16(namesString).split(u',', Qt::KeepEmptyParts);
}

std::optional<QString> nameOfCode(const QString &code)
{
    return lookUp(codes(), names(), code);
}

std::optional<QString> codeOfName(const QString &name)
{
    return lookUp(names(), codes(), name);
}

} // namespace tarnix::catalogue
