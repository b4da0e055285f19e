#include "service/http/httpconnection.h"

#include <algorithm>
#include <optional>

#include <QDateTime>
#include <QTcpSocket>
#ifdef Q_OS_UNIX
#include <sys/socket.h>
#endif

#include "service/http/logescape.h"
#include "service/http/page.h"
#include "service/http/requestlog.h"

using namespace Qt::StringLiterals;

namespace tarnix::service {

struct Reply::Slot
{
    std::optional<Answer> answer;
    bool closes = false; // the connection closes after this answer
    bool head = false; // the answer to a HEAD request: no body
    bool keptAlive10 = false; // an HTTP/1.0 request that asked to keep the connection: the answer says it does
};

namespace {

// How long a closed connection still reads what the client sends, so that a
// client still writing reads its answers instead of a reset.
constexpr std::chrono::milliseconds lingerTime {2000};
// Answers owed on one connection at most: a client that sends requests
// without reading the answers is read on only as they leave, and meanwhile
// the system holds back what it sends.
constexpr std::size_t maxOwed = 64;

QByteArray answerBytes(const Answer &answer, const Reply::Slot &slot)
{
    QByteArray bytes = "HTTP/1.1 " + QByteArray::number(answer.status) + ' ' + reasonPhrase(answer.status)
        + "\r\nContent-Type: " + answer.contentType + "\r\n";
    for (const auto &[name, value] : answer.headers)
        bytes += name + ": " + value + "\r\n";
    if (slot.closes)
        bytes += "Connection: close\r\n";
    else if (slot.keptAlive10)
        bytes += "Connection: keep-alive\r\n";
    bytes += "Content-Length: " + QByteArray::number(answer.page.size()) + "\r\n\r\n";
    if (!slot.head)
        bytes += answer.page;
    return bytes;
}

} // namespace

Reply::Reply(std::shared_ptr<Slot> slot, HttpConnection *connection)
    : slot(std::move(slot))
    , connection(connection)
{ }

void Reply::send(Answer answer) const
{
    if (slot->answer)
        return;
    slot->answer = std::move(answer);
    if (connection)
        connection->flush();
}

bool Reply::sent() const
{
    return slot->answer.has_value();
}

HttpConnection::HttpConnection(QTcpSocket *socket, const HttpLimits &limits, Handler handler, QObject *parent)
    : QObject(parent)
    , socket(socket)
    , limits(limits)
    , handler(std::move(handler))
{
    socket->setParent(this);
    // Each answer is written whole at once: nothing is gained by waiting to fill a segment.
    socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
    socket->setReadBufferSize(maxHeadBytes + maxBodyBytes);
    active.start();
    since.start();
    timer.setSingleShot(true);
    connect(&timer, &QTimer::timeout, this, &HttpConnection::expired);
    connect(socket, &QIODevice::readyRead, this, &HttpConnection::received);
    connect(socket, &QIODevice::bytesWritten, this, [this]() {
        active.start();
        if (closing && owed.empty() && !ended && this->socket->bytesToWrite() == 0)
            endSending();
    });
    connect(socket, &QAbstractSocket::disconnected, this, &HttpConnection::abort);
    rearm();
}

HttpConnection::~HttpConnection() = default;

quint16 HttpConnection::localPort() const
{
    return socket ? socket->localPort() : 0;
}

void HttpConnection::received()
{
    if (!socket)
        return;
    if (closing) {
        socket->readAll(); // after a closing answer what comes is read only to be dropped
        return;
    }
    if (unhandled.empty() && !problem && owed.size() < maxOwed) {
        const QByteArray bytes = socket->readAll();
        if (!bytes.isEmpty()) {
            active.start();
            const bool wasInRequest = reader.inRequest();
            RequestReader::Fed fed = reader.feed(bytes);
            if (reader.inRequest() && (!wasInRequest || !fed.requests.isEmpty()))
                since.start(); // the first byte of the request now being received
            for (HttpRequest &request : fed.requests)
                unhandled.push_back(std::move(request));
            problem = fed.problem;
        }
    }
    handOn();
}

void HttpConnection::handOn()
{
    const QPointer<HttpConnection> self(this);
    while (!unhandled.empty() && owed.size() < maxOwed && !closing) {
        HttpRequest request = std::move(unhandled.front());
        unhandled.pop_front();
        auto slot = std::make_shared<Reply::Slot>();
        slot->closes = !request.keepAlive;
        slot->head = request.method == "HEAD";
        slot->keptAlive10 = request.version == 10 && request.keepAlive;
        owed.push_back(slot);
        handler(std::move(request), Reply(slot, this));
        if (!self)
            return;
    }
    if (unhandled.empty() && problem && !closing)
        refuse(*std::exchange(problem, std::nullopt));
    else
        rearm();
}

void HttpConnection::refuse(const RequestReader::Problem &problem)
{
    const qint64 milliseconds = reader.inRequest() || problem.status == 408 ? since.elapsed() : 0;
    qInfo().noquote() << requestLogLine(QDateTime::currentDateTimeUtc(), {}, {}, problem.status, milliseconds, 0)
            + u" ("_s + escapeForLog(problem.what) + u')';
    auto slot = std::make_shared<Reply::Slot>();
    slot->closes = true;
    slot->answer = Answer {problem.status,
        errorPage(problem.status, QString::fromLatin1(reasonPhrase(problem.status)),
            u"The request is not read: %1."_s.arg(problem.what)),
        {}};
    owed.push_back(slot);
    closing = true;
    flush();
}

void HttpConnection::flush()
{
    if (!socket)
        return; // closed; the object is about to go
    while (!ended && !owed.empty() && owed.front()->answer) {
        const std::shared_ptr<Reply::Slot> slot = owed.front();
        owed.pop_front();
        // A client that gave up (a cancelled run) has closed its connection.
        if (socket->state() == QAbstractSocket::ConnectedState)
            socket->write(answerBytes(*slot->answer, *slot));
        active.start();
        if (slot->closes) {
            closing = true;
            owed.clear(); // nothing was read after it
        }
    }
    if (closing) // the service may be stopping: hand what is written to the system now
        socket->flush();
    else if (owed.size() < maxOwed && (!unhandled.empty() || socket->bytesAvailable() > 0))
        QMetaObject::invokeMethod(this, &HttpConnection::received, Qt::QueuedConnection);
    if (closing && owed.empty() && !ended && socket->bytesToWrite() == 0)
        endSending();
    else
        rearm();
}

void HttpConnection::closeAfterAnswers()
{
    if (!socket)
        return;
    // Requests read and not handed on yet are told to ask again.
    for (const HttpRequest &request : std::exchange(unhandled, {})) {
        auto slot = std::make_shared<Reply::Slot>();
        slot->head = request.method == "HEAD";
        slot->answer = Answer {503,
            errorPage(
                503, u"Service Unavailable"_s, u"The connection is closing before this request was read; ask again."_s),
            {}};
        owed.push_back(slot);
    }
    closing = true;
    if (!owed.empty())
        owed.back()->closes = true;
    flush();
}

void HttpConnection::rearm()
{
    if (ended)
        return; // lingering; its own time runs
    if (closing) {
        // Answers the engines still owe are bounded by the engines' own time
        // limits; written answers that never leave are not.
        if (owed.empty())
            timer.start(limits.requestTimeout);
        else
            timer.stop();
    } else if (reader.inRequest()) {
        timer.start(std::max<qint64>(0, limits.requestTimeout.count() - since.elapsed()));
    } else if (!owed.empty()) {
        timer.stop(); // the engine's own time limit bounds the wait
    } else {
        timer.start(limits.keepAliveTimeout);
    }
}

void HttpConnection::expired()
{
    if (closing || ended) {
        abort(); // an answer the client never reads, or a client that never closes
    } else if (reader.inRequest()) {
        refuse({408,
            u"it was not complete %1 s after its first byte"_s.arg(double(limits.requestTimeout.count()) / 1000)});
    } else {
        closeAfterAnswers(); // idle
    }
}

void HttpConnection::endSending()
{
    ended = true;
#ifdef Q_OS_UNIX
    // The client reads the end of the answers; what it still sends is read
    // and dropped until it closes too, or for a moment.
    ::shutdown(int(socket->socketDescriptor()), SHUT_WR);
    timer.start(std::min(lingerTime, limits.requestTimeout));
#else
    socket->disconnectFromHost();
#endif
}

void HttpConnection::abort()
{
    if (!socket)
        return;
    timer.stop();
    QTcpSocket *gone = std::exchange(socket, nullptr);
    QObject::disconnect(gone, nullptr, this, nullptr);
    gone->abort();
    emit closed();
    deleteLater();
}

} // namespace tarnix::service
