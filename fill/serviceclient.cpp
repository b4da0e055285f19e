#include "fill/serviceclient.h"

#include <QEventLoop>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QTimer>

#include "translate/request.h"

using namespace Qt::StringLiterals;

namespace tarnix::fill {

ServiceClient::ServiceClient(const QUrl &service, int jobs, QObject *parent)
    : QObject(parent)
    , url(serviceRequestUrl(service))
    , jobs(std::max(1, jobs))
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
    queue.push_back({encodeFormBody(source, target, text, context), std::move(done)});
    sendNext();
}

void ServiceClient::sendNext()
{
    while (!queue.empty() && inFlight.size() < jobs) {
        Request request = std::move(queue.front());
        queue.pop_front();
        QNetworkAccessManager &net = *managers[nextManager++ % managers.size()];
        QNetworkReply *reply = net.post(makeServiceRequest(url, request.body.size()), request.body);
        inFlight.insert(reply, std::move(request.done));
        connect(reply, &QNetworkReply::finished, this, [this, reply]() {
            reply->deleteLater();
            const Done done = inFlight.take(reply);
            if (!done)
                return; // cancelled
            const Answer answer =
                readAnswer(reply->error(), reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt(),
                    reply->error() == QNetworkReply::NoError
                            || reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).isValid()
                        ? reply->readAll()
                        : QByteArray(),
                    reply->rawHeader("X-Tarnix-Memory") == "yes", entities);
            done(answer);
            sendNext();
        });
    }
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
