#include <QTest>

#include "translate/servicecodes.h"
#include "ui/catalogue.h"

using namespace Qt::StringLiterals;
namespace cat = tarnix::catalogue;

class TestCatalogue : public QObject
{
    Q_OBJECT

private slots:
    void listsAreParallelAndComplete()
    {
        const QStringList codes = cat::codes();
        const QStringList names = cat::names();
        QCOMPARE(codes.size(), 21);
        QCOMPARE(names.size(), 21);
        QCOMPARE(codes.first(), u"en"_s);
        QCOMPARE(codes.last(), u"fa"_s);
        QCOMPARE(names.first(), u"English"_s);
        QCOMPARE(names.last(), u"Persian"_s);
        QCOMPARE(QSet<QString>(codes.begin(), codes.end()).size(), 21);
        QCOMPARE(QSet<QString>(names.begin(), names.end()).size(), 21);
    }

    void lookUps_data()
    {
        QTest::addColumn<QString>("code");
        QTest::addColumn<QString>("name");
        QTest::newRow("korean keeps kr") << u"kr"_s << u"Korean"_s;
        QTest::newRow("polish keeps po") << u"po"_s << u"Polish"_s;
        QTest::newRow("hebrew keeps iw") << u"iw"_s << u"Hebrew"_s;
        QTest::newRow("traditional chinese") << u"zh_TW"_s << u"Traditional Chinese"_s;
        QTest::newRow("last entry") << u"fa"_s << u"Persian"_s;
    }
    void lookUps()
    {
        QFETCH(QString, code);
        QFETCH(QString, name);
        QCOMPARE(cat::nameOfCode(code), std::optional<QString>(name));
        QCOMPARE(cat::codeOfName(name), std::optional<QString>(code));
    }

    void missesAreAbsent_data()
    {
        QTest::addColumn<QString>("key");
        QTest::newRow("upper-case code") << u"KR"_s;
        QTest::newRow("lower-case name") << u"korean"_s;
        QTest::newRow("service spelling") << u"zh-CN"_s;
        QTest::newRow("empty") << QString();
        QTest::newRow("whole codes string") << QString::fromUtf16(cat::codesString);
    }
    void missesAreAbsent()
    {
        QFETCH(QString, key);
        QVERIFY(!cat::nameOfCode(key));
        QVERIFY(!cat::codeOfName(key));
    }

    void serviceCodes_data()
    {
        QTest::addColumn<QString>("ui");
        QTest::addColumn<QString>("service");
        QTest::newRow("korean") << u"kr"_s << u"ko"_s;
        QTest::newRow("polish") << u"po"_s << u"pl"_s;
        QTest::newRow("simplified chinese") << u"zh_CN"_s << u"zh-CN"_s;
        QTest::newRow("traditional chinese") << u"zh_TW"_s << u"zh-TW"_s;
        QTest::newRow("hebrew unchanged") << u"iw"_s << u"iw"_s;
        QTest::newRow("ukrainian unchanged") << u"uk"_s << u"uk"_s;
        QTest::newRow("upper case is not converted") << u"ZH_CN"_s << u"ZH_CN"_s;
        QTest::newRow("capitalised is not converted") << u"Kr"_s << u"Kr"_s;
        QTest::newRow("empty") << QString() << QString();
    }
    void serviceCodes()
    {
        QFETCH(QString, ui);
        QFETCH(QString, service);
        QCOMPARE(tarnix::toServiceCode(ui), service);
        QCOMPARE(tarnix::toUiCode(service), ui);
    }

    void everyCatalogueCodeComesBack()
    {
        for (const QString &code : cat::codes())
            QCOMPARE(tarnix::toUiCode(tarnix::toServiceCode(code)), code);
    }
};

QTEST_APPLESS_MAIN(TestCatalogue)
#include "test_catalogue.moc"
