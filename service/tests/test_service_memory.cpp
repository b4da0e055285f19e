#include <memory>
#include <vector>

#include <QDir>
#include <QHttpServer>
#include <QHttpServerResponder>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QPointer>
#include <QProcess>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include "httpclient.h"
#include "service/engines/libretranslateengine.h"
#include "service/http/translationservice.h"
#include "service/memory/memoryengine.h"
#include "service/memory/translationmemory.h"

using namespace Qt::StringLiterals;
using namespace tarnix::service;

namespace {

// LibreTranslate's documented POST /translate on loopback: answers "[target] q"
// (its n-th request n x `step` ms late), status 500 while `failing`, or loses
// the first placeholder token; counts the requests in `asked`.
struct LibreTranslateStandIn
{
    int asked = 0;
    int step = 0;
    bool failing = false;
    bool losePlaceholder = false;
    QHttpServer server;
    quint16 port = server.listen(QHostAddress::LocalHost, 0);

    LibreTranslateStandIn()
    {
        server.route(u"/translate"_s, [this](const QHttpServerRequest &request, QHttpServerResponder &&responder) {
            const QJsonObject query = QJsonDocument::fromJson(request.body()).object();
            QString text = u"[%1] %2"_s.arg(query["target"_L1].toString(), query["q"_L1].toString());
            if (losePlaceholder)
                text.remove(u"\u27E60\u27E7"_s);
            QPointer<QTcpSocket> socket = responder.socket();
            auto held = std::make_shared<QHttpServerResponder>(std::move(responder));
            QTimer::singleShot(++asked * step, &server, [held, socket, text, fail = failing]() {
                if (socket && fail)
                    held->write(QHttpServerResponder::StatusCode::InternalServerError);
                else if (socket)
                    held->write(QJsonDocument(QJsonObject {{"translatedText"_L1, text}}));
            });
        });
    }
    QString url(const QString &host = u"127.0.0.1"_s) const { return u"http://%1:%2"_s.arg(host).arg(port); }
};

} // namespace

class TestServiceMemory : public QObject
{
    Q_OBJECT

    LibreTranslateStandIn engine;
    QNetworkAccessManager net;
    QTemporaryDir dir;

private slots:
    void hitsAndMissesByKey_data()
    {
        QTest::addColumn<int>("firstStatus"); // of the first request, "Save %1 now" en>es
        QTest::addColumn<QString>("host");
        QTest::addColumn<QByteArray>("form");
        QTest::addColumn<bool>("hit");
        QTest::addColumn<QByteArray>("answer");
        const QByteArray text = "&text=Save%20%251%20now";
        QTest::newRow("same key") << 200 << u"127.0.0.1"_s << "sl=en&tl=es" + text << true << "[es] Save %1 now"_ba;
        QTest::newRow("other placeholder, same text for the engine")
            << 200 << u"127.0.0.1"_s << "sl=en&tl=es&text=Save%20%7Bn%7D%20now"_ba << true << "[es] Save {n} now"_ba;
        QTest::newRow("outer white space") << 200 << u"127.0.0.1"_s << "sl=en&tl=es&text=%20Save%20%251%20now%0A"_ba
                                           << true << "> [es] Save %1 now\n</span>"_ba;
        QTest::newRow("other engine address")
            << 200 << u"localhost"_s << "sl=en&tl=es" + text << false << "[es] Save %1 now"_ba;
        QTest::newRow("other source") << 200 << u"127.0.0.1"_s << "sl=fr&tl=es" + text << false << "[es] Save"_ba;
        QTest::newRow("other target") << 200 << u"127.0.0.1"_s << "sl=en&tl=it" + text << false << "[it] Save"_ba;
        QTest::newRow("other text") << 200 << u"127.0.0.1"_s << "sl=en&tl=es&text=save%20%251%20now"_ba << false
                                    << "[es] save %1 now"_ba;
        QTest::newRow("after a 503") << 503 << u"127.0.0.1"_s << "sl=en&tl=es" + text << false << "[es] Save"_ba;
        QTest::newRow("after a 422 (placeholder lost)")
            << 422 << u"127.0.0.1"_s << "sl=en&tl=es" + text << false << "[es] Save %1"_ba;
    }
    void hitsAndMissesByKey()
    {
        QFETCH(int, firstStatus);
        QFETCH(QString, host);
        QFETCH(QByteArray, form);
        QFETCH(bool, hit);
        QFETCH(QByteArray, answer);
        TranslationMemory memory(dir.filePath(QString::fromLatin1(QTest::currentDataTag())), 100);
        const auto post = [&](const QString &engineHost, const QByteArray &body) {
            MemoryEngine withMemory(std::make_unique<LibreTranslateEngine>(engine.url(engineHost), QString()), &memory);
            TranslationService service(&withMemory);
            return httpExchange(net, QUrl(u"http://127.0.0.1:%1/"_s.arg(service.listen(0))), "POST", body);
        };
        engine.failing = firstStatus == 503;
        engine.losePlaceholder = firstStatus == 422;
        QCOMPARE(post(u"127.0.0.1"_s, "sl=en&tl=es&text=Save%20%251%20now").status, firstStatus);
        engine.failing = engine.losePlaceholder = false;
        const int asked = engine.asked;
        const HttpAnswer reply = post(host, form);
        QCOMPARE(reply.status, 200);
        QCOMPARE(engine.asked == asked, hit);
        QVERIFY2(reply.body.contains(answer), reply.body.constData());
    }
};

QTEST_GUILESS_MAIN(TestServiceMemory)
#include "test_service_memory.moc"
