#include <QAccessible>
#include <QApplication>
#include <QClipboard>
#include <QGridLayout>
#include <QLabel>
#include <QProgressBar>
#include <QScreen>
#include <QTest>

#include "tests/support/windowdriver.h"
#include "ui/abouttext.h"
#include "ui/catalogue.h"
#include "ui/mainwindow.h"

using namespace Qt::StringLiterals;
using namespace tarnix::test;

namespace {

QString accessible(QWidget *widget, QAccessible::Text what)
{
    QAccessibleInterface *face = QAccessible::queryAccessibleInterface(widget);
    return face ? face->text(what) : QString();
}

// A shown, active window, as keyboard tests need it.
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
    template <typename T> T *get(const QString &name) { return child<T>(&window, name); }
    QString infoTitle() { return get<QGroupBox>(u"infoGroupBox"_s)->title(); }
};

} // namespace

// The window as built, its keyboard and screen-reader access, and the
// actions that need no service: copy, i18n and Reset.
class TestWindow : public QObject
{
    Q_OBJECT

private slots:
    void startingWindow()
    {
        MainWindow w;
        QCOMPARE(w.windowTitle(), u"Tarnix 1.0"_s);
        QCOMPARE(w.size(), QSize(250, 550));
        const Qt::WindowFlags flags = w.windowFlags();
        QCOMPARE(flags & ~Qt::Window,
            Qt::WindowStaysOnTopHint | Qt::WindowContextHelpButtonHint | Qt::WindowCloseButtonHint
                | Qt::WindowMinimizeButtonHint | Qt::CustomizeWindowHint | Qt::WindowTitleHint
                | Qt::WindowSystemMenuHint);
        QVERIFY(!w.windowIcon().isNull());
        const QRect screen = QGuiApplication::primaryScreen()->geometry();
        QCOMPARE(w.pos(), QPoint((screen.width() - 250) / 2, (screen.height() - 550) / 2));

        auto *combo = child<QComboBox>(&w, u"srcLangCombo"_s);
        QCOMPARE(combo->count(), 21);
        QCOMPARE(combo->currentText(), u"English"_s);
        QCOMPARE(combo->itemData(combo->findText(u"Korean"_s)).toString(), u"kr"_s);
        auto *progress = child<QProgressBar>(&w, u"progressBar"_s);
        QVERIFY(progress->isHidden());
        QVERIFY(!progress->isTextVisible());
        QCOMPARE(progress->maximumWidth(), 100);
        QCOMPARE(progress->minimumWidth(), 100);
        QCOMPARE(child<QPushButton>(&w, u"resetBtn"_s)->text(), u"Reset"_s);
        QCOMPARE(translateButton(w)->text(), u"Translate"_s);
        QCOMPARE(child<QPushButton>(&w, u"i18nBtn"_s)->text(), u"Generate i18n"_s);
        QVERIFY(!child<QPushButton>(&w, u"i18nBtn"_s)->isEnabled());

        auto *label = child<QLabel>(&w, u"infoLabel"_s);
        QCOMPARE(child<QGroupBox>(&w, u"infoGroupBox"_s)->title(), u"About"_s);
        QCOMPARE(label->text(), tarnix::aboutText());
        QCOMPARE(int(label->textInteractionFlags()), 12);
        QVERIFY(label->openExternalLinks());
        QVERIFY(label->wordWrap());
        QCOMPARE(label->maximumHeight(), 100);
        const QString about = tarnix::aboutText();
        QVERIFY(about.startsWith(u" <a href='"_s));
        QVERIFY(about.contains(u".  \n <b><font color=purple>Tarnix</font></b>'s function depends"_s));
        QVERIFY(about.endsWith(u"'>official site</a> to continue work."_s));

        QCOMPARE(accessible(child<QTextEdit>(&w, u"srcTextEdit"_s), QAccessible::Name), u"Source text"_s);
        QCOMPARE(accessible(progress, QAccessible::Name), u"Translation progress"_s);
        QCOMPARE(accessible(label, QAccessible::Name), u"Information"_s);
        QStringList comboLabels;
        for (const auto &[other, relation] :
            QAccessible::queryAccessibleInterface(combo)->relations(QAccessible::Label))
            comboLabels << other->text(QAccessible::Name);
        QVERIFY2(comboLabels.contains(u"Language:"_s), qPrintable(comboLabels.join(u", "_s)));
    }

    void languageWidgets_data()
    {
        QTest::addColumn<int>("index");
        const QStringList codes = tarnix::catalogue::codes();
        for (int i = 0; i < codes.size(); ++i)
            QTest::newRow(qPrintable(codes.at(i))) << i;
    }
    void languageWidgets()
    {
        QFETCH(int, index);
        MainWindow w;
        const QString code = tarnix::catalogue::codes().at(index);
        const QString name = tarnix::catalogue::names().at(index);
        auto *group = child<QGroupBox>(&w, u"tgtGroupBox"_s);
        QCOMPARE(group->title(), u"Translation Target"_s);
        auto *box = group->findChildren<QCheckBox *>().at(index);
        auto *button = group->findChildren<QPushButton *>().at(index);
        QCOMPARE(box->objectName(), u"CB_"_s + code);
        QCOMPARE(button->objectName(), u"BTN_"_s + code);
        QCOMPARE(child<QComboBox>(&w, u"srcLangCombo"_s)->itemText(index), name);
        QCOMPARE(child<QComboBox>(&w, u"srcLangCombo"_s)->itemData(index).toString(), code);
        QVERIFY(box->isChecked() && box->isEnabled() && box->text().isEmpty());
        QCOMPARE(accessible(box, QAccessible::Name), name);
        QCOMPARE(accessible(box, QAccessible::Description), u"Makes %1 a target of the next translation"_s.arg(name));
        QCOMPARE(button->text(), name);
        QCOMPARE(button->whatsThis(), code);
        QVERIFY(!button->isEnabled() && button->toolTip().isEmpty());

        auto *grid = qobject_cast<QGridLayout *>(group->layout());
        QCOMPARE(grid->rowCount(), 7);
        QCOMPARE(grid->columnCount(), 6);
        int row = -1, column = -1, rowSpan = 0, columnSpan = 0;
        grid->getItemPosition(grid->indexOf(box), &row, &column, &rowSpan, &columnSpan);
        QCOMPARE(QPoint(column, row), QPoint(2 * (index % 3), index / 3));
        grid->getItemPosition(grid->indexOf(button), &row, &column, &rowSpan, &columnSpan);
        QCOMPARE(QPoint(column, row), QPoint(2 * (index % 3) + 1, index / 3));
    }

    void keyboard()
    {
        Shown s;
        QStringList expected {u"srcLangCombo"_s, u"srcTextEdit"_s, u"resetBtn"_s, u"translateBtn"_s, u"i18nBtn"_s};
        for (const QString &code : tarnix::catalogue::codes())
            expected << u"CB_"_s + code << u"BTN_"_s + code;
        expected << u"infoLabel"_s;
        QStringList chain;
        QWidget *first = s.get<QWidget>(u"srcLangCombo"_s);
        for (QWidget *at = first; chain.isEmpty() || at != first; at = at->nextInFocusChain()) {
            if (at->focusPolicy() & Qt::TabFocus)
                chain << at->objectName();
        }
        QCOMPARE(chain, expected);

        // Tab types a tab in the source text; Ctrl+Tab and Ctrl+Shift+Tab leave it.
        auto *edit = s.get<QTextEdit>(u"srcTextEdit"_s);
        edit->setFocus();
        QTest::keyClick(edit, Qt::Key_Tab);
        QCOMPARE(edit->toPlainText(), u"\t"_s);
        QTest::keyClick(edit, Qt::Key_Tab, Qt::ControlModifier);
        QVERIFY(s.get<QPushButton>(u"resetBtn"_s)->hasFocus());
        edit->setFocus();
        QTest::keyClick(edit, Qt::Key_Backtab, Qt::ControlModifier | Qt::ShiftModifier);
        QVERIFY(s.get<QComboBox>(u"srcLangCombo"_s)->hasFocus());

        // Ctrl+Return starts a run and Ctrl+Enter cancels it: with only the
        // source language ticked nothing is requested, so it lasts until then.
        tickOnly(s.window, {u"en"_s});
        edit->setPlainText(u"Hello"_s);
        edit->setFocus();
        QTest::keyClick(edit, Qt::Key_Return, Qt::ControlModifier);
        QCOMPARE(edit->toPlainText(), u"Hello"_s);
        QCOMPARE(translateButton(s.window)->text(), u"Cancel translate"_s);
        QCOMPARE(s.get<QProgressBar>(u"progressBar"_s)->maximum(), 0);
        QTest::keyClick(&s.window, Qt::Key_Enter, Qt::ControlModifier);
        QCOMPARE(translateButton(s.window)->text(), u"Translate"_s);
        // Nothing was pending, so the run never reached its normal end.
        QVERIFY(!s.get<QPushButton>(u"i18nBtn"_s)->isEnabled() && s.get<QComboBox>(u"srcLangCombo"_s)->isEnabled());

        // Space on a language button copies its translation.
        QPushButton *english = languageButton(s.window, u"en"_s);
        english->setFocus();
        QTest::keyClick(english, Qt::Key_Space);
        QCOMPARE(QApplication::clipboard()->text(), u"Hello"_s);
        QCOMPARE(s.infoTitle(), u"Translation Copied to Clipboard (English)"_s);
    }

    void copyGenerateAndReset()
    {
        Shown s;
        auto *group = s.get<QGroupBox>(u"tgtGroupBox"_s);
        auto *label = s.get<QLabel>(u"infoLabel"_s);
        auto *combo = s.get<QComboBox>(u"srcLangCombo"_s);
        auto *progress = s.get<QProgressBar>(u"progressBar"_s);
        // A window as a run leaves it, with some choices changed.
        s.get<QTextEdit>(u"srcTextEdit"_s)->setPlainText(u"Hello"_s);
        combo->setCurrentText(u"Traditional Chinese"_s);
        tickOnly(s.window, {u"zh_CN"_s, u"kr"_s, u"de"_s});
        for (QPushButton *button : group->findChildren<QPushButton *>()) {
            button->setToolTip(u"result of "_s + button->objectName());
            button->setEnabled(true);
        }
        languageButton(s.window, u"zh_CN"_s)->setToolTip(u"你好\n世界 "_s);
        languageButton(s.window, u"kr"_s)->setToolTip(QString());
        progress->setRange(0, 7);
        progress->setValue(3);

        QTest::mouseClick(languageButton(s.window, u"zh_CN"_s), Qt::LeftButton);
        QCOMPARE(QApplication::clipboard()->text(), u"你好\n世界 "_s);
        QCOMPARE(s.infoTitle(), u"Translation Copied to Clipboard (Simplified Chinese)"_s);
        QCOMPARE(label->text(), u"你好\n世界 "_s);

        // Ticked languages in catalogue order, by their catalogue codes.
        const QString element = u"<i18n original=\"zh_TW\">\n"
                                u"\t<display locale=\"zh_CN\">\n\t\t<![CDATA[你好\n世界 ]]>\n\t</display>\n"
                                u"\t<display locale=\"de\">\n\t\t<![CDATA[result of BTN_de]]>\n\t</display>\n"
                                u"\t<display locale=\"kr\">\n\t\t<![CDATA[]]>\n\t</display>\n</i18n>\n"_s;
        s.get<QPushButton>(u"i18nBtn"_s)->setEnabled(true);
        QTest::mouseClick(s.get<QPushButton>(u"i18nBtn"_s), Qt::LeftButton);
        QCOMPARE(QApplication::clipboard()->text(), element);
        QCOMPARE(s.infoTitle(), u"Translation Copied to Clipboard (i18n element structure)"_s);
        QCOMPARE(label->text(), element);

        // Only a language button may copy: not a call without sender, nor another button.
        QVERIFY(QMetaObject::invokeMethod(&s.window, "tgtBtnClicked"));
        QPushButton stranger;
        stranger.setToolTip(u"not a translation"_s);
        connect(&stranger, &QPushButton::clicked, &s.window, &MainWindow::tgtBtnClicked);
        stranger.click();
        QCOMPARE(QApplication::clipboard()->text(), element);

        // Reset clears results and the panel, twice alike; choices, the
        // clipboard and the progress bar stay.
        for (int press = 0; press < 2; ++press) {
            QTest::mouseClick(s.get<QPushButton>(u"resetBtn"_s), Qt::LeftButton);
            QVERIFY(s.get<QTextEdit>(u"srcTextEdit"_s)->toPlainText().isEmpty());
            QVERIFY(s.infoTitle().isEmpty());
            QVERIFY(label->text().isEmpty());
            QVERIFY(!s.get<QPushButton>(u"i18nBtn"_s)->isEnabled());
            for (QPushButton *button : group->findChildren<QPushButton *>())
                QVERIFY(!button->isEnabled() && button->toolTip().isEmpty());
            QCOMPARE(combo->currentText(), u"Traditional Chinese"_s);
            QVERIFY(!child<QCheckBox>(group, u"CB_fr"_s)->isChecked());
            QVERIFY(child<QCheckBox>(group, u"CB_de"_s)->isChecked());
            QCOMPARE(QApplication::clipboard()->text(), element);
            QCOMPARE(progress->value(), 3);
        }
    }
};

QTEST_MAIN(TestWindow)
#include "test_window.moc"
