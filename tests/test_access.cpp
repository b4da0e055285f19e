#include <QAccessible>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <QTextEdit>

#include "ui/catalogue.h"
#include "ui/mainwindow.h"

using namespace Qt::StringLiterals;

namespace {

QString accessible(QWidget *widget, QAccessible::Text what)
{
    QAccessibleInterface *face = QAccessible::queryAccessibleInterface(widget);
    return face ? face->text(what) : QString();
}

struct Shown
{
    MainWindow window;
    Shown()
    {
        window.show();
        window.activateWindow();
        if (!QTest::qWaitForWindowActive(&window))
            qFatal("window not active");
    }
    template <typename T> T *get(const QString &name) { return window.findChild<T *>(name); }
    QString caption() { return get<QPushButton>(u"translateBtn"_s)->text(); }
};

} // namespace

class TestAccess : public QObject
{
    Q_OBJECT

private slots:
    void languageBoxesAreAnnouncedByLanguage_data()
    {
        QTest::addColumn<QString>("code");
        for (const QString &code : tarnix::catalogue::codes())
            QTest::newRow(qPrintable(code)) << code;
    }
    void languageBoxesAreAnnouncedByLanguage()
    {
        QFETCH(QString, code);
        MainWindow w;
        auto *box = w.findChild<QCheckBox *>(u"CB_"_s + code);
        const QString name = *tarnix::catalogue::nameOfCode(code);
        QCOMPARE(accessible(box, QAccessible::Name), name);
        QVERIFY(accessible(box, QAccessible::Description).contains(name));
        QVERIFY(box->text().isEmpty());
    }

    void namedWidgets_data()
    {
        QTest::addColumn<QString>("object");
        QTest::addColumn<QString>("name");
        QTest::newRow("source text") << u"srcTextEdit"_s << u"Source text"_s;
        QTest::newRow("progress") << u"progressBar"_s << u"Translation progress"_s;
        QTest::newRow("info panel") << u"infoLabel"_s << u"Information"_s;
        QTest::newRow("translate keeps its caption") << u"translateBtn"_s << u"Translate"_s;
    }
    void namedWidgets()
    {
        QFETCH(QString, object);
        QFETCH(QString, name);
        MainWindow w;
        QCOMPARE(accessible(w.findChild<QWidget *>(object), QAccessible::Name), name);
    }

    void sourceLanguageIsLabelled()
    {
        MainWindow w;
        auto *combo = w.findChild<QComboBox *>(u"srcLangCombo"_s);
        QAccessibleInterface *face = QAccessible::queryAccessibleInterface(combo);
        const auto labels = face->relations(QAccessible::Label);
        QStringList names;
        for (const auto &[label, relation] : labels)
            names << label->text(QAccessible::Name);
        QVERIFY2(names.contains(u"Language:"_s), qPrintable(names.join(u", "_s)));
    }

    void tabOrderRunsTopToBottom()
    {
        MainWindow w;
        QStringList expected {u"srcLangCombo"_s, u"srcTextEdit"_s, u"resetBtn"_s, u"translateBtn"_s, u"i18nBtn"_s};
        for (const QString &code : tarnix::catalogue::codes())
            expected << u"CB_"_s + code << u"BTN_"_s + code;
        expected << u"infoLabel"_s;

        QStringList chain;
        QWidget *at = w.findChild<QWidget *>(u"srcLangCombo"_s);
        do {
            if (at->focusPolicy() & Qt::TabFocus)
                chain << at->objectName();
            at = at->nextInFocusChain();
        } while (at != w.findChild<QWidget *>(u"srcLangCombo"_s));
        QCOMPARE(chain, expected);
    }

    void ctrlTabLeavesTheTextBox()
    {
        Shown s;
        auto *edit = s.get<QTextEdit>(u"srcTextEdit"_s);
        edit->setFocus();
        QTest::keyClick(edit, Qt::Key_Tab);
        QCOMPARE(edit->toPlainText(), u"\t"_s);
        QVERIFY(edit->hasFocus());
        QTest::keyClick(edit, Qt::Key_Tab, Qt::ControlModifier);
        QVERIFY(s.get<QPushButton>(u"resetBtn"_s)->hasFocus());
        edit->setFocus();
        QTest::keyClick(edit, Qt::Key_Backtab, Qt::ControlModifier | Qt::ShiftModifier);
        QVERIFY(s.get<QComboBox>(u"srcLangCombo"_s)->hasFocus());
        QCOMPARE(edit->toPlainText(), u"\t"_s);
    }

    // With only the source language ticked nothing is requested, so the run
    // lasts until it is cancelled: the shortcut must start and cancel it.
    void ctrlReturnActsLikeTheTranslateButton()
    {
        Shown s;
        auto *edit = s.get<QTextEdit>(u"srcTextEdit"_s);
        for (QCheckBox *box : s.window.findChildren<QCheckBox *>())
            box->setChecked(box->objectName() == u"CB_en"_s);
        edit->setFocus();

        QTest::keyClick(edit, Qt::Key_Return, Qt::ControlModifier);
        QCOMPARE(s.get<QGroupBox>(u"infoGroupBox"_s)->title(), u"Warning"_s);
        QCOMPARE(s.caption(), u"Translate"_s);

        QTest::keyClicks(edit, u"Hello"_s);
        QTest::keyClick(edit, Qt::Key_Return, Qt::ControlModifier);
        QCOMPARE(edit->toPlainText(), u"Hello"_s);
        QCOMPARE(s.caption(), u"Cancel translate"_s);
        QVERIFY(!edit->isEnabled());
        QCOMPARE(s.window.findChild<QPushButton *>(u"BTN_en"_s)->toolTip(), u"Hello"_s);

        QTest::keyClick(&s.window, Qt::Key_Enter, Qt::ControlModifier);
        QCOMPARE(s.caption(), u"Translate"_s);
        QVERIFY(edit->isEnabled());
        QVERIFY(s.get<QProgressBar>(u"progressBar"_s)->isHidden());
    }

    void languageButtonCopiesFromKeyboard()
    {
        Shown s;
        auto *button = s.window.findChild<QPushButton *>(u"BTN_fr"_s);
        button->setToolTip(u"Bonjour"_s);
        button->setEnabled(true);
        button->setFocus();
        QTest::keyClick(button, Qt::Key_Space);
        QCOMPARE(s.get<QGroupBox>(u"infoGroupBox"_s)->title(), u"Translation Copied to Clipboard (French)"_s);
    }
};

QTEST_MAIN(TestAccess)
#include "test_access.moc"
