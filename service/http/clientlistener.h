#pragma once

#include <deque>

#include <QElapsedTimer>
#include <QHash>
#include <QTcpServer>
#include <QTimer>

#include "service/http/httplimits.h"
#include "service/http/requestframing.h"

class QTcpSocket;

namespace tarnix::service {

// Accepts the service's client connections and keeps them in bounds, before
// and beside Qt's HTTP server, which reads the requests from the sockets this
// hands it:
// - a request not complete `requestTimeout` after its first byte is answered
//   408 and closed; a connection idle for `keepAliveTimeout` is closed;
// - at `maxConnections` open, a new connection closes the one quiet longest
//   (an idle keep-alive connection before a stalled request when both were
//   quiet as long); one that is owed an answer is never closed (the new
//   one is refused with 503 instead);
// - a first line that is not an HTTP request line, a request whose framing
//   HTTP refuses (RequestFraming), or a request growing past the largest
//   body the service reads, is answered (400, 413, …) and closed, with one
//   answer and before Qt's parser reads it;
// - a request with "Connection: close", or HTTP/1.0 without keep-alive, has
//   the connection closed right after its answer.
// Qt's own parser would close such a connection without a word, and would
// hold the rest forever.
class ClientListener : public QTcpServer
{
    Q_OBJECT

public:
    explicit ClientListener(const HttpLimits &limits, QObject *parent = nullptr);
    ~ClientListener() override;

    // From the HTTP side: a request on `socket` was read whole and its answer
    // is now owed; one answer owed on `socket` was sent.
    void requestRead(QTcpSocket *socket);
    void answerSent(QTcpSocket *socket);
    // The next answer owed on `socket` is its last: it says "Connection: close".
    bool closesAfterAnswer(QTcpSocket *socket) const;

    qsizetype openConnections() const { return clients.size(); }

signals:
    // No client connection for `idleExit` (never when it is 0).
    void idle();

protected:
    void incomingConnection(qintptr descriptor) override;

private:
    struct Client
    {
        QTimer *timer = nullptr; // a child of the socket
        QElapsedTimer since; // the first byte of the request being received, or the start of idleness
        QElapsedTimer active; // since the last bytes in or out (or the connection itself)
        bool receiving = false;
        bool lineChecked = false;
        int owed = 0;
        qint64 requestBytes = 0;
        QByteArray head; // the start of the request, until its first line is judged
        RequestFraming framing;
        std::deque<bool> closing; // per request read and not answered: whether its answer closes
    };

    void received(QTcpSocket *socket);
    void rearm(Client &client);
    void expired(QTcpSocket *socket);
    bool makeRoom();
    void refuse(QTcpSocket *socket, int status, const QString &reason, const QString &message, const QString &note);
    void forget(QTcpSocket *socket);

    HttpLimits limits;
    QHash<QTcpSocket *, Client> clients;
    QTimer idleTimer;
};

} // namespace tarnix::service
