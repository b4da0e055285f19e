#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QRandomGenerator>
#include <QSignalSpy>
#include <QTest>
#include <QXmlStreamReader>

#include "output/i18n.h"
#include "ui/catalogue.h"
#include "ui/mainwindow.h"

using namespace Qt::StringLiterals;

namespace {

using Translations = QList<std::pair<QString, QString>>;

// A window as a run leaves it: only the given languages ticked, each with its
// translation on its button (enabled when not empty).
struct Window
{
    MainWindow window;
    QGroupBox *targets = window.findChild<QGroupBox *>(u"tgtGroupBox"_s);

    explicit Window(const Translations &ticked, const QString &source = u"English"_s)
    {
        for (QCheckBox *box : targets->findChildren<QCheckBox *>())
            box->setChecked(false);
        for (const auto &[code, text] : ticked) {
            targets->findChild<QCheckBox *>(u"CB_"_s + code)->setChecked(true);
            place(code, text);
        }
        combo()->setCurrentText(source);
        button(u"i18nBtn"_s)->setEnabled(true);
    }
    void place(const QString &code, const QString &text)
    {
        QPushButton *target = language(code);
        target->setToolTip(text);
        target->setEnabled(!text.isEmpty());
    }
    QPushButton *language(const QString &code) const { return targets->findChild<QPushButton *>(u"BTN_"_s + code); }
    QPushButton *button(const QString &name) const { return window.findChild<QPushButton *>(name); }
    QComboBox *combo() const { return window.findChild<QComboBox *>(u"srcLangCombo"_s); }
    QString title() const { return window.findChild<QGroupBox *>(u"infoGroupBox"_s)->title(); }
    QString label() const { return window.findChild<QLabel *>(u"infoLabel"_s)->text(); }
    QString generate()
    {
        button(u"i18nBtn"_s)->click();
        return QApplication::clipboard()->text(QClipboard::Clipboard);
    }
};

// Reads an element back: the original attribute and each locale's CDATA text.
struct Parsed
{
    QString original;
    Translations displays;
    QString error;
};

Parsed parse(const QString &element)
{
    Parsed parsed;
    QXmlStreamReader reader(element);
    while (!reader.atEnd()) {
        reader.readNext();
        if (reader.isStartElement() && reader.name() == u"i18n"_s)
            parsed.original = reader.attributes().value(u"original"_s).toString();
        if (reader.isStartElement() && reader.name() == u"display"_s)
            parsed.displays.append({reader.attributes().value(u"locale"_s).toString(), QString()});
        // The translation is the CDATA content; the indentation around it is layout.
        if (reader.isCDATA() && !parsed.displays.isEmpty())
            parsed.displays.last().second += reader.text();
    }
    if (reader.hasError())
        parsed.error = reader.errorString();
    return parsed;
}

const QString workedExample =
    u"<i18n original=\"en\">\n\t<display locale=\"fr\">\n\t\t<![CDATA[Bonjour]]>\n\t</display>\n"
    u"\t<display locale=\"de\">\n\t\t<![CDATA[Hallo]]>\n\t</display>\n</i18n>\n"_s;

} // namespace

class TestOutput : public QObject
{
    Q_OBJECT

private slots:
    void elementFromWindow_data()
    {
        QTest::addColumn<Translations>("ticked");
        QTest::addColumn<QString>("source");
        QTest::addColumn<QString>("expected");

        QTest::newRow("worked example, ticked in reverse catalogue order")
            << Translations {{u"de"_s, u"Hallo"_s}, {u"fr"_s, u"Bonjour"_s}} << u"English"_s << workedExample;
        QTest::newRow("nothing ticked") << Translations {} << u"English"_s << u"<i18n original=\"en\">\n</i18n>\n"_s;
        QTest::newRow("empty translation keeps its block")
            << Translations {{u"ja"_s, QString()}} << u"Spanish"_s
            << u"<i18n original=\"es\">\n\t<display locale=\"ja\">\n\t\t<![CDATA[]]>\n\t</display>\n</i18n>\n"_s;
        QTest::newRow("catalogue codes, not service codes")
            << Translations {{u"zh_CN"_s, u"a"_s}, {u"kr"_s, u"b"_s}, {u"po"_s, u"c"_s}, {u"iw"_s, u"d"_s}}
            << u"Traditional Chinese"_s
            << u"<i18n original=\"zh_TW\">\n"
               u"\t<display locale=\"zh_CN\">\n\t\t<![CDATA[a]]>\n\t</display>\n"
               u"\t<display locale=\"kr\">\n\t\t<![CDATA[b]]>\n\t</display>\n"
               u"\t<display locale=\"po\">\n\t\t<![CDATA[c]]>\n\t</display>\n"
               u"\t<display locale=\"iw\">\n\t\t<![CDATA[d]]>\n\t</display>\n</i18n>\n"_s;
        QTest::newRow("source language ticked gets its block")
            << Translations {{u"en"_s, u"  Hello\n"_s}, {u"es"_s, u"Hola"_s}} << u"English"_s
            << u"<i18n original=\"en\">\n\t<display locale=\"en\">\n\t\t<![CDATA[  Hello\n]]>\n\t</display>\n"
               u"\t<display locale=\"es\">\n\t\t<![CDATA[Hola]]>\n\t</display>\n</i18n>\n"_s;
        QTest::newRow("multi-line translation keeps its line breaks")
            << Translations {{u"fr"_s, u"Bonjour\nle monde"_s}} << u"English"_s
            << u"<i18n original=\"en\">\n\t<display locale=\"fr\">\n\t\t<![CDATA[Bonjour\nle monde]]>\n\t</display>\n"
               u"</i18n>\n"_s;
        QTest::newRow("section end inside a translation is split")
            << Translations {{u"fr"_s, u"a]]>b"_s}} << u"English"_s
            << u"<i18n original=\"en\">\n\t<display locale=\"fr\">\n\t\t<![CDATA[a]]]]><![CDATA[>b]]>\n\t</display>\n"
               u"</i18n>\n"_s;
    }
    void elementFromWindow()
    {
        QFETCH(Translations, ticked);
        QFETCH(QString, source);
        QFETCH(QString, expected);
        Window w(ticked, source);
        QCOMPARE(w.generate(), expected);
        QCOMPARE(w.title(), u"Translation Copied to Clipboard (i18n element structure)"_s);
        QCOMPARE(w.label(), expected);
        // A second press changes nothing.
        QCOMPARE(w.generate(), expected);
        QCOMPARE(w.label(), expected);
    }

    void workedExampleSize()
    {
        QCOMPARE(workedExample.size(), 141);
        QCOMPARE(tarnix::i18nElement(u"en"_s, {}).size(), 29);
    }

    void allLanguagesInCatalogueOrder()
    {
        Translations all;
        for (const QString &code : tarnix::catalogue::codes())
            all.append({code, u"text "_s + code});
        Window w(all);
        const QString element = w.generate();
        QCOMPARE(element.count(u'\n'), 65);
        const Parsed parsed = parse(element);
        QVERIFY2(parsed.error.isEmpty(), qPrintable(parsed.error));
        QCOMPARE(parsed.displays, all);
    }

    void uncheckedAfterRunIsLeftOut()
    {
        Window w({{u"fr"_s, u"Bonjour"_s}, {u"de"_s, u"Hallo"_s}});
        w.targets->findChild<QCheckBox *>(u"CB_de"_s)->setChecked(false);
        w.targets->findChild<QCheckBox *>(u"CB_es"_s)->setChecked(true);
        const Parsed parsed = parse(w.generate());
        QCOMPARE(parsed.displays, (Translations {{u"es"_s, QString()}, {u"fr"_s, u"Bonjour"_s}}));
    }

    // Any text a translation may hold reads back exactly from the element.
    void translationsReadBackExactly()
    {
        QRandomGenerator random(20261206);
        const QStringList hard {u"]]>"_s, u"]]"_s, u"<"_s, u"&"_s, u"\""_s, u"'"_s, u"\n"_s, u"<![CDATA["_s, u">"_s};
        const QStringList codes = tarnix::catalogue::codes();
        for (int round = 0; round < 300; ++round) {
            QList<tarnix::I18nEntry> entries;
            Translations expected;
            for (const QString &code : codes) {
                if (random.bounded(3) == 0)
                    continue;
                QString text;
                const int pieces = random.bounded(12);
                for (int i = 0; i < pieces; ++i) {
                    if (random.bounded(3) == 0) {
                        text += hard.at(random.bounded(hard.size()));
                        continue;
                    }
                    char16_t unit = 0;
                    do
                        unit = char16_t(random.bounded(0x20, 0xFFFE));
                    while ((unit >= 0x7F && unit < 0xA0) || (unit >= 0xD800 && unit < 0xE000));
                    text += QChar(unit);
                }
                entries.append({code, text});
                expected.append({code, text});
            }
            const Parsed parsed = parse(tarnix::i18nElement(u"en"_s, entries));
            QVERIFY2(parsed.error.isEmpty(), qPrintable(parsed.error));
            QCOMPARE(parsed.original, u"en"_s);
            QCOMPARE(parsed.displays, expected);
        }
    }

    void copyOneTranslation()
    {
        Window w({{u"zh_CN"_s, u"你好\n世界 "_s}, {u"fr"_s, u"Bonjour"_s}});
        w.window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w.window));

        QTest::mouseClick(w.language(u"zh_CN"_s), Qt::LeftButton);
        QCOMPARE(QApplication::clipboard()->text(), u"你好\n世界 "_s);
        QCOMPARE(w.title(), u"Translation Copied to Clipboard (Simplified Chinese)"_s);
        QCOMPARE(w.label(), u"你好\n世界 "_s);

        QTest::mouseClick(w.language(u"zh_CN"_s), Qt::LeftButton);
        QCOMPARE(QApplication::clipboard()->text(), u"你好\n世界 "_s);
        QCOMPARE(w.title(), u"Translation Copied to Clipboard (Simplified Chinese)"_s);

        QTest::mouseClick(w.language(u"fr"_s), Qt::LeftButton);
        QCOMPARE(QApplication::clipboard()->text(), u"Bonjour"_s);
        QCOMPARE(w.title(), u"Translation Copied to Clipboard (French)"_s);
        QCOMPARE(w.label(), u"Bonjour"_s);

        // Reset blanks the panel but the copy stays on the clipboard.
        QTest::mouseClick(w.button(u"resetBtn"_s), Qt::LeftButton);
        QCOMPARE(QApplication::clipboard()->text(), u"Bonjour"_s);
        QVERIFY(w.title().isEmpty());
        QVERIFY(w.label().isEmpty());

        // After Reset no language button can be clicked at all.
        QTest::mouseClick(w.language(u"fr"_s), Qt::LeftButton);
        QCOMPARE(QApplication::clipboard()->text(), u"Bonjour"_s);
        QVERIFY(w.title().isEmpty());
    }

    void copyWithoutLanguageButtonDoesNothing()
    {
        Window w({{u"fr"_s, u"Bonjour"_s}});
        QApplication::clipboard()->setText(u"kept"_s);
        QVERIFY(QMetaObject::invokeMethod(&w.window, "tgtBtnClicked"));
        // Another button wired to the slot is not a language button either.
        QPushButton stranger(u"stranger"_s);
        stranger.setToolTip(u"not a translation"_s);
        QObject::connect(&stranger, &QPushButton::clicked, &w.window, &MainWindow::tgtBtnClicked);
        stranger.click();
        QCOMPARE(QApplication::clipboard()->text(), u"kept"_s);
        QCOMPARE(w.title(), u"About"_s);
    }
};

QTEST_MAIN(TestOutput)
#include "test_output.moc"
