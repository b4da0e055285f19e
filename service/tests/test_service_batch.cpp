#include <map>
#include <memory>
#include <optional>

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include "apyservice.h"
#include "httpclient.h"
#include "service/config.h"
#include "service/enginelist.h"
#include "service/engines/apyprotocol.h"
#include "service/engines/batch.h"
#include "service/engines/deeplengine.h"
#include "service/engines/deeplprotocol.h"
#include "service/engines/languagemodelengine.h"
#include "service/engines/languagemodelprotocol.h"
#include "service/engines/libretranslateengine.h"
#include "service/engines/libretranslateprotocol.h"
#include "service/engines/meteredengine.h"
#include "service/engines/router.h"
#include "service/http/translationservice.h"
#include "service/memory/memoryengine.h"
#include "service/memory/memoryworker.h"
#include "service/memory/translationmemory.h"
#include "tests/support/loopbackserver.h"

using namespace Qt::StringLiterals;
using namespace tarnix::service;
using tarnix::test::Answer;
using tarnix::test::LoopbackServer;
using tarnix::test::RecordedRequest;

namespace {

// A batch answer as one line: "too large", "failed", or each item's text,
// "?" for one not trusted, joined by "|".
QString shown(const BatchAnswer &answer)
{
    if (answer.tooLarge)
        return u"too large"_s;
    if (answer.failure)
        return u"failed"_s;
    QStringList items;
    for (const auto &item : answer.items)
        items.append(item.value_or(u"?"_s));
    return items.join(u'|');
}

QList<BatchItem> itemsOf(const QStringList &texts)
{
    QList<BatchItem> items;
    for (const QString &text : texts)
        items.append({text, {}});
    return items;
}

QByteArray chatAnswer(const QString &content, const char *finish = "stop")
{
    const QJsonObject message {{"role"_L1, "assistant"_L1}, {"content"_L1, content}};
    return QJsonDocument(
        QJsonObject {{"choices"_L1,
            QJsonArray {QJsonObject {{"message"_L1, message}, {"finish_reason"_L1, QLatin1StringView(finish)}}}}})
        .toJson(QJsonDocument::Compact);
}

// The glossaries of a DeepL account, served as DeepL's API documents them
// (POST and GET /v2/glossaries, GET and DELETE /v2/glossaries/{id}, GET
// /v2/glossary-language-pairs). They outlive the services that use them. A
// new glossary is ready once asked for by its id, as a large one may be.
struct DeepLAccount
{
    // FailsTranslations: every translate request is answered 503, as DeepL
    // answers when it is overloaded.
    enum class Behaviour { Faithful, WithoutSpanish, RefusesCreation, IgnoresGlossaries, FailsTranslations };
    struct Stored
    {
        QJsonObject glossary;
        QList<std::pair<QString, QString>> entries;
    };
    Behaviour behaviour = Behaviour::Faithful;
    QList<Stored> glossaries;
    int nextId = 1;
    int creationsAsked = 0;

    std::optional<Answer> answer(const RecordedRequest &request)
    {
        const auto json = [](int status, const QJsonValue &value, int delayMs = 0) {
            return Answer {Answer::Kind::Complete, status,
                value.isArray() ? QJsonDocument(value.toArray()).toJson() : QJsonDocument(value.toObject()).toJson(),
                {}, delayMs};
        };
        const QByteArray path = request.path;
        if (path == "/v2/glossary-language-pairs") {
            QJsonArray pairs {QJsonObject {{"source_lang"_L1, "en"_L1}, {"target_lang"_L1, "de"_L1}}};
            if (behaviour != Behaviour::WithoutSpanish)
                pairs.append(QJsonObject {{"source_lang"_L1, "en"_L1}, {"target_lang"_L1, "es"_L1}});
            return json(200, QJsonObject {{"supported_languages"_L1, pairs}});
        }
        if (path == "/v2/glossaries" && request.method == "GET") {
            QJsonArray list;
            for (const Stored &stored : std::as_const(glossaries))
                list.append(stored.glossary);
            return json(200, QJsonObject {{"glossaries"_L1, list}});
        }
        if (path == "/v2/glossaries" && request.method == "POST") {
            const QJsonObject body = QJsonDocument::fromJson(request.body).object();
            ++creationsAsked;
            if (behaviour == Behaviour::RefusesCreation)
                return json(456,
                    QJsonObject {
                        {"message"_L1, "Quota exceeded. The maximum amount of glossaries has been reached."_L1}});
            if (body.value("entries_format"_L1) != "tsv"_L1)
                return json(400, QJsonObject {{"message"_L1, "Unsupported entries format"_L1}});
            Stored stored;
            for (const QString &line : body.value("entries"_L1).toString().split(u'\n', Qt::SkipEmptyParts))
                stored.entries.append({line.section(u'\t', 0, 0), line.section(u'\t', 1)});
            stored.glossary = QJsonObject {{"glossary_id"_L1, u"g%1"_s.arg(nextId++)},
                {"name"_L1, body.value("name"_L1)}, {"ready"_L1, false},
                {"source_lang"_L1, body.value("source_lang"_L1)}, {"target_lang"_L1, body.value("target_lang"_L1)},
                {"creation_time"_L1, "2026-12-08T10:00:00Z"_L1}, {"entry_count"_L1, stored.entries.size()}};
            glossaries.append(stored);
            return json(201, stored.glossary, 200); // slow enough for requests to meet while it is made
        }
        if (path == "/v2/translate") {
            if (behaviour == Behaviour::FailsTranslations)
                return json(503, QJsonObject {{"message"_L1, "Service unavailable"_L1}});
            const QJsonValue id = QJsonDocument::fromJson(request.body).object().value("glossary_id"_L1);
            const bool known = std::any_of(glossaries.cbegin(), glossaries.cend(),
                [&id](const Stored &stored) { return stored.glossary.value("glossary_id"_L1) == id; });
            if (id.isUndefined() || known)
                return std::nullopt;
            return json(404, QJsonObject {{"message"_L1, "Glossary not found"_L1}});
        }
        if (!path.startsWith("/v2/glossaries/"))
            return std::nullopt;
        const QString id = QString::fromUtf8(path.sliced(qsizetype(strlen("/v2/glossaries/"))));
        for (qsizetype i = 0; i < glossaries.size(); ++i) {
            if (glossaries[i].glossary.value("glossary_id"_L1).toString() != id)
                continue;
            if (request.method == "DELETE") {
                glossaries.removeAt(i);
                return Answer {Answer::Kind::Complete, 204, {}, {}, 0};
            }
            glossaries[i].glossary.insert("ready"_L1, true);
            return json(200, glossaries[i].glossary);
        }
        return json(404, QJsonObject {{"message"_L1, "Glossary not found"_L1}});
    }

    // A text translated with the glossary a translate request names.
    QString applied(const QJsonObject &translate, QString text) const
    {
        if (behaviour == Behaviour::IgnoresGlossaries)
            return text;
        for (const Stored &stored : glossaries) {
            if (stored.glossary.value("glossary_id"_L1) != translate.value("glossary_id"_L1))
                continue;
            for (const auto &[term, translation] : stored.entries)
                text.replace(QRegularExpression(u"\\b%1\\b"_s.arg(QRegularExpression::escape(term)),
                                 QRegularExpression::CaseInsensitiveOption),
                    translation);
        }
        return text;
    }
};

// How a stand-in spoils its answer to a batch of more than one text.
enum class Fault { None, DropsOne, DuplicatesOne, Reorders, TooLarge, LosesBracketedTokens };

// The texts of a request to a stand-in of `kind`, and its answer with the
// texts translated (upper case, markup as it was), spoiled by `fault` when
// it holds several. DeepL's stand-in keeps its glossaries in `account`.
Answer standInAnswer(
    const QString &kind, const RecordedRequest &request, Fault fault, int &batches, DeepLAccount *account = nullptr)
{
    const auto ok = [](const QByteArray &body) { return Answer {Answer::Kind::Complete, 200, body, {}, 0}; };
    const QJsonObject json = QJsonDocument::fromJson(request.body).object();
    QStringList texts;
    if (kind == u"apertium") {
        if (request.path == "/listPairs")
            return ok(R"({"responseData": [{"sourceLanguage": "eng", "targetLanguage": "spa"}]})");
        if (request.path == "/translateChain")
            return ok(R"({"responseData": {"translationChain": ["eng", "spa"]}})");
        const QString q = QString::fromUtf8(QByteArray::fromPercentEncoding(request.formField("q")));
        texts = q.split(u"\n.\n"_s);
    } else if (kind == u"libretranslate") {
        if (request.path == "/languages")
            return ok(R"([{"code": "en", "targets": ["es"]}, {"code": "es", "targets": ["en"]}])");
        texts = json.value("q"_L1).isArray() ? json.value("q"_L1).toVariant().toStringList()
                                             : QStringList {json.value("q"_L1).toString()};
    } else if (kind == u"deepl") {
        if (request.path.startsWith("/v2/languages"))
            return ok(R"([{"language": "EN"}, {"language": "ES"}, {"language": "DE"}])");
        if (const auto glossaryAnswer = account ? account->answer(request) : std::nullopt)
            return *glossaryAnswer;
        texts = json.value("text"_L1).toVariant().toStringList();
        for (QString &text : texts)
            text = account ? account->applied(json, text) : text;
    } else {
        if (request.path.endsWith("/models"))
            return ok(R"({"data": [{"id": "m"}]})");
        const QString user = json.value("messages"_L1).toArray().at(1).toObject().value("content"_L1).toString();
        if (const auto members = orderedStringMembers(user); members && user.startsWith(u"{"_s)) {
            for (const auto &member : *members)
                texts.append(member.second);
        } else {
            texts = {user};
        }
    }
    const bool batch = texts.size() > 1
        || (kind == u"language-model" && texts.size() == 1
            && json.value("messages"_L1).toArray().at(1).toObject().value("content"_L1).toString().startsWith(u"{"_s));
    batches += batch ? 1 : 0;
    if (batch && fault == Fault::TooLarge && texts.size() > 2)
        return Answer {Answer::Kind::Complete, 413, "{}", {}, 0};
    QStringList keys;
    static const QRegularExpression markup(u"<[^>]*>"_s);
    for (qsizetype i = 0; i < texts.size(); ++i) {
        QString upper;
        qsizetype done = 0;
        for (auto it = markup.globalMatch(texts[i]); it.hasNext();) {
            const auto element = it.next();
            upper += texts[i].sliced(done, element.capturedStart() - done).toUpper() + element.captured();
            done = element.capturedEnd();
        }
        texts[i] = upper + texts[i].sliced(done).toUpper();
        if (fault == Fault::LosesBracketedTokens)
            texts[i].remove(QRegularExpression(u"\u27E6\\d+\u27E7"_s));
        keys.append(QString::number(i + 1));
    }
    if (texts.size() > 1) {
        if (fault == Fault::DropsOne) {
            texts.removeLast();
            keys.removeLast();
        } else if (fault == Fault::DuplicatesOne) {
            texts.insert(1, texts.first());
            keys.insert(1, keys.first());
        } else if (fault == Fault::Reorders) {
            texts.swapItemsAt(0, 1);
            keys.swapItemsAt(0, 1);
        }
    }
    if (kind == u"apertium")
        return ok(QJsonDocument(
            QJsonObject {{"responseData"_L1, QJsonObject {{"translatedText"_L1, texts.join(u"\n.\n"_s)}}}})
                      .toJson());
    if (kind == u"libretranslate")
        return ok(
            QJsonDocument(QJsonObject {{"translatedText"_L1,
                              batch ? QJsonValue(QJsonArray::fromStringList(texts)) : QJsonValue(texts.value(0))}})
                .toJson());
    if (kind == u"deepl") {
        QJsonArray translations;
        for (const QString &text : texts)
            translations.append(QJsonObject {{"text"_L1, text}});
        return ok(QJsonDocument(QJsonObject {{"translations"_L1, translations}}).toJson());
    }
    if (!batch)
        return ok(chatAnswer(texts.value(0)));
    QString object = u"{"_s;
    for (qsizetype i = 0; i < texts.size(); ++i)
        object += (i ? u", \""_s : u"\""_s) + keys[i] + u"\": \""_s + texts[i] + u'"';
    return ok(chatAnswer(object + u"}"_s));
}

std::unique_ptr<Engine> engineFor(const QString &kind, const QUrl &url)
{
    if (kind == u"apertium")
        return std::make_unique<ApertiumEngine>(url);
    if (kind == u"libretranslate")
        return std::make_unique<LibreTranslateEngine>(url, QString());
    if (kind == u"deepl")
        return std::make_unique<DeepLEngine>(url, u"key"_s);
    return std::make_unique<LanguageModelEngine>(url.resolved(QUrl(u"/v1"_s)), u"m"_s, QString());
}

QByteArray batchBody(const QStringList &texts, const QString &to = u"es"_s)
{
    QJsonArray items;
    for (qsizetype i = 0; i < texts.size(); ++i)
        items.append(QJsonObject {{"id"_L1, u"e%1"_s.arg(i)}, {"text"_L1, texts[i]}});
    return QJsonDocument(QJsonObject {{"from"_L1, "en"_L1}, {"to"_L1, to}, {"items"_L1, items}}).toJson();
}

// Ten plain interface texts of a real catalog (galculator's, as in fill/tests/data).
const QStringList plainTexts {u"Display control"_s, u"Clear the display"_s, u"Copy the result"_s, u"Paste a number"_s,
    u"Show the functions"_s, u"Open the preferences"_s, u"Quit the program"_s, u"Change the number base"_s,
    u"Use radians for angles"_s, u"Show the memory buttons"_s};

// A service in front of one engine, both given the team's glossary.
struct GlossaryService
{
    template <typename EngineType>
    GlossaryService(std::unique_ptr<EngineType> engine, const GlossarySettings &glossary)
        : router(alone(std::move(engine), glossary))
        , service(&router)
    {
        service.setGlossary(glossary);
        port = service.listen(0);
    }
    template <typename EngineType>
    static std::vector<std::unique_ptr<Engine>> alone(
        std::unique_ptr<EngineType> engine, const GlossarySettings &glossary)
    {
        engine->setGlossary(glossary);
        std::vector<std::unique_ptr<Engine>> engines;
        engines.push_back(std::move(engine));
        return engines;
    }
    Router router;
    TranslationService service;
    quint16 port = 0;
};

// A service configured as a user would, in `folder`: `conf` is its
// service.conf, "@deepl" and "@lt" in it the stand-ins' addresses, and
// `files` are written beside it (name: content).
struct ConfiguredService
{
    ConfiguredService(const QString &folder, QString conf, QMap<QString, QString> files, const LoopbackServer &deepL,
        const LoopbackServer *libreTranslate = nullptr)
    {
        qputenv("TARNIX_TEST_DEEPL_KEY", "k");
        QDir().mkpath(folder);
        files[u"service.conf"_s] =
            conf.replace(u"@deepl"_s, deepL.url().toString())
                .replace(u"@lt"_s, libreTranslate ? libreTranslate->url().toString() : QString());
        for (auto it = files.cbegin(); it != files.cend(); ++it) {
            QFile file(folder + u'/' + it.key());
            if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(it.value().toUtf8()) < 0)
                return;
        }
        const auto loaded = loadServiceConfig(folder + u"/service.conf"_s, true);
        if (const auto *why = std::get_if<QString>(&loaded)) {
            problem = *why;
            return;
        }
        const ServiceConfig &config = std::get<ServiceConfig>(loaded);
        router = makeRouter(config.engines, {}, nullptr, nullptr, nullptr, config.glossary);
        service = std::make_unique<TranslationService>(router.get());
        service->setGlossary(config.glossary);
        port = service->listen(0);
    }

    QString problem;
    std::unique_ptr<Router> router;
    std::unique_ptr<TranslationService> service;
    quint16 port = 0;
};

// Each text asked alone, then all of them in one batch: "<status> <the
// translation, or why not>" per answer, the single ones first.
QStringList askedAloneAndInBatch(quint16 port, const QString &target, const QStringList &texts)
{
    QNetworkAccessManager net;
    QStringList answers;
    for (const QString &text : texts) {
        const HttpAnswer single = httpExchange(net, QUrl(u"http://127.0.0.1:%1/"_s.arg(port)), "POST",
            programForm("en", target.toUtf8(), QUrl::toPercentEncoding(text)));
        const QString page = QString::fromUtf8(single.body);
        const QString translation = page.section(u"class=short_text>"_s, 1).section(u"</span>"_s, 0, 0);
        answers.append(u"%1 %2"_s.arg(single.status).arg(translation.isEmpty() ? page : translation));
    }
    const HttpAnswer batch = httpExchange(
        net, QUrl(u"http://127.0.0.1:%1/batch"_s.arg(port)), "POST", batchBody(texts, target), "application/json");
    for (const QJsonValue &item : QJsonDocument::fromJson(batch.body).object().value("items"_L1).toArray()) {
        const QJsonObject answer = item.toObject();
        answers.append(u"%1 %2"_s.arg(answer.value("status"_L1).toInt())
                           .arg(answer.value("text"_L1).toString() + answer.value("reason"_L1).toString()));
    }
    return answers;
}

} // namespace

// Batches: how each engine's answer to many texts is cut back and judged,
// hostile stand-ins of each engine through the real service, and batch
// answers of a real APy against its single answers.
class TestServiceBatch : public QObject
{
    Q_OBJECT

private slots:
    void answersAreCutBack_data()
    {
        QTest::addColumn<QString>("protocol");
        QTest::addColumn<int>("status");
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<int>("count");
        QTest::addColumn<QString>("expected");
        // APy: the translation of joinApyBatch(), cut at full-stop lines.
        QTest::newRow("apy aligned") << u"apy"_s << 200 << "Abrir\n.\nCerrar\n.\nUno\ndos"_ba << 3
                                     << u"Abrir|Cerrar|Uno\ndos"_s;
        QTest::newRow("apy stop with blanks") << u"apy"_s << 200 << "Abrir \n . \nCerrar"_ba << 2 << u"Abrir |Cerrar"_s;
        QTest::newRow("apy one lost") << u"apy"_s << 200 << "Abrir Cerrar"_ba << 2 << u"?|?"_s;
        QTest::newRow("apy one more") << u"apy"_s << 200 << "Abrir\n.\nCerrar\n.\n"_ba << 2 << u"?|?"_s;
        QTest::newRow("apy empty item") << u"apy"_s << 200 << "\n.\nCerrar"_ba << 2 << u"|Cerrar"_s;
        QTest::newRow("lt aligned") << u"lt"_s << 200 << R"({"translatedText": ["Abrir", "Cerrar"]})"_ba << 2
                                    << u"Abrir|Cerrar"_s;
        QTest::newRow("lt one lost") << u"lt"_s << 200 << R"({"translatedText": ["Abrir"]})"_ba << 2 << u"?|?"_s;
        QTest::newRow("lt one more") << u"lt"_s << 200 << R"({"translatedText": ["a", "b", "c"]})"_ba << 2 << u"?|?"_s;
        QTest::newRow("lt single string") << u"lt"_s << 200 << R"({"translatedText": "Abrir"})"_ba << 2 << u"?|?"_s;
        QTest::newRow("lt 413") << u"lt"_s << 413 << "{}"_ba << 2 << u"too large"_s;
        QTest::newRow("lt 500") << u"lt"_s << 500 << R"({"error": "x"})"_ba << 2 << u"failed"_s;
        QTest::newRow("deepl aligned")
            << u"deepl"_s << 200
            << "{\"translations\": [{\"text\": \"Abrir <x i=\\\"0\\\"/>\"}, {\"text\": \"Cerrar\"}]}"_ba << 2
            << u"Abrir \u27E60\u27E7|Cerrar"_s;
        QTest::newRow("deepl foreign markup")
            << u"deepl"_s << 200 << R"({"translations": [{"text": "<b>A</b>"}, {"text": "B"}]})"_ba << 2 << u"?|B"_s;
        QTest::newRow("deepl one lost") << u"deepl"_s << 200 << R"({"translations": [{"text": "A"}]})"_ba << 2
                                        << u"?|?"_s;
        QTest::newRow("deepl 413") << u"deepl"_s << 413 << "{}"_ba << 2 << u"too large"_s;
        QTest::newRow("deepl 456") << u"deepl"_s << 456 << "{}"_ba << 2 << u"failed"_s;
        QTest::newRow("model aligned") << u"model"_s << 200 << chatAnswer(u"{\"1\": \"Abrir\", \"2\": \"Cerrar\"}"_s)
                                       << 2 << u"Abrir|Cerrar"_s;
        QTest::newRow("model in a fence")
            << u"model"_s << 200 << chatAnswer(u"```json\n{\"1\": \"Abrir\", \"2\": \"Cerrar\"}\n```"_s) << 2
            << u"Abrir|Cerrar"_s;
        QTest::newRow("model one left out")
            << u"model"_s << 200 << chatAnswer(u"{\"1\": \"Abrir\"}"_s) << 2 << u"Abrir|?"_s;
        QTest::newRow("model out of order")
            << u"model"_s << 200 << chatAnswer(u"{\"2\": \"Cerrar\", \"1\": \"Abrir\"}"_s) << 2 << u"?|?"_s;
        QTest::newRow("model two swapped of three")
            << u"model"_s << 200 << chatAnswer(u"{\"2\": \"B\", \"1\": \"A\", \"3\": \"C\"}"_s) << 3 << u"?|?|C"_s;
        QTest::newRow("model last moved first")
            << u"model"_s << 200 << chatAnswer(u"{\"3\": \"C\", \"1\": \"A\", \"2\": \"B\"}"_s) << 3 << u"?|?|?"_s;
        QTest::newRow("model one left out, two swapped")
            << u"model"_s << 200 << chatAnswer(u"{\"3\": \"C\", \"2\": \"B\"}"_s) << 3 << u"?|?|?"_s;
        QTest::newRow("model key twice") << u"model"_s << 200
                                         << chatAnswer(u"{\"1\": \"Abrir\", \"1\": \"Abrir\", \"2\": \"C\"}"_s) << 2
                                         << u"?|?"_s;
        QTest::newRow("model key not sent")
            << u"model"_s << 200 << chatAnswer(u"{\"1\": \"Abrir\", \"2\": \"C\", \"3\": \"D\"}"_s) << 2 << u"?|?"_s;
        QTest::newRow("model chatty value")
            << u"model"_s << 200 << chatAnswer(u"{\"1\": \"Here is the translation: Abrir\", \"2\": \"C\"}"_s) << 2
            << u"?|C"_s;
        QTest::newRow("model cut off") << u"model"_s << 200 << chatAnswer(u"{\"1\": \"Abrir\"}"_s, "length") << 2
                                       << u"?|?"_s;
        QTest::newRow("model no object") << u"model"_s << 200 << chatAnswer(u"Abrir, Cerrar"_s) << 2 << u"?|?"_s;
        QTest::newRow("model string not closed")
            << u"model"_s << 200 << chatAnswer(u"{\"1\": \"Abrir\", \"2\": \"Cerr}"_s) << 2 << u"?|?"_s;
    }

    void answersAreCutBack()
    {
        QFETCH(QString, protocol);
        QFETCH(int, status);
        QFETCH(QByteArray, body);
        QFETCH(int, count);
        QFETCH(QString, expected);
        const QList<BatchItem> items = itemsOf(QStringList {u"Open"_s, u"Close"_s, u"One two"_s}.first(count));
        BatchAnswer answer;
        if (protocol == u"apy") {
            const auto split = splitApyBatch(QString::fromUtf8(body), count);
            answer.items.resize(std::size_t(count));
            for (qsizetype i = 0; split && i < count; ++i)
                answer.items[std::size_t(i)] = (*split)[i];
        } else if (protocol == u"lt") {
            answer = parseLibreTranslateBatch(status, body, count);
        } else if (protocol == u"deepl") {
            answer = parseDeepLBatch(status, body, count);
        } else {
            answer = parseChatCompletionBatch(status, body, items, u"es"_s);
        }
        QCOMPARE(shown(answer), expected);
    }

    void groupsKeepToLimits_data()
    {
        QTest::addColumn<QStringList>("texts");
        QTest::addColumn<QString>("expected"); // the groups' indices
        QTest::newRow("three per request") << QStringList {u"a"_s, u"b"_s, u"c"_s, u"d"_s} << u"0,1,2|3"_s;
        QTest::newRow("characters") << QStringList {u"aaaa"_s, u"bbbb"_s, u"cc"_s} << u"0|1,2"_s;
        QTest::newRow("one alone") << QStringList {u"a"_s, u"x\n.\ny"_s, u"b"_s} << u"0|1|2"_s;
        QTest::newRow("one too long") << QStringList {u"a"_s, u"bbbbbbbb"_s} << u"0|1"_s;
    }

    void groupsKeepToLimits()
    {
        QFETCH(QStringList, texts);
        QFETCH(QString, expected);
        QStringList groups;
        for (const QList<qsizetype> &group : batchGroups(
                 itemsOf(texts), BatchLimits {3, 7}, [](const BatchItem &item) { return !apyBatchable(item.text); })) {
            QStringList indices;
            for (const qsizetype index : group)
                indices.append(QString::number(index));
            groups.append(indices.join(u','));
        }
        QCOMPARE(groups.join(u'|'), expected);
    }

    void hostileEnginesThroughTheService_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<int>("fault");
        for (const QString &kind : {u"apertium"_s, u"libretranslate"_s, u"deepl"_s, u"language-model"_s}) {
            const auto row = [&](const char *name, Fault fault) {
                QTest::addRow("%s %s", qPrintable(kind), name) << kind << int(fault);
            };
            row("faithful", Fault::None);
            row("drops one", Fault::DropsOne);
            row("duplicates one", Fault::DuplicatesOne);
            row("too large", Fault::TooLarge);
            if (kind == u"language-model") // only keys tell a swap
                row("reorders", Fault::Reorders);
        }
    }

    void hostileEnginesThroughTheService()
    {
        QFETCH(QString, kind);
        QFETCH(int, fault);
        LoopbackServer standIn;
        QVERIFY(standIn.start());
        int batches = 0;
        standIn.setResponder(
            [&](const RecordedRequest &request) { return standInAnswer(kind, request, Fault(fault), batches); });
        QTemporaryDir dir;
        const QString path = dir.filePath(u"memory.sqlite"_s);
        MemoryWorker memory(path, [path] { return std::make_unique<TranslationMemory>(path, 1000); });
        std::vector<std::unique_ptr<Engine>> engines;
        EngineSpeed recorded;
        auto metered = std::make_unique<MeteredEngine>(engineFor(kind, standIn.url()), EnginePrice {}, EngineSpeed {},
            [&recorded](const EngineSpeed &speed) { recorded = speed; });
        const MeteredEngine *meter = metered.get();
        engines.push_back(std::make_unique<MemoryEngine>(std::move(metered), &memory));
        Router router(std::move(engines));
        TranslationService service(&router);
        const quint16 port = service.listen(0);
        QVERIFY(port);
        QNetworkAccessManager net;
        const QUrl url(u"http://127.0.0.1:%1/batch"_s.arg(port));
        // An estimate asks the engine nothing, and counts the requests a batch would take.
        const auto estimate = [&]() {
            return QJsonDocument::fromJson(httpExchange(net, QUrl(u"http://127.0.0.1:%1/estimate"_s.arg(port)), "POST",
                                               batchBody(plainTexts), "application/json")
                                               .body)
                .object();
        };
        const auto translations = [&]() {
            const auto all = standIn.requests();
            return std::count_if(all.cbegin(), all.cend(), [](const RecordedRequest &request) {
                return request.path.endsWith("translate") || request.path.endsWith("completions");
            });
        };
        const QJsonObject fresh = estimate();
        QCOMPARE(translations(), 0);
        QCOMPARE(fresh.value("engines"_L1).toArray().at(0).toObject().value("requests"_L1).toInt(), 1);
        QCOMPARE(fresh.value("engines"_L1).toArray().at(0).toObject().value("characters"_L1).toInt(),
            plainTexts.join(QString()).size());
        QCOMPARE(fresh.value("items"_L1).toArray().at(3).toObject().value("memory"_L1), QJsonValue(false));
        const HttpAnswer answer = httpExchange(net, url, "POST", batchBody(plainTexts), "application/json");
        QCOMPARE(answer.status, 200);
        QCOMPARE(answer.contentType, "application/json"_ba);
        const QJsonArray items = QJsonDocument::fromJson(answer.body).object().value("items"_L1).toArray();
        QCOMPARE(items.size(), plainTexts.size());
        for (qsizetype i = 0; i < plainTexts.size(); ++i) {
            const QJsonObject item = items.at(i).toObject();
            QCOMPARE(item.value("id"_L1).toString(), u"e%1"_s.arg(i));
            QCOMPARE(item.value("status"_L1).toInt(), 200);
            QCOMPARE(item.value("text"_L1).toString(), plainTexts[i].toUpper());
        }
        QVERIFY2(batches >= 1, "the engine was never sent a batch");
        // The items' shares of the requests add up to every request sent, splits and second asks included.
        double shares = 0;
        qsizetype characters = 0;
        for (const QJsonValue &item : items) {
            shares += item.toObject().value("requests"_L1).toDouble();
            characters += item.toObject().value("characters"_L1).toInteger();
        }
        QCOMPARE(qRound(shares * 1000), int(translations()) * 1000);
        // What the engine was sent, second asks included, and its speed from it.
        const qsizetype total = plainTexts.join(QString()).size();
        QVERIFY(characters >= total);
        QCOMPARE(qsizetype(meter->speed().characters), characters);
        QVERIFY(meter->speed().seconds > 0);
        QCOMPARE(recorded.characters, meter->speed().characters);
        QCOMPARE(estimatedCost({2, EnginePrice::Unit::Characters, {}}, 500000, 3), 1.0);
        QCOMPARE(estimatedCost({2, EnginePrice::Unit::Tokens, {}}, 500000, 3), 0.5009);
        const QJsonObject after = estimate();
        QCOMPARE(after.value("engines"_L1).toArray().at(0).toObject().value("requests"_L1).toInt(), 0);
        for (const QJsonValue &item : after.value("items"_L1).toArray())
            QCOMPARE(item.toObject().value("memory"_L1), QJsonValue(true));
        // Each item is remembered on its own: a single request is a memory hit.
        const qsizetype before = standIn.requests().size();
        const HttpAnswer single = httpExchange(
            net, QUrl(u"http://127.0.0.1:%1/"_s.arg(port)), "POST", programForm("en", "es", "Clear%20the%20display"));
        QCOMPARE(single.status, 200);
        QVERIFY(single.body.contains("CLEAR THE DISPLAY"));
        httpExchange(
            net, QUrl(u"http://127.0.0.1:%1/"_s.arg(port)), "POST", programForm("en", "es", "Copy%20the%20result"));
        QCOMPARE(standIn.requests().size(), before);
    }

    // An engine that loses bracketed tokens, in batches and alone, and keeps
    // numbers: the item is asked alone, then with the other token form, as
    // a single request is, and answered.
    void batchAnswerAskedAloneThenInTheOtherForm()
    {
        LoopbackServer standIn;
        QVERIFY(standIn.start());
        int batches = 0;
        standIn.setResponder([&](const RecordedRequest &request) {
            return standInAnswer(u"language-model"_s, request, Fault::LosesBracketedTokens, batches);
        });
        std::vector<std::unique_ptr<Engine>> engines;
        engines.push_back(engineFor(u"language-model"_s, standIn.url()));
        Router router(std::move(engines));
        TranslationService service(&router);
        const quint16 port = service.listen(0);
        QNetworkAccessManager net;
        const HttpAnswer answer = httpExchange(net, QUrl(u"http://127.0.0.1:%1/batch"_s.arg(port)), "POST",
            batchBody({u"Copied %d files"_s, u"Clear the display"_s}), "application/json");
        const QJsonArray items = QJsonDocument::fromJson(answer.body).object().value("items"_L1).toArray();
        QCOMPARE(items.size(), 2);
        QCOMPARE(items.at(0).toObject().value("text"_L1).toString(), u"COPIED %d FILES"_s);
        QCOMPARE(items.at(1).toObject().value("text"_L1).toString(), u"CLEAR THE DISPLAY"_s);
        QCOMPARE(batches, 1);
    }

    // A model is told the team's translation of the terms each request
    // holds and no others; an answer ignoring one is refused for its item
    // alone. (The stand-in answers in upper case: "CLEAR THE DISPLAY".)
    void modelFollowsTheGlossaryOrIsRefused()
    {
        LoopbackServer standIn;
        QVERIFY(standIn.start());
        int batches = 0;
        standIn.setResponder([&](const RecordedRequest &request) {
            return standInAnswer(u"language-model"_s, request, Fault::None, batches);
        });
        GlossarySettings glossary;
        glossary.tables.insert(
            u"es"_s, {{u"display"_s, u"pantalla"_s}, {u"window"_s, u"ventana"_s}, {u"result"_s, u"the result"_s}});
        GlossaryService service(
            std::make_unique<LanguageModelEngine>(standIn.url().resolved(QUrl(u"/v1"_s)), u"m"_s, QString()), glossary);
        const quint16 port = service.port;
        QNetworkAccessManager net;
        const HttpAnswer answer = httpExchange(net, QUrl(u"http://127.0.0.1:%1/batch"_s.arg(port)), "POST",
            batchBody({u"Clear the display"_s, u"Copy the result"_s}), "application/json");
        const QJsonArray items = QJsonDocument::fromJson(answer.body).object().value("items"_L1).toArray();
        QCOMPARE(items.size(), 2);
        QCOMPARE(items.at(0).toObject().value("status"_L1).toInt(), 422);
        QVERIFY2(items.at(0).toObject().value("reason"_L1).toString().contains(u"\"pantalla\" for \"display\""_s),
            answer.body.constData());
        QCOMPARE(items.at(1).toObject().value("text"_L1).toString(), u"COPY THE RESULT"_s);
        for (const RecordedRequest &request : standIn.requests()) {
            const QString prompt = QJsonDocument::fromJson(request.body)
                                       .object()
                                       .value("messages"_L1)
                                       .toArray()
                                       .at(0)
                                       .toObject()
                                       .value("content"_L1)
                                       .toString();
            const QString sent = QString::fromUtf8(request.body);
            QCOMPARE(prompt.contains(u"\"display\" as \"pantalla\""_s), sent.contains(u"Clear the display"_s));
            QVERIFY(!prompt.contains(u"ventana"_s));
        }
        QVERIFY(standIn.requests().size() > 1); // the refused item was asked again
        // What a client holding people's translations to it is given: the pair's terms, in order.
        const auto glossaryOf = [&](const QByteArray &method, const QString &query) {
            return httpExchange(
                net, QUrl(u"http://127.0.0.1:%1/glossary?%2"_s.arg(port).arg(query)), method, {}, "application/json");
        };
        const HttpAnswer spanish = glossaryOf("GET", u"from=en&to=es"_s);
        const QJsonArray terms = QJsonDocument::fromJson(spanish.body).object().value("terms"_L1).toArray();
        QVERIFY2(spanish.status == 200 && terms.size() == 3, spanish.body.constData());
        QCOMPARE(terms.at(1).toObject().value("source"_L1).toString(), u"window"_s);
        QCOMPARE(terms.at(1).toObject().value("target"_L1).toString(), u"ventana"_s);
        QCOMPARE(QJsonDocument::fromJson(glossaryOf("GET", u"to=de"_s).body)["terms"_L1].toArray().size(), 0);
        QCOMPARE(glossaryOf("GET", u"to=English"_s).status, 400);
        QCOMPARE(glossaryOf("POST", u"to=es"_s).status, 405);
    }

    // DeepL is given the team's glossary as a DeepL glossary: one per pair
    // and version of the file, made once however many requests (at once or
    // not, single or in batches) come and kept across restarts of the
    // service. A pair without DeepL glossaries, or one DeepL does not make,
    // has its terms masked instead; an answer that ignores the glossary is
    // refused. Each version is one run of a new service against the same
    // account; "display" is the term, its translation the version.
    void deepLUsesItsGlossary_data()
    {
        using Behaviour = DeepLAccount::Behaviour;
        QTest::addColumn<QStringList>("versions");
        QTest::addColumn<bool>("atOnce");
        QTest::addColumn<int>("behaviour");
        QTest::addColumn<int>("creations"); // POST /v2/glossaries asked
        QTest::addColumn<int>("kept"); // glossaries on the account at the end
        QTest::addColumn<QString>("outcome"); // glossary, masked or refused
        const QStringList one {u"pantalla"_s};
        QTest::newRow("many requests, one glossary")
            << one << false << int(Behaviour::Faithful) << 1 << 1 << u"glossary"_s;
        QTest::newRow("requests at once, one glossary")
            << one << true << int(Behaviour::Faithful) << 1 << 1 << u"glossary"_s;
        QTest::newRow("restart reuses it") << QStringList {u"pantalla"_s, u"pantalla"_s} << true
                                           << int(Behaviour::Faithful) << 1 << 1 << u"glossary"_s;
        QTest::newRow("changed file, a new one replaces it") << QStringList {u"pantalla"_s, u"monitor"_s} << false
                                                             << int(Behaviour::Faithful) << 2 << 1 << u"glossary"_s;
        QTest::newRow("pair without glossaries: masked")
            << one << false << int(Behaviour::WithoutSpanish) << 0 << 0 << u"masked"_s;
        QTest::newRow("creation refused: masked")
            << one << true << int(Behaviour::RefusesCreation) << 1 << 0 << u"masked"_s;
        QTest::newRow("glossary ignored: refused")
            << one << false << int(Behaviour::IgnoresGlossaries) << 1 << 1 << u"refused"_s;
    }

    void deepLUsesItsGlossary()
    {
        QFETCH(QStringList, versions);
        QFETCH(bool, atOnce);
        QFETCH(int, behaviour);
        QFETCH(int, creations);
        QFETCH(int, kept);
        QFETCH(QString, outcome);
        LoopbackServer standIn;
        QVERIFY(standIn.start());
        DeepLAccount account;
        account.behaviour = DeepLAccount::Behaviour(behaviour);
        int batches = 0;
        standIn.setResponder([&](const RecordedRequest &request) {
            return standInAnswer(u"deepl"_s, request, Fault::None, batches, &account);
        });
        const QStringList texts {u"Clear the display"_s, u"Show the display"_s, u"Copy the result"_s};
        for (const QString &version : versions) {
            GlossarySettings glossary;
            glossary.tables.insert(u"es"_s, {{u"display"_s, version}, {u"window"_s, u"ventana"_s}});
            GlossaryService service(std::make_unique<DeepLEngine>(standIn.url(), u"k"_s), glossary);
            const quint16 port = service.port;
            QNetworkAccessManager net;
            standIn.clearRequests();
            // Each text alone and the three in one batch, one after the other or all at once.
            QList<QNetworkReply *> replies;
            for (const QString &text : texts + QStringList {QString()}) {
                QNetworkRequest request(
                    QUrl(u"http://127.0.0.1:%1/%2"_s.arg(port).arg(text.isEmpty() ? u"batch"_s : u""_s)));
                request.setHeader(QNetworkRequest::ContentTypeHeader,
                    text.isEmpty() ? "application/json"_ba : "application/x-www-form-urlencoded"_ba);
                replies.append(net.post(request,
                    text.isEmpty() ? batchBody(texts) : programForm("en", "es", QUrl::toPercentEncoding(text))));
                if (!atOnce)
                    QTRY_VERIFY_WITH_TIMEOUT(replies.last()->isFinished(), 20000);
            }
            QStringList answers; // per text, its answers alone and in the batch
            for (QNetworkReply *reply : std::as_const(replies)) {
                QTRY_VERIFY_WITH_TIMEOUT(reply->isFinished(), 20000);
                const QByteArray body = reply->readAll();
                const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
                reply->deleteLater();
                if (answers.size() < texts.size()) {
                    answers.append(u"%1 %2"_s.arg(status).arg(QString::fromUtf8(body)));
                    continue;
                }
                QCOMPARE(status, 200);
                const QJsonArray items = QJsonDocument::fromJson(body).object().value("items"_L1).toArray();
                for (qsizetype i = 0; i < texts.size(); ++i) {
                    const QJsonObject item = items.at(i).toObject();
                    answers[i] += u" | %1 %2"_s.arg(item.value("status"_L1).toInt())
                                      .arg(item.value("text"_L1).toString() + item.value("reason"_L1).toString());
                }
            }
            // With DeepL's glossary the stand-in writes the term (upper case,
            // as every word); masked, the service puts the team's in.
            const QString term = outcome == u"glossary" ? version.toUpper() : version;
            for (qsizetype i = 0; i < texts.size(); ++i) {
                const bool hasTerm = texts[i].contains(u"display"_s);
                const QString translated =
                    hasTerm ? texts[i].toUpper().replace(u"DISPLAY"_s, term) : texts[i].toUpper();
                if (outcome == u"refused" && hasTerm)
                    QVERIFY2(answers[i].startsWith(u"422"_s) && answers[i].contains(u" | 422"_s)
                            && answers[i].count(u"pantalla"_s) == 2,
                        qPrintable(answers[i]));
                else
                    QVERIFY2(answers[i].startsWith(u"200"_s) && answers[i].count(translated) == 2,
                        qPrintable(answers[i] + u" lacks "_s + translated));
            }
            // What DeepL was sent: the glossary in every translate request, the batch's too, or the terms masked.
            qsizetype sentTerms = 0;
            qsizetype firstSent = 0; // requests that held the first text: a refused one was asked again
            bool batchWithGlossary = false;
            for (const RecordedRequest &request : standIn.requests()) {
                if (request.path != "/v2/translate")
                    continue;
                const QJsonObject json = QJsonDocument::fromJson(request.body).object();
                QCOMPARE(json.contains("glossary_id"_L1), outcome != u"masked");
                QCOMPARE(json.value("source_lang"_L1).toString(), u"EN"_s);
                sentTerms += request.body.count("display");
                firstSent += request.body.contains("Clear the display") ? 1 : 0;
                batchWithGlossary |= json.value("text"_L1).toArray().size() > 1 && json.contains("glossary_id"_L1);
            }
            QCOMPARE(sentTerms == 0, outcome == u"masked");
            if (outcome != u"masked")
                QCOMPARE(firstSent, outcome == u"refused" ? 3 : 2);
            QCOMPARE(batchWithGlossary, outcome != u"masked");
        }
        QCOMPARE(account.creationsAsked, creations);
        QTRY_COMPARE(account.glossaries.size(), kept);
    }

    // A glossary deleted from the account meanwhile: the request naming it
    // fails, and the pair's next request makes it again.
    void deepLGlossaryDeletedMeanwhile()
    {
        LoopbackServer standIn;
        QVERIFY(standIn.start());
        DeepLAccount account;
        int batches = 0;
        standIn.setResponder([&](const RecordedRequest &request) {
            return standInAnswer(u"deepl"_s, request, Fault::None, batches, &account);
        });
        GlossarySettings glossary;
        glossary.tables.insert(u"es"_s, {{u"display"_s, u"pantalla"_s}});
        DeepLEngine engine(standIn.url(), u"k"_s);
        engine.setGlossary(glossary);
        const auto prepared = [&engine]() {
            bool done = false;
            engine.prepareGlossary(u"en"_s, u"es"_s, [&done]() { done = true; });
            return QTest::qWaitFor([&done]() { return done; }, 10000) && engine.takesGlossary(u"en"_s, u"es"_s);
        };
        const auto translated = [&engine]() {
            std::optional<EngineResult> result;
            engine.translate(
                u"en"_s, u"es"_s, u"Clear the display"_s, [&result](const EngineResult &answer) { result = answer; });
            return QTest::qWaitFor([&result]() { return result.has_value(); }, 10000) ? result->text : u"no answer"_s;
        };
        QVERIFY(prepared());
        // The request that finds the glossary gone has it made again and is
        // sent once more; so are a batch's texts.
        account.glossaries.clear();
        QCOMPARE(translated(), u"CLEAR THE PANTALLA"_s);
        QCOMPARE(account.creationsAsked, 2);
        account.glossaries.clear();
        std::optional<QStringList> texts;
        engine.translateBatch(u"en"_s, u"es"_s, itemsOf({u"Clear the display"_s, u"Show the display"_s}),
            [&texts](const std::vector<EngineResult> &results) {
                texts.emplace();
                for (const EngineResult &result : results)
                    texts->append(result.text);
            });
        QVERIFY(QTest::qWaitFor([&texts]() { return texts.has_value(); }, 10000));
        QCOMPARE(*texts, (QStringList {u"CLEAR THE PANTALLA"_s, u"SHOW THE PANTALLA"_s}));
        QCOMPARE(account.creationsAsked, 3);
    }

    // The glossary goes to the engine that translates the pair: to DeepL
    // where the engine before it lacks the pair. Where DeepL, sent the
    // terms as written with its glossary, fails a text, the next engine is
    // sent the terms masked, as if it had been asked first. LibreTranslate's
    // stand-in has en>es only; the stand-ins answer in upper case, DeepL's
    // with its glossary's terms, and a masked term comes back as the team's.
    void glossaryGoesWithTheEngineThatTranslates_data()
    {
        QTest::addColumn<QString>("order");
        QTest::addColumn<QString>("target");
        QTest::addColumn<int>("behaviour");
        QTest::addColumn<QString>("translation"); // of "Clear the display"
        QTest::addColumn<QString>("deepLSent"); // glossary, masked or nothing
        using Behaviour = DeepLAccount::Behaviour;
        QTest::newRow("DeepL first, its glossary")
            << u"deepl, lt"_s << u"es"_s << int(Behaviour::Faithful) << u"CLEAR THE PANTALLA"_s << u"glossary"_s;
        QTest::newRow("DeepL after one without the pair, its glossary")
            << u"lt, deepl"_s << u"de"_s << int(Behaviour::Faithful) << u"CLEAR THE ANZEIGE"_s << u"glossary"_s;
        QTest::newRow("DeepL after one with the pair, not asked")
            << u"lt, deepl"_s << u"es"_s << int(Behaviour::Faithful) << u"CLEAR THE pantalla"_s << u"nothing"_s;
        QTest::newRow("DeepL fails, the next one masked")
            << u"deepl, lt"_s << u"es"_s << int(Behaviour::FailsTranslations) << u"CLEAR THE pantalla"_s
            << u"glossary"_s;
    }

    void glossaryGoesWithTheEngineThatTranslates()
    {
        QFETCH(QString, order);
        QFETCH(QString, target);
        QFETCH(int, behaviour);
        QFETCH(QString, translation);
        QFETCH(QString, deepLSent);
        LoopbackServer deepL;
        LoopbackServer libreTranslate;
        QVERIFY(deepL.start() && libreTranslate.start());
        DeepLAccount account;
        account.behaviour = DeepLAccount::Behaviour(behaviour);
        int batches = 0;
        deepL.setResponder([&](const RecordedRequest &request) {
            return standInAnswer(u"deepl"_s, request, Fault::None, batches, &account);
        });
        libreTranslate.setResponder([&](const RecordedRequest &request) {
            return standInAnswer(u"libretranslate"_s, request, Fault::None, batches);
        });
        QTemporaryDir dir;
        const ConfiguredService configured(dir.path(),
            u"[engines]\norder = %1\n[deepl]\nurl = @deepl\nkey-env = TARNIX_TEST_DEEPL_KEY\n"
            u"[lt]\ntype = libretranslate\nurl = @lt\n[glossary]\nes = es.csv\nde = de.csv\n"_s.arg(order),
            {{u"es.csv"_s, u"display,pantalla\n"_s}, {u"de.csv"_s, u"display,Anzeige\n"_s}}, deepL, &libreTranslate);
        QVERIFY2(configured.port, qPrintable(configured.problem));
        const QStringList answers =
            askedAloneAndInBatch(configured.port, target, {u"Clear the display"_s, u"Copy the result"_s});
        const QString plain = u"200 COPY THE RESULT"_s;
        QCOMPARE(answers, (QStringList {u"200 "_s + translation, plain, u"200 "_s + translation, plain}));
        // DeepL's translate requests: with its glossary and the term as written, or masked.
        QStringList sent;
        for (const RecordedRequest &request : deepL.requests()) {
            if (request.path != "/v2/translate")
                continue;
            const bool withGlossary = QJsonDocument::fromJson(request.body).object().contains("glossary_id"_L1);
            if (request.body.contains("Clear the"))
                QCOMPARE(request.body.contains("Clear the display"), withGlossary);
            sent.append(withGlossary ? u"glossary"_s : u"masked"_s);
        }
        sent.removeDuplicates();
        QCOMPARE(sent.value(0, u"nothing"_s), deepLSent);
        QCOMPARE(sent.size(), deepLSent == u"nothing" ? 0 : 1);
    }

    // Services that share a DeepL account but read other glossary files
    // (other folders here, as on other hosts) keep each their own DeepL
    // glossary: a new version deletes only the older versions made of the
    // same files, and a glossary named as before names held their origin.
    // Each step is one service's folder and its Spanish term for "display";
    // a service is started on its folder's first step, and started again
    // when its file changes or the step says "restart".
    void deepLGlossariesOfOtherFilesStay_data()
    {
        QTest::addColumn<QStringList>("steps");
        QTest::addColumn<bool>("olderNames"); // the account holds glossaries named before and others' own
        QTest::addColumn<int>("creations");
        QTest::addColumn<int>("kept");
        QTest::newRow("two files, each its own")
            << QStringList {u"a pantalla"_s, u"b monitor"_s, u"a pantalla"_s, u"b monitor"_s} << false << 2 << 2;
        QTest::newRow("a restart reuses its own")
            << QStringList {u"a pantalla"_s, u"b monitor"_s, u"a pantalla restart"_s} << false << 2 << 2;
        QTest::newRow("a changed file replaces only its own")
            << QStringList {u"a pantalla"_s, u"b monitor"_s, u"a visor"_s, u"b monitor"_s} << false << 3 << 2;
        QTest::newRow("older names deleted, others' left") << QStringList {u"a pantalla"_s} << true << 1 << 3;
    }

    void deepLGlossariesOfOtherFilesStay()
    {
        QFETCH(QStringList, steps);
        QFETCH(bool, olderNames);
        QFETCH(int, creations);
        QFETCH(int, kept);
        LoopbackServer deepL;
        QVERIFY(deepL.start());
        DeepLAccount account;
        int batches = 0;
        deepL.setResponder([&](const RecordedRequest &request) {
            return standInAnswer(u"deepl"_s, request, Fault::None, batches, &account);
        });
        if (olderNames) {
            // As an earlier version named en>es, and as it named en>es-…
            // (not this pair), and a glossary the team made by hand.
            for (const QString &name :
                {u"tarnix-en-es-0123456789ab"_s, u"tarnix-en-es-MX-0123456789ab"_s, u"team terms"_s}) {
                DeepLAccount::Stored stored;
                stored.glossary = QJsonObject {{"glossary_id"_L1, u"old%1"_s.arg(account.glossaries.size())},
                    {"name"_L1, name}, {"ready"_L1, true}, {"source_lang"_L1, "en"_L1}, {"target_lang"_L1, "es"_L1},
                    {"entry_count"_L1, 0}};
                account.glossaries.append(stored);
            }
        }
        QTemporaryDir dir;
        std::map<QString, std::unique_ptr<ConfiguredService>> services;
        std::map<QString, QString> terms;
        for (const QString &step : steps) {
            const QString folder = step.section(u' ', 0, 0);
            const QString term = step.section(u' ', 1, 1);
            if (!services[folder] || terms[folder] != term || step.endsWith(u" restart"_s)) {
                services[folder].reset();
                services[folder] = std::make_unique<ConfiguredService>(dir.filePath(folder),
                    u"[engines]\norder = deepl\n[deepl]\nurl = @deepl\nkey-env = TARNIX_TEST_DEEPL_KEY\n"
                    u"[glossary]\nes = es.csv\n"_s,
                    QMap<QString, QString> {{u"es.csv"_s, u"display,%1\n"_s.arg(term)}}, deepL);
                terms[folder] = term;
            }
            QVERIFY2(services[folder]->port, qPrintable(services[folder]->problem));
            const QStringList answers = askedAloneAndInBatch(services[folder]->port, u"es"_s, {u"Clear the display"_s});
            const QString translated = u"200 CLEAR THE "_s + term.toUpper();
            QCOMPARE(answers, (QStringList {translated, translated}));
        }
        QCOMPARE(account.creationsAsked, creations);
        QTRY_COMPARE(account.glossaries.size(), kept);
    }

    void refusesMalformedBatches_data()
    {
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<QString>("reason");
        QTest::newRow("not JSON") << "{"_ba << u"not JSON"_s;
        QTest::newRow("no items") << R"({"from": "en", "to": "es", "items": []})"_ba << u"at least one"_s;
        QTest::newRow("id twice") << R"({"from": "en", "to": "es", "items": [{"id": 1, "text": "a"},
                                     {"id": 1, "text": "b"}]})"_ba
                                  << u"id of an earlier"_s;
        QTest::newRow("no text") << R"({"from": "en", "to": "es", "items": [{"id": 1}]})"_ba << u"no \"text\""_s;
        QTest::newRow("no language") << R"({"from": "English", "to": "es", "items": [{"id": 1, "text": "a"}]})"_ba
                                     << u"not a language code"_s;
    }

    void refusesMalformedBatches()
    {
        QFETCH(QByteArray, body);
        QFETCH(QString, reason);
        Router router({});
        TranslationService service(&router);
        const quint16 port = service.listen(0);
        QNetworkAccessManager net;
        const HttpAnswer answer =
            httpExchange(net, QUrl(u"http://127.0.0.1:%1/batch"_s.arg(port)), "POST", body, "application/json");
        QCOMPARE(answer.status, 400);
        const QString error = QJsonDocument::fromJson(answer.body).object().value("error"_L1).toString();
        QVERIFY2(error.contains(reason), qPrintable(error));
    }

    // Real catalog messages through a real APy: each text of a batch comes
    // back as its single request's answer.
    void apyBatchEqualsSingle()
    {
        TARNIX_REQUIRE_APY();
        tarnix::service::test::ApyService apy;
        const QString problem = apy.start();
        QVERIFY2(problem.isEmpty(), qPrintable(problem));
        QFile po(QFINDTESTDATA("../../fill/tests/data/galculator_es.accelerators.po"));
        QVERIFY(po.open(QIODevice::ReadOnly));
        QStringList texts;
        const QRegularExpression msgid(u"^msgid \"(.+)\"$"_s, QRegularExpression::MultilineOption);
        for (auto it = msgid.globalMatch(QString::fromUtf8(po.readAll())); it.hasNext();)
            texts.append(it.next().captured(1).remove(u'_'));
        texts += plainTexts;
        texts += {u"%s of %d files copied."_s, u"Could not open the file: permission denied"_s,
            u"The value must be\nbetween one and ten"_s};
        std::optional<std::vector<EngineResult>> batch;
        apy.engine->translateBatch(
            u"en"_s, u"es"_s, itemsOf(texts), [&batch](const std::vector<EngineResult> &results) { batch = results; });
        QTRY_VERIFY_WITH_TIMEOUT(batch.has_value(), 60000);
        for (qsizetype i = 0; i < texts.size(); ++i) {
            std::optional<EngineResult> single;
            apy.engine->translate(
                u"en"_s, u"es"_s, texts[i], [&single](const EngineResult &result) { single = result; });
            QTRY_VERIFY_WITH_TIMEOUT(single.has_value(), 30000);
            QCOMPARE((*batch)[std::size_t(i)].status, EngineResult::Status::Translated);
            QCOMPARE((*batch)[std::size_t(i)].text, single->text);
        }
    }
};

QTEST_GUILESS_MAIN(TestServiceBatch)
#include "test_service_batch.moc"
