#include <QJsonDocument>
#include <QJsonObject>
#include <QTest>

#include "service/engines/apyprotocol.h"
#include "service/http/form.h"
#include "service/text/languagecodes.h"
#include "service/engines/libretranslateprotocol.h"
#include "service/options.h"
#include "service/http/page.h"
#include "service/text/placeholders.h"
#include "service/http/requestlog.h"
#include "service/text/translationtext.h"

using namespace Qt::StringLiterals;
using namespace tarnix::service;
using Status = EngineResult::Status;

Q_DECLARE_METATYPE(Status)

// The service's pure logic: form parsing, the answer page, placeholder
// masking and the engines' wire formats.
class TestServiceText : public QObject
{
    Q_OBJECT

private slots:
    void decodesFormComponents_data()
    {
        QTest::addColumn<QByteArray>("encoded");
        QTest::addColumn<QByteArray>("decoded");
        QTest::newRow("plus is a space") << "a+b"_ba
                                         << "a b"_ba;
        QTest::newRow("escaped plus stays a plus") << "1%2B1"_ba
                                                   << "1+1"_ba;
        QTest::newRow("lower-case hex") << "%c3%a9"_ba
                                        << "\xc3\xa9"_ba;
        QTest::newRow("escaped ampersand and equals") << "a%26b%3Dc"_ba
                                                      << "a&b=c"_ba;
        QTest::newRow("percent of percent") << "%251"_ba
                                            << "%1"_ba;
    }
    void decodesFormComponents()
    {
        QFETCH(QByteArray, encoded);
        QFETCH(QByteArray, decoded);
        QCOMPARE(decodeFormComponent(encoded), std::optional<QByteArray>(decoded));
    }

    void parsesTheProgramsForm()
    {
        const auto parsed = parseTranslationForm(
            "js=n&prev=_t&hl=en&ie=UTF-8&layout=2&eotf=1&sl=zh-CN&tl=ko&text=%20a%26b%3Dc%0A%C3%A9%25%20"_ba);
        const auto *form = std::get_if<TranslationForm>(&parsed);
        QVERIFY(form);
        QCOMPARE(form->source, u"zh-CN"_s);
        QCOMPARE(form->target, u"ko"_s);
        QCOMPARE(form->text, u" a&b=c\n\u00e9% "_s);
    }

    void pageHoldsTheTranslationBetweenTheMarkers()
    {
        const QString page = QString::fromUtf8(translationPage(u"a < b & c > d\n&amp; é"_s));
        const qsizetype start = page.indexOf(u"<span id=result_box"_s);
        const qsizetype end = page.indexOf(u"<div id=gt-res-tools"_s);
        QVERIFY(start >= 0 && end > start);
        const QString between = page.sliced(start, end - start);
        QCOMPARE(between.sliced(between.indexOf(u'>') + 1), u"a &#60; b &#38; c &#62; d\n&#38;amp; é</span></div>"_s);
        QCOMPARE(page.count(u"<span id=result_box"_s), 1);
    }

    void errorPageHasNoMarkers()
    {
        const QString page = QString::fromUtf8(
            errorPage(400, u"Bad Request"_s, u"field <span id=result_box> or <div id=gt-res-tools"_s));
        QVERIFY(!page.contains(u"<span id=result_box"_s));
        QVERIFY(!page.contains(u"<div id=gt-res-tools"_s));
        QVERIFY(page.contains(u"400 Bad Request"_s));
    }

    void masksPlaceholders_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QStringList>("placeholders");
        QTest::newRow("numbered") << u"%1 of %2, %99 and %100"_s << QStringList {u"%1"_s, u"%2"_s, u"%99"_s, u"%10"_s};
        QTest::newRow("printf") << u"%s has %d, %5.2f%%"_s << QStringList {u"%s"_s, u"%d"_s, u"%5.2f"_s, u"%%"_s};
        QTest::newRow("positional printf") << u"%1$s and %2$d"_s << QStringList {u"%1$s"_s, u"%2$d"_s};
        QTest::newRow("braces") << u"{name}, {{count}} and ${user}"_s
                                << QStringList {u"{name}"_s, u"{{count}}"_s, u"${user}"_s};
        QTest::newRow("markup") << u"Press <b class=\"x\">OK</b><br/>"_s
                                << QStringList {u"<b class=\"x\">"_s, u"</b>"_s, u"<br/>"_s};
        QTest::newRow("character references") << u"a &amp; b &#39;"_s << QStringList {u"&amp;"_s, u"&#39;"_s};
        QTest::newRow("forged token") << u"\u27E60\u27E7"_s << QStringList {u"\u27E6"_s, u"\u27E7"_s};
        QTest::newRow("plain percent and braces stay text") << u"100 % { open"_s << QStringList {};
    }
    void masksPlaceholders()
    {
        QFETCH(QString, text);
        QFETCH(QStringList, placeholders);
        const MaskedText masked = maskPlaceholders(text);
        QCOMPARE(masked.placeholders, placeholders);
        for (const QString &placeholder : placeholders)
            QVERIFY(!masked.text.contains(placeholder) || placeholder.size() == 1);
        QCOMPARE(unmaskPlaceholders(masked.text, masked.placeholders), std::optional<QString>(text));
    }

    void restoresMovedPlaceholders()
    {
        const MaskedText masked = maskPlaceholders(u"%1 of %2"_s);
        QCOMPARE(unmaskPlaceholders(u"de \u27E61\u27E7 el \u27E60\u27E7"_s, masked.placeholders),
            std::optional<QString>(u"de %2 el %1"_s));
    }

    void refusesDamagedPlaceholders_data()
    {
        QTest::addColumn<QString>("translated");
        QTest::newRow("one lost") << u"hola \u27E60\u27E7"_s;
        QTest::newRow("one repeated") << u"\u27E60\u27E7 \u27E60\u27E7 \u27E61\u27E7"_s;
        QTest::newRow("unknown number") << u"\u27E60\u27E7 \u27E61\u27E7 \u27E62\u27E7"_s;
        QTest::newRow("broken apart") << u"\u27E60\u27E7 \u27E6 1\u27E7"_s;
        QTest::newRow("stray bracket") << u"\u27E60\u27E7 \u27E61\u27E7 \u27E7"_s;
    }
    void refusesDamagedPlaceholders()
    {
        QFETCH(QString, translated);
        QVERIFY(!unmaskPlaceholders(translated, {u"%1"_s, u"%2"_s}));
    }

    void keepsOuterWhiteSpaceOfTheSource()
    {
        const PreparedText prepared = prepareForEngine(u"\n  Hello %1 \t"_s);
        QCOMPARE(prepared.masked.text, u"Hello \u27E60\u27E7"_s);
        QCOMPARE(finishTranslation(prepared, u" Hola \u27E60\u27E7"_s), std::optional<QString>(u"\n  Hola %1 \t"_s));
        QVERIFY(prepareForEngine(u" \n "_s).masked.text.isEmpty());
    }

    void mapsLanguageCodes_data()
    {
        QTest::addColumn<QString>("service");
        QTest::addColumn<QString>("apertium");
        QTest::addColumn<QString>("libreTranslate");
        QTest::newRow("english") << u"en"_s << u"eng"_s << u"en"_s;
        QTest::newRow("korean") << u"ko"_s << u"kor"_s << u"ko"_s;
        QTest::newRow("hebrew") << u"iw"_s << u"heb"_s << u"he"_s;
        QTest::newRow("simplified chinese") << u"zh-CN"_s << QString() << u"zh"_s;
        QTest::newRow("traditional chinese") << u"zh-TW"_s << QString() << u"zt"_s;
        QTest::newRow("ui spelling is not a service code") << u"kr"_s << QString() << QString();
    }
    void mapsLanguageCodes()
    {
        QFETCH(QString, service);
        QFETCH(QString, apertium);
        QFETCH(QString, libreTranslate);
        QCOMPARE(apertiumCode(service), apertium);
        QCOMPARE(libreTranslateCode(service), libreTranslate);
    }

    void readsApyAnswers_data()
    {
        QTest::addColumn<int>("httpStatus");
        QTest::addColumn<QByteArray>("json");
        QTest::addColumn<Status>("status");
        QTest::addColumn<QString>("text");
        QTest::newRow("translation")
            << 200 << R"({"responseData": {"translatedText": "Hola Mundo"}, "responseStatus": 200})"_ba
            << Status::Translated << u"Hola Mundo"_s;
        QTest::newRow("pair not installed")
            << 400 << R"({"status": "error", "code": 400, "explanation": "That pair is not installed"})"_ba
            << Status::Unsupported << QString();
        QTest::newRow("pipeline failed") << 503 << R"({"status": "error", "code": 503})"_ba << Status::Unavailable
                                         << QString();
        QTest::newRow("no translation in the answer")
            << 200 << R"({"responseData": {}})"_ba << Status::Unavailable << QString();
        QTest::newRow("not json") << 200 << "<html>proxy</html>"_ba << Status::Unavailable << QString();
    }
    void readsApyAnswers()
    {
        QFETCH(int, httpStatus);
        QFETCH(QByteArray, json);
        QFETCH(Status, status);
        QFETCH(QString, text);
        const EngineResult result = parseApyTranslation(httpStatus, json);
        QCOMPARE(result.status, status);
        QCOMPARE(result.text, text);
    }

    void readsApyPaths()
    {
        const auto chain = parseApyPath(
            200, R"({"responseData": {"translationChain": ["eng", "spa", "ita"]}, "responseStatus": 200})"_ba);
        QCOMPARE(std::get<QStringList>(chain), (QStringList {u"eng"_s, u"spa"_s, u"ita"_s}));
        const auto none = parseApyPath(400, R"({"explanation": "No path found for eng-deu"})"_ba);
        QCOMPARE(std::get<EngineResult>(none).status, Status::Unsupported);
        QCOMPARE(apyPathBody(u"eng"_s, u"ita"_s), "langpairs=eng%7Cita"_ba);
    }

    void buildsLibreTranslateRequests_data()
    {
        QTest::addColumn<QString>("apiKey");
        QTest::newRow("without key") << QString();
        QTest::newRow("with key") << u"k&y"_s;
    }
    void buildsLibreTranslateRequests()
    {
        QFETCH(QString, apiKey);
        const QJsonObject body =
            QJsonDocument::fromJson(libreTranslateBody(u"en"_s, u"zt"_s, u"a \"b\"\n"_s, apiKey)).object();
        QCOMPARE(body.value("q"_L1).toString(), u"a \"b\"\n"_s);
        QCOMPARE(body.value("source"_L1).toString(), u"en"_s);
        QCOMPARE(body.value("target"_L1).toString(), u"zt"_s);
        QCOMPARE(body.value("format"_L1).toString(), u"text"_s);
        QCOMPARE(body.contains("api_key"_L1), !apiKey.isEmpty());
        QCOMPARE(body.value("api_key"_L1).toString(), apiKey);
    }

    void readsLibreTranslateAnswers_data()
    {
        QTest::addColumn<int>("httpStatus");
        QTest::addColumn<QByteArray>("json");
        QTest::addColumn<Status>("status");
        QTest::newRow("translation") << 200 << R"({"translatedText": "Hallo"})"_ba << Status::Translated;
        QTest::newRow("language refused") << 400 << R"({"error": "xx is not supported"})"_ba << Status::Unsupported;
        QTest::newRow("bad api key") << 403 << R"({"error": "Invalid API key"})"_ba << Status::Unavailable;
        QTest::newRow("rate limited") << 429 << R"({"error": "Slowdown"})"_ba << Status::Unavailable;
        QTest::newRow("translation missing") << 200 << R"({"detectedLanguage": {}})"_ba << Status::Unavailable;
    }
    void readsLibreTranslateAnswers()
    {
        QFETCH(int, httpStatus);
        QFETCH(QByteArray, json);
        QFETCH(Status, status);
        QCOMPARE(parseLibreTranslateReply(httpStatus, json).status, status);
    }

    void refusesBadOptions_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::newRow("port zero") << QStringList {u"--port"_s, u"0"_s};
        QTest::newRow("port too large") << QStringList {u"--port"_s, u"65536"_s};
        QTest::newRow("port not a number") << QStringList {u"--port"_s, u"http"_s};
        QTest::newRow("unknown engine") << QStringList {u"--engine"_s, u"google"_s};
        QTest::newRow("engine url not http") << QStringList {u"--engine-url"_s, u"ftp://127.0.0.1/"_s};
        QTest::newRow("engine url without host") << QStringList {u"--engine-url"_s, u"127.0.0.1:5000"_s};
        QTest::newRow("unknown option") << QStringList {u"--verbose"_s};
        QTest::newRow("stray argument") << QStringList {u"7317"_s};
    }
    void refusesBadOptions()
    {
        QFETCH(QStringList, arguments);
        const auto parsed = parseServiceOptions(QStringList {u"tarnix-service"_s} + arguments);
        const auto *exit = std::get_if<OptionsExit>(&parsed);
        QVERIFY(exit);
        QCOMPARE(exit->status, 2);
    }

    void logLineIsOneLine()
    {
        const QString line =
            requestLogLine(QDateTime(QDate(2026, 1, 2), QTime(3, 4, 5), Qt::UTC), u"en"_s, u"e\ns"_s, 200, 12, 34);
        QCOMPARE(line, u"2026-01-02T03:04:05.000Z en>e s 200 12 ms 34 chars"_s);
    }
};

QTEST_GUILESS_MAIN(TestServiceText)
#include "test_service_text.moc"
