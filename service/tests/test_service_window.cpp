#include <memory>

#include <QSignalSpy>
#include <QStandardPaths>
#include <QTest>

#include "apyservice.h"
#include "tests/support/serviceurlseam.h"
#include "tests/support/windowdriver.h"
#include "ui/catalogue.h"
#include "ui/mainwindow.h"

using namespace Qt::StringLiterals;
using namespace tarnix::service;
using namespace tarnix::test;

// The real window, built to talk to the service under test, which translates
// with a real APy.
class TestServiceWindow : public QObject
{
    Q_OBJECT

    tarnix::service::test::ApyService running;

private slots:
    void initTestCase()
    {
        if (QStandardPaths::findExecutable(u"apertium-apy"_s).isEmpty()) {
            if (!qEnvironmentVariableIsEmpty("CI"))
                QFAIL("apertium-apy is not installed, and CI must test against it");
            QSKIP("apertium-apy is not installed: apt-get install apertium-apy apertium-eng-spa");
        }
        const QString error = running.start();
        QVERIFY2(error.isEmpty(), qPrintable(error));
        setServiceUrl(QUrl(u"http://127.0.0.1:%1"_s.arg(running.port)));
    }

    void translatesHelloWorldToSpanish()
    {
        MainWindow window;
        window.show();
        setSource(window, u"English"_s, u"Hello world"_s);
        // every language ticked, as after start: one request for each of the 20 others
        tickOnly(window, tarnix::catalogue::codes());
        translateButton(window)->click();
        QCOMPARE(translateButton(window)->text(), u"Cancel translate"_s);
        QTRY_COMPARE_WITH_TIMEOUT(translateButton(window)->text(), u"Translate"_s, 60000);

        QPushButton *spanish = languageButton(window, u"es"_s);
        QVERIFY(spanish->isEnabled());
        QVERIFY2(spanish->toolTip().startsWith(u"Hola"_s), qPrintable(spanish->toolTip()));
        QVERIFY(languageButton(window, u"it"_s)->toolTip().startsWith(u"Ciao"_s));
        for (const QString &unsupported : {u"de"_s, u"kr"_s, u"zh_CN"_s, u"fa"_s}) {
            QVERIFY2(!languageButton(window, unsupported)->isEnabled(), qPrintable(unsupported));
            QVERIFY(languageButton(window, unsupported)->toolTip().isEmpty());
        }
    }
};

QTEST_MAIN(TestServiceWindow)
#include "test_service_window.moc"
