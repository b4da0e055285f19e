#include "stringcatalog.h"

#include <algorithm>

#include <QJsonArray>
#include <QJsonDocument>

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
