#include "service/http/clientlistener.h"

#include <algorithm>

#include <QDateTime>
#include <QTcpSocket>

#include "service/http/guards.h"
#include "service/http/logescape.h"
#include "service/http/page.h"
#include "service/http/requestlog.h"

using namespace Qt::StringLiterals;

namespace tarnix::service {

namespace {

// The start of a request kept for judging its first line: the longest line
// checkRequestLine() takes, with its line end.
constexpr qsizetype maxHeadKept = 8 * 1024 + 2;

// A whole answer written straight to the socket, for connections that are
// closed after it.
QByteArray closingAnswer(int status, const QString &reason, const QString &message)
{
    const QByteArray page = errorPage(status, reason, message);
    return "HTTP/1.1 " + QByteArray::number(status) + ' ' + reason.toLatin1()
        + "\r\nContent-Type: text/html; charset=utf-8\r\nContent-Length: " + QByteArray::number(page.size())
        + "\r\nConnection: close\r\n\r\n" + page;
}

void logClosed(int status, qint64 milliseconds, const QString &note)
{
    qInfo().noquote() << requestLogLine(QDateTime::currentDateTimeUtc(), {}, {}, status, milliseconds, 0) + u" ("_s
            + escapeForLog(note) + u')';
}

QString reasonPhrase(int status)
{
    switch (status) {
    case 413:
        return u"Payload Too Large"_s;
    case 431:
        return u"Request Header Fields Too Large"_s;
    case 501:
        return u"Not Implemented"_s;
    default:
        return u"Bad Request"_s;
    }
}

void logNote(const QString &note)
{
    qInfo().noquote() << QDateTime::currentDateTimeUtc().toString(Qt::ISODateWithMs) + u' ' + note;
}

} // namespace

ClientListener::ClientListener(const HttpLimits &limits, QObject *parent)
    : QTcpServer(parent)
    , limits(limits)
{
    // A burst of connections waits in the kernel rather than being refused there.
    setListenBacklogSize(std::max(128, limits.maxConnections));
    idleTimer.setSingleShot(true);
    connect(&idleTimer, &QTimer::timeout, this, &ClientListener::idle);
    if (limits.idleExit.count() > 0)
        idleTimer.start(limits.idleExit);
}

ClientListener::~ClientListener() = default;

void ClientListener::incomingConnection(qintptr descriptor)
{
    auto *socket = new QTcpSocket(this);
    if (!socket->setSocketDescriptor(descriptor)) {
        delete socket;
        return;
    }
    idleTimer.stop();
    if (!makeRoom()) {
        logNote(u"refused a connection: all %1 open connections wait for answers"_s.arg(clients.size()));
        connect(socket, &QAbstractSocket::disconnected, socket, &QObject::deleteLater);
        socket->write(closingAnswer(503, u"Service Unavailable"_s,
            u"The translation service has %1 connections open; try again shortly."_s.arg(clients.size())));
        socket->disconnectFromHost();
        return;
    }
    Client client;
    client.active.start();
    client.timer = new QTimer(socket);
    client.timer->setSingleShot(true);
    connect(client.timer, &QTimer::timeout, this, [this, socket]() { expired(socket); });
    // Connected before Qt's HTTP server connects its own: received() sees
    // each piece of a request before Qt's parser takes it.
    connect(socket, &QIODevice::readyRead, this, [this, socket]() { received(socket); });
    connect(socket, &QAbstractSocket::disconnected, this, [this, socket]() { forget(socket); });
    connect(socket, &QObject::destroyed, this, [this, socket]() { forget(socket); });
    rearm(*clients.insert(socket, client));
    addPendingConnection(socket);
}

void ClientListener::received(QTcpSocket *socket)
{
    const auto found = clients.find(socket);
    // Inside Qt's read transaction, what is available is what Qt's parser has not read yet.
    const qint64 fresh = socket->bytesAvailable();
    if (found == clients.end() || fresh <= 0)
        return;
    Client &client = *found;
    client.active.start();
    if (!client.receiving) {
        client.receiving = true;
        client.lineChecked = false;
        client.requestBytes = 0; // `head` was emptied when the last request's line was judged
        client.since.start();
        rearm(client);
    }
    client.requestBytes += fresh;
    if (!client.lineChecked) {
        client.head += socket->peek(std::min(fresh, qint64(maxHeadKept - client.head.size())));
        const RequestLineCheck check = checkRequestLine(client.head);
        if (check == RequestLineCheck::NotHttp) {
            refuse(socket, 400, u"Bad Request"_s, u"The request does not start with an HTTP/1.1 request line."_s,
                u"not an HTTP request line"_s);
            return;
        }
        client.lineChecked = check == RequestLineCheck::Http;
        if (client.lineChecked)
            client.head.clear();
    }
    const RequestFraming::Fed fed = client.framing.feed(socket->peek(fresh));
    if (fed.problem) {
        refuse(socket, fed.problem->status, reasonPhrase(fed.problem->status),
            u"The request is not read: %1."_s.arg(fed.problem->what), fed.problem->what);
        return;
    }
    client.closing.insert(client.closing.end(), fed.completed.cbegin(), fed.completed.cend());
    if (client.requestBytes > maxBodyBytes + maxHeadBytes)
        refuse(socket, 413, u"Payload Too Large"_s,
            u"The request is larger than %1 bytes."_s.arg(maxBodyBytes + maxHeadBytes),
            u"request over %1 bytes"_s.arg(maxBodyBytes + maxHeadBytes));
}

void ClientListener::requestRead(QTcpSocket *socket)
{
    const auto found = clients.find(socket);
    if (found == clients.end())
        return;
    found->receiving = false;
    ++found->owed;
    rearm(*found);
}

void ClientListener::answerSent(QTcpSocket *socket)
{
    const auto found = clients.find(socket);
    if (found == clients.end() || found->owed == 0)
        return;
    --found->owed;
    found->active.start();
    const bool closing = !found->closing.empty() && found->closing.front();
    if (!found->closing.empty())
        found->closing.pop_front();
    if (closing) {
        // Nothing more is read; the answer leaves before the connection closes.
        QObject::disconnect(socket, &QIODevice::readyRead, nullptr, nullptr);
        found->owed = 0;
        found->receiving = false;
        found->timer->start(limits.requestTimeout); // then abort, should the answer never leave
        socket->disconnectFromHost();
        return;
    }
    rearm(*found);
}

bool ClientListener::closesAfterAnswer(QTcpSocket *socket) const
{
    const auto found = clients.constFind(socket);
    return found != clients.cend() && !found->closing.empty() && found->closing.front();
}

void ClientListener::rearm(Client &client)
{
    if (client.receiving) {
        client.timer->start(std::max<qint64>(0, limits.requestTimeout.count() - client.since.elapsed()));
    } else if (client.owed > 0) {
        client.timer->stop(); // the engine's own time limit bounds the wait
    } else {
        client.since.start();
        client.timer->start(limits.keepAliveTimeout);
    }
}

void ClientListener::expired(QTcpSocket *socket)
{
    const auto found = clients.find(socket);
    if (found == clients.end() || socket->state() != QAbstractSocket::ConnectedState) {
        socket->abort(); // an answer the client never reads
        return;
    }
    if (found->receiving) {
        const qint64 seconds = limits.requestTimeout.count() / 1000;
        refuse(socket, 408, u"Request Timeout"_s,
            u"The request was not complete %1 s after its first byte."_s.arg(seconds),
            u"request not complete %1 ms after its first byte"_s.arg(limits.requestTimeout.count()));
    } else {
        socket->disconnectFromHost();
    }
}

bool ClientListener::makeRoom()
{
    if (clients.size() < limits.maxConnections)
        return true;
    // The one quiet longest goes; a connection just accepted, whose request
    // may be on its way, goes last.
    QTcpSocket *victim = nullptr;
    qint64 quietest = -1;
    bool victimIdle = false;
    for (auto it = clients.cbegin(); it != clients.cend(); ++it) {
        if (it->owed > 0)
            continue;
        const bool idle = !it->receiving;
        const qint64 quiet = it->active.elapsed();
        if (quiet > quietest || (quiet == quietest && idle && !victimIdle)) {
            victim = it.key();
            quietest = quiet;
            victimIdle = idle;
        }
    }
    if (!victim)
        return false;
    logNote(u"closed the %1 connection quiet longest (%2 ms): %3 connections open"_s
                .arg(victimIdle ? u"idle"_s : u"unfinished"_s)
                .arg(quietest)
                .arg(clients.size()));
    forget(victim);
    victim->abort();
    return true;
}

void ClientListener::refuse(
    QTcpSocket *socket, int status, const QString &reason, const QString &message, const QString &note)
{
    const auto found = clients.find(socket);
    const qint64 milliseconds = found != clients.end() && found->receiving ? found->since.elapsed() : 0;
    // Qt's parser reads nothing more from this connection.
    QObject::disconnect(socket, &QIODevice::readyRead, nullptr, nullptr);
    if (found != clients.end()) {
        found->receiving = false;
        found->owed = 0;
        found->timer->start(limits.requestTimeout); // then abort, should the answer never leave
    }
    logClosed(status, milliseconds, note);
    socket->write(closingAnswer(status, reason, message));
    socket->disconnectFromHost();
}

void ClientListener::forget(QTcpSocket *socket)
{
    if (clients.remove(socket) && clients.isEmpty() && limits.idleExit.count() > 0)
        idleTimer.start(limits.idleExit);
}

} // namespace tarnix::service
