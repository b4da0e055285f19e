#include "tests/support/loopbackserver.h"

#include <sys/socket.h>

#include <QHostAddress>
#include <QTcpSocket>
#include <QTimer>
#include <QUrl>

namespace tarnix::test {

namespace {

// Per connection: bytes received but not yet parsed, and whether an answer is
// still owed (the client sends its next request only after the answer).
constexpr const char *bufferProperty = "loopbackBuffer";
constexpr const char *busyProperty = "loopbackBusy";

} // namespace

QByteArray RecordedRequest::header(QByteArrayView name) const
{
    for (const auto &[key, value] : headers) {
        if (key.compare(name, Qt::CaseInsensitive) == 0)
            return value;
    }
    return {};
}

QByteArray RecordedRequest::formField(QByteArrayView key) const
{
    const QList<QByteArray> fields = body.split('&');
    for (const QByteArray &field : fields) {
        const qsizetype equals = field.indexOf('=');
        if (equals >= 0 && QByteArrayView(field).first(equals) == key)
            return field.mid(equals + 1);
    }
    return {};
}

quint16 freeLoopbackPort()
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    return probe.serverPort();
}

QByteArray servicePage(const QByteArray &translationHtml)
{
    return "<html><head><title>Translate</title></head><body><div id=gt-text-top>"
           "<span id=result_box class=\"short_text\"><span title=\"source\">"
        + translationHtml + "</span></span></div><div id=gt-res-tools><div>tools</div></div></body></html>";
}

LoopbackServer::LoopbackServer(QObject *parent)
    : QTcpServer(parent)
    , responder([](const RecordedRequest &request) {
        Answer answer;
        answer.body = servicePage("translated to " + request.formField("tl"));
        return answer;
    })
{ }

LoopbackServer::~LoopbackServer() = default;

bool LoopbackServer::start()
{
    return listen(QHostAddress::LocalHost, 0);
}

QUrl LoopbackServer::url() const
{
    QUrl url;
    url.setScheme(QStringLiteral("http"));
    url.setHost(QStringLiteral("127.0.0.1"));
    url.setPort(serverPort());
    return url;
}

void LoopbackServer::setResponder(Responder newResponder)
{
    responder = std::move(newResponder);
}

void LoopbackServer::incomingConnection(qintptr descriptor)
{
    auto *socket = new QTcpSocket(this);
    if (!socket->setSocketDescriptor(descriptor)) {
        delete socket;
        return;
    }
    connect(socket, &QTcpSocket::readyRead, this, [this, socket] { readFrom(socket); });
    connect(socket, &QTcpSocket::disconnected, this, [this, socket] {
        // An answer still owed on a closed connection is never written.
        settle(socket);
        socket->deleteLater();
    });
}

void LoopbackServer::readFrom(QTcpSocket *socket)
{
    QByteArray buffer = socket->property(bufferProperty).toByteArray() + socket->readAll();
    while (!socket->property(busyProperty).toBool()) {
        const qsizetype headEnd = buffer.indexOf("\r\n\r\n");
        if (headEnd < 0)
            break;
        RecordedRequest request;
        const QList<QByteArray> lines = buffer.left(headEnd).split('\n');
        const QList<QByteArray> requestLine = lines.first().trimmed().split(' ');
        request.method = requestLine.value(0);
        request.path = requestLine.value(1);
        request.version = requestLine.value(2);
        for (qsizetype i = 1; i < lines.size(); ++i) {
            const QByteArray line = lines.at(i).trimmed();
            const qsizetype colon = line.indexOf(':');
            if (colon > 0)
                request.headers.append({line.left(colon), line.mid(colon + 1).trimmed()});
        }
        const qsizetype bodyLength = request.header("Content-Length").toLongLong();
        const qsizetype bodyStart = headEnd + 4;
        if (buffer.size() - bodyStart < bodyLength)
            break;
        request.body = buffer.mid(bodyStart, bodyLength);
        buffer.remove(0, bodyStart + bodyLength);

        received.append(request);
        ++unanswered;
        socket->setProperty(busyProperty, true);
        const Answer planned = responder(request);
        emit requestReceived();
        if (planned.delayMs > 0)
            QTimer::singleShot(planned.delayMs, socket, [this, socket, planned] { answer(socket, planned); });
        else
            answer(socket, planned);
    }
    socket->setProperty(bufferProperty, buffer);
}

void LoopbackServer::settle(QTcpSocket *socket)
{
    if (socket->property(busyProperty).toBool()) {
        socket->setProperty(busyProperty, false);
        --unanswered;
    }
}

void LoopbackServer::answer(QTcpSocket *socket, const Answer &planned)
{
    if (planned.kind == Answer::Kind::Drop) {
        settle(socket);
        socket->disconnectFromHost();
        return;
    }

    // Clients read the status code; the reason phrase is free text.
    QByteArray head = "HTTP/1.1 " + QByteArray::number(planned.status) + " Status\r\n";
    head += "Content-Type: text/html; charset=UTF-8\r\n";
    head += "Content-Length: " + QByteArray::number(planned.body.size()) + "\r\n";
    for (const auto &[name, value] : planned.extraHeaders)
        head += name + ": " + value + "\r\n";
    head += "\r\n";

    switch (planned.kind) {
    case Answer::Kind::Complete:
        // One write, as a real server sends a small answer: head and body in
        // separate segments would wait for the client's delayed ACK (Nagle).
        socket->write(head + planned.body);
        settle(socket);
        // A request that arrived while this one was answered waits in the buffer.
        if (socket->bytesAvailable() > 0 || !socket->property(bufferProperty).toByteArray().isEmpty())
            QTimer::singleShot(0, socket, [this, socket] { readFrom(socket); });
        break;
    case Answer::Kind::ResetHalfway: {
        socket->write(head + planned.body.left(planned.body.size() / 2));
        socket->flush();
        // Linger 0: close() sends a reset instead of an orderly end.
        const linger abortive {1, 0};
        ::setsockopt(int(socket->socketDescriptor()), SOL_SOCKET, SO_LINGER, &abortive, sizeof abortive);
        settle(socket);
        socket->abort();
        socket->deleteLater();
        break;
    }
    case Answer::Kind::Stall:
        socket->write(head + planned.body.left(planned.body.size() / 2));
        break;
    case Answer::Kind::Drop:
        break;
    }
}

} // namespace tarnix::test
