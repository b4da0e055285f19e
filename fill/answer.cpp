#include "fill/answer.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QVariant>

#include "reply/extract.h"
#include "reply/replystatus.h"

using namespace Qt::StringLiterals;

namespace tarnix::fill {

namespace {

// The explanation on one of the service's error pages: its first paragraph.
QString errorMessage(const QByteArray &body, const EntityTable &table)
{
    const QString page = QString::fromUtf8(body);
    const qsizetype start = page.indexOf(u"<p>"_s);
    const qsizetype end = start < 0 ? -1 : page.indexOf(u"</p>"_s, start);
    if (end < 0)
        return {};
    return cleanText(QStringView(page).sliced(start + 3, end - start - 3), table).simplified();
}

} // namespace

QString originComment(const PersonOrigin &origin)
{
    if (!origin.person)
        return {};
    const auto oneLine = [](QString text, qsizetype most) {
        text.replace(u'\\', u"\\\\"_s).replace(u'\n', u"\\n"_s).replace(u'\r', u"\\r"_s).replace(u'\t', u"\\t"_s);
        return text.size() > most ? text.left(most - 1) + u'…' : text;
    };
    QString comment = origin.close() ? u"tarnix: %1% match of \"%2\""_s.arg(origin.score).arg(oneLine(origin.match, 80))
                                     : u"tarnix: people's translation"_s;
    if (!origin.note.isEmpty())
        comment += u" (%1)"_s.arg(oneLine(origin.note, 80));
    if (origin.contextDiffers)
        comment += u"; context differs"_s;
    return comment;
}

Answer readAnswer(QNetworkReply::NetworkError error, int httpStatus, const QByteArray &body, bool fromMemory,
    const EntityTable &table)
{
    if (isAcceptedReply(error, httpStatus)) {
        const QString text = extractTranslation(body, table);
        if (text.isEmpty())
            return {Answer::Kind::Failed, u"the service answered with an empty translation"_s, false};
        return {Answer::Kind::Translated, text, fromMemory};
    }
    // 422: the service answered, but with a refusal; anything else is a failure.
    const QString message = errorMessage(body, table);
    if (httpStatus == 422)
        return {Answer::Kind::Refused, message.isEmpty() ? u"refused by the service"_s : message, false};
    if (httpStatus > 0)
        return {Answer::Kind::Failed,
            message.isEmpty() ? u"HTTP %1"_s.arg(httpStatus) : u"HTTP %1: %2"_s.arg(httpStatus).arg(message), false};
    return {Answer::Kind::Failed, error == QNetworkReply::NoError ? u"no answer"_s : u"no answer from the service"_s,
        false};
}

QByteArray batchRequestBody(
    const QString &source, const QString &target, const QStringList &texts, const QStringList &contexts)
{
    QJsonArray items;
    for (qsizetype i = 0; i < texts.size(); ++i) {
        QJsonObject item {{"id"_L1, i}, {"text"_L1, texts[i]}};
        if (i < contexts.size() && !contexts[i].isEmpty())
            item.insert("context"_L1, contexts[i]);
        items.append(item);
    }
    return QJsonDocument(QJsonObject {{"from"_L1, source}, {"to"_L1, target}, {"items"_L1, items}})
        .toJson(QJsonDocument::Compact);
}

std::optional<QList<Answer>> readBatchAnswer(const QByteArray &body, qsizetype count)
{
    const QJsonValue items = QJsonDocument::fromJson(body).object().value("items"_L1);
    if (!items.isArray())
        return std::nullopt;
    const Answer missing {Answer::Kind::Failed, u"the service's batch answer lacks this entry"_s, false};
    QList<Answer> answers(count, missing);
    QList<int> seen(count, 0);
    for (const QJsonValue &value : items.toArray()) {
        const QJsonObject item = value.toObject();
        const QJsonValue id = item.value("id"_L1);
        const double number = id.toDouble(-1);
        if (!id.isDouble() || number < 0 || number >= double(count) || number != double(qsizetype(number)))
            continue;
        const auto index = qsizetype(number);
        if (++seen[index] > 1) {
            answers[index] = {Answer::Kind::Failed, u"the service's batch answer has this entry twice"_s, false};
            continue;
        }
        const int status = item.value("status"_L1).toInt();
        const auto tell = [&](Answer answer) {
            answer.engine = item.value("engine"_L1).toString();
            answer.requests = item.value("requests"_L1).toDouble();
            answer.characters = qsizetype(item.value("characters"_L1).toDouble());
            if (answer.kind == Answer::Kind::Translated && item.value("origin"_L1) == "person"_L1) {
                const QJsonValue match = item.value("match"_L1);
                answer.origin = {true, item.value("score"_L1).toInt(100),
                    match.isString() ? match.toString() : QString(), item.value("note"_L1).toString(),
                    item.value("context-differs"_L1).toBool()};
            }
            return answer;
        };
        const QString reason = item.value("reason"_L1).toString();
        if (status == 200) {
            const QString text = item.value("text"_L1).toString();
            answers[index] = tell(text.isEmpty()
                    ? Answer {Answer::Kind::Failed, u"the service answered with an empty translation"_s, false}
                    : Answer {Answer::Kind::Translated, text, item.value("memory"_L1).toBool()});
        } else if (status == 422) {
            answers[index] =
                tell({Answer::Kind::Refused, reason.isEmpty() ? u"refused by the service"_s : reason, false});
        } else {
            answers[index] = tell({Answer::Kind::Failed,
                reason.isEmpty() ? u"HTTP %1"_s.arg(status) : u"HTTP %1: %2"_s.arg(status).arg(reason), false});
        }
    }
    return answers;
}

} // namespace tarnix::fill
