#include "service/http/clientlistener.h"

#include <algorithm>

#include <QDateTime>
#include <QTcpSocket>

#include "service/http/page.h"

using namespace Qt::StringLiterals;

namespace tarnix::service {

namespace {

void logNote(const QString &note)
{
    qInfo().noquote() << QDateTime::currentDateTimeUtc().toString(Qt::ISODateWithMs) + u' ' + note;
}

} // namespace

ClientListener::ClientListener(const HttpLimits &limits, HttpConnection::Handler handler, QObject *parent)
    : QTcpServer(parent)
    , limits(limits)
    , handler(std::move(handler))
{
    // A burst of connections waits in the kernel rather than being refused there.
    setListenBacklogSize(std::max(128, limits.maxConnections));
    idleTimer.setSingleShot(true);
    connect(&idleTimer, &QTimer::timeout, this, &ClientListener::idle);
    if (limits.idleExit.count() > 0)
        idleTimer.start(limits.idleExit);
}

ClientListener::~ClientListener()
{
    // The connections go with this object; none reports back to it.
    for (HttpConnection *connection : std::as_const(connections))
        QObject::disconnect(connection, nullptr, this, nullptr);
}

void ClientListener::incomingConnection(qintptr descriptor)
{
    auto *socket = new QTcpSocket(this);
    if (!socket->setSocketDescriptor(descriptor)) {
        delete socket;
        return;
    }
    idleTimer.stop();
    if (!makeRoom()) {
        logNote(u"refused a connection: all %1 open connections wait for answers"_s.arg(connections.size()));
        connect(socket, &QAbstractSocket::disconnected, socket, &QObject::deleteLater);
        const QByteArray page = errorPage(503, u"Service Unavailable"_s,
            u"The translation service has %1 connections open; try again shortly."_s.arg(connections.size()));
        socket->write("HTTP/1.1 503 Service Unavailable\r\nContent-Type: text/html; charset=utf-8\r\nContent-Length: "
            + QByteArray::number(page.size()) + "\r\nConnection: close\r\n\r\n" + page);
        socket->disconnectFromHost();
        return;
    }
    auto *connection = new HttpConnection(socket, limits, handler, this);
    connections.insert(connection);
    connect(connection, &HttpConnection::closed, this, [this, connection]() { forget(connection); });
}

void ClientListener::stop()
{
    close();
    for (HttpConnection *connection : QSet(connections)) // a copy: closing may forget one
        connection->closeAfterAnswers();
}

bool ClientListener::makeRoom()
{
    if (connections.size() < limits.maxConnections)
        return true;
    // The one quiet longest goes; a connection just accepted, whose request
    // may be on its way, goes last.
    HttpConnection *victim = nullptr;
    qint64 quietest = -1;
    bool victimIdle = false;
    for (HttpConnection *connection : std::as_const(connections)) {
        if (connection->owesAnswer())
            continue;
        const bool idle = !connection->receiving();
        const qint64 quiet = connection->quietFor();
        if (quiet > quietest || (quiet == quietest && idle && !victimIdle)) {
            victim = connection;
            quietest = quiet;
            victimIdle = idle;
        }
    }
    if (!victim)
        return false;
    logNote(u"closed the %1 connection quiet longest (%2 ms): %3 connections open"_s
                .arg(victimIdle ? u"idle"_s : u"unfinished"_s)
                .arg(quietest)
                .arg(connections.size()));
    victim->abort();
    return true;
}

void ClientListener::forget(HttpConnection *connection)
{
    if (connections.remove(connection) && connections.isEmpty() && limits.idleExit.count() > 0)
        idleTimer.start(limits.idleExit);
}

} // namespace tarnix::service
