#include <memory>
#include <optional>

#include <QDateTime>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include "service/config.h"
#include "service/enginelist.h"
#include "service/engines/apertiumengine.h"
#include "service/engines/deeplengine.h"
#include "service/engines/deeplglossaryprotocol.h"
#include "service/engines/deeplprotocol.h"
#include "service/engines/engineclient.h"
#include "service/engines/languagemodelengine.h"
#include "service/engines/languagemodelprotocol.h"
#include "service/engines/libretranslateengine.h"
#include "service/memory/memoryengine.h"
#include "service/memory/memoryworker.h"
#include "service/options.h"
#include "tests/support/loopbackserver.h"

using namespace Qt::StringLiterals;
using namespace tarnix::service;
using tarnix::test::Answer;
using tarnix::test::LoopbackServer;
using tarnix::test::RecordedRequest;

namespace {

const QString token = u"\u27E60\u27E7"_s;
constexpr int budgetMs = 1500; // each engine's time for one request in these tests

QJsonObject jsonOf(const RecordedRequest &request)
{
    return QJsonDocument::fromJson(request.body).object();
}

EngineResult translateWith(Engine &engine, const QString &target, const QString &text)
{
    std::optional<EngineResult> result;
    engine.translate(u"en"_s, target, text, [&result](const EngineResult &answer) { result = answer; });
    [[maybe_unused]] const bool answered = QTest::qWaitFor([&result] { return result.has_value(); }, 10000);
    return result.value_or(EngineResult {EngineResult::Status::Unavailable, {}, u"no callback"_s, {}});
}

} // namespace

// Each engine against a loopback stand-in that speaks its documented API, and
// the pure functions of their protocols and of the configuration.
class TestServiceEngines : public QObject
{
    Q_OBJECT

    LoopbackServer standIn;
    QByteArray good; // the engine's good answer, set by its _data function

    // The stand-in's first answer is the row's; any later one is the good one.
    void addRows(const QByteArray &goodAnswer, const QString &translation)
    {
        good = goodAnswer;
        QTest::addColumn<int>("status");
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<QByteArray>("retryAfter");
        QTest::addColumn<int>("delayMs");
        QTest::addColumn<QString>("expected"); // the translation, or a word of the reason
        QTest::addColumn<int>("requests");
        QTest::newRow("good") << 200 << good << QByteArray() << 0 << translation << 1;
        QTest::newRow("slow") << 200 << good << QByteArray() << budgetMs + 500 << u"no answer|timed out|canceled"_s
                              << 1;
        QTest::newRow("429 then good") << 429 << "{}"_ba
                                       << "1"_ba << 0 << translation << 2;
        QTest::newRow("429 longer than the budget") << 429 << "{}"_ba
                                                    << "5"_ba << 0 << u"rate limited"_s << 1;
        QTest::newRow("401") << 401 << "{\"message\":\"bad key\",\"error\":\"bad key\"}"_ba << QByteArray() << 0
                             << u"API key"_s << 1;
        QTest::newRow("503") << 503 << "{}"_ba << QByteArray() << 0 << u"HTTP 503"_s << 1;
        QTest::newRow("malformed JSON") << 200 << "{\"choices\": [ {"_ba << QByteArray() << 0 << u"without"_s << 1;
    }

    void runRow(Engine &engine, const std::function<void(const RecordedRequest &)> &checkRequest)
    {
        QFETCH(int, status);
        QFETCH(QByteArray, body);
        QFETCH(QByteArray, retryAfter);
        QFETCH(int, delayMs);
        QFETCH(QString, expected);
        QFETCH(int, requests);
        standIn.clearRequests();
        standIn.setResponder([=, this](const RecordedRequest &) {
            if (standIn.requests().size() > 1)
                return Answer {Answer::Kind::Complete, 200, good, {}, 0};
            Answer answer {Answer::Kind::Complete, status, body, {}, delayMs};
            if (!retryAfter.isEmpty())
                answer.extraHeaders.append({"Retry-After", retryAfter});
            return answer;
        });
        if (status == 401) // the log says so, naming what to check
            QTest::ignoreMessage(QtWarningMsg, QRegularExpression(u"refused its API key \\(HTTP 401\\): check"_s));
        const EngineResult result = translateWith(engine, u"de"_s, u"Hello "_s + token);
        QCOMPARE(standIn.requests().size(), requests);
        checkRequest(standIn.requests().first());
        if (result.status == EngineResult::Status::Translated)
            QCOMPARE(result.text, expected);
        else
            QVERIFY2(result.detail.contains(QRegularExpression(expected)), qPrintable(result.detail));
    }

private slots:
    void initTestCase() { QVERIFY(standIn.start()); }

    void languageModel_data()
    {
        const auto answer = [](const QString &content) {
            return QJsonDocument(
                QJsonObject {{"choices"_L1,
                    QJsonArray {QJsonObject {{"finish_reason"_L1, "stop"_L1},
                        {"message"_L1, QJsonObject {{"role"_L1, "assistant"_L1}, {"content"_L1, content}}}}}}})
                .toJson();
        };
        addRows(answer(u"\"Hallo "_s + token + u'"'), u"Hallo "_s + token);
        QTest::newRow("chatty") << 200 << answer(u"Sure! Here is the translation:\n\nHallo "_s + token) << QByteArray()
                                << 0 << u"other than a translation"_s << 1;
    }
    void languageModel()
    {
        LanguageModelEngine engine(
            standIn.url().resolved(QUrl(u"/v1"_s)), u"tiny"_s, u"k"_s, std::chrono::milliseconds(budgetMs));
        runRow(engine, [](const RecordedRequest &request) {
            QCOMPARE(request.path, "/v1/chat/completions"_ba);
            QCOMPARE(request.header("Authorization"), "Bearer k"_ba);
            const QJsonObject body = jsonOf(request);
            QCOMPARE(body.value("model"_L1).toString(), u"tiny"_s);
            QCOMPARE(body.value("temperature"_L1).toInt(-1), 0);
            const QJsonArray messages = body.value("messages"_L1).toArray();
            const QString prompt = messages.at(0).toObject().value("content"_L1).toString();
            QVERIFY(prompt.contains(u"from English to German"_s) && prompt.contains(u"interface"_s));
            QCOMPARE(messages.at(1).toObject().value("content"_L1).toString(), u"Hello "_s + token);
        });
    }

    // A model's answer depends on the context: the memory keys its answers by it.
    void languageModelRemembersPerContext()
    {
        standIn.setResponder([](const RecordedRequest &) {
            return Answer {Answer::Kind::Complete, 200,
                R"({"choices":[{"finish_reason":"stop","message":{"role":"assistant","content":"Offen"}}]})", {}, 0};
        });
        standIn.clearRequests();
        QTemporaryDir dir;
        const QString path = dir.filePath(u"memory.sqlite"_s);
        MemoryWorker memory(path, [path] { return std::make_unique<TranslationMemory>(path, 100); });
        MemoryEngine engine(
            std::make_unique<LanguageModelEngine>(standIn.url().resolved(QUrl(u"/v1"_s)), u"m"_s, u"k"_s), &memory);
        for (const QString &context : {u"File menu"_s, u"Door"_s, u"File menu"_s}) {
            std::optional<EngineResult> result;
            engine.translateInContext(
                u"en"_s, u"de"_s, u"Open"_s, context, [&result](const EngineResult &answer) { result = answer; });
            QTRY_VERIFY(result.has_value());
            QCOMPARE(result->text, u"Offen"_s);
            if (result->checked)
                result->checked(true, nullptr);
        }
        QCOMPARE(standIn.requests().size(), 2);
    }

    void languageModelPromptHoldsTheContext()
    {
        const QJsonArray messages =
            QJsonDocument::fromJson(chatCompletionBody(u"m"_s, u"English"_s, u"Dutch"_s, u"Open"_s, u"File menu"_s))
                .object()
                .value("messages"_L1)
                .toArray();
        QVERIFY(messages.at(0).toObject().value("content"_L1).toString().contains(u"File menu"_s));
        QCOMPARE(messages.at(1).toObject().value("content"_L1).toString(), u"Open"_s);
    }

    void deepL_data()
    {
        const QByteArray good =
            "{\"translations\":[{\"detected_source_language\":\"EN\",\"text\":\"Hallo <x i=\\\"0\\\"/>\"}]}";
        addRows(good, u"Hallo "_s + token);
        QTest::newRow("456 quota") << 456 << "{}"_ba << QByteArray() << 0 << u"quota"_s << 1;
    }
    void deepL()
    {
        DeepLEngine engine(standIn.url(), u"k:fx"_s, std::chrono::milliseconds(budgetMs));
        runRow(engine, [](const RecordedRequest &request) {
            QCOMPARE(request.path, "/v2/translate"_ba);
            QCOMPARE(request.header("Authorization"), "DeepL-Auth-Key k:fx"_ba);
            const QJsonObject body = jsonOf(request);
            QCOMPARE(body.value("text"_L1).toArray().at(0).toString(), u"Hello <x i=\"0\"/>"_s);
            QCOMPARE(body.value("target_lang"_L1).toString(), u"DE"_s);
            QCOMPARE(body.value("tag_handling"_L1).toString(), u"xml"_s);
            QCOMPARE(body.value("ignore_tags"_L1).toArray().at(0).toString(), u"x"_s);
        });
    }

    void libreTranslate_data()
    {
        addRows("{\"translatedText\":\"Hallo " + token.toUtf8() + "\"}", u"Hallo "_s + token);
    }
    void libreTranslate()
    {
        LibreTranslateEngine engine(standIn.url(), u"k"_s, std::chrono::milliseconds(budgetMs));
        runRow(engine, [](const RecordedRequest &request) {
            QCOMPARE(request.path, "/translate"_ba);
            QCOMPARE(jsonOf(request).value("api_key"_L1).toString(), u"k"_s);
        });
    }

    void offersWhatTheServerLists()
    {
        standIn.setResponder([](const RecordedRequest &request) {
            const QByteArray body = request.path.startsWith("/v2/languages?type=source")
                ? "[{\"language\":\"EN\",\"name\":\"English\"}]"
                : "[{\"language\":\"DE\"},{\"language\":\"ZH-HANS\"},{\"language\":\"PT-BR\"}]";
            return Answer {Answer::Kind::Complete, 200, body, {}, 0};
        });
        DeepLEngine engine(standIn.url(), u"k"_s);
        QStringList offered;
        for (const QString &target : {u"de"_s, u"zh-CN"_s, u"zh-TW"_s, u"pt"_s, u"fa"_s})
            engine.offers(u"en"_s, target, [&offered, target](const PairOffer &offer) {
                if (offer.answer == PairOffer::Answer::Offered)
                    offered.append(target);
            });
        QTRY_COMPARE(offered, (QStringList {u"de"_s, u"zh-CN"_s, u"pt"_s}));
        // A server that cannot be reached, and one that lists its sources
        // but not its targets: the offer is unknown, and says why.
        standIn.setResponder([](const RecordedRequest &request) {
            return request.path.startsWith("/v2/languages?type=source")
                ? Answer {Answer::Kind::Complete, 200, "[{\"language\":\"EN\"}]", {}, 0}
                : Answer {Answer::Kind::Complete, 500, "{}", {}, 0};
        });
        DeepLEngine unreachable(QUrl(u"http://127.0.0.1:%1"_s.arg(tarnix::test::freeLoopbackPort())), u"k"_s);
        DeepLEngine halfListed(standIn.url(), u"k"_s);
        for (DeepLEngine *asked : {&unreachable, &halfListed}) {
            std::optional<PairOffer> offer;
            asked->offers(u"en"_s, u"de"_s, [&offer](const PairOffer &answer) { offer = answer; });
            QTRY_VERIFY(offer.has_value());
            QCOMPARE(int(offer->answer), int(PairOffer::Answer::Unknown));
            QVERIFY2(offer->detail.startsWith(u"DeepL"_s), qPrintable(offer->detail));
        }
    }

    // A model server that comes up after the service: the start-up check
    // finds nothing, and a request a moment later waits for the server
    // instead of being told at once that it is away.
    void modelServerStartingLate()
    {
        const quint16 port = tarnix::test::freeLoopbackPort();
        LanguageModelEngine engine(
            QUrl(u"http://127.0.0.1:%1/v1"_s.arg(port)), u"m"_s, QString(), std::chrono::milliseconds(5000), 4);
        std::optional<QString> problem;
        engine.check([&problem](const QString &said) { problem = said; });
        QTRY_VERIFY(problem.has_value());
        QVERIFY2(problem->contains(u"check that the model server runs"_s), qPrintable(*problem));
        tarnix::test::LoopbackServer late;
        late.setResponder([](const RecordedRequest &) {
            return Answer {Answer::Kind::Complete, 200, R"({"data": [{"id": "m"}]})", {}, 0};
        });
        QVERIFY(late.listen(QHostAddress::LocalHost, port));
        std::optional<PairOffer> offer;
        engine.offers(u"en"_s, u"de"_s, [&offer](const PairOffer &answer) { offer = answer; });
        QTRY_VERIFY_WITH_TIMEOUT(offer.has_value(), 5000);
        QCOMPARE(int(offer->answer), int(PairOffer::Answer::Offered));
    }

    void languageModelKeepsToItsLimit()
    {
        int most = 0;
        standIn.setResponder([&](const RecordedRequest &) {
            most = std::max(most, standIn.openAnswers());
            return Answer {Answer::Kind::Complete, 200,
                "{\"choices\":[{\"message\":{\"content\":\"Hallo\"},\"finish_reason\":\"stop\"}]}", {}, 100};
        });
        LanguageModelEngine engine(standIn.url(), u"m"_s, QString(), std::chrono::milliseconds(5000), 3);
        int answered = 0;
        for (int i = 0; i < 9; ++i)
            engine.translate(u"en"_s, u"de"_s, u"Hello"_s, [&answered](const EngineResult &) { ++answered; });
        QTRY_COMPARE(answered, 9);
        QCOMPARE(most, 3);
    }

    void cleansModelAnswers_data()
    {
        QTest::addColumn<QString>("answer");
        QTest::addColumn<QString>("source");
        QTest::addColumn<QString>("target");
        QTest::addColumn<QString>("expected"); // empty: refused
        QTest::newRow("plain") << u"Hola mundo"_s << u"Hello world"_s << u"es"_s << u"Hola mundo"_s;
        QTest::newRow("quoted") << u"\u00ABBonjour\u00BB"_s << u"Hello"_s << u"fr"_s << u"Bonjour"_s;
        QTest::newRow("quoted source keeps quotes") << u"\"Hola\""_s << u"\"Hello\""_s << u"es"_s << u"\"Hola\""_s;
        QTest::newRow("code fence") << u"```text\nHallo Welt\n```"_s << u"Hello world"_s << u"de"_s << u"Hallo Welt"_s;
        QTest::newRow("reasoning first") << u"<think>short</think>\nCiao"_s << u"Hello"_s << u"it"_s << u"Ciao"_s;
        QTest::newRow("keeps OK") << u"\u041D\u0430\u0436\u043C\u0438\u0442\u0435 OK"_s << u"Press OK"_s << u"ru"_s
                                  << u"\u041D\u0430\u0436\u043C\u0438\u0442\u0435 OK"_s;
        QTest::newRow("keeps Wi-Fi") << u"Wi-Fi\u306B\u63A5\u7D9A"_s << u"Connect to Wi-Fi"_s << u"ja"_s
                                     << u"Wi-Fi\u306B\u63A5\u7D9A"_s;
        QTest::newRow("English sorry is a translation")
            << u"Sorry, the file is gone."_s << u"Lo siento, el archivo no existe."_s << u"en"_s
            << u"Sorry, the file is gone."_s;
        QTest::newRow("English word about translating into German")
            << u"Hallo Welt (literal translation)"_s << u"Hello world"_s << u"de"_s << QString();
        QTest::newRow("translated is a word in English")
            << u"Translated files"_s << u"Archivos traducidos"_s << u"en"_s << u"Translated files"_s;
        QTest::newRow("empty") << u"  "_s << u"Hello"_s << u"es"_s << QString();
        QTest::newRow("lead-in line") << u"Here is the translation:\nHola"_s << u"Hello"_s << u"es"_s << QString();
        QTest::newRow("lead-in same line") << u"Translation: Hola"_s << u"Hello"_s << u"es"_s << QString();
        QTest::newRow("note after") << u"Hola\n\nNote: informal."_s << u"Hello"_s << u"es"_s << QString();
        QTest::newRow("source quoted in a sentence")
            << u"\"Open file\" se traduce como Abrir archivo"_s << u"Open file"_s << u"es"_s << QString();
        QTest::newRow("English lead-in into English")
            << u"Here is the translation: Hello"_s << u"Hola"_s << u"en"_s << QString();
    }
    void cleansModelAnswers()
    {
        QFETCH(QString, answer);
        QFETCH(QString, source);
        QFETCH(QString, target);
        QFETCH(QString, expected);
        QCOMPARE(cleanModelAnswer(answer, source, target).value_or(QString()), expected);
    }

    void deepLXmlKeepsTextAndTokens()
    {
        const QString masked = u"a < b & \"c\" "_s + token + u" d"_s;
        QCOMPARE(fromDeepLXml(toDeepLXml(masked)), std::optional<QString>(masked));
        QCOMPARE(fromDeepLXml(u"<b>bold</b>"_s), std::nullopt);
    }

    // What DeepL is given of a glossary: entries it would refuse are left
    // out, and languages are named without their variant.
    void deepLGlossaryEntries_data()
    {
        QTest::addColumn<QString>("sources"); // "|"-separated; each entry's target is "x"
        QTest::addColumn<QString>("tsv");
        QTest::newRow("plain") << u"file|box"_s << u"file\tx\nbox\tx\n"_s;
        QTest::newRow("tab or line break inside") << u"a\tb|c\nd|e"_s << u"e\tx\n"_s;
        QTest::newRow("padded") << u" file|box "_s << QString();
        QTest::newRow("given twice") << u"file|file"_s << u"file\tx\n"_s;
    }
    void deepLGlossaryEntries()
    {
        QFETCH(QString, sources);
        QFETCH(QString, tsv);
        QList<GlossaryEntry> entries;
        for (const QString &source : sources.split(u'|'))
            entries.append({source, u"x"_s});
        QCOMPARE(tarnix::service::deepLGlossaryEntries(entries), tsv);
    }
    void deepLGlossaryLanguagesAndAnswers()
    {
        QCOMPARE(
            deepLGlossaryLanguage(u"PT-BR"_s) + deepLGlossaryLanguage(u"ZH-HANS"_s) + deepLGlossaryLanguage(u"DE"_s),
            u"ptzhde"_s);
        const auto listed = parseDeepLGlossaries(200, R"({"glossaries": [{"glossary_id": "g1", "name": "n",
            "ready": true, "source_lang": "EN", "target_lang": "de", "entry_count": 2}]})");
        QCOMPARE(std::get<0>(listed).value(0).sourceLang + std::get<0>(listed).value(0).targetLang, u"ende"_s);
        QVERIFY(std::holds_alternative<QString>(parseDeepLGlossary(201, R"({"name": "n"})")));
    }

    void retryWaits_data()
    {
        QTest::addColumn<QByteArray>("retryAfter");
        QTest::addColumn<int>("attempt");
        QTest::addColumn<int>("milliseconds");
        QTest::newRow("seconds") << "2"_ba << 1 << 2000;
        QTest::newRow("HTTP date") << "Fri, 02 Jan 2026 03:04:10 GMT"_ba << 1 << 5000;
        QTest::newRow("none, third attempt") << QByteArray() << 3 << 4000;
    }
    void retryWaits()
    {
        QFETCH(QByteArray, retryAfter);
        QFETCH(int, attempt);
        QFETCH(int, milliseconds);
        const QDateTime now(QDate(2026, 1, 2), QTime(3, 4, 5), Qt::UTC);
        QCOMPARE(retryDelay(retryAfter, attempt, now).count(), milliseconds);
    }

    void readsConfigurations_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("expected"); // "name:type:limit:timeout" per engine, or a word of the error
        QTest::newRow("empty: Apertium alone") << u"# nothing\n"_s << u"apertium:0:8:30 own-apy"_s;
        QTest::newRow("order and defaults")
            << u"[engines]\norder = llm, apertium\n[apertium]\n[llm]\ntype = language-model\nurl = "
               u"http://127.0.0.1:11434/v1\nmodel = m\ntimeout = 90\n[deepl]\nkey-env = K\n"_s
            << u"llm:3:4:90 apertium:0:8:30 own-apy"_s;
        QTest::newRow("file order without [engines]")
            << u"[deepl]\nkey-file = k\nlimit = 2\n[apertium]\n"_s << u"deepl:2:2:30 apertium:0:8:30 own-apy"_s;
        QTest::newRow("key in the file") << u"[deepl]\nkey = secret\n"_s << u"line 2.*key-file or key-env"_s;
        QTest::newRow("DeepL without key") << u"[deepl]\n"_s << u"line 1.*needs its key"_s;
        QTest::newRow("model without model")
            << u"[m]\ntype = language-model\nurl = http://h/v1\n"_s << u"needs a model"_s;
        QTest::newRow("unknown type") << u"[google]\n"_s << u"line 1.*needs a type"_s;
        QTest::newRow("order names nothing")
            << u"[engines]\norder = apertium, x\n[apertium]\n"_s << u"line 2.*\\[x\\]"_s;
        QTest::newRow("bad limit") << u"[apertium]\nlimit = many\n"_s << u"line 2: limit"_s;
        QTest::newRow("memory settings alone")
            << u"[memory]\nmemory = off\nmax-entries = 5\n"_s << u"apertium:0:8:30 memory:0:5 own-apy"_s;
        QTest::newRow("memory neither on nor off") << u"[memory]\nmemory = no\n"_s << u"line 2: memory is on or off"_s;
        QTest::newRow("APy given: none started") << u"[apertium]\nurl = http://127.0.0.1:2737\n[libretranslate]\n"_s
                                                 << u"apertium:0:8:30 libretranslate:1:8:30"_s;
        QTest::newRow("kept terms") << u"[terms]\nkeep = GNOME, Wi-Fi,\n"_s
                                    << u"apertium:0:8:30 terms:GNOME|Wi-Fi own-apy"_s;
        QTest::newRow("terms misspelt") << u"[terms]\nterms = GNOME\n"_s << u"line 2: \\[terms\\] has no setting"_s;
        QTest::newRow("prices")
            << u"[deepl]\nkey-env = K\nprice = 20 EUR per million characters\n[m]\n"
               u"type = language-model\nurl = http://h/v1\nmodel = m\nprice = 0.6 per Million tokens\n"_s
            << u"deepl:2:8:30:20EUR/c m:3:4:30:0.6/t"_s;
        QTest::newRow("price without its unit")
            << u"[deepl]\nkey-env = K\nprice = 20 EUR\n"_s << u"line 3: price is an amount per million"_s;
    }
    void readsConfigurations()
    {
        QFETCH(QString, text);
        QFETCH(QString, expected);
        const auto parsed = parseServiceConfig(text);
        if (const auto *error = std::get_if<QString>(&parsed)) {
            QVERIFY2(!error->contains(u'\n') && error->contains(QRegularExpression(expected)), qPrintable(*error));
        } else {
            QStringList engines;
            for (const EngineConfig &engine : std::get<ServiceConfig>(parsed).engines)
                engines.append(u"%1:%2:%3:%4"_s.arg(engine.name)
                                   .arg(int(engine.kind))
                                   .arg(engine.limit)
                                   .arg(engine.timeout.count() / 1000)
                    + (engine.price ? u":%1%2/%3"_s.arg(engine.price->amount)
                                          .arg(engine.price->currency,
                                              engine.price->unit == EnginePrice::Unit::Tokens ? u"t"_s : u"c"_s)
                                    : QString()));
            const MemorySettings &memory = std::get<ServiceConfig>(parsed).memory;
            if (!memory.enabled || memory.maxEntries != MemorySettings().maxEntries)
                engines.append(u"memory:%1:%2"_s.arg(int(memory.enabled)).arg(memory.maxEntries));
            if (const QStringList terms = std::get<ServiceConfig>(parsed).keptTerms; !terms.isEmpty())
                engines.append(u"terms:"_s + terms.join(u'|'));
            if (needsOwnApy(std::get<ServiceConfig>(parsed).engines))
                engines.append(u"own-apy"_s);
            QCOMPARE(engines.join(u' '), expected);
        }
    }

    void apertiumLeavesOutADirectionThatFails()
    {
        // An APy whose Italian-Spanish mode fails, as Debian's does without
        // the programs it runs; English-Spanish works.
        LoopbackServer apy;
        QVERIFY(apy.start());
        apy.setResponder([](const RecordedRequest &request) {
            QByteArray pair = QByteArray::fromPercentEncoding(
                request.formField(request.path == "/translate" ? "langpair" : "langpairs"));
            QByteArray body = R"({"responseData": {"translatedText": "uno"}})";
            if (request.path == "/listPairs")
                body = R"({"responseData": [{"sourceLanguage": "eng", "targetLanguage": "spa"},
                           {"sourceLanguage": "ita", "targetLanguage": "spa"}]})";
            else if (request.path == "/translateChain")
                body = R"({"responseData": {"translationChain": [")" + pair.replace("|", R"(", ")") + R"("]}})";
            else if (pair == "ita|spa")
                return Answer {
                    Answer::Kind::Complete, 500, R"({"code": 500, "explanation": "cg-proc: not found"})", {}, 0};
            return Answer {Answer::Kind::Complete, 200, body, {}, 0};
        });
        ApertiumEngine engine(apy.url());
        QTest::ignoreMessage(QtWarningMsg,
            QRegularExpression(
                u"ita>spa fails a one-word translation and is not offered \\(APy answered 500: cg-proc"_s));
        std::optional<QString> problem;
        engine.check([&problem](const QString &said) { problem = said; });
        QTRY_VERIFY(problem.has_value());
        QCOMPARE(*problem, QString());
        std::optional<EngineResult> italian;
        std::optional<EngineResult> english;
        engine.translate(u"it"_s, u"es"_s, u"casa"_s, [&italian](const EngineResult &result) { italian = result; });
        engine.translate(u"en"_s, u"es"_s, u"one"_s, [&english](const EngineResult &result) { english = result; });
        QTRY_VERIFY(italian && english);
        QCOMPARE(italian->status, EngineResult::Status::Unsupported);
        QVERIFY2(italian->detail.contains(u"ita>spa does not work here"_s), qPrintable(italian->detail));
        QCOMPARE(english->status, EngineResult::Status::Translated);

        ApertiumEngine dead(QUrl(u"http://127.0.0.1:1"_s));
        problem.reset();
        dead.check([&problem](const QString &said) { problem = said; });
        QTRY_VERIFY(problem.has_value());
        QVERIFY2(problem->contains(u"check that APy runs at that address"_s), qPrintable(*problem));
    }

    void readsModelLists_data()
    {
        QTest::addColumn<int>("httpStatus");
        QTest::addColumn<QByteArray>("json");
        QTest::addColumn<QString>("says"); // empty: nothing wrong
        const QByteArray two = R"({"data": [{"id": "a"}, {"id": "b"}]})";
        QTest::newRow("lists the model") << 200 << two << QString();
        QTest::newRow("one model answers to any name") << 200 << R"({"data": [{"id": "x"}]})"_ba << QString();
        QTest::newRow("lacks the model") << 200 << R"({"data": [{"id": "x"}, {"id": "y"}]})"_ba
                                         << u"no model \"a\" \\(it lists x, y\\)"_s;
        QTest::newRow("no such path") << 404 << QByteArray() << u"lists no models \\(HTTP 404.*name is not checked"_s;
        QTest::newRow("server error") << 500 << QByteArray() << u"HTTP 500 for its list.*ending in /v1"_s;
        QTest::newRow("not a list") << 200 << "<html>"_ba << u"not an OpenAI-compatible one"_s;
        QTest::newRow("key refused") << 401 << QByteArray() << u"refused the key"_s;
    }
    void readsModelLists()
    {
        QFETCH(int, httpStatus);
        QFETCH(QByteArray, json);
        QFETCH(QString, says);
        const QString problem = modelListProblem(httpStatus, json, u"a"_s);
        QVERIFY2(says.isEmpty() ? problem.isEmpty() : problem.contains(QRegularExpression(says)), qPrintable(problem));
    }

    void namesConfigurationMistakes_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QByteArray>("keyFile"); // the file "k" beside it (a key, a glossary), when set
        QTest::addColumn<QString>("says"); // the error, or "model= url= note= threshold= memory=" of an accepted file
        const QByteArray model = "[llm]\ntype = language-model\n";
        QTest::newRow("mistyped engine key")
            << model + "url = http://h/v1\nmodel = m\nmodle = n\n"
            << QByteArray() << uR"(line 5: \[llm\] has no setting "modle"; it takes type, url, model, limit)"_s;
        QTest::newRow("mistyped memory key")
            << "[memory]\npaht = m\n"_ba << QByteArray() << u"line 2: .* it takes memory, path, max-entries, url, "_s;
        QTest::newRow("model url with its endpoint")
            << model + "model = m\nurl = http://h/v1/chat/completions\n"
            << QByteArray() << u"line 4: url is the API's base, without /chat/completions: http://h/v1$"_s;
        QTest::newRow("model url without /v1 is said")
            << model + "model = m\nurl = http://h:11434\n"
            << QByteArray()
            << u"note=\\[llm\\] url does not end in /v1: the service will call http://h:11434/chat/completions "_s;
        QTest::newRow("comments after values") << model + "url = http://h/v1 # ollama\nmodel = m ;the small one\n"
                                               << QByteArray() << u"^model=m url=http://h/v1 note= "_s;
        QTest::newRow("Latin-1") << model + "url = http://h/v1\nmodel = caf\xe9\n"
                                 << QByteArray() << u"is Latin-1 .*line 4.*save it as UTF-8"_s;
        QTest::newRow("UTF-16") << "\xff\xfe[\0a\0]\0"_ba << QByteArray() << u"is UTF-16, not UTF-8"_s;
        QTest::newRow("key file of two lines") << "[deepl]\nkey-file = k\n"_ba
                                               << "one\ntwo\n"_ba << u"holds 2 lines; it must hold the key alone"_s;
        QTest::newRow("memory in the home folder")
            << "[memory]\npath = ~/m.sqlite\n"_ba << QByteArray() << u"memory=@home/m.sqlite$"_s;
        QTest::newRow("memory beside the configuration")
            << "[memory]\npath = m.sqlite\n"_ba << QByteArray() << u"memory=@dir/m.sqlite$"_s;
        const QString thresholdSays = u"^@dir/service.conf, line 3: match-threshold is a whole number from 1 to 100$"_s;
        QTest::newRow("match threshold") << "[memory]\nmemory = on\nmatch-threshold = 100\n"_ba << QByteArray()
                                         << u" threshold=100 "_s;
        QTest::newRow("match threshold by default") << "[memory]\n"_ba << QByteArray() << u" threshold=85 "_s;
        QTest::newRow("match threshold 0") << "[memory]\n\nmatch-threshold = 0\n"_ba << QByteArray() << thresholdSays;
        QTest::newRow("match threshold 101")
            << "[memory]\n\nmatch-threshold = 101\n"_ba << QByteArray() << thresholdSays;
        QTest::newRow("match threshold a fraction")
            << "[memory]\n\nmatch-threshold = 0.85\n"_ba << QByteArray() << thresholdSays;
        QTest::newRow("match threshold a percentage")
            << "[memory]\n\nmatch-threshold = 85%\n"_ba << QByteArray() << thresholdSays;
        QTest::newRow("glossary key misspelt") << "[glossary]\nfiles = team.tbx\n"_ba << QByteArray()
                                               << u"^@dir/service.conf, line 2: \\[glossary\\] takes \"file = "_s;
        QTest::newRow("glossary without its file") << "[glossary]\nes =\n"_ba << QByteArray()
                                                   << u"^@dir/service.conf, line 2: \\[glossary\\] es needs a file$"_s;
        QTest::newRow("glossary missing") << "[glossary]\nes = none.csv\n"_ba << QByteArray()
                                          << u"^@dir/service.conf: cannot read the glossary @dir/none.csv: "_s;
        QTest::newRow("glossary table of one column")
            << "[glossary]\nes = k\n"_ba
            << "file,archivo\nkey\n"_ba
            << u"^@dir/service.conf: the glossary @dir/k, line 2: a line is a source term and its translation"_s;
        QTest::newRow("glossary TBX cut short")
            << "[glossary]\nfile = k\n"_ba
            << "<tbx>\n<conceptEntry>\n</tbx>"_ba << u"^@dir/service.conf: the glossary @dir/k, line 3: "_s;
    }
    void namesConfigurationMistakes()
    {
        QFETCH(QByteArray, file);
        QFETCH(QByteArray, keyFile);
        QFETCH(QString, says);
        QTemporaryDir dir;
        for (const auto &[name, bytes] : {std::pair {u"service.conf"_s, file}, std::pair {u"k"_s, keyFile}}) {
            QFile out(dir.filePath(name));
            QVERIFY(out.open(QIODevice::WriteOnly) && out.write(bytes) == bytes.size());
            out.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
        }
        const auto loaded = loadServiceConfig(dir.filePath(u"service.conf"_s), true);
        QString said;
        if (const auto *config = std::get_if<ServiceConfig>(&loaded)) {
            const EngineConfig &engine = config->engines.first();
            said = u"model=%1 url=%2 note=%3 threshold=%4 memory=%5"_s.arg(engine.model, engine.url.toString(),
                engine.note, QString::number(config->memory.matchThreshold), config->memory.path);
        } else {
            said = std::get<QString>(loaded);
        }
        said.replace(dir.path(), u"@dir"_s).replace(QDir::homePath(), u"@home"_s);
        QVERIFY2(said.contains(QRegularExpression(says)), qPrintable(said));
    }

    void keyFileMustBePrivate_data()
    {
        QTest::addColumn<bool>("accepted");
        QTest::newRow("owner only") << true;
        QTest::newRow("others can read") << false;
    }
    void keyFileMustBePrivate()
    {
        QFETCH(bool, accepted);
        QTemporaryDir dir;
        QFile key(dir.filePath(u"deepl.key"_s));
        QVERIFY(key.open(QIODevice::WriteOnly));
        key.write("s3cret:fx\n");
        key.close();
        const auto shared = accepted ? QFileDevice::Permissions() : QFileDevice::ReadGroup | QFileDevice::ReadOther;
        QVERIFY(key.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner | shared));
        QFile conf(dir.filePath(u"service.conf"_s));
        QVERIFY(conf.open(QIODevice::WriteOnly));
        conf.write("[deepl]\nkey-file = deepl.key\n[terms]\nkeep = GNOME\nfile = terms.txt\n");
        conf.close();
        QFile terms(dir.filePath(u"terms.txt"_s));
        QVERIFY(terms.open(QIODevice::WriteOnly));
        terms.write("# brands\nTarnix\n\n  Wi-Fi \n");
        terms.close();
        const auto loaded = loadServiceConfig(conf.fileName(), true);
        QCOMPARE(std::holds_alternative<ServiceConfig>(loaded), accepted);
        if (accepted)
            QCOMPARE(std::get<ServiceConfig>(loaded).engines.first().key, u"s3cret:fx"_s);
        if (accepted) // the terms file beside it, read the same way
            QCOMPARE(std::get<ServiceConfig>(loaded).keptTerms, QStringList({u"GNOME"_s, u"Tarnix"_s, u"Wi-Fi"_s}));
        else
            QVERIFY(!std::get<QString>(loaded).contains(u"s3cret"_s));
        // and never from the command line
        QVERIFY(std::holds_alternative<OptionsExit>(
            parseServiceOptions({u"tarnix-service"_s, u"--api-key"_s, u"s3cret"_s})));
    }
};

QTEST_GUILESS_MAIN(TestServiceEngines)
#include "test_service_engines.moc"
