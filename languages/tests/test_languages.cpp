#include <QTest>

#include "languages/languagecodes.h"
#include "languages/languagetags.h"
#include "languages/windowcodes.h"

using namespace Qt::StringLiterals;
using namespace tarnix::languages;

class TestLanguages : public QObject
{
    Q_OBJECT

private slots:
    // Every convention read as one BCP 47 tag, then as the service's code:
    // region and script kept where the service tells them apart.
    void readsLanguageCodes_data()
    {
        QTest::addColumn<QString>("written");
        QTest::addColumn<QString>("tag"); // empty: not a language code
        QTest::addColumn<QString>("read"); // the service's code; empty: not a language code (400)
        QTest::newRow("upper case") << u"EN"_s << u"en"_s << u"en"_s;
        QTest::newRow("hebrew's current code") << u"he"_s << u"he"_s << u"iw"_s;
        QTest::newRow("the window's korean") << u"kr"_s << u"kr"_s << u"ko"_s;
        QTest::newRow("the window's polish") << u"po"_s << u"po"_s << u"pl"_s;
        QTest::newRow("simplified by script") << u"zh-hans"_s << u"zh-Hans"_s << u"zh-CN"_s;
        QTest::newRow("traditional by script and region") << u"zh-Hant-HK"_s << u"zh-Hant-HK"_s << u"zh-TW"_s;
        QTest::newRow("gettext's script and region") << u"zh_Hant_TW"_s << u"zh-Hant-TW"_s << u"zh-TW"_s;
        QTest::newRow("a script decides over the region") << u"zh_Hans_TW"_s << u"zh-Hans-TW"_s << u"zh-CN"_s;
        QTest::newRow("gettext's underscore") << u"ZH_tw"_s << u"zh-TW"_s << u"zh-TW"_s;
        QTest::newRow("brazilian, gettext") << u"pt_BR"_s << u"pt-BR"_s << u"pt-BR"_s;
        QTest::newRow("brazilian, bcp 47") << u"pt-br"_s << u"pt-BR"_s << u"pt-BR"_s;
        QTest::newRow("brazilian, android") << u"values-pt-rBR"_s << u"pt-BR"_s << u"pt-BR"_s;
        QTest::newRow("european portuguese") << u"pt_PT"_s << u"pt-PT"_s << u"pt"_s;
        QTest::newRow("a region the service does not tell apart") << u"en-GB"_s << u"en-GB"_s << u"en"_s;
        QTest::newRow("a locale's charset") << u"ru_RU.UTF-8"_s << u"ru-RU"_s << u"ru"_s;
        QTest::newRow("gettext's latin modifier") << u"sr@latin"_s << u"sr-Latn"_s << u"sr-Latn"_s;
        QTest::newRow("and a region") << u"sr_RS@latin"_s << u"sr-Latn-RS"_s << u"sr-Latn-RS"_s;
        QTest::newRow("bcp 47's latin script") << u"SR-latn"_s << u"sr-Latn"_s << u"sr-Latn"_s;
        QTest::newRow("android's bcp 47 form") << u"b+sr+Latn"_s << u"sr-Latn"_s << u"sr-Latn"_s;
        QTest::newRow("a modifier that is a variant") << u"ca@valencia"_s << u"ca-valencia"_s << u"ca"_s;
        QTest::newRow("a modifier of no language") << u"de_DE@euro"_s << u"de-DE"_s << u"de"_s;
        QTest::newRow("numeric region") << u"es_419"_s << u"es-419"_s << u"es"_s;
        QTest::newRow("a private-use tag, no language") << u"X-Klingon"_s << QString() << u"x-klingon"_s;
        QTest::newRow("a language's name") << u"English"_s << QString() << QString();
        QTest::newRow("posix's untranslated locale") << u"C"_s << QString() << QString();
        QTest::newRow("one letter") << u"e"_s << QString() << QString();
        QTest::newRow("a script alone") << u"Hans"_s << QString() << QString();
        QTest::newRow("a trailing hyphen") << u"en-"_s << QString() << QString();
        QTest::newRow("a number") << u"42"_s << QString() << QString();
        QTest::newRow("markup") << u"<b>en"_s << QString() << QString();
        QTest::newRow("a modifier of markup") << u"sr@<b>"_s << QString() << QString();
    }
    void readsLanguageCodes()
    {
        QFETCH(QString, written);
        QFETCH(QString, tag);
        QFETCH(QString, read);
        QCOMPARE(readLanguageTag(written).value_or(LanguageTag {}).bcp47(), tag);
        QCOMPARE(readLanguageCode(written).value_or(QString()), read);
        // The service's own codes, the window's among them, are read as they are.
        for (const QString &code : serviceCodes())
            QCOMPARE(readLanguageCode(code).value_or(QString()), code);
    }

    // Xcode's localization folders, each spelling Apple's tools have written.
    void readsLprojFolders_data()
    {
        QTest::addColumn<QString>("folder");
        QTest::addColumn<QString>("tag"); // empty: no language
        QTest::newRow("iso code") << u"it.lproj"_s << u"it"_s;
        QTest::newRow("region, bcp 47") << u"pt-BR.lproj"_s << u"pt-BR"_s;
        QTest::newRow("region, underscore") << u"pt_BR.lproj"_s << u"pt-BR"_s;
        QTest::newRow("script") << u"zh-Hans.lproj"_s << u"zh-Hans"_s;
        QTest::newRow("old chinese by region") << u"zh_CN.lproj"_s << u"zh-CN"_s;
        QTest::newRow("the oldest english name") << u"English.lproj"_s << u"en"_s;
        QTest::newRow("the oldest german name") << u"German.lproj"_s << u"de"_s;
        QTest::newRow("base internationalization") << u"Base.lproj"_s << QString();
        QTest::newRow("no localization folder") << u"it"_s << QString();
        QTest::newRow("an android qualifier") << u"values-it.lproj"_s << QString();
    }
    void readsLprojFolders()
    {
        QFETCH(QString, folder);
        QFETCH(QString, tag);
        QCOMPARE(readLprojName(folder).value_or(LanguageTag {}).bcp47(), tag);
    }

    // A resource folder's locale qualifier read as a tag, and the tag
    // written back as the qualifier Android matches.
    void androidQualifiers_data()
    {
        QTest::addColumn<QString>("folder");
        QTest::addColumn<QString>("tag"); // empty: the folder names no language
        QTest::addColumn<QString>("written"); // values-<androidQualifier(tag)>
        QTest::newRow("language") << u"values-it"_s << u"it"_s << u"values-it"_s;
        QTest::newRow("region") << u"values-pt-rBR"_s << u"pt-BR"_s << u"values-pt-rBR"_s;
        QTest::newRow("region in lower case") << u"values-pt-rbr"_s << u"pt-BR"_s << u"values-pt-rBR"_s;
        QTest::newRow("script, bcp 47 form") << u"values-b+sr+Latn"_s << u"sr-Latn"_s << u"values-b+sr+Latn"_s;
        QTest::newRow("numeric region") << u"values-b+es+419"_s << u"es-419"_s << u"values-b+es+419"_s;
        QTest::newRow("other qualifiers after it") << u"values-zh-rTW-land-v21"_s << u"zh-TW"_s << u"values-zh-rTW"_s;
        QTest::newRow("mobile codes before it") << u"values-mcc310-mnc004-en-rUS"_s << u"en-US"_s << u"values-en-rUS"_s;
        QTest::newRow("hebrew's old code") << u"values-iw"_s << u"iw"_s << u"values-iw"_s;
        QTest::newRow("the default folder") << u"values"_s << QString() << QString();
        QTest::newRow("night mode") << u"values-night"_s << QString() << QString();
        QTest::newRow("car ui mode") << u"values-car"_s << QString() << QString();
        QTest::newRow("api level") << u"values-v21"_s << QString() << QString();
    }
    void androidQualifiers()
    {
        QFETCH(QString, folder);
        QFETCH(QString, tag);
        QFETCH(QString, written);
        const auto read = readAndroidQualifiers(folder);
        QCOMPARE(read.value_or(LanguageTag {}).bcp47(), tag);
        if (read)
            QCOMPARE(u"values-"_s + androidQualifier(*read), written);
        // Spelled by people and gettext, the same folders.
        QCOMPARE(androidQualifier(readLanguageTag(u"he"_s).value()), u"iw"_s);
        QCOMPARE(androidQualifier(readLanguageTag(u"sr@latin"_s).value()), u"b+sr+Latn"_s);
        QCOMPARE(androidQualifier(readLanguageTag(u"pt_BR"_s).value()), u"pt-rBR"_s);
    }

    void mapsLanguageCodes_data()
    {
        QTest::addColumn<QString>("service");
        QTest::addColumn<QString>("apertium");
        QTest::addColumn<QString>("libreTranslate");
        QTest::addColumn<QString>("deepL"); // the first target code
        QTest::newRow("english") << u"en"_s << u"eng"_s << u"en"_s << u"EN-US"_s;
        QTest::newRow("korean") << u"ko"_s << u"kor"_s << u"ko"_s << u"KO"_s;
        QTest::newRow("hebrew") << u"iw"_s << u"heb"_s << u"he"_s << u"HE"_s;
        QTest::newRow("simplified chinese") << u"zh-CN"_s << QString() << u"zh"_s << u"ZH-HANS"_s;
        QTest::newRow("traditional chinese") << u"zh-TW"_s << QString() << u"zt"_s << u"ZH-HANT"_s;
        QTest::newRow("european portuguese") << u"pt"_s << u"por"_s << u"pt"_s << u"PT-PT"_s;
        QTest::newRow("brazilian portuguese") << u"pt-BR"_s << u"por_BR"_s << u"pt"_s << u"PT-BR"_s;
        QTest::newRow("ui spelling is not a service code") << u"kr"_s << QString() << QString() << QString();
    }
    void mapsLanguageCodes()
    {
        QFETCH(QString, service);
        QFETCH(QString, apertium);
        QFETCH(QString, libreTranslate);
        QFETCH(QString, deepL);
        QCOMPARE(apertiumCode(service), apertium);
        QCOMPARE(libreTranslateCode(service), libreTranslate);
        QCOMPARE(deepLTargetCodes(service).value(0), deepL);
    }

    // The window's catalogue codes on the wire, exactly as they always were.
    void windowCodes_data()
    {
        QTest::addColumn<QString>("ui");
        QTest::addColumn<QString>("service");
        QTest::newRow("korean") << u"kr"_s << u"ko"_s;
        QTest::newRow("polish") << u"po"_s << u"pl"_s;
        QTest::newRow("simplified chinese") << u"zh_CN"_s << u"zh-CN"_s;
        QTest::newRow("traditional chinese") << u"zh_TW"_s << u"zh-TW"_s;
        QTest::newRow("hebrew unchanged") << u"iw"_s << u"iw"_s;
        QTest::newRow("case matters") << u"Kr"_s << u"Kr"_s;
    }
    void windowCodes()
    {
        QFETCH(QString, ui);
        QFETCH(QString, service);
        QCOMPARE(toServiceCode(ui), service);
        QCOMPARE(toUiCode(service), ui);
    }
};

QTEST_GUILESS_MAIN(TestLanguages)
#include "test_languages.moc"
