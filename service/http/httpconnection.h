#pragma once

#include <deque>
#include <functional>
#include <memory>
#include <optional>

#include <QElapsedTimer>
#include <QObject>
#include <QPointer>
#include <QTimer>

#include "service/http/httplimits.h"
#include "service/http/requestreader.h"

class QTcpSocket;

namespace tarnix::service {

// What one request is answered with: a status and an HTML page.
struct Answer
{
    int status = 200;
    QByteArray page;
    QList<QPair<QByteArray, QByteArray>> headers; // further header fields ("Allow", …)
    QByteArray contentType = "text/html; charset=utf-8";
};

class HttpConnection;

// Where the answer to one request goes. Copies share it; the first answer
// sent counts, later ones are dropped. An answer leaves once every request
// before it on the connection is answered.
class Reply
{
public:
    struct Slot; // the answer's place in its connection's queue

    void send(Answer answer) const;
    bool sent() const;

private:
    friend class HttpConnection;

    Reply(std::shared_ptr<Slot> slot, HttpConnection *connection);

    std::shared_ptr<Slot> slot;
    QPointer<HttpConnection> connection;
};

// One client connection: its requests read with RequestReader, handed on one
// by one, and their answers written in the order the requests came, exactly
// one each. Within the limits:
// - a request not complete `requestTimeout` after its first byte is
//   answered 408 and the connection closed; one idle for `keepAliveTimeout`
//   (nothing being received, nothing owed) is closed;
// - a request the reader refuses (400, 413, 431, 501) is answered after the
//   answers owed before it, and the connection closed;
// - a request with "Connection: close", or HTTP/1.0 without keep-alive, has
//   the connection closed right after its answer, which says so;
// - with 64 answers owed, nothing more is read until answers leave.
// A connection is closed by ending the sending side once the last answer is
// out and reading (and dropping) what the client still sends for a moment,
// so that a client still writing reads its answers rather than a reset.
class HttpConnection : public QObject
{
    Q_OBJECT

public:
    using Handler = std::function<void(HttpRequest, Reply)>;

    // Takes `socket` over (it becomes this object's child).
    HttpConnection(QTcpSocket *socket, const HttpLimits &limits, Handler handler, QObject *parent = nullptr);
    ~HttpConnection() override;

    // Answers are owed on it, or a request is arriving (never evicted then).
    bool owesAnswer() const { return !owed.empty(); }
    bool receiving() const { return reader.inRequest() && !closing; }
    // Milliseconds since bytes last went in or out.
    qint64 quietFor() const { return active.elapsed(); }
    quint16 localPort() const;

    // Reads nothing more and closes once the answers owed are out.
    void closeAfterAnswers();
    // Closes at once, answers owed or not.
    void abort();

signals:
    // The connection is closed; the object deletes itself.
    void closed();

private:
    void received();
    void handOn();
    void flush();
    void refuse(const RequestReader::Problem &problem);
    void rearm();
    void expired();
    void endSending();

    QTcpSocket *socket;
    HttpLimits limits;
    Handler handler;
    RequestReader reader;
    std::deque<HttpRequest> unhandled; // read, waiting for fewer answers owed
    std::optional<RequestReader::Problem> problem; // after `unhandled`
    std::deque<std::shared_ptr<Reply::Slot>> owed; // in request order
    QTimer timer;
    QElapsedTimer since; // the first byte of the request being received, or the start of idleness
    QElapsedTimer active;
    bool closing = false; // nothing more is read; the connection closes once `owed` is written
    bool ended = false; // the sending side is shut: draining what the client still sends

    friend class Reply;
};

} // namespace tarnix::service
