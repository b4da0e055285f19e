#include "fill/formats/catalog.h"

#include "fill/formats/po.h"
#include "fill/formats/ts.h"
#include "fill/formats/xliff.h"

using namespace Qt::StringLiterals;

namespace tarnix::fill {

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
