#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QMetaMethod>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QTest>
#include <QTextEdit>

#include "tests/support/windowdriver.h"
#include "ui/abouttext.h"
#include "ui/catalogue.h"
#include "ui/mainwindow.h"

using namespace Qt::StringLiterals;

using tarnix::test::child;

class TestWindow : public QObject
{
    Q_OBJECT

private slots:
    void windowFrame()
    {
        MainWindow w;
        QCOMPARE(w.windowTitle(), u"Tarnix 1.0"_s);
        QCOMPARE(w.size(), QSize(250, 550));
        const Qt::WindowFlags flags = w.windowFlags();
        QVERIFY(flags.testFlag(Qt::WindowStaysOnTopHint));
        QVERIFY(flags.testFlag(Qt::WindowContextHelpButtonHint));
        QVERIFY(flags.testFlag(Qt::WindowCloseButtonHint));
        QVERIFY(flags.testFlag(Qt::WindowMinimizeButtonHint));
        QVERIFY(flags.testFlag(Qt::CustomizeWindowHint));
        QVERIFY(!flags.testFlag(Qt::WindowMaximizeButtonHint));
        QVERIFY(w.isWindow());
        QVERIFY(!w.windowIcon().isNull());
        QCOMPARE(QImage(u":/image/logo"_s).size(), QSize(128, 128));
        QVERIFY(QImage(u":/image/logo"_s).hasAlphaChannel());

        const QRect screen = QGuiApplication::primaryScreen()->geometry();
        QCOMPARE(w.pos(), QPoint((screen.width() - 250) / 2, (screen.height() - 550) / 2));
    }

    void startingState()
    {
        MainWindow w;
        auto *combo = child<QComboBox>(&w, u"srcLangCombo"_s);
        QCOMPARE(combo->count(), 21);
        QCOMPARE(combo->currentText(), u"English"_s);
        QVERIFY(!combo->isEditable());
        const QStringList names = tarnix::catalogue::names();
        const QStringList codes = tarnix::catalogue::codes();
        for (int i = 0; i < 21; ++i) {
            QCOMPARE(combo->itemText(i), names.at(i));
            QCOMPARE(combo->itemData(i, Qt::UserRole).toString(), codes.at(i));
        }
        QCOMPARE(combo->itemData(combo->findText(u"Korean"_s)).toString(), u"kr"_s);

        QVERIFY(child<QTextEdit>(&w, u"srcTextEdit"_s)->toPlainText().isEmpty());
        auto *progress = child<QProgressBar>(&w, u"progressBar"_s);
        QVERIFY(progress->isHidden());
        QVERIFY(!progress->isTextVisible());
        QCOMPARE(progress->maximumWidth(), 100);
        QCOMPARE(progress->minimumWidth(), 100);

        QCOMPARE(child<QPushButton>(&w, u"resetBtn"_s)->text(), u"Reset"_s);
        QCOMPARE(child<QPushButton>(&w, u"translateBtn"_s)->text(), u"Translate"_s);
        QCOMPARE(child<QPushButton>(&w, u"i18nBtn"_s)->text(), u"Generate i18n"_s);
        QVERIFY(child<QPushButton>(&w, u"resetBtn"_s)->isEnabled());
        QVERIFY(child<QPushButton>(&w, u"translateBtn"_s)->isEnabled());
        QVERIFY(!child<QPushButton>(&w, u"i18nBtn"_s)->isEnabled());

        auto *info = child<QGroupBox>(&w, u"infoGroupBox"_s);
        auto *label = child<QLabel>(info, u"infoLabel"_s);
        QCOMPARE(info->title(), u"About"_s);
        QCOMPARE(label->text(), tarnix::aboutText());
        QCOMPARE(int(label->textInteractionFlags()), 12);
        QVERIFY(label->openExternalLinks());
        QVERIFY(label->wordWrap());
        QCOMPARE(label->maximumHeight(), 100);
        QCOMPARE(label->textFormat(), Qt::AutoText);
    }

    void aboutTextPieces()
    {
        const QString about = tarnix::aboutText();
        QVERIFY(about.startsWith(u" <a href='"_s));
        QVERIFY(about.contains(u".  \n <b><font color=purple>Tarnix</font></b>'s function depends"_s));
        QVERIFY(about.contains(u"'>google translate</a> for this version. We don't own or be responsible for any "
                               u"copyright content it provides. If their services fail or change"_s));
        QVERIFY(about.endsWith(u"'>official site</a> to continue work."_s));
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
        auto *group = child<QGroupBox>(&w, u"tgtGroupBox"_s);
        QCOMPARE(group->title(), u"Translation Target"_s);
        auto *box = child<QCheckBox>(group, u"CB_"_s + code);
        auto *button = child<QPushButton>(group, u"BTN_"_s + code);
        QCOMPARE(box->parent(), group);
        QCOMPARE(button->parent(), group);
        QVERIFY(box->isChecked());
        QVERIFY(box->isEnabled());
        QVERIFY(box->text().isEmpty());
        QCOMPARE(button->text(), tarnix::catalogue::names().at(index));
        QCOMPARE(button->whatsThis(), code);
        QVERIFY(!button->isEnabled());
        QVERIFY(button->toolTip().isEmpty());

        auto *grid = qobject_cast<QGridLayout *>(group->layout());
        QVERIFY(grid);
        QCOMPARE(grid->rowCount(), 7);
        QCOMPARE(grid->columnCount(), 6);
        int row = -1, column = -1, rowSpan = 0, columnSpan = 0;
        grid->getItemPosition(grid->indexOf(box), &row, &column, &rowSpan, &columnSpan);
        QCOMPARE(row, index / 3);
        QCOMPARE(column, 2 * (index % 3));
        grid->getItemPosition(grid->indexOf(button), &row, &column, &rowSpan, &columnSpan);
        QCOMPARE(row, index / 3);
        QCOMPARE(column, 2 * (index % 3) + 1);
    }

    void searchesFindOnlyLanguageWidgets()
    {
        MainWindow w;
        auto *group = child<QGroupBox>(&w, u"tgtGroupBox"_s);
        const auto buttons = group->findChildren<QPushButton *>();
        const auto boxes = group->findChildren<QCheckBox *>();
        QCOMPARE(buttons.size(), 21);
        QCOMPARE(boxes.size(), 21);
        const QStringList codes = tarnix::catalogue::codes();
        for (int i = 0; i < 21; ++i) {
            QCOMPARE(buttons.at(i)->objectName(), u"BTN_"_s + codes.at(i));
            QCOMPARE(boxes.at(i)->objectName(), u"CB_"_s + codes.at(i));
        }
        QCOMPARE(child<QPushButton>(group, u"BTN_pt"_s)->text(), u"Portuguese"_s);
    }

    void metaObject()
    {
        MainWindow w;
        const QMetaObject *meta = w.metaObject();
        QCOMPARE(meta->className(), "MainWindow");
        QCOMPARE(meta->superClass(), &QMainWindow::staticMetaObject);
        QCOMPARE(meta->methodCount() - meta->methodOffset(), 5);
        const char *expected[] = {
            "reset()", "translateClicked()", "parseReply(QNetworkReply*)", "tgtBtnClicked()", "createI18N()"};
        for (int i = 0; i < 5; ++i) {
            const QMetaMethod method = meta->method(meta->methodOffset() + i);
            QCOMPARE(method.methodSignature(), QByteArray(expected[i]));
            QCOMPARE(method.methodType(), QMetaMethod::Slot);
            QCOMPARE(method.access(), QMetaMethod::Public);
            QCOMPARE(method.returnType(), int(QMetaType::Void));
        }
        QCOMPARE(meta->indexOfMethod("parseReply(QNetworkReply*)"), meta->methodOffset() + 2);
        QCOMPARE(meta->propertyCount(), meta->propertyOffset());
        QCOMPARE(meta->enumeratorCount(), meta->enumeratorOffset());
        QCOMPARE(meta->classInfoCount(), meta->classInfoOffset());

        QCOMPARE(w.qt_metacast("MainWindow"), static_cast<void *>(&w));
        QCOMPARE(w.qt_metacast("QMainWindow"), static_cast<void *>(static_cast<QMainWindow *>(&w)));
        QCOMPARE(w.qt_metacast("QWidget"), static_cast<void *>(static_cast<QWidget *>(&w)));
        QCOMPARE(w.qt_metacast(nullptr), nullptr);
        QCOMPARE(w.qt_metacast("mainwindow"), nullptr);
    }

    void resetClearsResultsAndKeepsChoices()
    {
        MainWindow w;
        auto *group = child<QGroupBox>(&w, u"tgtGroupBox"_s);
        auto *combo = child<QComboBox>(&w, u"srcLangCombo"_s);
        auto *edit = child<QTextEdit>(&w, u"srcTextEdit"_s);
        auto *info = child<QGroupBox>(&w, u"infoGroupBox"_s);
        auto *label = child<QLabel>(&w, u"infoLabel"_s);
        auto *i18n = child<QPushButton>(&w, u"i18nBtn"_s);
        auto *resetButton = child<QPushButton>(&w, u"resetBtn"_s);
        auto *progress = child<QProgressBar>(&w, u"progressBar"_s);

        // A window as a finished run leaves it, with some choices changed.
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        edit->setPlainText(u"Hello"_s);
        combo->setCurrentIndex(4);
        child<QCheckBox>(group, u"CB_de"_s)->setChecked(false);
        child<QCheckBox>(group, u"CB_ja"_s)->setEnabled(false);
        for (QPushButton *button : group->findChildren<QPushButton *>()) {
            button->setToolTip(u"result of "_s + button->objectName());
            button->setEnabled(true);
        }
        i18n->setEnabled(true);
        info->setTitle(u"Translation Copied to Clipboard (French)"_s);
        label->setText(u"Bonjour"_s);
        QApplication::clipboard()->setText(u"Bonjour"_s);
        progress->setRange(0, 7);
        progress->setValue(3);

        for (int press = 0; press < 2; ++press) {
            QTest::mouseClick(resetButton, Qt::LeftButton);
            QVERIFY(edit->toPlainText().isEmpty());
            QVERIFY(info->title().isEmpty());
            QVERIFY(label->text().isEmpty());
            QVERIFY(!i18n->isEnabled());
            for (QPushButton *button : group->findChildren<QPushButton *>()) {
                QVERIFY(!button->isEnabled());
                QVERIFY(button->toolTip().isEmpty());
            }
            QCOMPARE(combo->currentIndex(), 4);
            QVERIFY(!child<QCheckBox>(group, u"CB_de"_s)->isChecked());
            QVERIFY(child<QCheckBox>(group, u"CB_fr"_s)->isChecked());
            QVERIFY(!child<QCheckBox>(group, u"CB_ja"_s)->isEnabled());
            QCOMPARE(QApplication::clipboard()->text(), u"Bonjour"_s);
            QCOMPARE(progress->maximum(), 7);
            QCOMPARE(progress->value(), 3);
            QCOMPARE(child<QPushButton>(&w, u"translateBtn"_s)->text(), u"Translate"_s);
            QVERIFY(resetButton->isEnabled());
        }
    }
};

QTEST_MAIN(TestWindow)
#include "test_window.moc"
