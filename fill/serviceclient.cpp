#include "fill/serviceclient.h"

#include <QEventLoop>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QTimer>

#include "translate/request.h"

using namespace Qt::StringLiterals;

namespace tarnix::fill {

ServiceClient::ServiceClient(const QUrl &service, int jobs, int batchSize, QObject *parent)
    : QObject(parent)
    , url(serviceRequestUrl(service))
    , batchUrl(url.resolved(QUrl(u"batch"_s)))
    , jobs(std::max(1, jobs))
    , batchSize(std::max(1, batchSize))
    , batches(batchSize > 1)
{
    for (int i = 0; i < (this->jobs + 5) / 6; ++i)
        managers.push_back(std::make_unique<QNetworkAccessManager>());
    fillEntityTable(entities);
}

ServiceClient::~ServiceClient()
{
    cancel();
}

void ServiceClient::ask(
    const QString &source, const QString &target, const QString &text, const QString &context, Done done)
{
    queue.push_back({source, target, text, context, std::move(done)});
    // Sent from the event loop, so that the texts asked together share batches.
    if (!std::exchange(scheduled, true)) {
        QTimer::singleShot(0, this, [this]() {
            scheduled = false;
            sendNext();
        });
    }
}

void ServiceClient::sendNext()
{
    while (!queue.empty() && inFlight.size() < jobs) {
        Request first = std::move(queue.front());
        queue.pop_front();
        if (!batches) {
            sendAlone(std::move(first));
            continue;
        }
        // The first text waiting, and the next ones of its pair.
        QList<Request> batch {std::move(first)};
        for (auto it = queue.begin(); it != queue.end() && batch.size() < batchSize;) {
            if (it->source == batch.front().source && it->target == batch.front().target) {
                batch.append(std::move(*it));
                it = queue.erase(it);
            } else {
                ++it;
            }
        }
        sendBatch(std::move(batch));
    }
}

void ServiceClient::track(QNetworkReply *reply, std::function<void(QNetworkReply *)> read)
{
    inFlight.insert(reply, std::move(read));
    connect(reply, &QNetworkReply::finished, this, [this, reply]() {
        reply->deleteLater();
        const auto read = inFlight.take(reply);
        if (!read)
            return; // cancelled
        read(reply);
        sendNext();
    });
}

void ServiceClient::sendAlone(Request request)
{
    const QByteArray body = encodeFormBody(request.source, request.target, request.text, request.context);
    QNetworkAccessManager &net = *managers[nextManager++ % managers.size()];
    track(net.post(makeServiceRequest(url, body.size()), body),
        [this, done = std::move(request.done)](QNetworkReply *reply) {
            const QVariant status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
            Answer answer = readAnswer(reply->error(), status.toInt(),
                reply->error() == QNetworkReply::NoError || status.isValid() ? reply->readAll() : QByteArray(),
                reply->rawHeader("X-Tarnix-Memory") == "yes", entities);
            // A single answer says only that a person translated the text itself.
            if (answer.kind == Answer::Kind::Translated && reply->rawHeader("X-Tarnix-Origin") == "person")
                answer.origin = {true, 100, {}, {}, false};
            done(answer);
        });
}

void ServiceClient::sendBatch(QList<Request> requests)
{
    QStringList texts;
    QStringList contexts;
    for (const Request &request : requests) {
        texts.append(request.text);
        contexts.append(request.context);
    }
    const QByteArray body = batchRequestBody(requests.front().source, requests.front().target, texts, contexts);
    QNetworkRequest post = makeServiceRequest(batchUrl, body.size());
    post.setHeader(QNetworkRequest::ContentTypeHeader, "application/json"_ba);
    QNetworkAccessManager &net = *managers[nextManager++ % managers.size()];
    track(net.post(post, body), [this, requests = std::move(requests)](QNetworkReply *reply) mutable {
        const QVariant status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
        const QByteArray body =
            reply->error() == QNetworkReply::NoError || status.isValid() ? reply->readAll() : QByteArray();
        std::optional<QList<Answer>> answers;
        if (status.toInt() == 200)
            answers = readBatchAnswer(body, requests.size());
        const bool json =
            reply->header(QNetworkRequest::ContentTypeHeader).toString().startsWith(u"application/json"_s);
        if (!json || (status.toInt() == 200 && !answers)) {
            // A service without batches (404, or the page of its one path),
            // or a refusal before the batch was read: every text alone, first
            // in line, as the window's requests, which say why each time.
            batches = false;
            for (auto it = requests.rbegin(); it != requests.rend(); ++it)
                queue.push_front(std::move(*it));
            return;
        }
        if (!answers) {
            // The batch as a whole failed: each text is told why.
            const QString error = QJsonDocument::fromJson(body).object().value("error"_L1).toString();
            const QString why = !status.isValid() ? u"no answer from the service"_s
                : error.isEmpty()                 ? u"HTTP %1"_s.arg(status.toInt())
                                                  : u"HTTP %1: %2"_s.arg(status.toInt()).arg(error);
            answers = QList<Answer>(requests.size(), Answer {Answer::Kind::Failed, why, false});
        }
        for (qsizetype i = 0; i < requests.size(); ++i)
            requests[i].done((*answers)[i]);
    });
}

void ServiceClient::cancel()
{
    queue.clear();
    const auto replies = inFlight.keys();
    inFlight.clear();
    for (QNetworkReply *reply : replies)
        reply->abort();
}

bool serviceAnswers(const QUrl &service)
{
    QNetworkAccessManager net;
    const QByteArray body = encodeFormBody(u"en"_s, u"en"_s, u"ping"_s);
    QNetworkReply *reply = net.post(makeServiceRequest(serviceRequestUrl(service), body.size()), body);
    QEventLoop loop;
    QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
    QTimer::singleShot(1000, &loop, &QEventLoop::quit);
    loop.exec();
    const bool answered = reply->isFinished() && reply->error() == QNetworkReply::NoError
        && reply->readAll().contains("<span id=result_box");
    reply->abort();
    delete reply;
    return answered;
}

} // namespace tarnix::fill
