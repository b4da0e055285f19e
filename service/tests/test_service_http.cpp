#include <memory>
#include <numeric>
#include <vector>

#include <QHostAddress>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QRegularExpression>
#include <QTcpSocket>
#include <QTest>

#include "httpclient.h"
#include "service/engines/libretranslateengine.h"
#include "service/http/clientlistener.h"
#include "service/http/translationservice.h"

using namespace Qt::StringLiterals;
using namespace tarnix::service;

namespace {

// A loopback server speaking LibreTranslate's documented API, on the
// service's own HTTP side: it records every request and answers
// "[target] q" or an error status, or holds its answers until several are
// waiting.
class FakeLibreTranslate : public QObject
{
public:
    enum class Mode { Translate, Fail, Hold };

    Mode mode = Mode::Translate;
    int failStatus = 500;
    qsizetype holdUntil = 0;
    QList<QJsonObject> received;
    quint16 port = 0;

    FakeLibreTranslate()
        : server(
            HttpLimits {}, [this](const HttpRequest &request, const Reply &reply) { take(request, reply); }, this)
    {
        server.listen(QHostAddress::LocalHost, 0);
        port = server.serverPort();
    }

    QUrl url() const { return QUrl(u"http://127.0.0.1:%1"_s.arg(port)); }

private:
    void take(const HttpRequest &request, const Reply &reply)
    {
        const QJsonObject query = QJsonDocument::fromJson(request.body).object();
        received.append(query);
        held.push_back({reply, query});
        if (mode != Mode::Hold || qsizetype(held.size()) >= holdUntil) {
            if (mode == Mode::Hold)
                mode = Mode::Translate;
            for (const auto &[waiting, asked] : held) {
                const QString text =
                    u"[%1] %2"_s.arg(asked.value("target"_L1).toString(), asked.value("q"_L1).toString());
                waiting.send(mode == Mode::Fail
                        ? Answer {failStatus, QJsonDocument(QJsonObject {{"error"_L1, "refused"_L1}}).toJson(), {}}
                        : Answer {200, QJsonDocument(QJsonObject {{"translatedText"_L1, text}}).toJson(), {}});
            }
            held.clear();
        }
    }

    ClientListener server;
    std::vector<std::pair<Reply, QJsonObject>> held;
};

// A form POST as raw bytes, with further header lines.
QByteArray rawPost(const QByteArray &body, const QByteArray &headers = {})
{
    return "POST / HTTP/1.1\r\nHost: 127.0.0.1\r\nContent-Type: application/x-www-form-urlencoded\r\n" + headers
        + "Content-Length: " + QByteArray::number(body.size()) + "\r\n\r\n" + body;
}

} // namespace

// The service's HTTP side against a LibreTranslate engine on loopback.
class TestServiceHttp : public QObject
{
    Q_OBJECT

    FakeLibreTranslate fake;
    std::unique_ptr<LibreTranslateEngine> engine;
    std::unique_ptr<TranslationService> service;
    QNetworkAccessManager net;
    QUrl serviceUrl;

    HttpAnswer post(const QByteArray &body) { return httpExchange(net, serviceUrl, "POST", body); }

private slots:
    void initTestCase()
    {
        QVERIFY(fake.port);
        engine = std::make_unique<LibreTranslateEngine>(fake.url(), u"secret"_s);
        service = std::make_unique<TranslationService>(engine.get());
        const quint16 port = service->listen(0);
        QVERIFY(port);
        serviceUrl = QUrl(u"http://127.0.0.1:%1/"_s.arg(port));
    }

    void init()
    {
        fake.mode = FakeLibreTranslate::Mode::Translate;
        fake.received.clear();
    }

    void translatesThroughTheEngine()
    {
        const HttpAnswer answer = post(programForm("en", "zh-TW", "Open%20%251%20%3Cb%3Enow%3C%2Fb%3E"));
        QCOMPARE(answer.status, 200);
        QCOMPARE(answer.contentType, "text/html; charset=utf-8"_ba);
        QVERIFY(answer.body.contains("<span id=result_box"));
        QVERIFY(answer.body.contains(">[zt] Open %1 &#60;b&#62;now&#60;/b&#62;</span>"));
        QCOMPARE(fake.received.size(), 1);
        const QJsonObject query = fake.received.first();
        QCOMPARE(query.value("q"_L1).toString(), u"Open \u27E60\u27E7 \u27E61\u27E7now\u27E62\u27E7"_s);
        QCOMPARE(query.value("source"_L1).toString(), u"en"_s);
        QCOMPARE(query.value("format"_L1).toString(), u"text"_s);
        QCOMPARE(query.value("api_key"_L1).toString(), u"secret"_s);
    }

    void refusesBadRequests_data()
    {
        QTest::addColumn<QByteArray>("method");
        QTest::addColumn<QString>("path");
        QTest::addColumn<QByteArray>("contentType");
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<int>("status");
        const QByteArray form = "application/x-www-form-urlencoded";
        const QByteArray good = programForm("en", "es", "Hi");
        QTest::newRow("GET") << "GET"_ba << u"/"_s << QByteArray() << QByteArray() << 405;
        QTest::newRow("other path") << "POST"_ba << u"/translate"_s << form << good << 404;
        QTest::newRow("plain text body") << "POST"_ba << u"/"_s << "text/plain"_ba << good << 415;
        QTest::newRow("body over 1 MiB") << "POST"_ba << u"/"_s << form
                                         << programForm("en", "es", QByteArray(1024 * 1024, 'a')) << 413;
        QTest::newRow("escape cut short") << "POST"_ba << u"/"_s << form << programForm("en", "es", "Hi%4") << 400;
        QTest::newRow("escape not hex") << "POST"_ba << u"/"_s << form << programForm("en", "es", "%zz") << 400;
        QTest::newRow("bad escape in a key") << "POST"_ba << u"/"_s << form << good + "&%g0=1" << 400;
        QTest::newRow("text twice") << "POST"_ba << u"/"_s << form << good + "&text=again" << 400;
        QTest::newRow("source twice") << "POST"_ba << u"/"_s << form << good + "&sl=fr" << 400;
        QTest::newRow("empty source") << "POST"_ba << u"/"_s << form << "sl=&tl=es&text=Hi"_ba << 400;
        QTest::newRow("text not UTF-8") << "POST"_ba << u"/"_s << form << programForm("en", "es", "%C3%28") << 400;
        QTest::newRow("missing text") << "POST"_ba << u"/"_s << form << "sl=en&tl=es"_ba << 400;
        QTest::newRow("empty text") << "POST"_ba << u"/"_s << form << programForm("en", "es", "") << 400;
        QTest::newRow("unknown language") << "POST"_ba << u"/"_s << form << programForm("en", "xx", "Hi") << 422;
    }
    void refusesBadRequests()
    {
        QFETCH(QByteArray, method);
        QFETCH(QString, path);
        QFETCH(QByteArray, contentType);
        QFETCH(QByteArray, body);
        QFETCH(int, status);
        const HttpAnswer answer = httpExchange(net, serviceUrl.resolved(QUrl(path)), method, body, contentType);
        QCOMPARE(answer.status, status);
        QCOMPARE(answer.contentType, "text/html; charset=utf-8"_ba);
        QVERIFY(answer.body.contains(QByteArray::number(status)));
        QVERIFY(!answer.body.contains("<span id=result_box"));
        QVERIFY(fake.received.isEmpty());
        // and the service goes on serving
        QCOMPARE(post(programForm("en", "es", "Hi")).status, 200);
    }

    void engineFailuresBecomeErrors_data()
    {
        QTest::addColumn<int>("engineStatus");
        QTest::addColumn<int>("status");
        QTest::newRow("engine refuses the languages") << 400 << 422;
        QTest::newRow("engine refuses the key") << 403 << 503;
        QTest::newRow("engine fails") << 500 << 503;
    }
    void engineFailuresBecomeErrors()
    {
        QFETCH(int, engineStatus);
        QFETCH(int, status);
        fake.mode = FakeLibreTranslate::Mode::Fail;
        fake.failStatus = engineStatus;
        const HttpAnswer answer = post(programForm("en", "de", "Hi"));
        QCOMPARE(answer.status, status);
        QVERIFY(!answer.body.contains("<span id=result_box"));
    }

    void answersManyRequestsAtOnce()
    {
        // The engine answers nothing until six requests wait on it: a service
        // that asked one request after another would never get an answer.
        fake.mode = FakeLibreTranslate::Mode::Hold;
        fake.holdUntil = 6;
        std::vector<QNetworkReply *> replies;
        for (int i = 0; i < 20; ++i) {
            QNetworkRequest request(serviceUrl);
            request.setHeader(QNetworkRequest::ContentTypeHeader, "application/x-www-form-urlencoded"_ba);
            replies.push_back(net.post(request, programForm("en", "fr", "text%20" + QByteArray::number(i))));
        }
        for (QNetworkReply *reply : replies) {
            QTRY_VERIFY_WITH_TIMEOUT(reply->isFinished(), 30000);
            QCOMPARE(reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt(), 200);
            reply->deleteLater();
        }
        QCOMPARE(fake.received.size(), 20);
    }

    void readsNoFurtherThanItOwesAnswers()
    {
        // 70 requests in one write to the stand-in, which answers only once 65
        // wait: its HTTP side, the service's, reads 64, and the rest once
        // answers have left.
        fake.mode = FakeLibreTranslate::Mode::Hold;
        fake.holdUntil = 65;
        QTcpSocket client;
        client.connectToHost(QHostAddress::LocalHost, fake.port);
        QVERIFY(client.waitForConnected(5000));
        QByteArray requests;
        for (int i = 0; i < 70; ++i)
            requests += rawPost(R"({"q": "n)" + QByteArray::number(i) + R"(", "target": "de"})");
        client.write(requests);
        QTRY_COMPARE(fake.received.size(), 64);
        QTest::qWait(200); // time enough for a 65th to arrive
        QCOMPARE(fake.received.size(), 64);
        QCOMPARE(httpExchange(net, fake.url(), "POST", R"({"q": "release", "target": "fr"})").status, 200);
        QByteArray answers;
        QTRY_VERIFY_WITH_TIMEOUT((answers += client.readAll()).count("translatedText") == 70, 20000);
        QList<int> order;
        static const QRegularExpression answered(u"\\[de\\] n([0-9]+)\""_s);
        for (auto found = answered.globalMatch(QString::fromUtf8(answers)); found.hasNext();)
            order.append(found.next().captured(1).toInt());
        QList<int> expected(70);
        std::iota(expected.begin(), expected.end(), 0);
        QCOMPARE(order, expected);
    }

    void pipelinedRequestsAreAnsweredInOrder()
    {
        // Three requests on one connection before any answer: the first waits
        // for the engine, the other two (same language) need none, and the
        // third closes the connection, so what follows it is never read.
        fake.mode = FakeLibreTranslate::Mode::Hold;
        fake.holdUntil = 2;
        QTcpSocket client;
        client.connectToHost(QHostAddress::LocalHost, quint16(serviceUrl.port()));
        QVERIFY(client.waitForConnected(5000));
        client.write(rawPost(programForm("en", "de", "first")) + rawPost(programForm("es", "es", "second"))
            + rawPost(programForm("es", "es", "third"), "Connection: close\r\n") + "NONSENSE\r\n\r\n");
        QTRY_COMPARE(fake.received.size(), 1);
        QTest::qWait(100); // time enough for an early second answer to arrive
        QCOMPARE(post(programForm("en", "fr", "release")).status, 200); // releases the first
        QByteArray answers;
        QTRY_VERIFY((answers += client.readAll(), client.state() == QAbstractSocket::UnconnectedState));
        answers += client.readAll();
        QCOMPARE(answers.count("HTTP/1.1 200 OK\r\n"), 3);
        QVERIFY(answers.indexOf("[de] first") >= 0);
        QVERIFY(answers.indexOf("[de] first") < answers.indexOf(">second<"));
        QVERIFY(answers.indexOf(">second<") < answers.indexOf("\r\nConnection: close\r\n"));
        QCOMPARE(answers.count("\r\nConnection: close\r\n"), 1);
        QVERIFY(answers.endsWith(">third</span></div><div id=gt-res-tools></div>\n</body></html>\n"));
    }

    void stoppingAnswersWaitingRequests()
    {
        fake.mode = FakeLibreTranslate::Mode::Hold;
        fake.holdUntil = 2;
        QTcpSocket client;
        client.connectToHost(QHostAddress::LocalHost, quint16(serviceUrl.port()));
        QVERIFY(client.waitForConnected(5000));
        client.write(rawPost(programForm("en", "fr", "waiting")));
        QTRY_COMPARE(fake.received.size(), 1);
        service->stop();
        QByteArray answer;
        QVERIFY(QTest::qWaitFor(
            [&] {
                answer += client.readAll();
                return client.state() == QAbstractSocket::UnconnectedState;
            },
            5000));
        answer += client.readAll();
        QVERIFY2(answer.startsWith("HTTP/1.1 503 ") && answer.contains("stopping")
                && answer.contains("\r\nConnection: close\r\n"),
            answer.constData());
        QCOMPARE(post(programForm("en", "fr", "refused")).status, 0); // no longer listening

        // A new service; its first request lets the engine answer the held one too.
        service = std::make_unique<TranslationService>(engine.get());
        serviceUrl.setPort(service->listen(0));
        QCOMPARE(post(programForm("en", "fr", "after")).status, 200);
    }

    void clientThatLeavesDoesNotHurt()
    {
        fake.mode = FakeLibreTranslate::Mode::Hold;
        fake.holdUntil = 2;
        QNetworkRequest request(serviceUrl);
        request.setHeader(QNetworkRequest::ContentTypeHeader, "application/x-www-form-urlencoded"_ba);
        QNetworkReply *leaving = net.post(request, programForm("en", "fr", "gone"));
        QTRY_COMPARE(fake.received.size(), 1);
        leaving->abort();
        leaving->deleteLater();
        QTest::qWait(100); // the service sees its connection close
        const HttpAnswer answer = post(programForm("en", "fr", "still%20here"));
        QCOMPARE(answer.status, 200);
        QVERIFY(answer.body.contains("[fr] still here"));
    }
};

QTEST_GUILESS_MAIN(TestServiceHttp)
#include "test_service_http.moc"
