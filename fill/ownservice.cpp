#include "fill/ownservice.h"

#include <csignal>
#ifdef Q_OS_LINUX
#include <sys/prctl.h>
#endif

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QFileInfo>
#include <QHostAddress>
#include <QStandardPaths>
#include <QThread>

#include "fill/serviceclient.h"

using namespace Qt::StringLiterals;

namespace tarnix::fill {

OwnService::~OwnService()
{
    stop();
}

QString OwnService::start(const QString &program, const QUrl &address, const std::function<bool()> &cancelled)
{
    if (!QHostAddress(address.host()).isLoopback() && address.host() != u"localhost"_s)
        return u"%1 is not on this machine"_s.arg(address.toString());
    if (program.isEmpty())
        return u"tarnix-service is not installed"_s;
    process.setProgram(program);
#ifdef Q_OS_LINUX
    // A tarnix-fill killed outright (SIGKILL) takes its service along
    // instead of leaving it and its APy running for nobody.
    process.setChildProcessModifier([]() { ::prctl(PR_SET_PDEATHSIG, SIGTERM); });
#endif
    process.setArguments({u"--port"_s, QString::number(address.port(80))});
    // Its request log would run through the progress bar: it is read and
    // dropped, and its last lines shown only if it does not come up.
    process.setProcessChannelMode(QProcess::MergedChannels);
    QObject::connect(&process, &QProcess::readyReadStandardOutput, &process,
        [this]() { lastOutput = (lastOutput + process.readAllStandardOutput()).right(2000); });
    process.start();
    if (!process.waitForStarted(5000))
        return u"cannot start %1: %2"_s.arg(program, process.errorString());
    // APy starts with the service and may take a while to load its pairs.
    const QDeadlineTimer deadline(60000);
    while (!deadline.hasExpired()) {
        if (process.state() == QProcess::NotRunning) {
            lastOutput += process.readAllStandardOutput();
            return u"%1 ended at once (exit status %2):\n%3"_s.arg(program)
                .arg(process.exitCode())
                .arg(QString::fromLocal8Bit(lastOutput).trimmed());
        }
        if (serviceAnswers(address))
            return {};
        if (cancelled()) {
            stop();
            return u"interrupted while it started"_s;
        }
        process.waitForFinished(200);
    }
    stop();
    return u"%1 did not answer within a minute"_s.arg(program);
}

void OwnService::stop()
{
    if (process.state() == QProcess::NotRunning)
        return;
    process.terminate();
    if (!process.waitForFinished(15000)) {
        process.kill();
        process.waitForFinished(5000);
    }
}

QString serviceProgram()
{
    const QString here = QCoreApplication::applicationDirPath();
    for (const QString &candidate : {here + u"/tarnix-service"_s, here + u"/../service/tarnix-service"_s}) {
        if (QFileInfo(candidate).isExecutable())
            return QFileInfo(candidate).canonicalFilePath();
    }
    return QStandardPaths::findExecutable(u"tarnix-service"_s);
}

} // namespace tarnix::fill
