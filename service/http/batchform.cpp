#include "service/http/batchform.h"

#include <cmath>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSet>

using namespace Qt::StringLiterals;

namespace tarnix::service {

std::variant<BatchForm, FormError> parseBatchForm(QByteArrayView body)
{
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(body.toByteArray(), &error);
    if (error.error != QJsonParseError::NoError)
        return FormError {u"The body is not JSON: %1 at byte %2."_s.arg(error.errorString()).arg(error.offset)};
    if (!document.isObject())
        return FormError {u"The body must be a JSON object with \"from\", \"to\" and \"items\"."_s};
    const QJsonObject object = document.object();
    BatchForm form;
    for (auto [key, field] : {std::pair {"from", &form.source}, std::pair {"to", &form.target}}) {
        const QJsonValue value = object.value(QLatin1StringView(key));
        if (!value.isString() || value.toString().isEmpty())
            return FormError {u"\"%1\" must be a language code."_s.arg(QLatin1StringView(key))};
        *field = value.toString();
    }
    const QJsonValue items = object.value("items"_L1);
    if (!items.isArray() || items.toArray().isEmpty())
        return FormError {u"\"items\" must be a list of at least one item."_s};
    if (items.toArray().size() > maxBatchItems)
        return FormError {u"A batch holds at most %1 items."_s.arg(maxBatchItems)};
    QSet<QString> ids;
    for (const QJsonValue &entry : items.toArray()) {
        const qsizetype number = form.items.size() + 1;
        if (!entry.isObject())
            return FormError {u"Item %1 is not an object."_s.arg(number)};
        const QJsonObject item = entry.toObject();
        const QJsonValue id = item.value("id"_L1);
        if (!id.isString() && !id.isDouble())
            return FormError {u"Item %1 has no \"id\" (a string or a number)."_s.arg(number)};
        // A number and the string of its digits are two ids.
        const QString idKey = id.isString() ? u"s"_s + id.toString() : u"n"_s + QString::number(id.toDouble(), 'g', 17);
        if (ids.contains(idKey))
            return FormError {u"Item %1 has the id of an earlier item."_s.arg(number)};
        ids.insert(idKey);
        const QJsonValue text = item.value("text"_L1);
        if (!text.isString() || text.toString().isEmpty())
            return FormError {u"Item %1 has no \"text\"."_s.arg(number)};
        const QJsonValue context = item.value("context"_L1);
        if (!context.isUndefined() && !context.isNull() && !context.isString())
            return FormError {u"The \"context\" of item %1 is not a string."_s.arg(number)};
        form.items.append({id, text.toString(), context.toString()});
    }
    return form;
}

QByteArray batchAnswerJson(const BatchForm &form, const QList<BatchItemAnswer> &answers)
{
    QJsonArray items;
    for (qsizetype i = 0; i < form.items.size() && i < answers.size(); ++i) {
        const BatchItemAnswer &answer = answers[i];
        QJsonObject item {{"id"_L1, form.items[i].id}, {"status"_L1, answer.status}};
        if (answer.status == 200) {
            item.insert("text"_L1, answer.text);
            item.insert("memory"_L1, answer.fromMemory);
            if (answer.person) {
                item.insert("origin"_L1, "person"_L1);
                if (!answer.note.isEmpty())
                    item.insert("note"_L1, answer.note);
                if (answer.contextDiffers)
                    item.insert("context-differs"_L1, true);
                item.insert("score"_L1, answer.score);
                if (!answer.matched.isNull())
                    item.insert("match"_L1, answer.matched);
            }
        } else {
            item.insert("reason"_L1, answer.text);
        }
        if (answer.requests > 0)
            item.insert("requests"_L1, std::round(answer.requests * 1e4) / 1e4);
        if (answer.characters > 0)
            item.insert("characters"_L1, answer.characters);
        if (!answer.engine.isEmpty())
            item.insert("engine"_L1, answer.engine);
        items.append(item);
    }
    return QJsonDocument(QJsonObject {{"items"_L1, items}}).toJson(QJsonDocument::Compact);
}

std::variant<LearnForm, FormError> parseLearnForm(QByteArrayView body)
{
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(body.toByteArray(), &error);
    if (error.error != QJsonParseError::NoError || !document.isObject())
        return FormError {u"The body is not a JSON object."_s};
    const QJsonObject object = document.object();
    LearnForm form;
    for (auto [name, value] : {std::pair {"from", &form.source}, std::pair {"to", &form.target}}) {
        const QJsonValue field = object.value(QLatin1StringView(name));
        if (!field.isString() || field.toString().isEmpty())
            return FormError {u"The request has no \"%1\" language code."_s.arg(QLatin1StringView(name))};
        *value = field.toString();
    }
    const QJsonValue note = object.value("note"_L1);
    if (!note.isUndefined() && !note.isNull() && !note.isString())
        return FormError {u"The \"note\" is not a string."_s};
    form.note = note.toString();
    const QJsonArray items = object.value("items"_L1).toArray();
    if (items.isEmpty() || items.size() > maxLearnItems)
        return FormError {u"The request needs \"items\", 1 to %1 of them."_s.arg(maxLearnItems)};
    for (qsizetype i = 0; i < items.size(); ++i) {
        const QJsonObject item = items[i].toObject();
        const QJsonValue text = item.value("text"_L1), translation = item.value("translation"_L1),
                         context = item.value("context"_L1);
        if (!text.isString() || text.toString().isEmpty() || !translation.isString()
            || translation.toString().isEmpty())
            return FormError {u"Item %1 needs a non-empty \"text\" and \"translation\"."_s.arg(i + 1)};
        if (!context.isUndefined() && !context.isNull() && !context.isString())
            return FormError {u"The \"context\" of item %1 is not a string."_s.arg(i + 1)};
        form.texts.append({text.toString(), context.toString()});
        form.translations.append(translation.toString());
    }
    return form;
}

QByteArray estimateAnswerJson(
    const BatchForm &form, const QList<EstimatedItem> &items, const QList<EngineShare> &shares)
{
    QJsonArray itemsJson;
    int exact = 0;
    int close = 0;
    for (qsizetype i = 0; i < form.items.size() && i < items.size(); ++i) {
        QJsonObject item {{"id"_L1, form.items[i].id}, {"status"_L1, items[i].offered ? 200 : 422}};
        if (!items[i].engine.isEmpty())
            item.insert("engine"_L1, items[i].engine);
        if (items[i].offered)
            item.insert("memory"_L1, items[i].remembered);
        if (items[i].personScore > 0) {
            item.insert("origin"_L1, "person"_L1);
            item.insert("score"_L1, items[i].personScore);
            ++(items[i].personScore >= 100 ? exact : close);
        }
        itemsJson.append(item);
    }
    QJsonArray engines;
    for (const EngineShare &share : shares) {
        QJsonObject engine {
            {"engine"_L1, share.engine}, {"characters"_L1, share.characters}, {"requests"_L1, share.requests}};
        if (share.seconds)
            engine.insert("seconds"_L1, *share.seconds);
        if (share.cost) {
            engine.insert("cost"_L1, *share.cost);
            engine.insert("currency"_L1, share.currency);
        }
        engines.append(engine);
    }
    const QJsonObject people {{"exact"_L1, exact}, {"close"_L1, close}};
    return QJsonDocument(QJsonObject {{"items"_L1, itemsJson}, {"people"_L1, people}, {"engines"_L1, engines}})
        .toJson(QJsonDocument::Compact);
}

QByteArray glossaryAnswerJson(const QString &source, const QString &target, const QJsonArray &terms)
{
    return QJsonDocument(QJsonObject {{"from"_L1, source}, {"to"_L1, target}, {"terms"_L1, terms}})
        .toJson(QJsonDocument::Compact);
}

QByteArray batchErrorJson(const QString &message)
{
    return QJsonDocument(QJsonObject {{"error"_L1, message}}).toJson(QJsonDocument::Compact);
}

} // namespace tarnix::service
