#pragma once

#include <QSet>
#include <QTcpServer>
#include <QTimer>

#include "service/http/httpconnection.h"
#include "service/http/httplimits.h"

namespace tarnix::service {

// Accepts the service's client connections (an HttpConnection each, which
// reads their requests and writes their answers) and keeps their number in
// bounds: at `maxConnections` open, a new connection closes the one quiet
// longest (an idle keep-alive connection before a stalled request when both
// were quiet as long); one that is owed an answer is never closed, and when
// every one is, the new one is refused with 503 instead.
class ClientListener : public QTcpServer
{
    Q_OBJECT

public:
    ClientListener(const HttpLimits &limits, HttpConnection::Handler handler, QObject *parent = nullptr);
    ~ClientListener() override;

    // Takes no more connections; every open one closes once its answers are out.
    void stop();

    qsizetype openConnections() const { return connections.size(); }

signals:
    // No client connection for `idleExit` (never when it is 0).
    void idle();

protected:
    void incomingConnection(qintptr descriptor) override;

private:
    bool makeRoom();
    void forget(HttpConnection *connection);

    HttpLimits limits;
    HttpConnection::Handler handler;
    QSet<HttpConnection *> connections;
    QTimer idleTimer;
};

} // namespace tarnix::service
