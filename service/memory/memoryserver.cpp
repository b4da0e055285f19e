#include "service/memory/memoryserver.h"

#include <algorithm>

#include <QDebug>
#include <QHostAddress>
#include <QSqlDatabase>
#include <QSqlError>
#include <QTcpSocket>
#include <QTimer>
#include <QUrl>

using namespace Qt::StringLiterals;
using namespace std::chrono_literals;

namespace tarnix::service {

namespace {

constexpr std::chrono::milliseconds longestWait = 30s;
constexpr int probeMilliseconds = 2000;
// A statement that takes longer is cancelled: a look-up is skipped for its
// request. Writes set a longer limit of their own.
constexpr int statementMilliseconds = 200;

QtMessageHandler forwardTo = nullptr;

void withoutStatementWarnings(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    if (!message.startsWith(u"Unable to free statement"_s))
        forwardTo(type, context, message);
}

} // namespace

QString MemoryServer::display() const
{
    QUrl url;
    url.setScheme(u"postgresql"_s);
    url.setUserName(user);
    url.setHost(host);
    url.setPort(port);
    url.setPath(u'/' + database);
    return url.toString();
}

bool isLoopbackHost(const QString &host)
{
    return host.isEmpty() || host.startsWith(u'/') || host == u"localhost" || QHostAddress(host).isLoopback();
}

std::variant<MemoryServer, QString> parseMemoryServer(const QString &text, const QString &sslMode)
{
    const QUrl url(text, QUrl::StrictMode);
    if (!url.isValid() || (url.scheme() != u"postgresql" && url.scheme() != u"postgres"))
        return u"url is a PostgreSQL database: postgresql://user@host:port/dbname"_s;
    if (!url.password().isEmpty())
        return u"the url holds a password; it goes in password-file or password-env, never in the url"_s;
    if (url.hasQuery() || url.hasFragment())
        return u"the url takes no parameters; TLS is set with sslmode and ssl-root-cert"_s;
    MemoryServer server;
    server.host = url.host();
    server.port = url.port(5432);
    server.user = url.userName();
    server.database = url.path().mid(1);
    if (server.database.isEmpty() || server.database.contains(u'/'))
        return u"the url needs the database's name: postgresql://user@host:port/dbname"_s;
    static const QStringList modes {
        u"disable"_s, u"allow"_s, u"prefer"_s, u"require"_s, u"verify-ca"_s, u"verify-full"_s};
    if (!sslMode.isEmpty() && !modes.contains(sslMode))
        return u"sslmode is one of %1"_s.arg(modes.join(u", "_s));
    server.sslMode = !sslMode.isEmpty() ? sslMode : isLoopbackHost(server.host) ? u"prefer"_s : u"verify-full"_s;
    return server;
}

QString memoryConnectOptions(const MemoryServer &server)
{
    QStringList options {u"sslmode="_s + server.sslMode, u"connect_timeout=2"_s, u"keepalives_idle=5"_s,
        u"keepalives_interval=2"_s, u"keepalives_count=2"_s, u"tcp_user_timeout=5000"_s,
        u"application_name=tarnix-service"_s,
        u"options='-c statement_timeout=%1 -c client_min_messages=warning'"_s.arg(statementMilliseconds)};
    if (!server.sslRootCert.isEmpty()) {
        QString quoted = server.sslRootCert;
        quoted.replace(u'\\', u"\\\\"_s).replace(u'\'', u"\\'"_s);
        options.append(u"sslrootcert='%1'"_s.arg(quoted));
    }
    return options.join(u';');
}

MemoryServerLink::MemoryServerLink(const MemoryServer &server, std::function<void()> reconnect)
    : target(server)
    , reconnect(std::move(reconnect))
{ }

MemoryServerLink::~MemoryServerLink() = default;

void MemoryServerLink::configure(QSqlDatabase &db) const
{
    db.setHostName(target.host);
    db.setPort(target.port);
    db.setDatabaseName(target.database);
    db.setUserName(target.user);
    db.setPassword(target.password);
    db.setConnectOptions(memoryConnectOptions(target));
}

bool MemoryServerLink::passing(const QSqlError &error)
{
    // query_canceled (statement_timeout), deadlock_detected,
    // serialization_failure, lock_not_available
    static const QStringList codes {u"57014"_s, u"40P01"_s, u"40001"_s, u"55P03"_s};
    return codes.contains(error.nativeErrorCode());
}

bool MemoryServerLink::overTimeLimit(const QSqlError &error)
{
    return error.nativeErrorCode() == u"57014";
}

void MemoryServerLink::slow(bool writing)
{
    slowWait = std::clamp(slowWait * 2, std::chrono::milliseconds(1s), longestWait);
    if (!slowSince.isValid() || (writing && !writesSlow))
        qWarning().noquote() << u"translation memory: a %1 in %2 took longer than its limit (a lock another client "
                                u"holds, or a busy server); its %3 skipped for 1 s, then 2 s, 4 s … at most 30 s "
                                u"while it stays slow"_s.arg(writing ? u"write"_s : u"look-up"_s, target.display(),
                                    writing ? u"look-ups and writes are"_s : u"look-ups are"_s);
    writesSlow = writesSlow || writing;
    slowSince.start();
}

void MemoryServerLink::answered()
{
    if (slowSince.isValid())
        qWarning().noquote() << u"translation memory: %1 answers in time again"_s.arg(target.display());
    slowSince.invalidate();
    slowWait = {};
    writesSlow = false;
}

void MemoryServerLink::lost(const QString &why)
{
    wait = std::clamp(wait * 2, std::chrono::milliseconds(1s), longestWait);
    since.start();
    if (away)
        return;
    away = true;
    qWarning().noquote() << u"translation memory: cannot use %1 (%2); translating without it, and trying again "
                            u"after 1 s, 2 s, 4 s … at most every 30 s"_s.arg(
                                target.display(), why.simplified().section(u" DETAIL:"_s, 0, 0));
}

void MemoryServerLink::connected()
{
    if (away)
        qWarning().noquote() << u"translation memory: %1 is back in use"_s.arg(target.display());
    away = false;
    wait = {};
    since.invalidate();
}

void MemoryServerLink::retryWhenDue()
{
    if (probe || (since.isValid() && !since.hasExpired(wait.count())))
        return;
    if (target.host.isEmpty() || target.host.startsWith(u'/')) {
        since.start();
        reconnect();
        return;
    }
    probe = new QTcpSocket(this);
    connect(probe, &QTcpSocket::connected, this, [this]() {
        QTcpSocket *socket = probe;
        probe.clear();
        socket->disconnect(this);
        socket->abort();
        socket->deleteLater();
        reconnect();
    });
    connect(probe, &QTcpSocket::errorOccurred, this, &MemoryServerLink::probeFailed);
    QTimer::singleShot(probeMilliseconds, probe, [this]() { probeFailed(); });
    probe->connectToHost(target.host, quint16(target.port));
}

void MemoryServerLink::quietly(const std::function<void()> &drop)
{
    forwardTo = qInstallMessageHandler(withoutStatementWarnings);
    drop();
    qInstallMessageHandler(forwardTo);
}

void MemoryServerLink::probeFailed()
{
    if (!probe)
        return;
    QTcpSocket *socket = probe;
    probe.clear();
    socket->disconnect(this);
    socket->abort();
    socket->deleteLater();
    lost({});
}

} // namespace tarnix::service
