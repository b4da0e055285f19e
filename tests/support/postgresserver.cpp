#include "tests/support/postgresserver.h"

#include <pwd.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>

#include "tests/support/loopbackserver.h"

using namespace Qt::StringLiterals;

namespace tarnix::test {

PostgresServer::PostgresServer()
    : scratch(QDir::tempPath() + u"/tarnix-postgres-XXXXXX"_s)
    , port(freeLoopbackPort())
    , secret(QString::number(QRandomGenerator::global()->generate64(), 36))
{ }

PostgresServer::~PostgresServer()
{
    if (created)
        run(u"pg_ctl"_s, {u"-D"_s, scratch.filePath(u"data"_s), u"-m"_s, u"immediate"_s, u"-w"_s, u"stop"_s});
}

QString PostgresServer::binaries()
{
    QStringList versions = QDir(u"/usr/lib/postgresql"_s).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    std::sort(
        versions.begin(), versions.end(), [](const QString &a, const QString &b) { return a.toInt() > b.toInt(); });
    for (const QString &version : versions) {
        const QString bin = u"/usr/lib/postgresql/%1/bin"_s.arg(version);
        if (QFile::exists(bin + u"/initdb"_s) && QFile::exists(bin + u"/pg_ctl"_s))
            return bin;
    }
    return {};
}

bool PostgresServer::run(const QString &program, const QStringList &arguments) const
{
    QProcess process;
    process.setStandardOutputFile(QProcess::nullDevice());
    process.setStandardErrorFile(scratch.filePath(u"tools.log"_s), QIODevice::Append);
    const QString path = binaries() + u'/' + program;
    if (::geteuid() == 0)
        process.start(u"runuser"_s, QStringList {u"-u"_s, u"nobody"_s, u"--"_s, path} + arguments);
    else
        process.start(path, arguments);
    return process.waitForFinished(60000) && process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
}

bool PostgresServer::start()
{
    if (!scratch.isValid() || binaries().isEmpty())
        return false;
    if (!created) {
        QFile pwfile(scratch.filePath(u"pwfile"_s));
        if (!pwfile.open(QIODevice::WriteOnly) || pwfile.write(secret.toUtf8() + '\n') < 0)
            return false;
        pwfile.close();
        if (::geteuid() == 0) {
            const passwd *nobody = ::getpwnam("nobody");
            if (!nobody || ::chown(QFile::encodeName(scratch.path()).constData(), nobody->pw_uid, nobody->pw_gid) != 0
                || ::chown(QFile::encodeName(pwfile.fileName()).constData(), nobody->pw_uid, nobody->pw_gid) != 0)
                return false;
        }
        created = run(u"initdb"_s,
            {u"-D"_s, scratch.filePath(u"data"_s), u"-U"_s, u"tarnix"_s, u"--pwfile"_s, pwfile.fileName(),
                u"--auth-local=trust"_s, u"--auth-host=scram-sha-256"_s, u"-E"_s, u"UTF8"_s, u"--no-sync"_s});
        if (!created)
            return false;
    }
    // Sockets in the scratch folder; fsync off: a test's database need not survive a power cut.
    return run(u"pg_ctl"_s,
        {u"-D"_s, scratch.filePath(u"data"_s), u"-l"_s, scratch.filePath(u"server.log"_s), u"-w"_s, u"-o"_s,
            u"-p %1 -k %2 -c listen_addresses=127.0.0.1 -c fsync=off"_s.arg(port).arg(scratch.path()), u"start"_s});
}

bool PostgresServer::stop()
{
    return run(u"pg_ctl"_s, {u"-D"_s, scratch.filePath(u"data"_s), u"-m"_s, u"fast"_s, u"-w"_s, u"stop"_s});
}

QString PostgresServer::url() const
{
    return u"postgresql://tarnix@127.0.0.1:%1/postgres"_s.arg(port);
}

QByteArray PostgresServer::log() const
{
    QFile file(scratch.filePath(u"server.log"_s));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace tarnix::test
