#include <memory>

#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QRandomGenerator>
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
        done(EngineResult {EngineResult::Status::Unavailable, QString(), u"no engine in this test"_s, {}});
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

    // Random texts dense in what a page could confuse: markup, references,
    // the markers, quotes, line breaks, outer space, text beyond 16 bits and a
    // leading U+FEFF (found by fuzzing: it was taken for a byte order mark).
    void textsComeBackUnchanged()
    {
        const QStringList pieces {u"<b>"_s, u"&amp;"_s, u"&#39;"_s, u"&#x41;"_s, u"&"_s, u";"_s, u"<"_s, u">"_s,
            u"<span id=result_box x>"_s, u"<div id=gt-res-tools"_s, u"\n"_s, u"\r\n"_s, u"\t"_s, u" "_s, u"\""_s,
            u"'"_s, u"Hola"_s, u"Привет"_s, u"\U0001F600"_s, u"%1"_s, u"{name}"_s};
        QRandomGenerator random(20261206);
        for (int round = 0; round < 300; ++round) {
            QString text = random.bounded(4) == 0 ? u"\uFEFF"_s : QString();
            for (int i = int(random.bounded(1, 12)); i > 0; --i)
                text += pieces.at(int(random.bounded(pieces.size())));
            QCOMPARE(tarnix::extractTranslation(translationPage(text), entities), text);
            if (round % 30 != 0)
                continue;
            // Over HTTP too: the program's form body in, the page out.
            const QByteArray body = tarnix::encodeFormBody(u"es"_s, u"es"_s, text);
            QNetworkReply *reply = net.post(tarnix::makeServiceRequest(serviceUrl, body.size()), body);
            QSignalSpy finished(reply, &QNetworkReply::finished);
            QVERIFY(finished.wait(10000));
            QCOMPARE(reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt(), 200);
            QCOMPARE(tarnix::extractTranslation(reply->readAll(), entities), text);
            reply->deleteLater();
        }
    }
};

QTEST_GUILESS_MAIN(TestServiceRoundTrip)
#include "test_service_roundtrip.moc"
