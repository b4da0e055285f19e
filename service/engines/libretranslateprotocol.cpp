#include "service/engines/libretranslateprotocol.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include "service/engines/enginerequest.h"

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
        return EngineResult {EngineResult::Status::Unsupported, QString(), error, {}};
    if (httpStatus != 200)
        return httpFailure(u"LibreTranslate"_s, httpStatus, error);
    const QJsonValue text = answer.value("translatedText"_L1);
    if (!text.isString())
        return EngineResult {
            EngineResult::Status::Unavailable, QString(), u"LibreTranslate answered without a translation"_s, {}};
    return EngineResult {EngineResult::Status::Translated, text.toString(), QString(), {}};
}

std::variant<QSet<QString>, QString> parseLibreTranslateLanguages(int httpStatus, const QByteArray &json)
{
    if (httpStatus != 200)
        return httpFailure(u"LibreTranslate"_s, httpStatus, QString()).detail;
    const QJsonDocument document = QJsonDocument::fromJson(json);
    if (!document.isArray())
        return u"LibreTranslate answered /languages without a list"_s;
    QStringList all;
    for (const QJsonValue &language : document.array())
        all.append(language.toObject().value("code"_L1).toString());
    QSet<QString> pairs;
    for (const QJsonValue &language : document.array()) {
        const QString from = language.toObject().value("code"_L1).toString();
        const QJsonValue targets = language.toObject().value("targets"_L1);
        const QStringList to = targets.isArray() ? targets.toVariant().toStringList() : all;
        for (const QString &target : to) {
            if (!from.isEmpty() && !target.isEmpty() && target != from)
                pairs.insert(from + u'|' + target);
        }
    }
    return pairs;
}

QByteArray libreTranslateBatchBody(
    const QString &from, const QString &to, const QStringList &texts, const QString &apiKey)
{
    QJsonObject body {
        {"q"_L1, QJsonArray::fromStringList(texts)},
        {"source"_L1, from},
        {"target"_L1, to},
        {"format"_L1, "text"_L1},
    };
    if (!apiKey.isEmpty())
        body.insert("api_key"_L1, apiKey);
    return QJsonDocument(body).toJson(QJsonDocument::Compact);
}

BatchAnswer parseLibreTranslateBatch(int httpStatus, const QByteArray &json, qsizetype count)
{
    BatchAnswer batch;
    if (httpStatus == 413) {
        batch.tooLarge = true;
        return batch;
    }
    if (httpStatus != 200) {
        batch.failure = parseLibreTranslateReply(httpStatus, json);
        return batch;
    }
    batch.items.resize(std::size_t(count));
    const QJsonValue texts = QJsonDocument::fromJson(json).object().value("translatedText"_L1);
    if (!texts.isArray() || texts.toArray().size() != count)
        return batch;
    for (qsizetype i = 0; i < count; ++i) {
        if (texts.toArray().at(i).isString())
            batch.items[std::size_t(i)] = texts.toArray().at(i).toString();
    }
    return batch;
}

} // namespace tarnix::service
