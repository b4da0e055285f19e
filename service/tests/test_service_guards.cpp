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
#include "service/http/logescape.h"
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

// The status codes of the answers in `answers`, in order.
QList<int> statusesOf(const QByteArray &answers)
{
    static const QRegularExpression statusLine(u"(?:^|\n)HTTP/1\\.1 ([0-9]{3}) "_s);
    QList<int> statuses;
    for (auto found = statusLine.globalMatch(QString::fromLatin1(answers)); found.hasNext();)
        statuses.append(found.next().captured(1).toInt());
    return statuses;
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
    return statusesOf(answer).value(0);
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
    // Raw bytes on one connection, written in pieces 100 ms apart: the
    // statuses answered, one per request and in order, and whether the
    // service then closes the connection.
    void answersEachRequestOnceInOrder_data()
    {
        QTest::addColumn<QByteArrayList>("writes");
        QTest::addColumn<QList<int>>("statuses");
        QTest::addColumn<bool>("closes");
        const QByteArray local = "127.0.0.1:%1";
        const auto post = [](const QByteArray &headers = {}, const QByteArray &host = "127.0.0.1") {
            return sameLanguagePost(host, headers);
        };
        const QByteArray start =
            "POST / HTTP/1.1\r\nHost: 127.0.0.1\r\nContent-Type: application/x-www-form-urlencoded\r\n";
        const QByteArray body = "sl=en&tl=en&text=Hi";
        const auto framed = [&](const QByteArray &headers) { return start + headers + "\r\n" + body; };
        const auto chunked = [&](const QByteArray &chunks) {
            return start + "Transfer-Encoding: chunked\r\n\r\n" + chunks;
        };
        const QByteArray length = "Content-Length: 19\r\n";
        const QByteArray get = "GET / HTTP/1.1\r\nHost: 127.0.0.1\r\n";
        const QByteArray close = "Connection: close\r\n";
        QByteArray manyLines;
        for (int i = 0; i <= 100; ++i)
            manyLines += "X-Line-" + QByteArray::number(i) + ": 1\r\n";
        using S = QList<int>;
        // Who may use it.
        QTest::newRow("the program's request") << QByteArrayList {post({}, local)} << S {200} << false;
        QTest::newRow("localhost, no port") << QByteArrayList {post({}, "localhost")} << S {200} << false;
        QTest::newRow("[::1] with port") << QByteArrayList {post({}, "[::1]:%1")} << S {200} << false;
        QTest::newRow("address typed into a browser")
            << QByteArrayList {post("Sec-Fetch-Site: none\r\n")} << S {200} << false;
        QTest::newRow("form posted by a web page")
            << QByteArrayList {post("Origin: https://evil.example\r\n")} << S {403} << false;
        QTest::newRow("Origin null") << QByteArrayList {post("origin: null\r\n")} << S {403} << false;
        QTest::newRow("cross-site fetch")
            << QByteArrayList {post("Sec-Fetch-Site: cross-site\r\n")} << S {403} << false;
        QTest::newRow("same-origin fetch")
            << QByteArrayList {post("Sec-Fetch-Site: same-origin\r\n")} << S {403} << false;
        QTest::newRow("rebound name") << QByteArrayList {post({}, "attacker.example:%1")} << S {421} << false;
        QTest::newRow("localhost, another port") << QByteArrayList {post({}, "localhost:1")} << S {421} << false;
        QTest::newRow("loopback name with a suffix")
            << QByteArrayList {post({}, "localhost.evil.example")} << S {421} << false;
        QTest::newRow("absolute target naming another host")
            << QByteArrayList {post().replace("POST / ", "POST http://evil.example/ ")} << S {421} << false;
        QTest::newRow("absolute target naming loopback")
            << QByteArrayList {post().replace("POST / ", "POST http://127.0.0.1:%1/ ")} << S {200} << false;
        QTest::newRow("no Host") << QByteArrayList {framed(length).replace("Host: 127.0.0.1\r\n", "")} << S {400}
                                 << false;
        QTest::newRow("two Hosts") << QByteArrayList {post("Host: 127.0.0.1\r\n")} << S {400} << false;
        // What is no HTTP/1.1 request.
        QTest::newRow("garbage line") << QByteArrayList {"NONSENSE\r\n\r\n"} << S {400} << true;
        QTest::newRow("TLS hello") << QByteArrayList {"\x16\x03\x01\x02\x00\x01\x00\x01\xfc\x03\x03"_ba} << S {400}
                                   << true;
        QTest::newRow("no version") << QByteArrayList {"GET /\r\n\r\n"} << S {400} << true;
        QTest::newRow("angle brackets in the target")
            << QByteArrayList {QByteArray(get).replace("/ ", "/<b> ") + "\r\n"} << S {400} << true;
        QTest::newRow("HTTP/2 preface") << QByteArrayList {"PRI * HTTP/2.0\r\n\r\nSM\r\n\r\n"} << S {400} << true;
        // Framing that two readers could take differently is refused.
        QTest::newRow("line without a colon, Origin before it")
            << QByteArrayList {framed("Origin: http://evil.example\r\n" + length + "NoColonHere\r\n")} << S {400}
            << true;
        QTest::newRow("space before the colon")
            << QByteArrayList {framed("Content-Length : 19\r\n")} << S {400} << true;
        QTest::newRow("Content-Length -1") << QByteArrayList {framed("Content-Length: -1\r\n")} << S {400} << true;
        QTest::newRow("Content-Length in hex")
            << QByteArrayList {framed("Content-Length: 0x13\r\n")} << S {400} << true;
        QTest::newRow("two Content-Lengths")
            << QByteArrayList {framed(length + "Content-Length: 5\r\n")} << S {400} << true;
        QTest::newRow("the same Content-Length twice") << QByteArrayList {framed(length + length)} << S {400} << true;
        QTest::newRow("Content-Length and chunked")
            << QByteArrayList {framed(length + "Transfer-Encoding: chunked\r\n")} << S {400} << true;
        QTest::newRow("gzip transfer coding")
            << QByteArrayList {framed("Transfer-Encoding: gzip\r\n")} << S {501} << true;
        QTest::newRow("bad chunk size") << QByteArrayList {chunked("zz\r\n" + body + "\r\n0\r\n\r\n")} << S {400}
                                        << true;
        QTest::newRow("chunk longer than its size")
            << QByteArrayList {chunked("5\r\n" + body + "\r\n0\r\n\r\n")} << S {400} << true;
        QTest::newRow("chunk ended by a bare LF")
            << QByteArrayList {chunked("13\r\n" + body + "\n0\r\n\r\n")} << S {400} << true;
        QTest::newRow("101 header lines") << QByteArrayList {framed(length + manyLines)} << S {431} << true;
        // Pipelined, in pieces, closed: one answer each, in order.
        QTest::newRow("pipelined, split inside the second")
            << QByteArrayList {post() + post().first(30), post().sliced(30)} << S {200, 200} << false;
        QTest::newRow("three pipelined, the third closes")
            << QByteArrayList {post() + post() + post(close)} << S {200, 200, 200} << true;
        QTest::newRow("good, then malformed")
            << QByteArrayList {post() + "POST / HTTP/1.1\r\nNoColon\r\n\r\n"} << S {200, 400} << true;
        QTest::newRow("bytes after a body: the next request")
            << QByteArrayList {post() + get + "\r\n"} << S {200, 405} << false;
        QTest::newRow("bytes after a body: garbage")
            << QByteArrayList {post() + "GARBAGE\r\n\r\n"} << S {200, 400} << true;
        QTest::newRow("chunked with extension and trailer, in pieces")
            << QByteArrayList {chunked("13;x=1\r\n" + body.first(5)), body.sliced(5) + "\r\n0\r\nX-T: 1\r\n\r\n"}
            << S {200} << false;
        QTest::newRow("chunked, then close") << QByteArrayList {framed(close + "Transfer-Encoding: chunked\r\n")
                                                                    .replace(body, "13\r\n" + body + "\r\n0\r\n\r\n")}
                                             << S {200} << true;
        QTest::newRow("HTTP/1.0 without keep-alive")
            << QByteArrayList {framed(length).replace("HTTP/1.1", "HTTP/1.0")} << S {200} << true;
        QTest::newRow("HTTP/1.0 with keep-alive, twice") << QByteArrayList {
            framed(length + "Connection: keep-alive\r\n")
                .replace("HTTP/1.1", "HTTP/1.0")
                .repeated(2)} << S {200, 200} << false;
        QTest::newRow("HEAD, then a POST")
            << QByteArrayList {QByteArray(get).replace("GET", "HEAD") + "\r\n" + post()} << S {405, 200} << false;
        QTest::newRow("TRACE") << QByteArrayList {QByteArray(get).replace("GET", "TRACE") + "\r\n"} << S {405} << false;
        QTest::newRow("WebSocket upgrade of a GET") << QByteArrayList {get
            + "Connection: Upgrade\r\nUpgrade: websocket\r\nSec-WebSocket-Version: 13\r\n"
              "Sec-WebSocket-Key: dGhlIHNhbXBsZSBub25jZQ==\r\n\r\n"
            + post()} << S {405, 200} << false;
        QTest::newRow("WebSocket upgrade of a POST")
            << QByteArrayList {post("Connection: Upgrade\r\nUpgrade: websocket\r\n")} << S {200} << false;
    }
    void answersEachRequestOnceInOrder()
    {
        QFETCH(QByteArrayList, writes);
        QFETCH(QList<int>, statuses);
        QFETCH(bool, closes);
        TranslationService service(&unusedEngine);
        const quint16 port = service.listen(0);
        QTcpSocket client;
        client.connectToHost(QHostAddress::LocalHost, port);
        QVERIFY(client.waitForConnected(5000));
        for (QByteArray &piece : writes) {
            if (&piece != &writes.first())
                QTest::qWait(100);
            client.write(piece.replace("%1", QByteArray::number(port)));
        }
        QByteArray answers;
        [[maybe_unused]] const bool done = QTest::qWaitFor(
            [&] {
                answers += client.readAll();
                return closes ? client.state() == QAbstractSocket::UnconnectedState
                              : statusesOf(answers).size() >= statuses.size();
            },
            5000);
        if (!closes)
            QTest::qWait(200); // time enough for an answer too many, or a close
        answers += client.readAll();
        QCOMPARE(statusesOf(answers), statuses);
        QCOMPARE(client.state() == QAbstractSocket::UnconnectedState, closes);
        QCOMPARE(answers.count("\r\nConnection: close\r\n"), closes ? 1 : 0);
    }

    void escapesClientFieldsForTheLog_data()
    {
        QTest::addColumn<QString>("field");
        QTest::addColumn<QString>("logged");
        QTest::newRow("plain code") << u"zh-CN"_s << u"zh-CN"_s;
        QTest::newRow("terminal escapes") << u"e\x1b[2J\x1b[31mRED"_s << u"e\\x1b[2J\\x1b[31mRED"_s;
        QTest::newRow("NUL") << QString::fromUtf16(u"e\0s", 3) << u"e\\x00s"_s;
        QTest::newRow("VT FF BS") << u"\v\f\b"_s << u"\\x0b\\x0c\\x08"_s;
        QTest::newRow("next line, line and paragraph separators")
            << u"\u0085\u2028\u2029"_s << u"\\x85\\u2028\\u2029"_s;
        QTest::newRow("bidi override and isolate") << u"\u202Ees\u2066"_s << u"\\u202ees\\u2066"_s;
        QTest::newRow("backslash cannot forge an escape") << u"\\x1b"_s << u"\\\\x1b"_s;
        QTest::newRow("lone surrogate") << QString(QChar(0xD800)) << u"\\ud800"_s;
        QTest::newRow("tag character") << u"\U000E0041"_s << u"\\U000e0041"_s;
        QTest::newRow("letters outside the BMP kept") << u"\U0001F600"_s << u"\U0001F600"_s;
    }
    void escapesClientFieldsForTheLog()
    {
        QFETCH(QString, field);
        QFETCH(QString, logged);
        QCOMPARE(escapeForLog(field), logged);
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
