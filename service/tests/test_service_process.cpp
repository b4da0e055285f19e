#include <csignal>

#include <QHostAddress>
#include <QNetworkAccessManager>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTcpSocket>
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
};

QTEST_GUILESS_MAIN(TestServiceProcess)
#include "test_service_process.moc"
