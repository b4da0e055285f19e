#include <QSignalSpy>
#include <QTest>

#include "tests/support/loopbackserver.h"
#include "tests/support/serviceurlseam.h"
#include "tests/support/windowdriver.h"
#include "ui/mainwindow.h"

using namespace Qt::StringLiterals;
using namespace tarnix::test;

// What the window puts on the wire, read back by a real HTTP server.
class TestRequest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QVERIFY(server.start());
        setServiceUrl(server.url());
    }

    void init() { server.clearRequests(); }

    void bodyAndHeaders_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QByteArray>("encodedText");

        QTest::newRow("plain words") << u"Hello world"_s << "Hello%20world"_ba;
        QTest::newRow("leading and trailing spaces") << u"  Hi there "_s << "%20%20Hi%20there%20"_ba;
        QTest::newRow("e acute as two UTF-8 bytes") << u"caf\u00e9"_s << "caf%C3%A9"_ba;
        QTest::newRow("line breaks") << u"one\ntwo\n"_s << "one%0Atwo%0A"_ba;
        QTest::newRow("placeholders typed by the user") << u"%1 of %2, %3"_s << "%251%20of%20%252%2C%20%253"_ba;
        QTest::newRow("ampersand cannot start a field") << u"a&tl=de"_s << "a%26tl%3Dde"_ba;
        QTest::newRow("equals and plus") << u"1+1=2"_s << "1%2B1%3D2"_ba;
        QTest::newRow("emoji as four bytes") << u"hi \U0001F600"_s << "hi%20%F0%9F%98%80"_ba;
        QTest::newRow("unreserved characters stay") << u"a-b.c_d~e"_s << "a-b.c_d~e"_ba;
        QTest::newRow("reserved punctuation is escaped") << u"*'()!?/#"_s << "%2A%27%28%29%21%3F%2F%23"_ba;
        QTest::newRow("Cyrillic") << u"\u043f\u0440\u0438"_s << "%D0%BF%D1%80%D0%B8"_ba;
        QTest::newRow("tab") << u"a\tb"_s << "a%09b"_ba;
    }

    void bodyAndHeaders()
    {
        QFETCH(QString, text);
        QFETCH(QByteArray, encodedText);

        MainWindow window;
        setSource(window, u"English"_s, text);
        tickOnly(window, {u"zh_CN"_s});
        translateButton(window)->click();
        QTRY_COMPARE(translateButton(window)->text(), u"Translate"_s);

        QCOMPARE(server.requests().size(), 1);
        const RecordedRequest &request = server.requests().first();
        const QByteArray expected = "js=n&prev=_t&hl=en&ie=UTF-8&layout=2&eotf=1&sl=en&tl=zh-CN&text=" + encodedText;
        QCOMPARE(request.method, "POST"_ba);
        QCOMPARE(request.path, "/"_ba);
        QCOMPARE(request.version, "HTTP/1.1"_ba);
        QCOMPARE(request.body, expected);
        QCOMPARE(request.header("Content-Type"), "application/x-www-form-urlencoded"_ba);
        QCOMPARE(request.header("Content-Length"), QByteArray::number(expected.size()));
        QVERIFY(request.header("Cookie").isEmpty());
        QVERIFY(!languageButton(window, u"zh_CN"_s)->toolTip().isEmpty());
    }

    void helloWorldToSimplifiedChineseIs77Bytes()
    {
        MainWindow window;
        setSource(window, u"English"_s, u"Hello world"_s);
        tickOnly(window, {u"zh_CN"_s});
        translateButton(window)->click();
        QTRY_COMPARE(server.requests().size(), 1);
        QCOMPARE(server.requests().first().body,
            "js=n&prev=_t&hl=en&ie=UTF-8&layout=2&eotf=1&sl=en&tl=zh-CN&text=Hello%20world"_ba);
        QCOMPARE(server.requests().first().header("Content-Length"), "77"_ba);
        QTRY_COMPARE(languageButton(window, u"zh_CN"_s)->toolTip(), u"translated to zh-CN"_s);
    }

    void serviceCodesOnTheWire_data()
    {
        QTest::addColumn<QString>("sourceName");
        QTest::addColumn<QByteArray>("sourceCode");

        QTest::newRow("source English") << u"English"_s << "en"_ba;
        QTest::newRow("source Simplified Chinese from the item data") << u"Simplified Chinese"_s << "zh-CN"_ba;
        QTest::newRow("source Korean") << u"Korean"_s << "ko"_ba;
        QTest::newRow("source Polish") << u"Polish"_s << "pl"_ba;
    }

    void serviceCodesOnTheWire()
    {
        QFETCH(QString, sourceName);
        QFETCH(QByteArray, sourceCode);

        MainWindow window;
        setSource(window, sourceName, u"x"_s);
        const QStringList targets {u"zh_TW"_s, u"kr"_s, u"po"_s, u"iw"_s, u"uk"_s, u"zh_CN"_s};
        tickOnly(window, targets);
        translateButton(window)->click();
        QTRY_COMPARE(translateButton(window)->text(), u"Translate"_s);

        QSet<QByteArray> targetCodes;
        for (const RecordedRequest &request : server.requests()) {
            QCOMPARE(request.formField("sl"), sourceCode);
            targetCodes.insert(request.formField("tl"));
        }
        // The source language is never requested.
        QSet<QByteArray> expected {"zh-TW", "ko", "pl", "iw", "uk", "zh-CN"};
        expected.remove(sourceCode);
        QCOMPARE(targetCodes, expected);
        QCOMPARE(server.requests().size(), expected.size());
        for (const QString &code : targets) {
            const QByteArray service = code == u"kr"_s ? "ko"
                : code == u"po"_s                      ? "pl"
                                                       : code.toUtf8().replace('_', '-');
            if (service != sourceCode)
                QCOMPARE(languageButton(window, code)->toolTip(), u"translated to "_s + QString::fromUtf8(service));
        }
    }

    void twentyRequestsFromEnglishWithEverythingTicked()
    {
        MainWindow window;
        setSource(window, u"English"_s, u"Hello"_s);
        translateButton(window)->click();
        QTRY_COMPARE(translateButton(window)->text(), u"Translate"_s);
        QCOMPARE(server.requests().size(), 20);
        QSet<QByteArray> targetCodes;
        for (const RecordedRequest &request : server.requests())
            targetCodes.insert(request.formField("tl"));
        QCOMPARE(targetCodes.size(), 20);
        QVERIFY(!targetCodes.contains("en"));
    }

private:
    LoopbackServer server;
};

QTEST_MAIN(TestRequest)
#include "test_request.moc"
