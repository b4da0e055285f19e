#include <csignal>

#include <QDir>
#include <QHostAddress>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>

#include "apyservice.h"
#include "httpclient.h"
#include "tests/support/loopbackserver.h"

using namespace Qt::StringLiterals;

namespace {

bool answers(quint16 port)
{
    QTcpSocket socket;
    socket.connectToHost(QHostAddress::LocalHost, port);
    return socket.waitForConnected(1000);
}

} // namespace

// The tarnix-service program itself: it logs each request on stderr and, on
// SIGINT or SIGTERM, stops its APy and exits with status 0.
class TestServiceProcess : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { TARNIX_REQUIRE_APY(); }

    void stopsCleanlyOnSignals_data()
    {
        QTest::addColumn<int>("signal");
        QTest::newRow("SIGINT") << SIGINT;
        QTest::newRow("SIGTERM") << SIGTERM;
    }
    void stopsCleanlyOnSignals()
    {
        QFETCH(int, signal);
        const quint16 port = tarnix::test::freeLoopbackPort();
        QProcess service;
        service.start(QStringLiteral(TARNIX_SERVICE_BINARY), {u"--port"_s, QString::number(port)});
        QVERIFY(service.waitForStarted());
        QByteArray log;
        QTRY_VERIFY_WITH_TIMEOUT((log += service.readAllStandardError()).contains("listening on"), 90000);
        const auto apyAddress = QRegularExpression(u"APy at http://127.0.0.1:(\\d+)"_s).match(QString::fromUtf8(log));
        QVERIFY(apyAddress.hasMatch());
        const quint16 apyPort = apyAddress.captured(1).toUShort();

        QNetworkAccessManager net;
        const HttpAnswer answer =
            httpExchange(net, QUrl(u"http://127.0.0.1:%1/"_s.arg(port)), "POST", "sl=en&tl=es&text=Good%20morning");
        QCOMPARE(answer.status, 200);
        QTRY_VERIFY((log += service.readAllStandardError()).contains(" en>es 200 "));
        QVERIFY(!log.contains("morning")); // the text itself is never logged

        ::kill(pid_t(service.processId()), signal);
        QVERIFY(service.waitForFinished(15000));
        QCOMPARE(service.exitStatus(), QProcess::NormalExit);
        QCOMPARE(service.exitCode(), 0);
        QVERIFY(!answers(port));
        QVERIFY(!answers(apyPort));
    }

    // SIGTERM while a request waits for its engine: the client gets 503
    // "stopping" and a close, not a bare close.
    void answersWaitingRequestsOnSigterm()
    {
        tarnix::test::LoopbackServer engine;
        QVERIFY(engine.start());
        engine.setResponder([](const tarnix::test::RecordedRequest &request) {
            if (request.path.startsWith("/languages"))
                return tarnix::test::Answer {tarnix::test::Answer::Kind::Complete, 200,
                    R"([{"code":"en","targets":["es"]},{"code":"es","targets":["en"]}])", {}, 0};
            return tarnix::test::Answer {tarnix::test::Answer::Kind::Stall, 200, "{}", {}, 0};
        });
        const quint16 port = tarnix::test::freeLoopbackPort();
        QProcess service;
        service.start(QStringLiteral(TARNIX_SERVICE_BINARY),
            {u"--port"_s, QString::number(port), u"--engine"_s, u"libretranslate"_s, u"--engine-url"_s,
                engine.url().toString()});
        QByteArray log;
        QTRY_VERIFY_WITH_TIMEOUT((log += service.readAllStandardError()).contains("listening on"), 30000);
        QVERIFY2(log.contains("with libretranslate (LibreTranslate at " + engine.url().toEncoded() + ")"), log);
        // A second service on the same port says so and exits.
        QProcess second;
        second.start(QStringLiteral(TARNIX_SERVICE_BINARY), service.arguments());
        QVERIFY(second.waitForFinished(15000));
        QCOMPARE(second.exitCode(), 1);
        QVERIFY(second.readAllStandardError().contains("the port is taken"));
        QTcpSocket client;
        client.connectToHost(QHostAddress::LocalHost, port);
        QVERIFY(client.waitForConnected(5000));
        client.write("POST / HTTP/1.1\r\nHost: 127.0.0.1\r\nContent-Type: application/x-www-form-urlencoded\r\n"
                     "Content-Length: 22\r\n\r\nsl=en&tl=es&text=Hello");
        QTRY_VERIFY_WITH_TIMEOUT(engine.requests().size() == 3, 10000); // two language lists, then the text
        ::kill(pid_t(service.processId()), SIGTERM);
        QByteArray answer;
        QTRY_VERIFY_WITH_TIMEOUT(
            (answer += client.readAll(), client.state() == QAbstractSocket::UnconnectedState), 10000);
        answer += client.readAll();
        QVERIFY2(answer.startsWith("HTTP/1.1 503 ") && answer.contains("stopping")
                && answer.contains("\r\nConnection: close\r\n"),
            answer.constData());
        QTRY_COMPARE_WITH_TIMEOUT(service.state(), QProcess::NotRunning, 15000);
        QCOMPARE(service.exitCode(), 0);
    }

    // What the user reads when a translation does not come: the start line
    // names an engine that does not answer, and every refused request's log
    // line and page say why, never with the text.
    void saysWhyNothingCame_data()
    {
        QTest::addColumn<QStringList>("options");
        QTest::addColumn<QByteArray>("form");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("logged"); // the start and the request's line, with @ for the engine's port
        QTest::addColumn<QString>("page");
        const QStringList deadEngine {u"--engine"_s, u"libretranslate"_s, u"--engine-url"_s, u"http://127.0.0.1:@"_s};
        QTest::newRow("engine down")
            << deadEngine << "sl=en&tl=es&text=Secret"_ba << 503
            << u"tarnix-service: libretranslate at http://127.0.0.1:@: .*check that LibreTranslate runs.*\\n"
               u"(.|\\n)* en>es 503 .*\\(libretranslate at http://127.0.0.1:@: "_s
            << u"http://127.0.0.1:@"_s;
        QTest::newRow("no language code")
            << deadEngine << "sl=en&tl=English&text=Secret"_ba << 400
            << u"400 .*\\(tl \"English\" is not a language code\\)"_s << u"which is not a language code"_s;
        QTest::newRow("malformed form") << deadEngine << "sl=en&tl=es&text=Secret%zz"_ba << 400
                                        << u" 400 .*\\(The body holds a malformed percent-escape.\\)"_s
                                        << u"malformed percent-escape"_s;
        QTest::newRow("no engine offers the pair")
            << QStringList {u"--engine"_s, u"apertium"_s} << "sl=EN&tl=xx&text=Secret"_ba << 422
            << u" en>xx 422 .*\\(no engine offers en>xx\\)"_s << u"translates from en to xx"_s;
    }
    void saysWhyNothingCame()
    {
        QFETCH(QStringList, options);
        QFETCH(QByteArray, form);
        QFETCH(int, status);
        QFETCH(QString, logged);
        QFETCH(QString, page);
        const QString enginePort = QString::number(tarnix::test::freeLoopbackPort());
        const quint16 port = tarnix::test::freeLoopbackPort();
        QProcess service;
        service.start(QStringLiteral(TARNIX_SERVICE_BINARY),
            QStringList {u"--port"_s, QString::number(port)} + options.replaceInStrings(u"@"_s, enginePort));
        QByteArray log;
        QTRY_VERIFY_WITH_TIMEOUT((log += service.readAllStandardError()).contains("listening on"), 90000);
        QNetworkAccessManager net;
        const HttpAnswer answer = httpExchange(net, QUrl(u"http://127.0.0.1:%1/"_s.arg(port)), "POST", form);
        QCOMPARE(answer.status, status);
        QVERIFY2(QString::fromUtf8(answer.body).contains(page.replace(u"@"_s, enginePort)), answer.body.constData());
        const QRegularExpression expected(logged.replace(u"@"_s, enginePort));
        QTRY_VERIFY2(
            expected.match(QString::fromUtf8(log += service.readAllStandardError())).hasMatch(), log.constData());
        QVERIFY(!log.contains("Secret"));
        service.terminate();
        QVERIFY(service.waitForFinished(15000));
    }

    // Debian's Italian modes run cg-proc without depending on cg3: on a PATH
    // without it, the direction is named at start and Italian as a source is
    // refused (422) instead of failing every request.
    void leavesOutADirectionItsModeCannotRun()
    {
        QTemporaryDir bin;
        for (const QFileInfo &program : QDir(u"/usr/bin"_s).entryInfoList(QDir::Files))
            QVERIFY(
                program.fileName() == u"cg-proc" || QFile::link(program.filePath(), bin.filePath(program.fileName())));
        const quint16 port = tarnix::test::freeLoopbackPort();
        QProcess service;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(u"PATH"_s, bin.path());
        service.setProcessEnvironment(environment);
        service.start(QStringLiteral(TARNIX_SERVICE_BINARY), {u"--port"_s, QString::number(port)});
        QByteArray log;
        QTRY_VERIFY_WITH_TIMEOUT((log += service.readAllStandardError()).contains("listening on"), 90000);
        QNetworkAccessManager net;
        const QUrl url(u"http://127.0.0.1:%1/"_s.arg(port));
        QCOMPARE(httpExchange(net, url, "POST", "sl=it&tl=es&text=la%20casa").status, 422);
        QCOMPARE(httpExchange(net, url, "POST", "sl=en&tl=it&text=the%20house").status, 200);
        QTRY_VERIFY((log += service.readAllStandardError()).contains("it>es 422"));
        QVERIFY2(log.contains("ita>spa fails a one-word translation and is not offered"), log.constData());
        // The check ran on an APy of its own: the one that translates runs
        // at most the two directions asked for, not one for every direction.
        const QString apy = QRegularExpression(u"APy at (http://[0-9.:]+)"_s).match(QString::fromUtf8(log)).captured(1);
        const HttpAnswer stats = httpExchange(net, QUrl(apy + u"/stats"_s), "GET", {});
        const QStringList pipes =
            QJsonDocument::fromJson(stats.body)["responseData"_L1]["runningPipes"_L1].toObject().keys();
        for (const QString &pipe : pipes)
            QVERIFY2(pipe == u"eng-spa"_s || pipe == u"spa-ita"_s, stats.body.constData());
        service.terminate();
        QVERIFY(service.waitForFinished(15000));
    }
};

QTEST_GUILESS_MAIN(TestServiceProcess)
#include "test_service_process.moc"
