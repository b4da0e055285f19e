#include "service/engines/libretranslateprotocol.h"

#include <QJsonDocument>
#include <QJsonObject>

using namespace Qt::StringLiterals;

namespace tarnix::service {

QByteArray libreTranslateBody(const QString &from, const QString &to, const QString &text, const QString &apiKey)
{
    QJsonObject body {
        {"q"_L1, text},
        {"source"_L1, from},
        {"target"_L1, to},
        {"format"_L1, "text"_L1},
    };
    if (!apiKey.isEmpty())
        body.insert("api_key"_L1, apiKey);
    return QJsonDocument(body).toJson(QJsonDocument::Compact);
}

EngineResult parseLibreTranslateReply(int httpStatus, const QByteArray &json)
{
    const QJsonObject answer = QJsonDocument::fromJson(json).object();
    const QString error = answer.value("error"_L1).toString();
    if (httpStatus == 400)
        return EngineResult {EngineResult::Status::Unsupported, QString(), error};
    if (httpStatus != 200)
        return EngineResult {EngineResult::Status::Unavailable, QString(),
            u"LibreTranslate answered %1: %2"_s.arg(httpStatus).arg(error)};
    const QJsonValue text = answer.value("translatedText"_L1);
    if (!text.isString())
        return EngineResult {
            EngineResult::Status::Unavailable, QString(), u"LibreTranslate answered without a translation"_s};
    return EngineResult {EngineResult::Status::Translated, text.toString(), QString()};
}

} // namespace tarnix::service
