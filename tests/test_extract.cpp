#include <QRandomGenerator>
#include <QSet>
#include <QTest>

#include "reply/entities.h"
#include "reply/extract.h"
#include "tests/support/slowclean.h"

using namespace Qt::StringLiterals;
using tarnix::test::cleanSlowly;

namespace {

const QString start = u"<span id=result_box"_s;
const QString end = u"<div id=gt-res-tools"_s;

} // namespace

class TestExtract : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { tarnix::fillEntityTable(table); }

    void tableHoldsTheHtml4Entities()
    {
        QCOMPARE(table.size(), 248);
        QSet<int> codePoints;
        for (auto it = table.cbegin(); it != table.cend(); ++it) {
            QVERIFY2(it.value() >= 34 && it.value() <= 9830, qPrintable(it.key()));
            codePoints.insert(it.value());
        }
        QCOMPARE(codePoints.size(), 248);
        for (const QString &left : {u"amp"_s, u"lt"_s, u"gt"_s, u"Yuml"_s})
            QVERIFY2(!table.contains(left), qPrintable(left));
        // Refilling starts afresh.
        tarnix::EntityTable other {{u"bogus"_s, 1}};
        tarnix::fillEntityTable(other);
        QCOMPARE(other, table);
    }

    void decode_data()
    {
        QTest::addColumn<QString>("body");
        QTest::addColumn<QString>("expected"); // empty: no character

        QTest::newRow("eacute") << u"eacute"_s << u"\u00e9"_s;
        QTest::newRow("Eacute") << u"Eacute"_s << u"\u00c9"_s;
        QTest::newRow("EACUTE has no case folding") << u"EACUTE"_s << QString();
        QTest::newRow("nbsp is the no-break space") << u"nbsp"_s << u"\u00a0"_s;
        QTest::newRow("quot, the smallest") << u"quot"_s << u"\""_s;
        QTest::newRow("diams, the largest") << u"diams"_s << u"\u2666"_s;
        QTest::newRow("yuml, the last Latin-1") << u"yuml"_s << u"\u00ff"_s;
        QTest::newRow("lang is U+2329") << u"lang"_s << u"\u2329"_s;
        QTest::newRow("rang is U+232A") << u"rang"_s << u"\u232a"_s;
        QTest::newRow("Omega after the gap at 930") << u"Omega"_s << u"\u03a9"_s;
        QTest::newRow("Sigma before the gap") << u"Sigma"_s << u"\u03a3"_s;
        QTest::newRow("Rho before the gap") << u"Rho"_s << u"\u03a1"_s;
        QTest::newRow("sigmaf") << u"sigmaf"_s << u"\u03c2"_s;
        QTest::newRow("thetasym, the longest name") << u"thetasym"_s << u"\u03d1"_s;
        QTest::newRow("euro") << u"euro"_s << u"\u20ac"_s;
        QTest::newRow("amp is left out") << u"amp"_s << QString();
        QTest::newRow("lt is left out") << u"lt"_s << QString();
        QTest::newRow("gt is left out") << u"gt"_s << QString();
        QTest::newRow("Yuml is left out") << u"Yuml"_s << QString();
        QTest::newRow("decimal 65") << u"#65"_s << u"A"_s;
        QTest::newRow("leading zeros") << u"#039"_s << u"'"_s;
        QTest::newRow("hexadecimal form is not read") << u"#x41"_s << QString();
        QTest::newRow("hash alone") << u"#"_s << QString();
        QTest::newRow("digits then a letter") << u"#12a"_s << QString();
        QTest::newRow("empty body") << QString() << QString();
        QTest::newRow("space before a name") << u" amp"_s << QString();
        QTest::newRow("name is not looked up after a hash") << u"#quot"_s << QString();
        QTest::newRow("largest 16-bit value") << u"#65535"_s << u"\uffff"_s;
        QTest::newRow("first code point beyond 16 bits") << u"#65536"_s << u"\U00010000"_s;
        QTest::newRow("emoji by number") << u"#128512"_s << u"\U0001F600"_s;
        QTest::newRow("last code point") << u"#1114111"_s << u"\U0010FFFF"_s;
        QTest::newRow("beyond the last code point") << u"#1114112"_s << QString();
        QTest::newRow("negative number") << u"#-1"_s << QString();
        QTest::newRow("beyond 32 bits") << u"#4294967361"_s << QString();
        QTest::newRow("semicolon-free garbage") << u"no such name"_s << QString();
        // Found by fuzz_reply: the number conversion stops at a NUL.
        QTest::newRow("NUL after the digits") << u"#65\0junk"_s << QString();
        QTest::newRow("NUL then an ampersand after the digits") << u"# 65\0&x"_s << QString();
    }

    void decode()
    {
        QFETCH(QString, body);
        QFETCH(QString, expected);
        const QString decoded = tarnix::decodeEntity(table, body);
        QCOMPARE(decoded, expected);
        QCOMPARE(tarnix::entityCodePoint(table, body) >= 0, !expected.isEmpty());
    }

    void lowNumbersAreTheUnitItself()
    {
        // Below 65536 a number is one 16-bit unit, even where that unit is no
        // character on its own.
        QCOMPARE(tarnix::decodeEntity(table, u"#0"), QString(QChar(u'\0')));
        QCOMPARE(tarnix::decodeEntity(table, u"#55296"), QString(QChar(char16_t(0xD800))));
    }

    void extract_data()
    {
        QTest::addColumn<QByteArray>("page");
        QTest::addColumn<QString>("expected");

        QTest::newRow("marker with attributes and a titled inner span")
            << "<html><body><span id=result_box class=\"short_text\"><span title=\"Hello\">Bonjour</span></span>"
               "</div><div id=gt-res-tools><b>tools</b></div>"_ba
            << u"Bonjour"_s;
        QTest::newRow("br joins two lines") << "<span id=result_box>one<br>two<div id=gt-res-tools>"_ba << u"onetwo"_s;
        QTest::newRow("block tags leave no break")
            << "<span id=result_box><p>a</p><p>b</p><div id=gt-res-tools>"_ba << u"ab"_s;
        QTest::newRow("line break of the page text stays")
            << "<span id=result_box>one\n two <div id=gt-res-tools>"_ba << u"one\n two "_s;
        QTest::newRow("start marker without end marker") << "x<span id=result_box>tail <i>end</i>"_ba << u"tail end"_s;
        QTest::newRow("end marker without start marker")
            << "<p>head</p> text<div id=gt-res-tools>rest"_ba << u"head text"_s;
        QTest::newRow("end marker only before start marker")
            << "a<div id=gt-res-tools>b<span id=result_box>c</span>d"_ba << u"cd"_s;
        QTest::newRow("neither marker") << "<html><p>all</p> of <b>it</b></html>"_ba << u"all of it"_s;
        QTest::newRow("markers are case-sensitive") << "<SPAN ID=RESULT_BOX>x</SPAN>y"_ba << u"xy"_s;
        QTest::newRow("empty page") << QByteArray() << QString();
        QTest::newRow("decimal apostrophe and quot")
            << "<span id=result_box>it&#39;s &quot;ok&quot;"_ba << u"it's \"ok\""_s;
        QTest::newRow("amp, lt and gt stay as written")
            << "<span id=result_box>a &amp; b &lt;c&gt;"_ba << u"a &amp; b &lt;c&gt;"_s;
        QTest::newRow("ampersand with no semicolon after it")
            << "<span id=result_box>fish & chips"_ba << u"fish & chips"_s;
        QTest::newRow("unknown name stays") << "<span id=result_box>&bogus; &eacute;"_ba << u"&bogus; \u00e9"_s;
        QTest::newRow("lone greater-than dropped") << "<span id=result_box>a > b"_ba << u"a  b"_s;
        QTest::newRow("quoted greater-than ends the tag")
            << "<span id=result_box><a title=\"x>y\">z</a>"_ba << u"y\"z"_s;
        QTest::newRow("nothing decoded inside a tag") << "<span id=result_box><a t='&eacute;'>v</a>"_ba << u"v"_s;
        QTest::newRow("reference body swallows a less-than") << "<span id=result_box>&#60<b;x"_ba << u"&#60"_s;
        QTest::newRow("tag inside a reference body") << "<span id=result_box>&#6<x>5;!"_ba << u"&#65;!"_s;
        QTest::newRow("semicolon first after the ampersand") << "<span id=result_box>&;x"_ba << u"&;x"_s;
        QTest::newRow("ampersand run before a name") << "<span id=result_box>&&&eacute;"_ba << u"&&\u00e9"_s;
        QTest::newRow("reference straddling the end marker")
            << "<span id=result_box>&eac<div id=gt-res-tools>ute;"_ba << u"&eac"_s;
        QTest::newRow("UTF-8 text") << "<span id=result_box>\xe4\xbd\xa0\xe5\xa5\xbd \xc3\xa9"_ba
                                    << u"\u4f60\u597d \u00e9"_s;
        QTest::newRow("invalid UTF-8 becomes replacement characters")
            << "<span id=result_box>caf\xc3\xa9 \xff!<div id=gt-res-tools>"_ba << u"caf\u00e9 \ufffd!"_s;
        QTest::newRow("reference beyond 16 bits") << "<span id=result_box>&#128512;"_ba << u"\U0001F600"_s;
        // Found by fuzz_reply: "&# 65" then a NUL, an '&' and a ';' later on
        // once took the whole stretch for one reference to 'A'.
        QTest::newRow("NUL inside a numeric reference body")
            << "<span id=result_box>&# 65\0 a&#x;b"_ba << u"&# 65\0 a&#x;b"_s;
        QTest::newRow("whitespace untouched")
            << "<span id=result_box>  a\t b  <div id=gt-res-tools>"_ba << u"  a\t b  "_s;
    }

    void extract()
    {
        QFETCH(QByteArray, page);
        QFETCH(QString, expected);
        const QString result = tarnix::extractTranslation(page, table);
        QCOMPARE(result, expected);
        // The same page through the obvious algorithm.
        const QString text = QString::fromUtf8(page);
        QCOMPARE(cleanSlowly(tarnix::cutTranslation(text), table), expected);
    }

    void cut_data()
    {
        QTest::addColumn<QString>("page");
        QTest::addColumn<QString>("expected");
        QTest::newRow("both markers") << u"a<span id=result_box>b<div id=gt-res-tools>c"_s
                                      << u"<span id=result_box>b"_s;
        QTest::newRow("first start marker wins")
            << u"<span id=result_box>1<span id=result_box>2"_s << u"<span id=result_box>1<span id=result_box>2"_s;
        QTest::newRow("first end marker after the start wins")
            << u"<span id=result_box>1<div id=gt-res-tools>2<div id=gt-res-tools>"_s << u"<span id=result_box>1"_s;
        QTest::newRow("start marker needs all 19 characters") << u"<span id=result_bo>x"_s << u"<span id=result_bo>x"_s;
    }

    void cut()
    {
        QFETCH(QString, page);
        QFETCH(QString, expected);
        QCOMPARE(tarnix::cutTranslation(page).toString(), expected);
    }

    // Texts dense in the characters that steer the pass, compared with the
    // obvious algorithm.
    void sameAsTheObviousPass_data()
    {
        QTest::addColumn<QString>("kept");
        const QString alphabet = u"<>&;#a1 e9quotacute"_s;
        QRandomGenerator random(20261206);
        for (int row = 0; row < 300; ++row) {
            QString text;
            const int length = int(random.bounded(1, 40));
            for (int i = 0; i < length; ++i)
                text += alphabet.at(int(random.bounded(alphabet.size())));
            QTest::addRow("generated text %d", row) << text;
        }
        QTest::newRow("references back to back") << u"&#65;&#66;&eacute;&quot;&#67"_s;
        QTest::newRow("reference inside a reference body") << u"&x&#65;;"_s;
    }

    void sameAsTheObviousPass()
    {
        QFETCH(QString, kept);
        QCOMPARE(tarnix::cleanText(kept, table), cleanSlowly(kept, table));
    }

    void adversarialPagesKeepTheirText_data()
    {
        QTest::addColumn<QString>("kept");
        QTest::addColumn<QString>("expected");
        const qsizetype size = 4 << 20;
        QTest::newRow("4 MiB of ampersands, no semicolon") << QString(size, u'&') << QString(size, u'&');
        QTest::newRow("4 MiB of ampersands, one semicolon at the end")
            << QString(size, u'&') + u';' << QString(size, u'&') + u';';
        QTest::newRow("a long reference body that decodes") << u"&#"_s + QString(size, u'0') + u"65;"_s << u"A"_s;
        QTest::newRow("ampersand-hash pairs then a semicolon")
            << QString(u"&#"_s).repeated(size / 2) + u';' << QString(u"&#"_s).repeated(size / 2) + u';';
    }

    void adversarialPagesKeepTheirText()
    {
        // Would take hours if every '&' searched the rest of the text again.
        QFETCH(QString, kept);
        QFETCH(QString, expected);
        QCOMPARE(tarnix::cleanText(kept, table), expected);
    }

private:
    tarnix::EntityTable table;
};

QTEST_GUILESS_MAIN(TestExtract)
#include "test_extract.moc"
