#pragma once

#include <QString>
#include <QTemporaryDir>

namespace tarnix::test {

// A PostgreSQL server of Debian's packages for tests and benchmarks: its own
// cluster in a scratch folder, on a loopback port picked for it, a superuser
// "tarnix" with a password. The server refuses to run as root, so under root
// (as in CI) it runs as the user nobody, who then owns the folder.
class PostgresServer
{
public:
    PostgresServer();
    ~PostgresServer();

    // The folder of initdb, pg_ctl and postgres; empty when not installed.
    static QString binaries();

    bool start(); // creates the cluster the first time
    bool stop();
    // postgresql://tarnix@127.0.0.1:<port>/postgres
    QString url() const;
    QString password() const { return secret; }
    QString folder() const { return scratch.path(); }
    // The server's own log.
    QByteArray log() const;

private:
    bool run(const QString &program, const QStringList &arguments) const;

    QTemporaryDir scratch;
    quint16 port;
    QString secret;
    bool created = false;
};

} // namespace tarnix::test
