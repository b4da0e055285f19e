#include "stringcatalog.h"

#include <algorithm>
#include <limits>

#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonDocument>

#include "fill/formats/xcstrings.h"

using namespace Qt::StringLiterals;

namespace {

QByteArray jsonString(const QString &text)
{
    return QJsonDocument(QJsonArray {text}).toJson(QJsonDocument::Compact).sliced(1).chopped(1);
}

QByteArray unit(const QByteArray &language, const QByteArray &value, bool last)
{
    return "        \"" + language + "\" : {\n          \"stringUnit\" : {\n            \"state\" : \"translated\",\n"
        + "            \"value\" : " + value + "\n          }\n        }" + (last ? "\n" : ",\n");
}

} // namespace

QByteArray stringCatalog(const QStringList &messages, int keys, int languages)
{
    // Xcode's order: languages and keys sorted; "es" left out to be filled.
    QStringList codes {u"ar"_s, u"cs"_s, u"da"_s, u"de"_s, u"el"_s, u"en"_s, u"fi"_s, u"fr"_s, u"he"_s, u"hu"_s,
        u"it"_s, u"ja"_s, u"ko"_s, u"nl"_s, u"pl"_s, u"pt-BR"_s, u"ru"_s, u"sv"_s, u"tr"_s, u"zh-Hans"_s};
    codes = codes.first(std::min<qsizetype>(languages + 1, codes.size()));
    QStringList names;
    for (int i = 0; i < keys; ++i)
        names.append(u"key."_s + QString::number(i).rightJustified(6, u'0'));
    QByteArray json = "{\n  \"sourceLanguage\" : \"en\",\n  \"strings\" : {\n";
    for (int i = 0; i < keys; ++i) {
        const QString text = messages[i % messages.size()];
        json += "    " + jsonString(names[i]) + " : {\n      \"extractionState\" : \"manual\",\n"
            + "      \"localizations\" : {\n";
        for (qsizetype l = 0; l < codes.size(); ++l) {
            const QString value = codes[l] == u"en"_s ? text : u"[%1] %2"_s.arg(codes[l], text);
            json += unit(codes[l].toUtf8(), jsonString(value), l + 1 == codes.size());
        }
        json += "      }\n    }" + QByteArray(i + 1 == keys ? "\n" : ",\n");
    }
    return json + "  },\n  \"version\" : \"1.0\"\n}";
}

double stringCatalogReadWrite(const QString &path)
{
    double best = std::numeric_limits<double>::infinity();
    for (int run = 0; run < 3; ++run) {
        QElapsedTimer clock;
        clock.start();
        tarnix::fill::XcstringsFormat format;
        tarnix::fill::Catalog catalog;
        QString error;
        if (!format.read(tarnix::fill::CatalogFiles {path, {}, u"es"_s}, catalog, error))
            qFatal("cannot read the string catalog: %s", qPrintable(error));
        QList<tarnix::fill::Fill> fills;
        for (const tarnix::fill::Entry &entry : std::as_const(catalog.entries))
            fills.append({entry.id, {u"[es] "_s + entry.source}});
        const tarnix::fill::WriteResult written = format.write(fills, u"es"_s, 2);
        if (!written.ok || fills.isEmpty())
            qFatal("cannot fill the string catalog: %s", qPrintable(written.error));
        best = std::min(best, clock.nsecsElapsed() / 1e6);
    }
    return best;
}
