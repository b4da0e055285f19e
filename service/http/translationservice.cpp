#include "service/http/translationservice.h"

#include <optional>

#include <QDateTime>
#include <QElapsedTimer>
#include <QHostAddress>
#include <QHttpServerRequest>
#include <QHttpServerResponder>
#include <QPointer>
#include <QTcpSocket>

#include "service/engines/engine.h"
#include "service/engines/wholetext.h"
#include "service/http/clientlistener.h"
#include "service/http/form.h"
#include "service/http/guards.h"
#include "service/http/logescape.h"
#include "service/http/page.h"
#include "service/http/requestlog.h"
#include "service/text/languagetags.h"
#include "service/text/placeholders.h"
#include "service/text/translationtext.h"

using namespace Qt::StringLiterals;

namespace tarnix::service {

namespace {

using Status = QHttpServerResponder::StatusCode;

const QByteArray htmlType = QByteArrayLiteral("text/html; charset=utf-8");

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

// Everything one answer needs once the engine is done; the request object
// itself is gone by then.
struct TranslationService::Exchange
{
    QHttpServerResponder responder;
    QPointer<QTcpSocket> socket;
    QElapsedTimer clock;
    QString source;
    QString target;
    qsizetype characters = 0;
    QString engine; // the engine that answered, for the log
    std::optional<Status> status; // set once the answer is known
    QByteArray page;
    std::function<void()> answered;
    bool fromMemory = false;
    QString note; // why a request was refused, for the log

    void answer(Status answerStatus, const QByteArray &answerPage)
    {
        if (status) // answered "stopping" before the engine came back
            return;
        status = answerStatus;
        page = answerPage;
        qInfo().noquote() << requestLogLine(QDateTime::currentDateTimeUtc(), source, target, int(answerStatus),
                                 clock.elapsed(), characters, engine, fromMemory)
                + (note.isEmpty() ? QString() : u" ("_s + escapeForLog(note) + u')');
        answered();
    }

    void fail(Status answerStatus, const QString &reason, const QString &message)
    {
        // Every refusal says why in the log; the error page's sentence, cut
        // short, where no shorter note was set (it never holds the text).
        if (note.isEmpty())
            note = oneLine(message, 160);
        answer(answerStatus, errorPage(int(answerStatus), reason, message));
    }

    void write(bool closing)
    {
        // A client that gave up (a cancelled run) has closed its connection.
        if (!socket || socket->state() != QAbstractSocket::ConnectedState)
            return;
        responder.writeStatusLine(*status);
        responder.writeHeader("Content-Type", htmlType);
        if (*status == Status::MethodNotAllowed)
            responder.writeHeader("Allow", "POST");
        else if (fromMemory) // tarnix-fill counts these; the window ignores the header
            responder.writeHeader("X-Tarnix-Memory", "yes");
        if (closing)
            responder.writeHeader("Connection", "close");
        responder.writeHeader("Content-Length", QByteArray::number(page.size()));
        responder.writeBody(page);
    }
};

namespace {

bool isFormContentType(const QByteArray &contentType)
{
    const QByteArray type = contentType.split(';').first().trimmed().toLower();
    return type == "application/x-www-form-urlencoded";
}

} // namespace

TranslationService::TranslationService(Engine *engine, const HttpLimits &limits, QObject *parent)
    : QObject(parent)
    , listener(new ClientListener(limits, this))
    , engine(engine)
{
    connect(listener, &ClientListener::idle, this, &TranslationService::idle);
    server.route(u"/"_s, [this](const QHttpServerRequest &request, QHttpServerResponder &&responder) {
        handle(request, std::move(responder));
    });
    server.setMissingHandler([this](const QHttpServerRequest &request, QHttpServerResponder &&responder) {
        if (const auto exchange = open(request, std::move(responder)))
            exchange->fail(Status::NotFound, u"Not Found"_s, u"Translation requests are posted to \"/\"."_s);
    });
}

TranslationService::~TranslationService() = default;

// Every request passes here first: one refused by the guards is answered at
// once, and no exchange is returned for it.
std::shared_ptr<TranslationService::Exchange> TranslationService::open(
    const QHttpServerRequest &request, QHttpServerResponder &&responder)
{
    QTcpSocket *socket = responder.socket();
    listener->requestRead(socket);
    auto exchange =
        std::make_shared<Exchange>(Exchange {std::move(responder), socket, {}, {}, {}, 0, {}, {}, {}, {}, false, {}});
    exchange->clock.start();
    exchange->answered = [service = QPointer<TranslationService>(this), socket]() {
        if (service)
            service->writeAnswers(socket);
    };
    auto queue = queues.find(socket);
    if (queue == queues.end()) {
        queue = queues.insert(socket, {});
        connect(socket, &QObject::destroyed, this, [this, socket]() { queues.remove(socket); });
    }
    queue->push_back(exchange);
    if (const auto refusal = refuseRequest(request.headers(), socket->localPort())) {
        exchange->note = u"refused: "_s + refusal->logNote;
        exchange->fail(Status(refusal->status), refusal->reason, refusal->message);
        return nullptr;
    }
    return exchange;
}

void TranslationService::writeAnswers(QTcpSocket *socket)
{
    // A client may send its next request before the answer to the last one
    // (HTTP pipelining): answers leave in the order of the requests.
    auto queue = queues.find(socket);
    if (queue == queues.end())
        return;
    while (!queue->empty() && queue->front()->status) {
        queue->front()->write(stopping || listener->closesAfterAnswer(socket));
        queue->pop_front();
        listener->answerSent(socket);
    }
}

quint16 TranslationService::listen(quint16 port)
{
    return listener->listen(QHostAddress::LocalHost, port) ? serve() : 0;
}

quint16 TranslationService::listenOn(qintptr descriptor)
{
    // Clients reach this socket from wherever its unit lets them; it must be loopback only.
    return listener->setSocketDescriptor(descriptor) && listener->isListening()
            && listener->serverAddress().isLoopback()
        ? serve()
        : 0;
}

void TranslationService::stop()
{
    listener->close();
    stopping = true;
    // A copy: answering empties the queues.
    const auto waiting = queues;
    for (auto queue = waiting.cbegin(); queue != waiting.cend(); ++queue) {
        for (const auto &exchange : queue.value()) {
            if (!exchange->status) {
                exchange->note = u"stopping"_s;
                exchange->fail(Status::ServiceUnavailable, u"Service Unavailable"_s,
                    u"The translation service is stopping; ask again once it runs."_s);
            }
        }
    }
    for (QTcpSocket *socket : listener->findChildren<QTcpSocket *>()) {
        socket->flush();
        socket->disconnectFromHost();
    }
}

quint16 TranslationService::serve()
{
    server.bind(listener);
    return listener->serverPort();
}

void TranslationService::handle(const QHttpServerRequest &request, QHttpServerResponder &&responder)
{
    const std::shared_ptr<Exchange> exchange = open(request, std::move(responder));
    if (!exchange)
        return;

    if (request.method() != QHttpServerRequest::Method::Post) {
        exchange->fail(Status::MethodNotAllowed, u"Method Not Allowed"_s, u"Translation requests use POST."_s);
        return;
    }
    const QByteArray body = request.body();
    if (body.size() > maxBodyBytes) {
        exchange->fail(Status::PayloadTooLarge, u"Payload Too Large"_s,
            u"The request body is larger than %1 bytes."_s.arg(maxBodyBytes));
        return;
    }
    if (!isFormContentType(request.value("Content-Type"))) {
        exchange->fail(Status::UnsupportedMediaType, u"Unsupported Media Type"_s,
            u"The body must be application/x-www-form-urlencoded."_s);
        return;
    }
    const auto parsed = parseTranslationForm(body);
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
        const auto read = readLanguageCode(*code);
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
    translateWholeText(
        engine, {form.source, form.target, form.text, form.context, terms}, [exchange](const WholeTextResult &result) {
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
}

void TranslationService::setKeptTerms(const QStringList &list)
{
    terms = KeptTerms(list);
}

} // namespace tarnix::service
