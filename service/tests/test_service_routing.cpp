#include <algorithm>
#include <memory>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include "apyservice.h"
#include "httpclient.h"
#include "service/config.h"
#include "service/enginelist.h"
#include "service/engines/apyprocess.h"
#include "service/engines/router.h"
#include "service/http/translationservice.h"
#include "service/text/placeholders.h"
#include "tests/support/loopbackserver.h"
#include "tests/support/serviceurlseam.h"
#include "tests/support/windowdriver.h"
#include "ui/catalogue.h"

using namespace Qt::StringLiterals;
using namespace tarnix::service;
using namespace tarnix::test;

// Apertium (a real APy) with stand-ins of DeepL and of a language model,
// configured as a user would, routed per language pair.
class TestServiceRouting : public QObject
{
    Q_OBJECT

    ApyProcess apy;
    LoopbackServer deepL;
    LoopbackServer model;
    bool deepLDown = false;
    QStringList modelLoses; // what the model stand-in leaves out of its answers
    QTemporaryDir dir;

    std::unique_ptr<Router> routerFor(const QString &conf)
    {
        QFile file(dir.filePath(u"service.conf"_s));
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
            return nullptr;
        file.write(QString(conf)
                       .replace(u"@deepl"_s, deepL.url().toString())
                       .replace(u"@model"_s, model.url().toString())
                       .toUtf8());
        file.close();
        const auto loaded = loadServiceConfig(file.fileName(), true);
        return std::holds_alternative<ServiceConfig>(loaded)
            ? makeRouter(std::get<ServiceConfig>(loaded).engines, apy.url())
            : nullptr;
    }

    // Requests to translate, beside the one for the server's list of models.
    static qsizetype translations(const LoopbackServer &server)
    {
        return std::count_if(server.requests().cbegin(), server.requests().cend(),
            [](const RecordedRequest &request) { return request.method == "POST"; });
    }

private slots:
    void initTestCase()
    {
        TARNIX_REQUIRE_APY();
        QSignalSpy ready(&apy, &ApyProcess::ready);
        apy.start();
        QVERIFY(ready.wait(90000));
        QVERIFY(deepL.start() && model.start());
        deepL.setResponder([this](const RecordedRequest &request) {
            if (request.path.startsWith("/v2/languages"))
                return Answer {Answer::Kind::Complete, 200, R"([{"language":"EN"},{"language":"DE"}])", {}, 0};
            const QJsonObject body = QJsonDocument::fromJson(request.body).object();
            const QString text = u"[deepl] "_s + body.value("text"_L1).toArray().at(0).toString();
            const QJsonObject answer {{"translations"_L1, QJsonArray {QJsonObject {{"text"_L1, text}}}}};
            return Answer {Answer::Kind::Complete, deepLDown ? 503 : 200, QJsonDocument(answer).toJson(), {}, 0};
        });
        model.setResponder([this](const RecordedRequest &request) {
            const QJsonArray messages = QJsonDocument::fromJson(request.body).object().value("messages"_L1).toArray();
            QString text = u"[model] "_s + messages.at(1).toObject().value("content"_L1).toString();
            for (const QString &lost : modelLoses)
                text.remove(QRegularExpression(lost));
            const QJsonObject message {{"role"_L1, "assistant"_L1}, {"content"_L1, text}};
            const QJsonObject answer {
                {"choices"_L1, QJsonArray {QJsonObject {{"message"_L1, message}, {"finish_reason"_L1, "stop"_L1}}}}};
            return Answer {Answer::Kind::Complete, 200, QJsonDocument(answer).toJson(), {}, 0};
        });
        qputenv("TARNIX_TEST_DEEPL_KEY", "k:fx");
    }

    void routesEachPair_data()
    {
        QTest::addColumn<QString>("target");
        QTest::addColumn<bool>("deepLFails");
        QTest::addColumn<QString>("engine");
        QTest::addColumn<QString>("prefix");
        QTest::newRow("Apertium's pair") << u"es"_s << false << u"apertium"_s << u"Hola"_s;
        QTest::newRow("DeepL's pair") << u"de"_s << false << u"deepl"_s << u"[deepl] "_s;
        QTest::newRow("DeepL lacks it") << u"fa"_s << false << u"llm"_s << u"[model] "_s;
        QTest::newRow("DeepL fails: the next one") << u"de"_s << true << u"llm"_s << u"[model] "_s;
        QTest::newRow("nobody offers it") << u"xx"_s << false << QString() << QString();
    }
    void routesEachPair()
    {
        QFETCH(QString, target);
        QFETCH(bool, deepLFails);
        QFETCH(QString, engine);
        QFETCH(QString, prefix);
        deepLDown = deepLFails;
        const auto router = routerFor(u"[engines]\norder = apertium, deepl, llm\n[apertium]\n[deepl]\nurl = @deepl\n"
                                      u"key-env = TARNIX_TEST_DEEPL_KEY\n[llm]\ntype = language-model\nurl = @model\n"
                                      u"model = m\n"_s);
        QVERIFY(router);
        model.clearRequests();
        std::optional<EngineResult> result;
        router->translate(u"en"_s, target, u"Hello world"_s, [&result](const EngineResult &r) { result = r; });
        QTRY_VERIFY_WITH_TIMEOUT(result.has_value(), 30000);
        QCOMPARE(result->engine, engine);
        QVERIFY2(result->text.startsWith(prefix), qPrintable(result->text + result->detail));
        QCOMPARE(
            result->status, engine.isEmpty() ? EngineResult::Status::Unsupported : EngineResult::Status::Translated);
        QCOMPARE(translations(model), engine == u"llm" ? 1 : 0);
        // A batch goes the same way, and one of a pair nobody offers is
        // refused item by item.
        std::vector<EngineResult> batch;
        router->translateBatch(u"en"_s, target, {{u"Hello world"_s, QString()}, {u"Good morning"_s, QString()}},
            [&batch](const std::vector<EngineResult> &results) { batch = results; });
        QTRY_COMPARE_WITH_TIMEOUT(batch.size(), std::size_t(2), 30000);
        for (const EngineResult &item : batch) {
            QCOMPARE(item.engine, engine);
            QCOMPARE(
                item.status, engine.isEmpty() ? EngineResult::Status::Unsupported : EngineResult::Status::Translated);
        }
        // An estimate names the same engine for both, or neither as offered.
        std::optional<std::pair<QList<EngineShare>, QList<qsizetype>>> estimated;
        router->estimate(u"en"_s, target, {{u"Hello world"_s, QString()}, {u"Good morning"_s, QString()}},
            [&estimated](const QList<EngineShare> &shares, const QList<qsizetype> &unsupported) {
                estimated = std::make_pair(shares, unsupported);
            });
        QTRY_VERIFY_WITH_TIMEOUT(estimated.has_value(), 30000);
        const QList<qsizetype> both {0, 1};
        QCOMPARE(estimated->second, engine.isEmpty() ? both : QList<qsizetype>());
        if (!engine.isEmpty()) {
            QCOMPARE(estimated->first.size(), 1);
            QCOMPARE(estimated->first.first().items, both);
        }
        // Texts are masked for the engine that translates the pair: names
        // and numbers for Apertium, which parses them, brackets for the others.
        bool prepared = false;
        router->prepareGlossary(u"en"_s, target, [&prepared]() { prepared = true; });
        QTRY_VERIFY(prepared);
        QCOMPARE(router->tokenForm(u"en"_s, target), engine == u"apertium" ? TokenForm::Natural : TokenForm::Bracketed);
    }

    // An answer the check refuses is asked for once more of the engine that
    // gave it (DeepL is down), with the other token form: the model's are
    // bracketed, then names. The log line says what happened.
    void asksTheSameEngineAgain_data()
    {
        QTest::addColumn<QStringList>("loses");
        QTest::addColumn<QString>("log");
        QTest::newRow("answer kept") << QStringList() << u"en>de 200 .* by llm$"_s;
        QTest::newRow("brackets lost, names kept")
            << QStringList {u"\u27E6\\d\u27E7"_s} << u"en>de 200 .* by llm \\(asked again: .*%s\\)$"_s;
        QTest::newRow("every token lost") << QStringList {u"\u27E6\\d\u27E7"_s, u"John"_s}
                                          << u"en>de 422 .* by llm \\(asked again: .*; refused: .*%s\\)$"_s;
    }
    void asksTheSameEngineAgain()
    {
        QFETCH(QStringList, loses);
        QFETCH(QString, log);
        deepLDown = true;
        modelLoses = loses;
        const auto router = routerFor(u"[engines]\norder = deepl, llm\n[deepl]\nurl = @deepl\n"
                                      u"key-env = TARNIX_TEST_DEEPL_KEY\n[llm]\ntype = language-model\nurl = @model\n"
                                      u"model = m\n"_s);
        QVERIFY(router);
        TranslationService service(router.get());
        QNetworkAccessManager net;
        QTest::ignoreMessage(QtInfoMsg, QRegularExpression(log));
        httpExchange(net, QUrl(u"http://127.0.0.1:%1/"_s.arg(service.listen(0))), "POST",
            programForm("en", "de", "Open%20%25s"));
        modelLoses.clear();
    }

    void windowFillsEveryLanguage()
    {
        const auto router = routerFor(
            u"[engines]\norder = apertium, llm\n[apertium]\n[llm]\ntype = language-model\nurl = @model\nmodel = m\n"_s);
        QVERIFY(router);
        TranslationService service(router.get());
        const quint16 port = service.listen(0);
        QVERIFY(port);
        setServiceUrl(QUrl(u"http://127.0.0.1:%1"_s.arg(port)));
        model.clearRequests();

        MainWindow window;
        window.show();
        setSource(window, u"English"_s, u"Hello world"_s);
        tickOnly(window, tarnix::catalogue::codes());
        translateButton(window)->click();
        QTRY_COMPARE_WITH_TIMEOUT(translateButton(window)->text(), u"Translate"_s, 60000);
        for (const QString &code : tarnix::catalogue::codes()) {
            if (code == u"en")
                continue;
            QPushButton *button = languageButton(window, code);
            QVERIFY2(button->isEnabled() && !button->toolTip().isEmpty(), qPrintable(code));
        }
        QVERIFY(languageButton(window, u"es"_s)->toolTip().startsWith(u"Hola"_s));
        QCOMPARE(translations(model), 16); // one per language Apertium lacks
    }
};

QTEST_MAIN(TestServiceRouting)
#include "test_service_routing.moc"
