#include <memory>

#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QSignalSpy>
#include <QTest>

#include "reply/entities.h"
#include "reply/extract.h"
#include "service/engines/engine.h"
#include "service/http/page.h"
#include "service/http/translationservice.h"
#include "translate/request.h"

using namespace Qt::StringLiterals;
using namespace tarnix::service;

namespace {

// Never asked: same-language requests are answered without an engine.
class NoEngine : public Engine
{
public:
    void translate(const QString &, const QString &, const QString &, Callback done) override
    {
        done(EngineResult {EngineResult::Status::Unavailable, QString(), u"no engine in this test"_s});
    }
};

} // namespace

// Every text the service writes into its page comes back unchanged through
// the program's own request encoding and reply extraction.
class TestServiceRoundTrip : public QObject
{
    Q_OBJECT

    tarnix::EntityTable entities;
    NoEngine engine;
    std::unique_ptr<TranslationService> service;
    QNetworkAccessManager net;
    QUrl serviceUrl;

private slots:
    void initTestCase()
    {
        tarnix::fillEntityTable(entities);
        service = std::make_unique<TranslationService>(&engine);
        const quint16 port = service->listen(0);
        QVERIFY(port);
        serviceUrl = QUrl(u"http://127.0.0.1:%1"_s.arg(port));
    }

    void texts_data()
    {
        QTest::addColumn<QString>("text");
        QTest::newRow("plain") << u"Hola Mundo"_s;
        QTest::newRow("ampersand and semicolon later") << u"Salt & pepper; to taste"_s;
        QTest::newRow("comparison signs") << u"a < b > c"_s;
        QTest::newRow("named references as text") << u"&amp; &lt; &eacute; &quot;"_s;
        QTest::newRow("numeric references as text") << u"&#39; &#x41; &#;"_s;
        QTest::newRow("markup as text") << u"<b>bold</b><br/>"_s;
        QTest::newRow("the markers themselves") << u"<span id=result_box x> <div id=gt-res-tools"_s;
        QTest::newRow("lines") << u"one\ntwo\r\nthree\n"_s;
        QTest::newRow("outer white space") << u"  padded\t "_s;
        QTest::newRow("quotes") << u"\"double\" 'single'"_s;
        QTest::newRow("non-latin and beyond 16 bits") << u"Привет 你好 \U0001F600"_s;
        QTest::newRow("placeholders") << u"%1 %s {name} ${x} {{y}}"_s;
        QTest::newRow("lone ampersand at the end") << u"Q&"_s;
        // Found by fuzz_service_form: a leading U+FEFF was taken for a byte order mark.
        QTest::newRow("leading zero-width no-break space") << u"\uFEFFstart"_s;
    }

    void texts()
    {
        QFETCH(QString, text);
        QCOMPARE(tarnix::extractTranslation(translationPage(text), entities), text);
    }

    // The same texts over HTTP: the program's form body in, the page out.
    void textsOverHttp_data() { texts_data(); }
    void textsOverHttp()
    {
        QFETCH(QString, text);
        const QByteArray body = tarnix::encodeFormBody(u"es"_s, u"es"_s, text);
        QNetworkReply *reply = net.post(tarnix::makeServiceRequest(serviceUrl, body.size()), body);
        QSignalSpy finished(reply, &QNetworkReply::finished);
        QVERIFY(finished.wait(10000));
        QCOMPARE(reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt(), 200);
        QCOMPARE(tarnix::extractTranslation(reply->readAll(), entities), text);
        reply->deleteLater();
    }
};

QTEST_GUILESS_MAIN(TestServiceRoundTrip)
#include "test_service_roundtrip.moc"
