#include "service/engines/deeplprotocol.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QXmlStreamReader>

#include "service/engines/enginerequest.h"

using namespace Qt::StringLiterals;

namespace tarnix::service {

namespace {

const QRegularExpression token(u"\u27E6(\\d+)\u27E7"_s);

QString errorMessage(const QByteArray &json)
{
    return QJsonDocument::fromJson(json).object().value("message"_L1).toString();
}

} // namespace

QUrl deepLDefaultUrl(const QString &apiKey)
{
    return QUrl(apiKey.endsWith(u":fx"_s) ? u"https://api-free.deepl.com"_s : u"https://api.deepl.com"_s);
}

QString toDeepLXml(const QString &maskedText)
{
    QString xml;
    qsizetype done = 0;
    auto tokens = token.globalMatch(maskedText);
    while (tokens.hasNext()) {
        const auto match = tokens.next();
        xml += maskedText.sliced(done, match.capturedStart() - done).toHtmlEscaped();
        xml += u"<x i=\"%1\"/>"_s.arg(match.captured(1));
        done = match.capturedEnd();
    }
    return xml + maskedText.sliced(done).toHtmlEscaped();
}

std::optional<QString> fromDeepLXml(const QString &xml)
{
    QXmlStreamReader reader(u"<t>"_s + xml + u"</t>"_s);
    QString text;
    int depth = 0;
    while (!reader.atEnd()) {
        switch (reader.readNext()) {
        case QXmlStreamReader::StartElement:
            if (++depth == 1)
                break; // the wrapper
            if (reader.name() != u"x"_s || !reader.attributes().hasAttribute(u"i"_s))
                return std::nullopt;
            text += u"\u27E6"_s + reader.attributes().value(u"i"_s).toString() + u"\u27E7"_s;
            break;
        case QXmlStreamReader::EndElement:
            --depth;
            break;
        case QXmlStreamReader::Characters:
            text += reader.text();
            break;
        default:
            break;
        }
    }
    if (reader.hasError())
        return std::nullopt;
    return text;
}

QByteArray deepLTranslateBody(
    const QString &sourceLang, const QString &targetLang, const QString &maskedText, const QString &glossaryId)
{
    return deepLBatchBody(sourceLang, targetLang, {maskedText}, glossaryId);
}

EngineResult parseDeepLTranslation(int httpStatus, const QByteArray &json)
{
    const auto failure = [](EngineResult::Status status, const QString &why) {
        return EngineResult {status, QString(), why, {}};
    };
    if (httpStatus == 456)
        return failure(EngineResult::Status::Unavailable,
            u"DeepL's character quota for this key is used up (HTTP 456); it renews with the billing period"_s);
    if (httpStatus == 400)
        return failure(EngineResult::Status::Unsupported, u"DeepL refused the request: "_s + errorMessage(json));
    if (httpStatus != 200)
        return httpFailure(u"DeepL"_s, httpStatus, errorMessage(json));
    const QJsonValue text =
        QJsonDocument::fromJson(json).object().value("translations"_L1).toArray().at(0).toObject().value("text"_L1);
    if (!text.isString())
        return failure(EngineResult::Status::Unavailable, u"DeepL answered without a translation"_s);
    const auto masked = fromDeepLXml(text.toString());
    if (!masked)
        return failure(EngineResult::Status::Unavailable, u"DeepL answered with markup it was not sent"_s);
    return EngineResult {EngineResult::Status::Translated, *masked, QString(), {}};
}

std::variant<QSet<QString>, QString> parseDeepLLanguages(int httpStatus, const QByteArray &json)
{
    if (httpStatus != 200)
        return httpFailure(u"DeepL"_s, httpStatus, errorMessage(json)).detail;
    const QJsonDocument document = QJsonDocument::fromJson(json);
    if (!document.isArray())
        return u"DeepL answered /v2/languages without a list"_s;
    QSet<QString> codes;
    for (const QJsonValue &language : document.array())
        codes.insert(language.toObject().value("language"_L1).toString().toUpper());
    codes.remove(QString());
    return codes;
}

QByteArray deepLBatchBody(
    const QString &sourceLang, const QString &targetLang, const QStringList &maskedTexts, const QString &glossaryId)
{
    QJsonArray texts;
    for (const QString &text : maskedTexts)
        texts.append(toDeepLXml(text));
    QJsonObject body {
        {"text"_L1, texts},
        {"source_lang"_L1, sourceLang},
        {"target_lang"_L1, targetLang},
        {"tag_handling"_L1, "xml"_L1},
        {"ignore_tags"_L1, QJsonArray {"x"_L1}},
        {"preserve_formatting"_L1, true},
    };
    if (!glossaryId.isEmpty())
        body.insert("glossary_id"_L1, glossaryId);
    return QJsonDocument(body).toJson(QJsonDocument::Compact);
}

BatchAnswer parseDeepLBatch(int httpStatus, const QByteArray &json, qsizetype count)
{
    BatchAnswer batch;
    if (httpStatus == 413) {
        batch.tooLarge = true;
        return batch;
    }
    if (httpStatus != 200) {
        batch.failure = parseDeepLTranslation(httpStatus, json);
        return batch;
    }
    batch.items.resize(std::size_t(count));
    const QJsonArray translations = QJsonDocument::fromJson(json).object().value("translations"_L1).toArray();
    if (translations.size() != count)
        return batch;
    for (qsizetype i = 0; i < count; ++i) {
        const QJsonValue text = translations.at(i).toObject().value("text"_L1);
        if (text.isString())
            batch.items[std::size_t(i)] = fromDeepLXml(text.toString());
    }
    return batch;
}

} // namespace tarnix::service
