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

// Posts texts to the service in the window's wire format, at most `jobs` at
// once, in the order they were asked. Qt runs at most six requests to one
// host per network manager, so a manager is kept for every six jobs.
class ServiceClient : public QObject
{
    Q_OBJECT

public:
    using Done = std::function<void(const Answer &)>;

    ServiceClient(const QUrl &service, int jobs, QObject *parent = nullptr);
    ~ServiceClient() override;

    void ask(const QString &source, const QString &target, const QString &text, const QString &context, Done done);
    // Drops every request not answered yet; their callbacks are never called.
    void cancel();
    qsizetype waiting() const { return queue.size() + int(inFlight.size()); }

private:
    struct Request
    {
        QByteArray body;
        Done done;
    };
    void sendNext();

    QUrl url;
    int jobs;
    std::vector<std::unique_ptr<QNetworkAccessManager>> managers;
    std::size_t nextManager = 0;
    std::deque<Request> queue;
    QHash<QNetworkReply *, Done> inFlight;
    EntityTable entities;
};

// Whether a translation service answers at `service`: a request it can
// answer without an engine (the same language both ways), within a second.
bool serviceAnswers(const QUrl &service);

} // namespace tarnix::fill
