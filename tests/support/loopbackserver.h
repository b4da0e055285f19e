#pragma once

#include <functional>

#include <QByteArray>
#include <QList>
#include <QPair>
#include <QTcpServer>

class QTcpSocket;

namespace tarnix::test {

// One HTTP request exactly as it came over the wire.
struct RecordedRequest
{
    QByteArray method;
    QByteArray path;
    QByteArray version;
    QList<QPair<QByteArray, QByteArray>> headers; // names as sent, in order
    QByteArray body;

    // The value of the first header of that name (case-insensitive); empty if none.
    QByteArray header(QByteArrayView name) const;
    // The value of one form field of the body, still percent-encoded.
    QByteArray formField(QByteArrayView key) const;
};

// How the server answers one request.
struct Answer
{
    enum class Kind {
        Complete, // status line, headers and the whole body
        Drop, // the connection is closed before any answer
        ResetHalfway, // headers and half the body, then a TCP reset
        Stall, // headers and half the body, then nothing more
    };

    Kind kind = Kind::Complete;
    int status = 200;
    QByteArray body;
    QList<QPair<QByteArray, QByteArray>> extraHeaders;
    int delayMs = 0;
};

// A port on 127.0.0.1 that was free a moment ago.
quint16 freeLoopbackPort();

// A page as the translation service writes it, holding the given text.
QByteArray servicePage(const QByteArray &translationHtml);

// An HTTP/1.1 server on 127.0.0.1 (a port the system picks) for tests and
// benchmarks: it records every request and answers as the responder says.
// Connections stay open between requests, as the client expects.
class LoopbackServer : public QTcpServer
{
    Q_OBJECT

public:
    using Responder = std::function<Answer(const RecordedRequest &)>;

    explicit LoopbackServer(QObject *parent = nullptr);
    ~LoopbackServer() override;

    // Listens on 127.0.0.1, port 0; false if that fails.
    bool start();
    // http://127.0.0.1:<port>
    QUrl url() const;

    void setResponder(Responder responder);
    const QList<RecordedRequest> &requests() const { return received; }
    void clearRequests() { received.clear(); }
    // Requests whose answer is still to be written on an open connection.
    int openAnswers() const { return unanswered; }

signals:
    void requestReceived();

protected:
    void incomingConnection(qintptr descriptor) override;

private:
    void readFrom(QTcpSocket *socket);
    void answer(QTcpSocket *socket, const Answer &answer);
    // The answer owed on this connection is written or will never be.
    void settle(QTcpSocket *socket);

    Responder responder;
    QList<RecordedRequest> received;
    int unanswered = 0;
};

} // namespace tarnix::test
