#include "fill/estimator.h"

#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QTimer>

#include "fill/answer.h"
#include "translate/request.h"

using namespace Qt::StringLiterals;

namespace tarnix::fill {

namespace {

constexpr int parallel = 4;

} // namespace

Estimator::Estimator(const QUrl &service, QList<PlannedTexts> planned, Done done, QObject *parent)
    : QObject(parent)
    , url(serviceRequestUrl(service).resolved(QUrl(u"estimate"_s)))
    , planned(std::move(planned))
    , done(std::move(done))
    , net(new QNetworkAccessManager(this))
{
    // An entry's texts stay in one request, so that the answer speaks of it whole.
    for (qsizetype c = 0; c < this->planned.size(); ++c) {
        const PlannedTexts &catalog = this->planned[c];
        estimates.append({catalog.file, catalog.language, {}, 0});
        QStringList texts;
        QStringList contexts;
        QList<int> textsOf;
        const auto flush = [&]() {
            if (textsOf.isEmpty())
                return;
            requests.append(
                {c, textsOf, batchRequestBody(catalog.source, catalog.target, texts, contexts), texts.size()});
            texts.clear();
            contexts.clear();
            textsOf.clear();
        };
        for (qsizetype e = 0; e < catalog.texts.size(); ++e) {
            if (texts.size() + catalog.texts[e].size() > chunk)
                flush();
            texts += catalog.texts[e];
            for (qsizetype t = 0; t < catalog.texts[e].size(); ++t)
                contexts.append(catalog.contexts.value(e));
            textsOf.append(int(catalog.texts[e].size()));
        }
        flush();
    }
    QTimer::singleShot(0, this, &Estimator::sendNext);
}

Estimator::~Estimator() = default;

void Estimator::sendNext()
{
    while (error.isEmpty() && inFlight < parallel && next < requests.size()) {
        const Request &request = requests[next++];
        QNetworkRequest post(url);
        post.setHeader(QNetworkRequest::ContentTypeHeader, u"application/json"_s);
        post.setTransferTimeout(120000);
        QNetworkReply *reply = net->post(post, request.body);
        ++inFlight;
        connect(reply, &QNetworkReply::finished, this, [this, reply, request]() {
            reply->deleteLater();
            --inFlight;
            const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
            const auto answer = status == 200 ? readEstimateAnswer(reply->readAll(), request.count) : std::nullopt;
            if (!answer && error.isEmpty()) {
                error = reply->error() != QNetworkReply::NoError && status == 0
                    ? reply->errorString()
                    : u"the service at %1 gives no estimates (HTTP %2): it may be an older tarnix-service"_s.arg(
                        url.toString(), QString::number(status));
            }
            if (answer)
                addEstimate(estimates[request.catalog], *answer, request.textsOf);
            sendNext();
        });
    }
    if (inFlight == 0 && (next == requests.size() || !error.isEmpty()))
        done(error.isEmpty() ? estimates : QList<CatalogEstimate>(), error);
}

} // namespace tarnix::fill
