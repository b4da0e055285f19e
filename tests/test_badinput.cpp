#include <QProgressBar>
#include <QTcpServer>
#include <QTest>

#include "tests/support/loopbackserver.h"
#include "tests/support/serviceurlseam.h"
#include "tests/support/windowdriver.h"
#include "ui/mainwindow.h"

using namespace Qt::StringLiterals;
using namespace tarnix::test;

Q_DECLARE_METATYPE(tarnix::test::Answer)

namespace {

Answer complete(int status, const QByteArray &body)
{
    Answer answer;
    answer.status = status;
    answer.body = body;
    return answer;
}

Answer ofKind(Answer::Kind kind, const QByteArray &body)
{
    Answer answer;
    answer.kind = kind;
    answer.body = body;
    return answer;
}

QByteArray goodPage(const RecordedRequest &request)
{
    return servicePage("good " + request.formField("tl"));
}

} // namespace

// French gets the bad answer; German and Spanish get good pages in the same run.
class TestBadInput : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QVERIFY(server.start());
        setServiceUrl(server.url());
    }

    void init()
    {
        server.clearRequests();
        server.setResponder([](const RecordedRequest &request) { return complete(200, goodPage(request)); });
    }

    void oneLanguageFails_data()
    {
        QTest::addColumn<Answer>("answer");
        QTest::addColumn<QString>("frenchResult");

        const QByteArray errorPage = servicePage("this is an error page");
        QTest::newRow("connection closed before any answer") << ofKind(Answer::Kind::Drop, {}) << QString();
        QTest::newRow("connection reset halfway through the body")
            << ofKind(Answer::Kind::ResetHalfway, servicePage(QByteArray(4000, 'x'))) << QString();
        QTest::newRow("status 404 with a page") << complete(404, errorPage) << QString();
        QTest::newRow("status 500 with a page") << complete(500, errorPage) << QString();
        Answer redirect = complete(302, errorPage);
        redirect.extraHeaders.append(qMakePair("Location"_ba, "/moved"_ba));
        QTest::newRow("status 302 with a page") << redirect << QString();
        QTest::newRow("status 204 without a page") << complete(204, {}) << QString();
        // A page without markers is read whole, as any other page.
        QTest::newRow("200 page without markers") << complete(200, "<html><p>no</p> markers</html>") << u"no markers"_s;
        QTest::newRow("invalid UTF-8") << complete(200, servicePage("caf\xc3\xa9\xff\xfe \xc3"))
                                       << u"caf\u00e9\ufffd\ufffd \ufffd"_s;
        const QByteArray padding(32 << 20, 'p');
        QTest::newRow("64 MiB page") << complete(200, padding + servicePage("needle") + padding) << u"needle"_s;
        QTest::newRow("4 MiB of ampersands without a semicolon")
            << complete(200, "<span id=result_box>" + QByteArray(4 << 20, '&') + "<div id=gt-res-tools>")
            << QString(4 << 20, u'&');
    }

    void oneLanguageFails()
    {
        QFETCH(Answer, answer);
        QFETCH(QString, frenchResult);
        server.setResponder([answer](const RecordedRequest &request) {
            return request.formField("tl") == "fr" ? answer : complete(200, goodPage(request));
        });

        MainWindow window;
        setSource(window, u"English"_s, u"text"_s);
        tickOnly(window, {u"fr"_s, u"de"_s, u"es"_s});
        translateButton(window)->click();
        QTRY_COMPARE_WITH_TIMEOUT(translateButton(window)->text(), u"Translate"_s, 60'000);

        QCOMPARE(languageButton(window, u"fr"_s)->toolTip(), frenchResult);
        QCOMPARE(languageButton(window, u"fr"_s)->isEnabled(), !frenchResult.isEmpty());
        QCOMPARE(languageButton(window, u"de"_s)->toolTip(), u"good de"_s);
        QCOMPARE(languageButton(window, u"es"_s)->toolTip(), u"good es"_s);
        QVERIFY(child<QPushButton>(&window, u"i18nBtn"_s)->isEnabled());
        // One request, one exchange: no redirect is followed.
        for (const RecordedRequest &request : server.requests())
            QCOMPARE(request.method, "POST"_ba);

        expectNextRunFillsAll(window);
    }

    void connectionRefused()
    {
        // A port that was just free: nothing listens there.
        QTcpServer probe;
        QVERIFY(probe.listen(QHostAddress::LocalHost, 0));
        QUrl closed = server.url();
        closed.setPort(probe.serverPort());
        probe.close();
        setServiceUrl(closed);

        MainWindow window;
        setSource(window, u"English"_s, u"text"_s);
        tickOnly(window, {u"en"_s, u"fr"_s, u"de"_s, u"es"_s});
        translateButton(window)->click();
        QTRY_COMPARE(translateButton(window)->text(), u"Translate"_s);
        for (const QString &code : {u"fr"_s, u"de"_s, u"es"_s}) {
            QVERIFY2(!languageButton(window, code)->isEnabled(), qPrintable(code));
            QVERIFY2(languageButton(window, code)->toolTip().isEmpty(), qPrintable(code));
        }
        QCOMPARE(languageButton(window, u"en"_s)->toolTip(), u"text"_s);
        QVERIFY(child<QPushButton>(&window, u"i18nBtn"_s)->isEnabled());

        setServiceUrl(server.url());
        expectNextRunFillsAll(window);
    }

    void cancelWhileOneBodyStalls()
    {
        server.setResponder([](const RecordedRequest &request) {
            if (request.formField("tl") == "fr")
                return ofKind(Answer::Kind::Stall, servicePage("never finished"));
            return complete(200, goodPage(request));
        });
        MainWindow window;
        setSource(window, u"English"_s, u"text"_s);
        tickOnly(window, {u"fr"_s, u"de"_s, u"es"_s});
        translateButton(window)->click();
        QTRY_COMPARE(child<QProgressBar>(&window, u"progressBar"_s)->value(), 2);
        QCOMPARE(translateButton(window)->text(), u"Cancel translate"_s);

        translateButton(window)->click();
        QCOMPARE(translateButton(window)->text(), u"Translate"_s);
        QVERIFY(!languageButton(window, u"fr"_s)->isEnabled());
        QVERIFY(languageButton(window, u"fr"_s)->toolTip().isEmpty());
        QCOMPARE(languageButton(window, u"de"_s)->toolTip(), u"good de"_s);
        QVERIFY(child<QPushButton>(&window, u"i18nBtn"_s)->isEnabled());

        init();
        expectNextRunFillsAll(window);
    }

    void replyAfterCancelChangesNothing()
    {
        server.setResponder([](const RecordedRequest &request) {
            Answer answer = complete(200, goodPage(request));
            if (request.formField("tl") == "fr")
                answer.delayMs = 300;
            return answer;
        });
        MainWindow window;
        setSource(window, u"English"_s, u"text"_s);
        tickOnly(window, {u"fr"_s, u"de"_s, u"es"_s});
        translateButton(window)->click();
        QTRY_COMPARE(child<QProgressBar>(&window, u"progressBar"_s)->value(), 2);
        translateButton(window)->click();
        QCOMPARE(translateButton(window)->text(), u"Translate"_s);

        // The server still writes French's page to the connection.
        QTRY_COMPARE(server.openAnswers(), 0);
        QTest::qWait(100);
        QCOMPARE(translateButton(window)->text(), u"Translate"_s);
        QVERIFY(languageButton(window, u"fr"_s)->toolTip().isEmpty());
        QVERIFY(!languageButton(window, u"fr"_s)->isEnabled());
        QCOMPARE(languageButton(window, u"es"_s)->toolTip(), u"good es"_s);

        init();
        expectNextRunFillsAll(window);
    }

private:
    void expectNextRunFillsAll(MainWindow &window)
    {
        server.setResponder([](const RecordedRequest &request) { return complete(200, goodPage(request)); });
        translateButton(window)->click();
        QCOMPARE(translateButton(window)->text(), u"Cancel translate"_s);
        QTRY_COMPARE(translateButton(window)->text(), u"Translate"_s);
        for (const QString &code : {u"fr"_s, u"de"_s, u"es"_s})
            QCOMPARE(languageButton(window, code)->toolTip(), u"good "_s + code);
    }

    LoopbackServer server;
};

QTEST_MAIN(TestBadInput)
#include "test_badinput.moc"
