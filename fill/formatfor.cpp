#include "fill/formatfor.h"

#include <algorithm>

#include <QDir>
#include <QFileInfo>
#include <QList>
#include <QStringList>

#include "fill/formats/po.h"
#include "fill/formats/ts.h"
#include "fill/formats/xliff.h"

using namespace Qt::StringLiterals;

namespace tarnix::fill {

namespace {

bool endsWithAny(const QString &path, const QStringList &endings)
{
    return std::any_of(endings.begin(), endings.end(),
        [&path](const QString &ending) { return path.endsWith(ending, Qt::CaseInsensitive); });
}

template <typename Format> std::unique_ptr<CatalogFormat> make()
{
    return std::make_unique<Format>();
}

struct Known
{
    QStringList endings;
    FormatInfo info;
};

const QList<Known> &known()
{
    static const QList<Known> formats {
        {{u".po"_s, u".pot"_s},
            {u"PO"_s, make<PoFormat>,
                [](const QString &path, const QString &) { return path.endsWith(u".pot"_s, Qt::CaseInsensitive); },
                [](const QString &source, const QString &language) {
                    return QFileInfo(source).dir().filePath(language + u".po"_s);
                }}},
        {{u".ts"_s}, {u"Qt TS"_s, make<TsFormat>}},
        {{u".xlf"_s, u".xliff"_s}, {u"XLIFF"_s, make<XliffFormat>}},
    };
    return formats;
}

} // namespace

const FormatInfo *formatFor(const QString &path)
{
    for (const Known &format : known()) {
        if (endsWithAny(path, format.endings))
            return &format.info;
    }
    return nullptr;
}

QString readableFiles()
{
    QStringList endings;
    for (const Known &format : known()) {
        endings += format.endings;
    }
    return endings.join(u", "_s);
}

} // namespace tarnix::fill
