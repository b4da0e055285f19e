#include <QLabel>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QPointer>
#include <QProgressBar>
#include <QTest>

#include "tests/support/loopbackserver.h"
#include "tests/support/serviceurlseam.h"
#include "tests/support/windowdriver.h"
#include "translate/request.h"
#include "ui/catalogue.h"
#include "ui/mainwindow.h"

using namespace Qt::StringLiterals;
using namespace tarnix::test;

namespace {

QList<QCheckBox *> checkBoxes(const MainWindow &window)
{
    return child<QGroupBox>(&window, u"tgtGroupBox"_s)->findChildren<QCheckBox *>();
}

bool allEnabled(const QList<QCheckBox *> &boxes, bool enabled)
{
    return std::all_of(boxes.begin(), boxes.end(), [enabled](QCheckBox *box) { return box->isEnabled() == enabled; });
}

// A page for a language whose answer the test holds back: a long delay.
Answer slowAnswer(const RecordedRequest &request)
{
    Answer answer;
    answer.body = servicePage("late " + request.formField("tl"));
    answer.delayMs = 60'000;
    return answer;
}

} // namespace

// Runs through the real window against a real HTTP server on loopback.
class TestRun : public QObject
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
        server.setResponder([](const RecordedRequest &request) {
            Answer answer;
            answer.body = servicePage("&quot;" + request.formField("tl") + "&quot;<br>&#33;");
            return answer;
        });
    }

    void wholeRun()
    {
        MainWindow window;
        auto *progress = child<QProgressBar>(&window, u"progressBar"_s);
        auto *i18n = child<QPushButton>(&window, u"i18nBtn"_s);
        auto *reset = child<QPushButton>(&window, u"resetBtn"_s);
        auto *combo = child<QComboBox>(&window, u"srcLangCombo"_s);
        auto *edit = child<QTextEdit>(&window, u"srcTextEdit"_s);
        auto *info = child<QLabel>(&window, u"infoLabel"_s);

        // An earlier run left a German result; German is not ticked now.
        setSource(window, u"English"_s, u"x"_s);
        tickOnly(window, {u"de"_s});
        translateButton(window)->click();
        QTRY_COMPARE(translateButton(window)->text(), u"Translate"_s);
        QVERIFY(languageButton(window, u"de"_s)->isEnabled());

        // A warning in the info panel outlives the runs.
        edit->clear();
        translateButton(window)->click();
        QCOMPARE(info->text(), u"The translation source text is empty, nothing to be translated."_s);

        // Each step of the progress, with what the window showed at that moment.
        QStringList steps;
        connect(progress, &QProgressBar::valueChanged, this, [&](int value) {
            if (value > 0)
                steps.append(u"%1/%2 %3"_s.arg(value).arg(progress->maximum()).arg(translateButton(window)->text()));
        });

        const QString source = u"  Hello world\n"_s;
        setSource(window, u"English"_s, source);
        tickOnly(window, {u"en"_s, u"zh_CN"_s, u"kr"_s, u"fr"_s});
        translateButton(window)->click();

        QCOMPARE(translateButton(window)->text(), u"Cancel translate"_s);
        QVERIFY(!combo->isEnabled());
        QVERIFY(!edit->isEnabled());
        QVERIFY(allEnabled(checkBoxes(window), false));
        QVERIFY(!reset->isEnabled());
        QVERIFY(!i18n->isEnabled());
        QVERIFY(!progress->isHidden());
        QCOMPARE(progress->maximum(), 3);
        QCOMPARE(progress->value(), 0);
        // The source language holds the untrimmed source text at once.
        QVERIFY(languageButton(window, u"en"_s)->isEnabled());
        QCOMPARE(languageButton(window, u"en"_s)->toolTip(), source);
        QVERIFY(!languageButton(window, u"de"_s)->isEnabled());
        QVERIFY(languageButton(window, u"de"_s)->toolTip().isEmpty());

        QTRY_COMPARE(translateButton(window)->text(), u"Translate"_s);
        QCOMPARE(steps, QStringList({u"1/3 Cancel translate"_s, u"2/3 Cancel translate"_s, u"3/3 Cancel translate"_s}));
        QCOMPARE(languageButton(window, u"zh_CN"_s)->toolTip(), u"\"zh-CN\"!"_s);
        QCOMPARE(languageButton(window, u"kr"_s)->toolTip(), u"\"ko\"!"_s);
        QCOMPARE(languageButton(window, u"fr"_s)->toolTip(), u"\"fr\"!"_s);
        for (const QString &code : {u"en"_s, u"zh_CN"_s, u"kr"_s, u"fr"_s})
            QVERIFY2(languageButton(window, code)->isEnabled(), qPrintable(code));
        QVERIFY(!languageButton(window, u"de"_s)->isEnabled());
        QVERIFY(progress->isHidden());
        QVERIFY(combo->isEnabled());
        QVERIFY(edit->isEnabled());
        QVERIFY(allEnabled(checkBoxes(window), true));
        QVERIFY(reset->isEnabled());
        QVERIFY(i18n->isEnabled());
        QCOMPARE(child<QGroupBox>(&window, u"infoGroupBox"_s)->title(), u"Warning"_s);
        QCOMPARE(info->text(), u"The translation source text is empty, nothing to be translated."_s);
    }

    void emptySourceIsRefused_data()
    {
        QTest::addColumn<QString>("text");
        QTest::newRow("empty") << QString();
        QTest::newRow("spaces and line breaks") << u"  \n \n\t "_s;
    }

    void emptySourceIsRefused()
    {
        QFETCH(QString, text);
        MainWindow window;
        setSource(window, u"English"_s, text);
        translateButton(window)->click();
        QCOMPARE(child<QGroupBox>(&window, u"infoGroupBox"_s)->title(), u"Warning"_s);
        QCOMPARE(child<QLabel>(&window, u"infoLabel"_s)->text(),
            u"The translation source text is empty, nothing to be translated."_s);
        QCOMPARE(translateButton(window)->text(), u"Translate"_s);
        QVERIFY(child<QProgressBar>(&window, u"progressBar"_s)->isHidden());
        QVERIFY(child<QTextEdit>(&window, u"srcTextEdit"_s)->isEnabled());
        QVERIFY(allEnabled(checkBoxes(window), true));
        QVERIFY(!languageButton(window, u"en"_s)->isEnabled());
        QTest::qWait(50);
        QVERIFY(server.requests().isEmpty());
    }

    void cancelWithRepliesPending()
    {
        server.setResponder([](const RecordedRequest &request) {
            if (request.formField("tl") == "fr") {
                Answer answer;
                answer.body = servicePage("bonjour");
                return answer;
            }
            return slowAnswer(request);
        });

        MainWindow window;
        setSource(window, u"English"_s, u"hello"_s);
        tickOnly(window, {u"en"_s, u"fr"_s, u"de"_s, u"es"_s});
        translateButton(window)->click();
        auto *progress = child<QProgressBar>(&window, u"progressBar"_s);
        QTRY_COMPARE(progress->value(), 1);
        QTRY_COMPARE(server.requests().size(), 3);

        translateButton(window)->click();
        // Everything below happened inside the one press: the aborted replies
        // were reported during the cancel and the last one ended the run.
        QCOMPARE(translateButton(window)->text(), u"Translate"_s);
        QCOMPARE(progress->value(), 3);
        QVERIFY(progress->isHidden());
        QVERIFY(child<QPushButton>(&window, u"i18nBtn"_s)->isEnabled());
        QVERIFY(child<QPushButton>(&window, u"resetBtn"_s)->isEnabled());
        QVERIFY(allEnabled(checkBoxes(window), true));
        QCOMPARE(languageButton(window, u"fr"_s)->toolTip(), u"bonjour"_s);
        QVERIFY(languageButton(window, u"fr"_s)->isEnabled());
        QCOMPARE(languageButton(window, u"en"_s)->toolTip(), u"hello"_s);
        for (const QString &code : {u"de"_s, u"es"_s}) {
            QVERIFY2(!languageButton(window, code)->isEnabled(), qPrintable(code));
            QVERIFY2(languageButton(window, code)->toolTip().isEmpty(), qPrintable(code));
        }

        // The window is ready for the next run.
        init();
        translateButton(window)->click();
        QTRY_COMPARE(translateButton(window)->text(), u"Translate"_s);
        QCOMPARE(languageButton(window, u"de"_s)->toolTip(), u"\"de\"!"_s);
        QCOMPARE(languageButton(window, u"es"_s)->toolTip(), u"\"es\"!"_s);
        QCOMPARE(languageButton(window, u"fr"_s)->toolTip(), u"\"fr\"!"_s);
    }

    void onlySourceTickedRunsUntilCancelled()
    {
        MainWindow window;
        setSource(window, u"French"_s, u"bonjour"_s);
        tickOnly(window, {u"fr"_s});
        translateButton(window)->click();
        auto *progress = child<QProgressBar>(&window, u"progressBar"_s);
        QCOMPARE(progress->maximum(), 0);
        QVERIFY(!progress->isHidden());
        QCOMPARE(languageButton(window, u"fr"_s)->toolTip(), u"bonjour"_s);
        QTest::qWait(100);
        QCOMPARE(translateButton(window)->text(), u"Cancel translate"_s);
        QVERIFY(server.requests().isEmpty());

        translateButton(window)->click();
        QCOMPARE(translateButton(window)->text(), u"Translate"_s);
        QVERIFY(progress->isHidden());
        // Nothing was pending, so the run never reached its normal end.
        QVERIFY(!child<QPushButton>(&window, u"i18nBtn"_s)->isEnabled());
        QVERIFY(child<QPushButton>(&window, u"resetBtn"_s)->isEnabled());
        QVERIFY(languageButton(window, u"fr"_s)->isEnabled());
    }

    void everyLanguageFromEnglish()
    {
        MainWindow window;
        setSource(window, u"English"_s, u"hi"_s);
        translateButton(window)->click();
        QCOMPARE(child<QProgressBar>(&window, u"progressBar"_s)->maximum(), 20);
        QTRY_COMPARE(translateButton(window)->text(), u"Translate"_s);
        const QStringList codes = tarnix::catalogue::codes();
        for (const QString &code : codes) {
            QPushButton *button = languageButton(window, code);
            QVERIFY2(button->isEnabled(), qPrintable(code));
            if (code != u"en"_s)
                QVERIFY2(button->toolTip().startsWith(u'"'), qPrintable(code));
        }
        QCOMPARE(languageButton(window, u"po"_s)->toolTip(), u"\"pl\"!"_s);
    }

    // parseReply() is a public slot: a reply from elsewhere may reach it.
    void foreignReplyIsReleasedAndChangesNothing_data()
    {
        QTest::addColumn<bool>("duringRun");
        QTest::newRow("during a run") << true;
        QTest::newRow("while idle") << false;
    }

    void foreignReplyIsReleasedAndChangesNothing()
    {
        QFETCH(bool, duringRun);
        server.setResponder([](const RecordedRequest &request) {
            if (request.formField("tl") == "fr")
                return slowAnswer(request);
            Answer answer;
            answer.body = servicePage("own " + request.formField("tl"));
            return answer;
        });
        MainWindow window;
        setSource(window, u"English"_s, u"hello"_s);
        tickOnly(window, duringRun ? QStringList {u"fr"_s, u"de"_s} : QStringList {u"de"_s});
        translateButton(window)->click();
        auto *progress = child<QProgressBar>(&window, u"progressBar"_s);
        if (duringRun)
            QTRY_COMPARE(progress->value(), 1);
        else
            QTRY_COMPARE(translateButton(window)->text(), u"Translate"_s);
        const QString caption = translateButton(window)->text();

        QNetworkAccessManager elsewhere;
        QPointer<QNetworkReply> foreign =
            elsewhere.post(tarnix::makeServiceRequest(server.url().resolved(QUrl(u"/"_s)), 6), "tl=de&"_ba);
        QTRY_VERIFY(foreign->isFinished());
        window.parseReply(foreign);

        QCOMPARE(translateButton(window)->text(), caption);
        QCOMPARE(progress->value(), 1);
        QCOMPARE(languageButton(window, u"de"_s)->toolTip(), u"own de"_s);
        QVERIFY(!languageButton(window, u"fr"_s)->isEnabled());
        QTRY_VERIFY(foreign.isNull());
    }

private:
    LoopbackServer server;
};

QTEST_MAIN(TestRun)
#include "test_run.moc"
