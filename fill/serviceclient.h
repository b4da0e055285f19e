#pragma once

#include <deque>
#include <functional>
#include <memory>
#include <vector>

#include <QHash>
#include <QObject>
#include <QUrl>

#include "fill/answer.h"
#include "reply/entities.h"

class QNetworkAccessManager;
class QNetworkReply;

namespace tarnix::fill {

// Posts texts to the service, at most `jobs` requests at once, in the order
// they were asked: up to `batchSize` texts of one language pair in one batch
// request (the service's POST /batch), or each alone in the window's wire
// format to a service without batches (one that answers /batch with
// anything but JSON: a 404, the page of its one path), or with a batch size
// of 1. Qt runs at most six requests to one host per
// network manager, so a manager is kept for every six jobs.
class ServiceClient : public QObject
{
    Q_OBJECT

public:
    using Done = std::function<void(const Answer &)>;

    static constexpr int defaultBatchSize = 50;

    ServiceClient(const QUrl &service, int jobs, int batchSize = defaultBatchSize, QObject *parent = nullptr);
    ~ServiceClient() override;

    void ask(const QString &source, const QString &target, const QString &text, const QString &context, Done done);
    // Drops every request not answered yet; their callbacks are never called.
    void cancel();
    qsizetype waiting() const { return queue.size() + int(inFlight.size()); }

private:
    struct Request
    {
        QString source;
        QString target;
        QString text;
        QString context;
        Done done;
    };
    void sendNext();
    void sendAlone(Request request);
    void sendBatch(QList<Request> requests);
    void track(QNetworkReply *reply, std::function<void(QNetworkReply *)> read);

    QUrl url;
    QUrl batchUrl;
    int jobs;
    int batchSize;
    bool batches = true; // until the service answers /batch with 404
    bool scheduled = false; // a sendNext() is due from the event loop
    std::vector<std::unique_ptr<QNetworkAccessManager>> managers;
    std::size_t nextManager = 0;
    std::deque<Request> queue;
    QHash<QNetworkReply *, std::function<void(QNetworkReply *)>> inFlight;
    EntityTable entities;
};

// Whether a translation service answers at `service`: a request it can
// answer without an engine (the same language both ways), within a second.
bool serviceAnswers(const QUrl &service);

} // namespace tarnix::fill
