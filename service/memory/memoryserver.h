#pragma once

#include <chrono>
#include <functional>
#include <variant>

#include <QElapsedTimer>
#include <QObject>
#include <QPointer>
#include <QString>

class QSqlDatabase;
class QSqlError;
class QTcpSocket;

namespace tarnix::service {

// A PostgreSQL database that holds a team's shared translation memory:
// [memory] url = postgresql://user@host:port/dbname.
struct MemoryServer
{
    QString host; // empty: libpq's local socket
    int port = 5432;
    QString database;
    QString user;
    QString password; // from password-file or password-env; never shown
    QString sslMode; // libpq's sslmode
    QString sslRootCert; // libpq's sslrootcert; empty: libpq's default

    // postgresql://user@host:port/dbname, for the log: never the password.
    QString display() const;
};

bool isLoopbackHost(const QString &host);

// The url of [memory] with its sslmode (empty: verify-full unless the host is
// loopback). An error says why the url is not one the memory can use.
std::variant<MemoryServer, QString> parseMemoryServer(const QString &url, const QString &sslMode);

// libpq's connection options beyond host, port, database, user and password:
// TLS, short connect and keep-alive limits, so a database that went away is
// noticed in seconds, and the session's limit on a statement (200 ms).
QString memoryConnectOptions(const MemoryServer &server);

// How the memory stays in touch with its database: it says once that the
// database cannot be reached or is slow (and once that it is back), and has the memory
// connect again no more often than after 1, 2, 4 … up to 30 s, and only once
// the server's port accepts a TCP connection, which is tried without holding
// the service: a database host that went silent would make a connection
// attempt wait for seconds.
class MemoryServerLink : public QObject
{
    Q_OBJECT

public:
    MemoryServerLink(const MemoryServer &server, std::function<void()> reconnect);
    ~MemoryServerLink() override;

    const MemoryServer &server() const { return target; }
    void configure(QSqlDatabase &db) const;
    // The failure only skips this request: a statement over its time limit
    // or a conflict with another service's transaction.
    static bool passing(const QSqlError &error);
    static bool overTimeLimit(const QSqlError &error);
    void lost(const QString &why);
    void connected();
    // A statement over its time limit (a lock another client holds, a server
    // under load): the memory's look-ups, and after a write over its limit
    // its writes too, are skipped for 1, 2, 4 … up to 30 s while it stays
    // slow, so that a run pays the limit once, not once for each of its
    // requests in turn. Skipping look-ups alone keeps every answer the one
    // stored first, since a write reads back what the key holds.
    void slow(bool writing);
    bool resting(bool writing) const
    {
        return slowSince.isValid() && !slowSince.hasExpired(slowWait.count()) && (!writing || writesSlow);
    }
    // A statement that finished within its limit.
    void answered();
    // Starts a probe and then a connection once the back-off has passed.
    void retryWhenDue();
    // Runs `drop`, which drops the prepared statements of a connection,
    // without the driver's warning for each one when the connection is gone:
    // that the database is gone was said once already.
    static void quietly(const std::function<void()> &drop);

private:
    void probeFailed();

    MemoryServer target;
    std::function<void()> reconnect;
    QElapsedTimer since; // running while the database is away
    std::chrono::milliseconds wait {0};
    bool away = false;
    QElapsedTimer slowSince; // running while the memory is left alone for being slow
    std::chrono::milliseconds slowWait {0};
    bool writesSlow = false;
    QPointer<QTcpSocket> probe;
};

} // namespace tarnix::service
