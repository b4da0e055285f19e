#include <QNetworkRequest>
#include <QRandomGenerator>
#include <QTest>
#include <QXmlStreamReader>

#include "languages/windowcodes.h"
#include "output/i18n.h"
#include "reply/entities.h"
#include "reply/extract.h"
#include "reply/replystatus.h"
#include "tests/support/slowclean.h"
#include "translate/request.h"
#include "ui/catalogue.h"

using namespace Qt::StringLiterals;
namespace cat = tarnix::catalogue;

namespace {

using Displays = QList<std::pair<QString, QString>>;

// An i18n element read back: its original attribute and each locale's CDATA text.
Displays readBack(const QString &element, QString *original)
{
    Displays displays;
    QXmlStreamReader reader(element);
    while (reader.readNext() != QXmlStreamReader::Invalid && !reader.atEnd()) {
        if (reader.isStartElement() && reader.name() == u"i18n"_s)
            *original = reader.attributes().value(u"original"_s).toString();
        if (reader.isStartElement() && reader.name() == u"display"_s)
            displays.append({reader.attributes().value(u"locale"_s).toString(), QString()});
        if (reader.isCDATA())
            displays.last().second += reader.text();
    }
    if (reader.hasError())
        displays.append({u"error"_s, reader.errorString()});
    return displays;
}

// Random text from an alphabet, with `hard` pieces mixed in.
QString randomText(QRandomGenerator &random, const QString &alphabet, const QStringList &hard, int maxPieces)
{
    QString text;
    const int pieces = int(random.bounded(maxPieces));
    for (int i = 0; i < pieces; ++i) {
        if (!hard.isEmpty() && random.bounded(3) == 0)
            text += hard.at(int(random.bounded(hard.size())));
        else
            text += alphabet.at(int(random.bounded(alphabet.size())));
    }
    return text;
}

} // namespace

// The pure functions: catalogue and codes, the form body, entity decoding,
// page extraction, reply acceptance and the i18n element.
class TestLogic : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { tarnix::fillEntityTable(table); }

    void catalogue()
    {
        const QStringList codes = cat::codes();
        const QStringList names = cat::names();
        QCOMPARE(codes.size(), 21);
        QCOMPARE(names.size(), 21);
        QCOMPARE(QSet<QString>(codes.begin(), codes.end()).size(), 21);
        for (qsizetype i = 0; i < codes.size(); ++i) {
            QCOMPARE(cat::nameOfCode(codes.at(i)), std::optional(names.at(i)));
            QCOMPARE(cat::codeOfName(names.at(i)), std::optional(codes.at(i)));
            QCOMPARE(tarnix::languages::toUiCode(tarnix::languages::toServiceCode(codes.at(i))), codes.at(i));
        }
        QCOMPARE(names.last(), u"Persian"_s);
        for (const QString &miss : {u"KR"_s, u"korean"_s, u"zh-CN"_s, QString()}) {
            QVERIFY(!cat::nameOfCode(miss));
            QVERIFY(!cat::codeOfName(miss));
        }
    }

    void formBody_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QByteArray>("encoded");
        QTest::newRow("plain words") << u"Hello world"_s << "Hello%20world"_ba;
        QTest::newRow("UTF-8 bytes, upper-case hex") << u"caf\u00e9 \U0001F600"_s << "caf%C3%A9%20%F0%9F%98%80"_ba;
        QTest::newRow("ampersand cannot start a field") << u"a&tl=de"_s << "a%26tl%3Dde"_ba;
        QTest::newRow("plus and percent") << u"1+%1"_s << "1%2B%251"_ba;
        QTest::newRow("unreserved characters stay") << u"aZ09-._~"_s << "aZ09-._~"_ba;
        QTest::newRow("reserved punctuation and controls") << u"*'()!?/#\t\n"_s << "%2A%27%28%29%21%3F%2F%23%09%0A"_ba;
    }
    void formBody()
    {
        QFETCH(QString, text);
        QFETCH(QByteArray, encoded);
        QCOMPARE(tarnix::encodeFormBody(u"en"_s, u"zh-CN"_s, text),
            "js=n&prev=_t&hl=en&ie=UTF-8&layout=2&eotf=1&sl=en&tl=zh-CN&text=" + encoded);
    }

    void serviceRequest()
    {
        const QNetworkRequest request = tarnix::makeServiceRequest(QUrl(u"http://127.0.0.1:9/"_s), 77);
        QCOMPARE(request.header(QNetworkRequest::ContentTypeHeader).toString(), u"application/x-www-form-urlencoded"_s);
        QCOMPARE(request.header(QNetworkRequest::ContentLengthHeader).toLongLong(), 77);
        QCOMPARE(request.attribute(QNetworkRequest::RedirectPolicyAttribute).toInt(),
            int(QNetworkRequest::ManualRedirectPolicy));
    }

    void entityTable()
    {
        // Every entry counts: any changed name or code point changes these sums.
        qint64 codePointSum = 0;
        qint64 weightedNames = 0;
        for (auto it = table.cbegin(); it != table.cend(); ++it) {
            codePointSum += it.value();
            for (qsizetype i = 0; i < it.key().size(); ++i)
                weightedNames += (i + 1) * it.key().at(i).unicode() * qint64(it.value());
        }
        QCOMPARE(table.size(), 248);
        QCOMPARE(codePointSum, 867706);
        QCOMPARE(weightedNames, Q_INT64_C(1198204742));
        tarnix::EntityTable refilled {{u"bogus"_s, 1}};
        tarnix::fillEntityTable(refilled);
        QCOMPARE(refilled, table);
    }

    void decode_data()
    {
        QTest::addColumn<QString>("body");
        QTest::addColumn<QString>("expected");
        QTest::newRow("name") << u"eacute"_s << u"\u00e9"_s;
        QTest::newRow("names have case") << u"EACUTE"_s << QString();
        QTest::newRow("amp, lt, gt and Yuml are left out") << u"Yuml"_s << QString();
        QTest::newRow("decimal with leading zeros") << u"#039"_s << u"'"_s;
        QTest::newRow("zero is a unit too") << u"#0"_s << QString(QChar(u'\0'));
        QTest::newRow("a lone surrogate unit") << u"#55296"_s << QString(QChar(char16_t(0xD800)));
        QTest::newRow("largest 16-bit value") << u"#65535"_s << u"\uffff"_s;
        QTest::newRow("first code point beyond 16 bits") << u"#65536"_s << u"\U00010000"_s;
        QTest::newRow("last code point") << u"#1114111"_s << u"\U0010FFFF"_s;
        QTest::newRow("beyond the last code point") << u"#1114112"_s << QString();
        QTest::newRow("negative") << u"#-1"_s << QString();
        QTest::newRow("beyond 32 bits") << u"#4294967361"_s << QString();
        QTest::newRow("hexadecimal is not read") << u"#x41"_s << QString();
        QTest::newRow("hash alone") << u"#"_s << QString();
        QTest::newRow("digits then a letter") << u"#12a"_s << QString();
        QTest::newRow("name after a hash") << u"#quot"_s << QString();
        QTest::newRow("empty") << QString() << QString();
        QTest::newRow("NUL after the digits") << u"#65\0junk"_s << QString();
    }
    void decode()
    {
        QFETCH(QString, body);
        QFETCH(QString, expected);
        QCOMPARE(tarnix::decodeEntity(table, body), expected);
        QCOMPARE(tarnix::entityCodePoint(table, body) >= 0, !expected.isEmpty());
    }

    void extract_data()
    {
        QTest::addColumn<QByteArray>("page");
        QTest::addColumn<QString>("expected");
        QTest::newRow("both markers, tags dropped")
            << "<html><span id=result_box class=\"s\"><span title=\"Hi\">Bon<br>jour</span></span>"
               "</div><div id=gt-res-tools><b>tools</b></div>"_ba
            << u"Bonjour"_s;
        QTest::newRow("first start marker, first end marker after it")
            << "a<div id=gt-res-tools>b<span id=result_box>c<span id=result_box>d<div id=gt-res-tools>e"
               "<div id=gt-res-tools>"_ba
            << u"cd"_s;
        QTest::newRow("start marker without end marker") << "x<span id=result_box>tail <i>end</i>"_ba << u"tail end"_s;
        QTest::newRow("end marker without start marker")
            << "<p>head</p> text<div id=gt-res-tools>rest"_ba << u"head text"_s;
        QTest::newRow("markers are case-sensitive") << "<SPAN ID=RESULT_BOX>x</SPAN>y"_ba << u"xy"_s;
        QTest::newRow("start marker needs all its characters") << "<span id=result_bo>x"_ba << u"x"_s;
        QTest::newRow("references") << "<span id=result_box>it&#39;s &quot;ok&quot; &#128512;"_ba
                                    << u"it's \"ok\" \U0001F600"_s;
        QTest::newRow("amp, lt, gt and unknown names stay")
            << "<span id=result_box>a &amp; &lt;c&gt; &bogus; fish & chips"_ba
            << u"a &amp; &lt;c&gt; &bogus; fish & chips"_s;
        QTest::newRow("lone greater-than dropped, quoted one ends a tag")
            << "<span id=result_box>a > b<a title=\"x>y\">z</a>"_ba << u"a  by\"z"_s;
        QTest::newRow("reference straddling the end marker")
            << "<span id=result_box>&eac<div id=gt-res-tools>ute;"_ba << u"&eac"_s;
        QTest::newRow("invalid UTF-8, whitespace kept")
            << "<span id=result_box> caf\xc3\xa9\t\xff!\n<div id=gt-res-tools>"_ba << u" caf\u00e9\t\ufffd!\n"_s;
        QTest::newRow("NUL inside a numeric reference body")
            << "<span id=result_box>&# 65\0 a&#x;b"_ba << u"&# 65\0 a&#x;b"_s;
    }
    void extract()
    {
        QFETCH(QByteArray, page);
        QFETCH(QString, expected);
        QCOMPARE(tarnix::extractTranslation(page, table), expected);
    }

    // Texts dense in the characters that steer the cleaning pass, against the
    // obvious algorithm; then pages that would take hours if every '&'
    // searched the rest again.
    void cleaningMatchesTheObviousPass()
    {
        QRandomGenerator random(20261206);
        for (int round = 0; round < 2000; ++round) {
            const QString kept = randomText(random, u"<>&;#a1 e9"_s, {u"quot"_s, u"acute"_s, u"&#65;"_s}, 40);
            QCOMPARE(tarnix::cleanText(kept, table), tarnix::test::cleanSlowly(kept, table));
        }
        const qsizetype size = 4 << 20;
        for (const QString &kept : {QString(size, u'&') + u';', QString(u"&#"_s).repeated(size / 2) + u';'})
            QCOMPARE(tarnix::cleanText(kept, table), kept);
        QCOMPARE(tarnix::cleanText(u"&#"_s + QString(size, u'0') + u"65;"_s, table), u"A"_s);
    }

    void acceptedReplies_data()
    {
        QTest::addColumn<int>("error");
        QTest::addColumn<QVariant>("status");
        QTest::addColumn<bool>("accepted");
        QTest::newRow("200") << int(QNetworkReply::NoError) << QVariant(200) << true;
        QTest::newRow("299") << int(QNetworkReply::NoError) << QVariant(299) << true;
        QTest::newRow("300") << int(QNetworkReply::NoError) << QVariant(300) << false;
        QTest::newRow("199") << int(QNetworkReply::NoError) << QVariant(199) << false;
        QTest::newRow("no status") << int(QNetworkReply::NoError) << QVariant() << false;
        QTest::newRow("network error") << int(QNetworkReply::RemoteHostClosedError) << QVariant(200) << false;
    }
    void acceptedReplies()
    {
        QFETCH(int, error);
        QFETCH(QVariant, status);
        QFETCH(bool, accepted);
        QCOMPARE(tarnix::isAcceptedReply(QNetworkReply::NetworkError(error), status), accepted);
    }

    void i18nElement()
    {
        QCOMPARE(tarnix::i18nElement(u"en"_s, {{u"fr"_s, u"Bonjour"_s}, {u"de"_s, u"a]]>b"_s}}),
            u"<i18n original=\"en\">\n\t<display locale=\"fr\">\n\t\t<![CDATA[Bonjour]]>\n\t</display>\n"
            u"\t<display locale=\"de\">\n\t\t<![CDATA[a]]]]><![CDATA[>b]]>\n\t</display>\n</i18n>\n"_s);
        QCOMPARE(tarnix::i18nElement(u"zh_TW"_s, {}), u"<i18n original=\"zh_TW\">\n</i18n>\n"_s);

        // Any text a translation may hold reads back exactly from the element.
        QRandomGenerator random(20261206);
        const QStringList hard {
            u"]]>"_s, u"]]"_s, u"<"_s, u"&"_s, u"\""_s, u"\n"_s, u"<![CDATA["_s, u">"_s, u"\U0001F600"_s};
        for (int round = 0; round < 300; ++round) {
            QList<tarnix::I18nEntry> entries;
            Displays expected;
            for (const QString &code : cat::codes()) {
                if (random.bounded(3) == 0)
                    continue;
                const QString text = randomText(random, u"ab \u00e9\u4f60"_s, hard, 12);
                entries.append({code, text});
                expected.append({code, text});
            }
            QString original;
            QCOMPARE(readBack(tarnix::i18nElement(u"en"_s, entries), &original), expected);
            QCOMPARE(original, u"en"_s);
        }
    }

private:
    tarnix::EntityTable table;
};

QTEST_GUILESS_MAIN(TestLogic)
#include "test_logic.moc"
