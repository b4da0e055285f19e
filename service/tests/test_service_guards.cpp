#include <csignal>
#include <memory>
#include <vector>

#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QDir>
#include <QNetworkAccessManager>
#include <QProcess>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>

#include "apyservice.h"
#include "httpclient.h"
#include "service/engines/libretranslateengine.h"
#include "service/http/translationservice.h"

using namespace Qt::StringLiterals;
using namespace tarnix::service;

namespace {

// A request the service answers without an engine (same languages).
QByteArray sameLanguagePost(const QByteArray &host, const QByteArray &headers)
{
    const QByteArray body = "sl=en&tl=en&text=Hi";
    return "POST / HTTP/1.1\r\nHost: " + host + "\r\n" + headers
        + "Content-Type: application/x-www-form-urlencoded\r\nContent-Length: " + QByteArray::number(body.size())
        + "\r\n\r\n" + body;
}

// The status line's code of the answer to `bytes` sent on a fresh connection.
int statusOf(quint16 port, const QByteArray &bytes)
{
    QTcpSocket socket;
    socket.connectToHost(QHostAddress::LocalHost, port);
    socket.waitForConnected(5000);
    socket.write(bytes);
    QByteArray answer;
    [[maybe_unused]] const bool answered =
        QTest::qWaitFor([&] { return (answer += socket.readAll()).contains("\r\n"); }, 5000);
    return answer.startsWith("HTTP/1.1 ") ? answer.mid(9, 3).toInt() : 0;
}

int openDescriptors()
{
    return int(QDir(u"/proc/self/fd"_s).entryList(QDir::Files | QDir::System).size());
}

} // namespace

// The service's guards: who may use it, how long a connection may take, its
// engine kept running, and the socket systemd passes it.
class TestServiceGuards : public QObject
{
    Q_OBJECT

    LibreTranslateEngine unusedEngine {QUrl(u"http://127.0.0.1:9"_s), QString()};

private slots:
    void refusesBrowsersAndOtherHosts_data()
    {
        QTest::addColumn<QByteArray>("request");
        QTest::addColumn<int>("status");
        const QByteArray local = "127.0.0.1:%1";
        QTest::newRow("the program's request") << sameLanguagePost(local, {}) << 200;
        QTest::newRow("localhost, no port") << sameLanguagePost("localhost", {}) << 200;
        QTest::newRow("[::1] with port") << sameLanguagePost("[::1]:%1", {}) << 200;
        QTest::newRow("address typed into a browser") << sameLanguagePost(local, "Sec-Fetch-Site: none\r\n") << 200;
        QTest::newRow("form posted by a web page")
            << sameLanguagePost(local, "Origin: https://evil.example\r\n") << 403;
        QTest::newRow("Origin null") << sameLanguagePost(local, "origin: null\r\n") << 403;
        QTest::newRow("cross-site fetch") << sameLanguagePost(local, "Sec-Fetch-Site: cross-site\r\n") << 403;
        QTest::newRow("same-origin fetch") << sameLanguagePost(local, "Sec-Fetch-Site: same-origin\r\n") << 403;
        QTest::newRow("rebound name") << sameLanguagePost("attacker.example:%1", {}) << 421;
        QTest::newRow("localhost, another port") << sameLanguagePost("localhost:1", {}) << 421;
        QTest::newRow("loopback name with a suffix") << sameLanguagePost("localhost.evil.example", {}) << 421;
        QTest::newRow("garbage line") << "NONSENSE\r\n\r\n"_ba << 400;
        QTest::newRow("TLS hello") << "\x16\x03\x01\x02\x00\x01\x00\x01\xfc\x03\x03"_ba << 400;
        QTest::newRow("no version") << "GET /\r\n\r\n"_ba << 400;
        QTest::newRow("HTTP/2 preface") << "PRI * HTTP/2.0\r\n\r\nSM\r\n\r\n"_ba << 400;
    }
    void refusesBrowsersAndOtherHosts()
    {
        QFETCH(QByteArray, request);
        QFETCH(int, status);
        TranslationService service(&unusedEngine);
        const quint16 port = service.listen(0);
        QCOMPARE(statusOf(port, request.replace("%1", QByteArray::number(port))), status);
    }

    void dropsStalledAndIdleClients()
    {
        HttpLimits limits;
        limits.requestTimeout = std::chrono::milliseconds(1500);
        limits.keepAliveTimeout = std::chrono::milliseconds(3000);
        limits.maxConnections = 6;
        limits.idleExit = std::chrono::milliseconds(300);
        const int descriptorsBefore = openDescriptors();
        auto service = std::make_unique<TranslationService>(&unusedEngine, limits);
        QSignalSpy idle(service.get(), &TranslationService::idle);
        const quint16 port = service->listen(0);

        // Ten clients send their headers and half their body, then stall.
        std::vector<std::unique_ptr<QTcpSocket>> stalled;
        for (int i = 0; i < 10; ++i) {
            stalled.push_back(std::make_unique<QTcpSocket>());
            stalled.back()->connectToHost(QHostAddress::LocalHost, port);
            QVERIFY(stalled.back()->waitForConnected(5000));
            stalled.back()->write(sameLanguagePost("127.0.0.1", {}).chopped(10));
            QTest::qWait(10); // each quiet for a different time
        }
        const auto connected = [&] {
            return std::count_if(stalled.begin(), stalled.end(),
                [](const auto &s) { return s->state() == QAbstractSocket::ConnectedState; });
        };
        QTRY_COMPARE(connected(), 6); // the oldest unfinished ones made room

        // A good client, its request line in two pieces, is still answered;
        // its connection is closed once idle for longer than a request may take.
        QTcpSocket good;
        good.connectToHost(QHostAddress::LocalHost, port);
        QVERIFY(good.waitForConnected(5000));
        good.write("PO");
        QTest::qWait(50);
        good.write(sameLanguagePost("127.0.0.1", {}).sliced(2));
        QByteArray answer;
        QTRY_VERIFY2((answer += good.readAll()).startsWith("HTTP/1.1 200 "), answer.constData());
        QTRY_COMPARE(connected(), 0);
        QVERIFY(stalled.back()->readAll().startsWith("HTTP/1.1 408 "));
        QCOMPARE(good.state(), QAbstractSocket::ConnectedState);
        QTRY_COMPARE_WITH_TIMEOUT(good.state(), QAbstractSocket::UnconnectedState, 5000);
        QTRY_COMPARE(idle.size(), 1);
        stalled.clear();
        good.close();
        QTRY_COMPARE(openDescriptors(), descriptorsBefore + 1); // the service's listening socket
    }

    void apyKilledMidRunIsStartedAgain()
    {
        TARNIX_REQUIRE_APY();
        test::ApyService running;
        const QString error = running.start();
        QVERIFY2(error.isEmpty(), qPrintable(error));
        QNetworkAccessManager net;
        const QUrl url(u"http://127.0.0.1:%1/"_s.arg(running.port));
        QCOMPARE(httpExchange(net, url, "POST", programForm("en", "es", "Good%20morning")).status, 200);

        QTest::ignoreMessage(
            QtWarningMsg, QRegularExpression(u"APy \\(pid \\d+\\) ended by signal 9; starting it again in 1 s"_s));
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression(u"APy answers again at http://127.0.0.1:\\d+"_s));
        ::kill(pid_t(running.apy->processId()), SIGKILL);
        const HttpAnswer answer = httpExchange(net, url, "POST", programForm("en", "es", "Good%20evening"));
        QCOMPARE(answer.status, 200);
        QVERIFY2(answer.body.contains(">Tarde buena<"), answer.body.constData());

        // What the engine does after three time-outs in a row; the pause has doubled.
        QTest::ignoreMessage(QtWarningMsg,
            QRegularExpression(u"APy \\(pid \\d+\\) stopped: three time-outs; starting it again in 2 s"_s));
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression(u"APy answers again at http://127.0.0.1:\\d+"_s));
        running.apy->restart(u"three time-outs"_s);
        QCOMPARE(httpExchange(net, url, "POST", programForm("en", "es", "Good%20morning")).status, 200);
        running.stop();
    }

    // An APy that never answered is reported, not started again and again.
    void apyThatNeverAnsweredIsReported()
    {
        QTemporaryDir bin;
        QFile script(bin.filePath(u"apertium-apy"_s));
        QVERIFY(script.open(QIODevice::WriteOnly) && script.write("#!/bin/false\n") > 0);
        script.close();
        QVERIFY(script.setPermissions(QFileDevice::ReadOwner | QFileDevice::ExeOwner));
        const QByteArray path = qgetenv("PATH");
        qputenv("PATH", bin.path().toLocal8Bit());
        ApyProcess apy;
        QSignalSpy failed(&apy, &ApyProcess::failed);
        apy.start();
        qputenv("PATH", path);
        QVERIFY(failed.wait(10000));
        QVERIFY2(failed.first().first().toString().startsWith(u"APy exited with status 1"_s),
            qPrintable(failed.first().first().toString()));
    }

    void takesTheSocketFromSystemd()
    {
        // A descriptor that is no listening socket is refused, not served on.
        QCOMPARE(TranslationService(nullptr).listenOn(::socket(AF_INET, SOCK_STREAM, 0)), 0);
        QTcpServer socketUnit; // what systemd's tarnix-service.socket holds
        QVERIFY(socketUnit.listen(QHostAddress::LocalHost, 0));
        const int listening = int(socketUnit.socketDescriptor());
        QProcess service;
        service.setChildProcessModifier([listening]() {
            ::dup2(listening, 3);
            ::fcntl(3, F_SETFD, 0);
        });
        // systemd sets LISTEN_PID to the service's own pid: the shell's, kept by exec.
        service.start(u"/bin/sh"_s,
            {u"-c"_s, u"LISTEN_PID=$$ LISTEN_FDS=1 exec \"$0\" \"$@\""_s, QStringLiteral(TARNIX_SERVICE_BINARY),
                u"--engine"_s, u"libretranslate"_s});
        QVERIFY(service.waitForStarted());
        QByteArray log;
        QTRY_VERIFY((log += service.readAllStandardError()).contains("(the socket from systemd)"));
        const quint16 port = socketUnit.serverPort();
        socketUnit.close(); // only the service holds it now
        QCOMPARE(statusOf(port, sameLanguagePost("localhost", {})), 200);
        service.terminate();
        QVERIFY(service.waitForFinished(15000));
        QCOMPARE(service.exitCode(), 0);
    }
};

QTEST_GUILESS_MAIN(TestServiceGuards)
#include "test_service_guards.moc"
