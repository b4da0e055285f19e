#include "service/http/translationservice.h"

#include <numeric>
#include <optional>

#include <QDateTime>
#include <QElapsedTimer>
#include <QHostAddress>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QPointer>
#include <QSet>
#include <QTimer>
#include <QUrl>
#include <QUrlQuery>

#include "languages/languagetags.h"
#include "service/engines/batchqueue.h"
#include "service/engines/engine.h"
#include "service/engines/wholetext.h"
#include "service/http/batchform.h"
#include "service/http/clientlistener.h"
#include "service/http/form.h"
#include "service/http/guards.h"
#include "service/http/httpconnection.h"
#include "service/http/logescape.h"
#include "service/http/page.h"
#include "service/http/requestlog.h"
#include "service/http/requestreader.h"
#include "service/memory/memoryworker.h"
#include "service/text/placeholders.h"
#include "service/text/textpieces.h"
#include "service/text/translationtext.h"

using namespace Qt::StringLiterals;

namespace tarnix::service {

namespace {

// The statuses the service answers with.
enum class Status {
    Ok = 200,
    BadRequest = 400,
    NotFound = 404,
    MethodNotAllowed = 405,
    UnsupportedMediaType = 415,
    UnprocessableEntity = 422,
    ServiceUnavailable = 503,
};

// A placeholder named in a log line and an error page: on one line, short.
QString oneLine(QString text, qsizetype most = 120)
{
    for (QChar &c : text) {
        if (c.category() == QChar::Other_Control || c == QChar::LineSeparator || c == QChar::ParagraphSeparator)
            c = u' ';
    }
    return text.size() > most ? text.first(most - 1) + u'…' : text;
}

} // namespace

// Everything one answer needs once the engine is done; the request itself
// is gone by then.
struct TranslationService::Exchange
{
    Reply reply;
    QElapsedTimer clock;
    QString source;
    QString target;
    qsizetype characters = 0;
    QString engine; // the engine that answered, for the log
    bool fromMemory = false;
    bool person = false; // a person's translation answered
    QString note; // why a request was refused, for the log
    std::function<void()> forget; // takes it off the service's waiting list; called once
    bool json = false; // a batch: answered in JSON
    QByteArray allowed = "POST"_ba; // the method a 405 names

    ~Exchange()
    {
        if (forget)
            forget();
    }

    void answer(int status, const QByteArray &page)
    {
        if (reply.sent()) // answered "stopping" before the engine came back
            return;
        qInfo().noquote() << requestLogLine(QDateTime::currentDateTimeUtc(), source, target, status, clock.elapsed(),
                                 characters, engine, fromMemory)
                + (note.isEmpty() ? QString() : u" ("_s + escapeForLog(note) + u')');
        Answer sent {status, page, {}, json ? "application/json"_ba : "text/html; charset=utf-8"_ba};
        if (status == int(Status::MethodNotAllowed))
            sent.headers.append({"Allow"_ba, allowed});
        else if (fromMemory && status == int(Status::Ok)) // tarnix-fill counts these; the window ignores the header
            sent.headers.append({"X-Tarnix-Memory"_ba, "yes"_ba});
        if (person && status == int(Status::Ok))
            sent.headers.append({"X-Tarnix-Origin"_ba, "person"_ba});
        reply.send(std::move(sent));
        if (forget)
            std::exchange(forget, nullptr)();
    }

    void answer(Status status, const QByteArray &page) { answer(int(status), page); }

    void fail(int status, const QString &reason, const QString &message)
    {
        // Every refusal says why in the log; the error page's sentence, cut
        // short, where no shorter note was set (it never holds the text).
        if (note.isEmpty())
            note = oneLine(message, 160);
        answer(status, json ? batchErrorJson(message) : errorPage(status, reason, message));
    }

    void fail(Status status, const QString &reason, const QString &message) { fail(int(status), reason, message); }
};

namespace {

QByteArray mediaType(const HttpRequest &request)
{
    QByteArray contentType;
    for (const auto &[name, value] : request.headers) {
        if (name.compare("Content-Type", Qt::CaseInsensitive) == 0)
            contentType = value;
    }
    return contentType.split(';').first().trimmed().toLower();
}

// Reads the codes of a request's languages into the service's (see handle()).
std::optional<QString> readLanguages(QString &source, QString &target, const char *sourceField, const char *targetField)
{
    for (auto [field, code] : {std::pair {sourceField, &source}, std::pair {targetField, &target}}) {
        const auto read = languages::readLanguageCode(*code);
        if (!read)
            return u"The field %1 holds \"%2\", which is not a language code: write one like en, pt-BR or zh-Hans."_s
                .arg(QLatin1StringView(field), oneLine(*code).left(40));
        *code = *read;
    }
    return std::nullopt;
}

} // namespace

TranslationService::TranslationService(Engine *engine, const HttpLimits &limits, QObject *parent)
    : QObject(parent)
    , listener(new ClientListener(
          limits, [this](HttpRequest request, Reply reply) { handle(request, reply); }, this))
    , engine(engine)
{
    connect(listener, &ClientListener::idle, this, &TranslationService::idle);
}

TranslationService::~TranslationService() = default;

quint16 TranslationService::listen(quint16 port)
{
    return serving(listener->listen(QHostAddress::LocalHost, port));
}

quint16 TranslationService::listenOn(qintptr descriptor)
{
    // Clients reach this socket from wherever its unit lets them; it must be loopback only.
    return serving(
        listener->setSocketDescriptor(descriptor) && listener->isListening() && listener->serverAddress().isLoopback());
}

quint16 TranslationService::serving(bool listening)
{
    port = listening ? listener->serverPort() : 0;
    return port;
}

void TranslationService::stop()
{
    // First, so that the answers below close their connections.
    listener->stop();
    // A copy: answering empties the list.
    const auto unanswered = waiting;
    for (const std::weak_ptr<Exchange> &weak : unanswered) {
        if (const auto exchange = weak.lock()) {
            exchange->note = u"stopping"_s;
            exchange->fail(Status::ServiceUnavailable, u"Service Unavailable"_s,
                u"The translation service is stopping; ask again once it runs."_s);
        }
    }
}

void TranslationService::handle(const HttpRequest &request, const Reply &reply)
{
    const auto exchange =
        std::make_shared<Exchange>(Exchange {reply, {}, {}, {}, 0, {}, false, false, {}, {}, false, "POST"_ba});
    exchange->clock.start();
    const auto place = waiting.insert(waiting.end(), exchange);
    exchange->forget = [service = QPointer<TranslationService>(this), place]() {
        if (service)
            service->waiting.erase(place);
    };
    if (const auto refusal = refuseRequest(request, port)) {
        exchange->note = u"refused: "_s + refusal->logNote;
        exchange->fail(refusal->status, refusal->reason, refusal->message);
        return;
    }
    if (targetPath(request.target) == "/batch" || targetPath(request.target) == "/estimate") {
        exchange->json = true;
        if (targetPath(request.target) == "/batch")
            handleBatch(exchange, request);
        else
            handleEstimate(exchange, request);
        return;
    }
    if (targetPath(request.target) == "/glossary") {
        exchange->json = true;
        handleGlossary(exchange, request);
        return;
    }
    if (targetPath(request.target) == "/learn") {
        exchange->json = true;
        handleLearn(exchange, request);
        return;
    }
    if (targetPath(request.target) != "/") {
        exchange->fail(Status::NotFound, u"Not Found"_s, u"Translation requests are posted to \"/\"."_s);
        return;
    }
    if (request.method != "POST") {
        exchange->fail(Status::MethodNotAllowed, u"Method Not Allowed"_s, u"Translation requests use POST."_s);
        return;
    }
    if (mediaType(request) != "application/x-www-form-urlencoded") {
        exchange->fail(Status::UnsupportedMediaType, u"Unsupported Media Type"_s,
            u"The body must be application/x-www-form-urlencoded."_s);
        return;
    }
    const auto parsed = parseTranslationForm(request.body);
    if (const auto *error = std::get_if<FormError>(&parsed)) {
        exchange->fail(Status::BadRequest, u"Bad Request"_s, error->message);
        return;
    }
    TranslationForm form = std::get<TranslationForm>(parsed);
    exchange->source = form.source; // as written, for the log of a refused code
    exchange->target = form.target;
    // Codes as people write them ("he", "EN", "zh-Hans") name the service's
    // languages; a value that is no language code at all is the client's
    // mistake, while a real code no engine offers is refused below (422).
    for (auto [field, code] : {std::pair {"sl", &form.source}, std::pair {"tl", &form.target}}) {
        const auto read = languages::readLanguageCode(*code);
        if (!read) {
            const QString value = oneLine(*code).left(40);
            exchange->note = u"%1 \"%2\" is not a language code"_s.arg(QLatin1StringView(field), value);
            exchange->fail(Status::BadRequest, u"Bad Request"_s,
                u"The field %1 holds \"%2\", which is not a language code: write one like en, pt-BR or zh-Hans."_s.arg(
                    QLatin1StringView(field), value));
            return;
        }
        *code = *read;
    }
    exchange->source = form.source;
    exchange->target = form.target;
    exchange->characters = form.text.size();

    if (form.source == form.target) {
        exchange->answer(Status::Ok, translationPage(form.text));
        return;
    }
    const auto translate = [this, exchange, form]() {
        translateWholeText(engine,
            {form.source, form.target, form.text, form.context, terms, glossaryFor(form.source, form.target)},
            [exchange](const WholeTextResult &result) {
                exchange->engine = result.engine;
                exchange->note = result.note;
                switch (result.outcome) {
                case WholeTextResult::Outcome::Translated:
                    exchange->fromMemory = result.fromMemory;
                    exchange->answer(Status::Ok, translationPage(result.text));
                    return;
                case WholeTextResult::Outcome::Refused: {
                    // The log names the placeholder or the cut, never the text.
                    const QString fault = oneLine(result.text);
                    exchange->note =
                        (exchange->note.isEmpty() ? QString() : exchange->note + u"; "_s) + u"refused: "_s + fault;
                    exchange->fail(Status::UnprocessableEntity, u"Unprocessable Entity"_s,
                        u"The translation is not used: %1."_s.arg(fault));
                    return;
                }
                case WholeTextResult::Outcome::Unsupported:
                    exchange->note = u"no engine offers %1>%2"_s.arg(exchange->source, exchange->target);
                    exchange->fail(Status::UnprocessableEntity, u"Unprocessable Entity"_s, result.text);
                    return;
                case WholeTextResult::Outcome::Unavailable:
                    // Which engine was asked where, and why it did not translate.
                    exchange->note = oneLine(result.text, 400);
                    exchange->fail(Status::ServiceUnavailable, u"Service Unavailable"_s,
                        u"No engine that offers this pair translated it. %1"_s.arg(result.text));
                    return;
                }
            });
    };
    if (!memory) {
        translate();
        return;
    }
    memory->lookupPerson({QString(), form.source, form.target, form.text, form.context},
        [self = QPointer<TranslationService>(this), exchange, translate](const std::optional<PersonMatch> &found) {
            if (!found) {
                if (self)
                    translate();
                else
                    exchange->fail(Status::ServiceUnavailable, u"Service Unavailable"_s,
                        u"The translation service is stopping; ask again once it runs."_s);
                return;
            }
            exchange->fromMemory = true;
            exchange->person = true;
            exchange->note = found->sameContext ? u"a person's translation"_s
                                                : u"a person's translation, given for another context"_s;
            exchange->answer(Status::Ok, translationPage(found->translation));
        });
}

std::shared_ptr<BatchForm> TranslationService::readBatch(
    const std::shared_ptr<Exchange> &exchange, const HttpRequest &request)
{
    if (request.method != "POST") {
        exchange->fail(Status::MethodNotAllowed, u"Method Not Allowed"_s, u"Batch requests use POST."_s);
        return nullptr;
    }
    if (mediaType(request) != "application/json") {
        exchange->fail(
            Status::UnsupportedMediaType, u"Unsupported Media Type"_s, u"The body must be application/json."_s);
        return nullptr;
    }
    auto parsed = parseBatchForm(request.body);
    if (const auto *error = std::get_if<FormError>(&parsed)) {
        exchange->fail(Status::BadRequest, u"Bad Request"_s, error->message);
        return nullptr;
    }
    auto form = std::make_shared<BatchForm>(std::get<BatchForm>(std::move(parsed)));
    exchange->source = form->source;
    exchange->target = form->target;
    if (const auto wrong = readLanguages(form->source, form->target, "from", "to")) {
        exchange->fail(Status::BadRequest, u"Bad Request"_s, *wrong);
        return nullptr;
    }
    exchange->source = form->source;
    exchange->target = form->target;
    for (const BatchForm::Item &item : form->items)
        exchange->characters += item.text.size();
    return form;
}

void TranslationService::handleEstimate(const std::shared_ptr<Exchange> &exchange, const HttpRequest &request)
{
    const auto form = readBatch(exchange, request);
    if (!form)
        return;
    // The items a person's translation answers need no engine; the others'
    // texts are cut and masked as they would be sent, so that the memory is
    // asked for exactly what it would be asked for.
    // `people`: the items a person's translation would answer, with its score.
    const auto estimate = [this, exchange, form](const QHash<qsizetype, int> &people) {
        QList<BatchItem> pieces;
        QList<qsizetype> owner; // per piece: its item
        if (form->source != form->target) {
            const TokenForm tokens = engine->tokenForm(form->source, form->target);
            const qsizetype longest = engine->textLimits().longestText;
            const KeptTerms masked = engine->takesGlossary(form->source, form->target)
                ? terms
                : terms.withGlossary(glossaryFor(form->source, form->target));
            for (qsizetype i = 0; i < form->items.size(); ++i) {
                if (people.contains(i))
                    continue;
                for (const QString &piece : splitText(form->items[i].text, longest, masked).pieces) {
                    const PreparedText prepared = prepareForEngine(piece, tokens, masked);
                    if (prepared.masked.text.isEmpty())
                        continue;
                    pieces.append({prepared.masked.text, form->items[i].context});
                    owner.append(i);
                }
            }
        }
        QList<EstimatedItem> items(form->items.size());
        for (auto it = people.cbegin(); it != people.cend(); ++it) {
            items[it.key()].remembered = true;
            items[it.key()].personScore = it.value();
        }
        if (pieces.isEmpty()) {
            QTimer::singleShot(0, this,
                [exchange, form, items]() { exchange->answer(Status::Ok, estimateAnswerJson(*form, items, {})); });
            return;
        }
        engine->estimate(form->source, form->target, pieces,
            [exchange, form, owner, items](
                const QList<EngineShare> &shares, const QList<qsizetype> &unsupported) mutable {
                QList<qsizetype> piecesLeft(form->items.size(), 0); // per item: pieces not remembered
                for (const qsizetype item : owner)
                    ++piecesLeft[item];
                for (const EngineShare &share : shares) {
                    for (const qsizetype piece : share.items) {
                        if (items[owner[piece]].engine.isEmpty())
                            items[owner[piece]].engine = share.engine;
                    }
                    for (const qsizetype piece : share.remembered)
                        --piecesLeft[owner[piece]];
                }
                for (const qsizetype item : owner)
                    items[item].remembered = !items[item].engine.isEmpty() && piecesLeft[item] == 0;
                for (const qsizetype piece : unsupported)
                    items[owner[piece]].offered = false;
                exchange->note = u"estimate of %1"_s.arg(form->items.size());
                exchange->answer(Status::Ok, estimateAnswerJson(*form, items, shares));
            });
    };
    if (!memory || form->source == form->target) {
        estimate({});
        return;
    }
    struct Looking
    {
        qsizetype left = 0;
        QHash<qsizetype, int> people;
    };
    auto looking = std::make_shared<Looking>(Looking {form->items.size(), {}});
    for (qsizetype i = 0; i < form->items.size(); ++i) {
        memory->lookupPerson({QString(), form->source, form->target, form->items[i].text, form->items[i].context},
            [self = QPointer<TranslationService>(this), exchange, estimate, looking, i,
                key = MemoryKey {QString(), form->source, form->target, form->items[i].text, form->items[i].context}](
                const std::optional<PersonMatch> &found) {
                const auto looked = [self, exchange, estimate, looking, i](int score) {
                    if (score > 0)
                        looking->people.insert(i, score);
                    if (--looking->left > 0)
                        return;
                    if (self)
                        estimate(looking->people);
                    else
                        exchange->fail(Status::ServiceUnavailable, u"Service Unavailable"_s,
                            u"The translation service is stopping; ask again once it runs."_s);
                };
                // A close match of a person's translation answers a batch
                // item too: it needs no engine either.
                if (found || !self || !self->memory) {
                    looked(found ? 100 : 0);
                    return;
                }
                self->memory->closestPerson(key, [looked](const std::optional<CloseMatch> &close) {
                    looked(close ? std::max(1, close->score) : 0);
                });
            });
    }
}

void TranslationService::handleBatch(const std::shared_ptr<Exchange> &exchange, const HttpRequest &request)
{
    const auto form = readBatch(exchange, request);
    if (!form)
        return;

    struct Batch
    {
        QList<BatchItemAnswer> answers;
        qsizetype left = 0;
        QPointer<BatchQueue> queue;
        QStringList engines;
    };
    auto batch = std::make_shared<Batch>();
    batch->answers.resize(form->items.size());
    batch->left = form->items.size();
    batch->queue = new BatchQueue(engine, this);
    const auto settle = [exchange, form, batch](qsizetype index, BatchItemAnswer answer) {
        if (!answer.engine.isEmpty() && !batch->engines.contains(answer.engine))
            batch->engines.append(answer.engine);
        batch->answers[index] = std::move(answer);
        if (--batch->left > 0)
            return;
        if (batch->queue)
            batch->queue->deleteLater();
        qsizetype translated = 0;
        qsizetype remembered = 0;
        for (const BatchItemAnswer &each : batch->answers) {
            translated += each.status == 200 ? 1 : 0;
            remembered += each.fromMemory ? 1 : 0;
        }
        exchange->engine = batch->engines.join(u',');
        exchange->note = u"batch of %1: %2 translated, %3 of them from memory, %4 refused"_s.arg(
            QString::number(batch->answers.size()), QString::number(translated), QString::number(remembered),
            QString::number(batch->answers.size() - translated));
        exchange->answer(Status::Ok, batchAnswerJson(*form, batch->answers));
    };
    if (form->source == form->target) {
        for (qsizetype i = 0; i < form->items.size(); ++i) {
            QTimer::singleShot(0, this, [settle, i, text = form->items[i].text]() {
                settle(i, BatchItemAnswer {200, text, {}, false, 0, 0, false, {}, false, 0, {}});
            });
        }
        return;
    }
    // The items no person's translation answered go to the engines together,
    // in one turn of the event loop, so that the queue batches them.
    const auto translate = [this, settle, form, batch](const QList<qsizetype> &items) {
        for (const qsizetype i : items) {
            const BatchForm::Item &item = form->items[i];
            translateWholeText(batch->queue,
                {form->source, form->target, item.text, item.context, terms, glossaryFor(form->source, form->target)},
                [settle, i](const WholeTextResult &result) {
                    BatchItemAnswer answer {200, result.text, result.engine, result.fromMemory, result.requests,
                        result.characters, false, {}, false, 0, {}};
                    switch (result.outcome) {
                    case WholeTextResult::Outcome::Translated:
                        break;
                    case WholeTextResult::Outcome::Refused:
                        answer.status = int(Status::UnprocessableEntity);
                        answer.text = u"The translation is not used: %1."_s.arg(oneLine(result.text));
                        break;
                    case WholeTextResult::Outcome::Unsupported:
                        answer.status = int(Status::UnprocessableEntity);
                        break;
                    case WholeTextResult::Outcome::Unavailable:
                        answer.status = int(Status::ServiceUnavailable);
                        answer.text = u"No engine that offers this pair translated it. %1"_s.arg(result.text);
                        break;
                    }
                    settle(i, std::move(answer));
                });
        }
    };
    QList<qsizetype> all(form->items.size());
    std::iota(all.begin(), all.end(), 0);
    if (!memory) {
        translate(all);
        return;
    }
    struct Looking
    {
        qsizetype left = 0;
        QList<qsizetype> missed;
    };
    auto looking = std::make_shared<Looking>(Looking {form->items.size(), {}});
    for (const qsizetype i : std::as_const(all)) {
        const BatchForm::Item &item = form->items[i];
        memory->lookupPerson({QString(), form->source, form->target, item.text, item.context},
            [self = QPointer<TranslationService>(this), settle, translate, looking, i,
                key = MemoryKey {QString(), form->source, form->target, item.text, item.context}](
                const std::optional<PersonMatch> &found) {
                const auto looked = [self, settle, translate, looking, i](std::optional<BatchItemAnswer> answer) {
                    if (answer) {
                        // Never from within the call: the memory may answer at once.
                        QTimer::singleShot(0, [settle, i, answer = std::move(*answer)]() { settle(i, answer); });
                    } else {
                        looking->missed.append(i);
                    }
                    if (--looking->left > 0)
                        return;
                    if (self) {
                        translate(looking->missed);
                        return;
                    }
                    for (const qsizetype missed : std::as_const(looking->missed))
                        settle(missed,
                            BatchItemAnswer {int(Status::ServiceUnavailable), u"The service is stopping."_s, {}, false,
                                0, 0, false, {}, false, 0, {}});
                };
                if (found) {
                    looked(BatchItemAnswer {
                        200, found->translation, {}, true, 0, 0, true, found->note, !found->sameContext, 100, {}});
                    return;
                }
                if (!self || !self->memory) {
                    looked(std::nullopt);
                    return;
                }
                // A catalog's item may be a text a person translated once
                // with a word changed: that translation is offered, marked
                // with its score and text, before an engine is asked.
                self->memory->closestPerson(key, [looked](const std::optional<CloseMatch> &close) {
                    if (!close) {
                        looked(std::nullopt);
                        return;
                    }
                    looked(BatchItemAnswer {
                        200, close->translation, {}, true, 0, 0, true, close->note, false, close->score, close->text});
                });
            });
    }
}

void TranslationService::handleGlossary(const std::shared_ptr<Exchange> &exchange, const HttpRequest &request)
{
    if (request.method != "GET") {
        exchange->allowed = "GET"_ba;
        exchange->fail(Status::MethodNotAllowed, u"Method Not Allowed"_s, u"The glossary is read with GET."_s);
        return;
    }
    const QUrlQuery query(QUrl::fromEncoded(QByteArray(request.target)).query(QUrl::FullyDecoded));
    QString source = query.queryItemValue(u"from"_s, QUrl::FullyDecoded);
    QString target = query.queryItemValue(u"to"_s, QUrl::FullyDecoded);
    if (source.isEmpty())
        source = u"en"_s;
    exchange->source = source;
    exchange->target = target;
    if (const auto wrong = readLanguages(source, target, "from", "to")) {
        exchange->fail(Status::BadRequest, u"Bad Request"_s, *wrong);
        return;
    }
    exchange->source = source;
    exchange->target = target;
    QJsonArray terms;
    for (const GlossaryEntry &entry : glossaryFor(source, target).entries())
        terms.append(QJsonObject {{"source"_L1, entry.source}, {"target"_L1, entry.target}});
    exchange->note = u"glossary of %1 terms"_s.arg(terms.size());
    // Answered from the event loop, as every other answer is.
    QTimer::singleShot(0, this,
        [exchange, answer = glossaryAnswerJson(source, target, terms)]() { exchange->answer(Status::Ok, answer); });
}

void TranslationService::handleLearn(const std::shared_ptr<Exchange> &exchange, const HttpRequest &request)
{
    if (request.method != "POST") {
        exchange->fail(Status::MethodNotAllowed, u"Method Not Allowed"_s, u"Learn requests use POST."_s);
        return;
    }
    if (mediaType(request) != "application/json") {
        exchange->fail(
            Status::UnsupportedMediaType, u"Unsupported Media Type"_s, u"The body must be application/json."_s);
        return;
    }
    auto parsed = parseLearnForm(request.body);
    if (const auto *error = std::get_if<FormError>(&parsed)) {
        exchange->fail(Status::BadRequest, u"Bad Request"_s, error->message);
        return;
    }
    LearnForm form = std::get<LearnForm>(std::move(parsed));
    exchange->source = form.source;
    exchange->target = form.target;
    if (const auto wrong = readLanguages(form.source, form.target, "from", "to")) {
        exchange->fail(Status::BadRequest, u"Bad Request"_s, *wrong);
        return;
    }
    exchange->source = form.source;
    exchange->target = form.target;
    if (!memory) {
        exchange->fail(Status::ServiceUnavailable, u"Service Unavailable"_s,
            u"This service keeps no translation memory ([memory] in its configuration)."_s);
        return;
    }
    QList<PersonTranslation> entries;
    entries.reserve(form.texts.size());
    for (qsizetype i = 0; i < form.texts.size(); ++i) {
        exchange->characters += form.texts[i].text.size();
        entries.append({{QString(), form.source, form.target, form.texts[i].text, form.texts[i].context},
            form.translations[i], form.note});
    }
    memory->storePeople(entries, [exchange](const std::optional<qsizetype> &stored) {
        if (!stored) {
            exchange->fail(Status::ServiceUnavailable, u"Service Unavailable"_s,
                u"The translation memory did not confirm them in time (see the service's log). Send them again: "
                u"storing the same translations twice does no harm."_s);
            return;
        }
        exchange->note = u"learnt %1 people's translations"_s.arg(*stored);
        exchange->answer(
            Status::Ok, QJsonDocument(QJsonObject {{"stored"_L1, double(*stored)}}).toJson(QJsonDocument::Compact));
    });
}

void TranslationService::setKeptTerms(const QStringList &list)
{
    terms = KeptTerms(list);
}

void TranslationService::setGlossary(const GlossarySettings &settings)
{
    glossarySettings = settings;
    glossaries.clear();
}

const Glossary &TranslationService::glossaryFor(const QString &source, const QString &target)
{
    const QString pair = source + u'|' + target;
    auto it = glossaries.find(pair);
    if (it == glossaries.end())
        it = glossaries.insert(pair, Glossary(glossarySettings.entriesFor(source, target)));
    return *it;
}

} // namespace tarnix::service
