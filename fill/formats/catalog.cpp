#include "fill/formats/catalog.h"

#include <cstring>

#include "fill/formats/po.h"
#include "fill/formats/ts.h"
#include "fill/formats/xliff.h"

using namespace Qt::StringLiterals;

namespace tarnix::fill {

QString systemError(int error)
{
    QString text = QString::fromLocal8Bit(std::strerror(error));
    if (text.size() > 1 && text[1].isLower())
        text[0] = text[0].toLower();
    return text;
}

std::unique_ptr<CatalogFormat> formatFor(const QString &path)
{
    const QString name = path.toLower();
    if (name.endsWith(u".po"_s) || name.endsWith(u".pot"_s))
        return std::make_unique<PoFormat>();
    if (name.endsWith(u".ts"_s))
        return std::make_unique<TsFormat>();
    if (name.endsWith(u".xlf"_s) || name.endsWith(u".xliff"_s))
        return std::make_unique<XliffFormat>();
    return nullptr;
}

} // namespace tarnix::fill
