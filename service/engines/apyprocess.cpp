#include "service/engines/apyprocess.h"

#include <algorithm>
#include <csignal>

#include <QtGlobal>
#ifdef Q_OS_LINUX
#include <sys/prctl.h>
#endif

#include <QDateTime>
#include <QFile>
#include <QHostAddress>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QProcessEnvironment>
#include <QStandardPaths>
#include <QTcpServer>

using namespace Qt::StringLiterals;

namespace tarnix::service {

namespace {

// Tornado's TCPServer.bind(port, address=None, ...) binds every interface
// when address is None; the launcher pins it to loopback.
constexpr auto launcher = R"(import sys
import tornado.tcpserver
_bind = tornado.tcpserver.TCPServer.bind
def _loopback_bind(self, port, address=None, *args, **kwargs):
    return _bind(self, port, '127.0.0.1', *args, **kwargs)
tornado.tcpserver.TCPServer.bind = _loopback_bind
from apertium_apy import apy
sys.argv[0] = 'apertium-apy'
apy.main()
)";

// Pipelines per language pair, and requests a pipeline takes before APy
// starts another: a run of 20 languages is translated in parallel.
constexpr int pipesPerPair = 3;
constexpr int usersPerPipe = 1;
// A pipeline nobody used for five minutes is closed at APy's next request.
// APy keeps every pipeline it starts, with its processes and dictionaries
// (every direction of the default pairs: some 170 processes, about 3 GiB),
// and a long session touches many directions; starting one again costs
// about 0.2 s.
constexpr int idlePipeSeconds = 300;

constexpr int probeIntervalMs = 100;
constexpr int startSeconds = 60;

// Supervision lines carry the time, as the request lines do.
void logSupervision(const QString &line)
{
    qWarning().noquote() << QDateTime::currentDateTimeUtc().toString(Qt::ISODateWithMs) + u' ' + line;
}

quint16 freeLoopbackPort()
{
    QTcpServer probe;
    if (!probe.listen(QHostAddress::LocalHost, 0))
        return 0;
    return probe.serverPort();
}

} // namespace

QString scriptInterpreter(const QByteArray &firstLine)
{
    if (!firstLine.startsWith("#!"))
        return QString();
    const QList<QByteArray> words = firstLine.mid(2).simplified().split(' ');
    return words.isEmpty() ? QString() : QString::fromLocal8Bit(words.first());
}

ApyCommand apyCommand(const QString &apyScript, quint16 port, const QString &modesPath)
{
    QFile script(apyScript);
    QString python;
    if (script.open(QIODevice::ReadOnly))
        python = scriptInterpreter(script.readLine());
    if (python.isEmpty())
        python = u"python3"_s;
    return ApyCommand {python,
        {u"-c"_s, QString::fromLatin1(launcher), u"--port"_s, QString::number(port), u"--max-pipes-per-pair"_s,
            QString::number(pipesPerPair), u"--max-users-per-pipe"_s, QString::number(usersPerPipe),
            u"--max-idle-secs"_s, QString::number(idlePipeSeconds), modesPath}};
}

ApyProcess::ApyProcess(QObject *parent)
    : QObject(parent)
{
    process.setProcessChannelMode(QProcess::MergedChannels);
#ifdef Q_OS_LINUX
    // APy dies with the service even when the service is killed outright.
    process.setChildProcessModifier([]() { ::prctl(PR_SET_PDEATHSIG, SIGTERM); });
#endif
    connect(&process, &QProcess::readyRead, this, [this]() {
        outputTail.append(process.readAll());
        if (outputTail.size() > 4096)
            outputTail = outputTail.right(4096);
    });
    connect(&process, &QProcess::errorOccurred, this, [this](QProcess::ProcessError error) {
        if (error == QProcess::FailedToStart)
            ended(u"could not run %1: %2"_s.arg(process.program(), process.errorString()));
    });
    connect(&process, &QProcess::finished, this, [this](int code, QProcess::ExitStatus status) {
        if (!stopReason.isEmpty())
            ended(stopReason);
        else if (status == QProcess::CrashExit)
            ended(u"APy (pid %1) ended by signal %2"_s.arg(pid).arg(code));
        else
            ended(u"APy exited with status %1"_s.arg(code));
    });
    probeTimer.setSingleShot(true);
    probeTimer.setInterval(probeIntervalMs);
    connect(&probeTimer, &QTimer::timeout, this, &ApyProcess::probe);
    restartTimer.setSingleShot(true);
    connect(&restartTimer, &QTimer::timeout, this, &ApyProcess::launch);
}

ApyProcess::~ApyProcess()
{
    stop();
}

QString ApyProcess::defaultModesPath()
{
    return u"/usr/share/apertium/modes"_s;
}

void ApyProcess::start(const QString &modes)
{
    apyScript = QStandardPaths::findExecutable(u"apertium-apy"_s);
    modesPath = modes;
    if (apyScript.isEmpty()) {
        QTimer::singleShot(0, this, [this]() {
            emit failed(u"apertium-apy is not installed (Debian: apt-get install apertium-apy apertium-eng-spa)"_s);
        });
        return;
    }
    launch();
}

void ApyProcess::launch()
{
    const quint16 port = freeLoopbackPort();
    apyUrl.setScheme(u"http"_s);
    apyUrl.setHost(u"127.0.0.1"_s);
    apyUrl.setPort(port);
    const ApyCommand command = apyCommand(apyScript, port, modesPath);
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(u"LC_ALL"_s, u"C.UTF-8"_s); // APy refuses to start without a UTF-8 locale
    process.setProcessEnvironment(environment);
    outputTail.clear();
    stopReason.clear();
    announced = false;
    process.start(command.program, command.arguments, QIODevice::ReadOnly);
    pid = process.processId();
    probesLeft = startSeconds * 1000 / probeIntervalMs;
    probeTimer.start();
}

void ApyProcess::restart(const QString &why)
{
    if (process.state() == QProcess::NotRunning || !stopReason.isEmpty())
        return;
    stopReason = u"APy (pid %1) stopped: %2"_s.arg(pid).arg(why);
    process.kill();
}

void ApyProcess::probe()
{
    if (process.state() != QProcess::Running || announced)
        return;
    QNetworkRequest request(apyUrl.resolved(QUrl(u"/listPairs"_s)));
    request.setTransferTimeout(1000);
    QNetworkReply *reply = net.get(request);
    connect(reply, &QNetworkReply::finished, this, [this, reply]() {
        reply->deleteLater();
        if (announced || process.state() != QProcess::Running)
            return;
        if (reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt() == 200) {
            announced = true;
            answering.start();
            if (supervised)
                logSupervision(u"APy answers again at %1 (pid %2)"_s.arg(apyUrl.toString()).arg(pid));
            supervised = true;
            emit ready(apyUrl);
        } else if (--probesLeft > 0) {
            probeTimer.start();
        } else {
            restart(u"it did not answer within %1 s"_s.arg(startSeconds));
        }
    });
}

void ApyProcess::ended(const QString &why)
{
    probeTimer.stop();
    if (!supervised) {
        stop();
        emit failed(why + u":\n"_s + QString::fromLocal8Bit(outputTail));
        return;
    }
    // A pause that grows while APy keeps failing, so that a broken
    // installation does not keep a core busy.
    if (announced && answering.elapsed() >= 30000)
        pauseMs = 1000;
    const bool wasAnswering = announced;
    announced = false;
    logSupervision(u"%1; starting it again in %2 s"_s.arg(why).arg(pauseMs / 1000));
    restartTimer.start(pauseMs);
    pauseMs = std::min(pauseMs * 2, 30000);
    if (wasAnswering)
        emit down(why);
}

void ApyProcess::stop()
{
    probeTimer.stop();
    restartTimer.stop();
    if (process.state() == QProcess::NotRunning)
        return;
    QObject::disconnect(&process, nullptr, this, nullptr);
    process.terminate();
    if (!process.waitForFinished(5000)) {
        process.kill();
        process.waitForFinished(2000);
    }
}

} // namespace tarnix::service
