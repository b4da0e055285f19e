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
#include "service/http/clientlistener.h"
#include "service/http/form.h"
#include "service/http/guards.h"
#include "service/http/page.h"
#include "service/http/requestlog.h"
#include "service/text/placeholders.h"
#include "service/text/translationtext.h"

using namespace Qt::StringLiterals;

namespace tarnix::service {

namespace {

using Status = QHttpServerResponder::StatusCode;

const QByteArray htmlType = QByteArrayLiteral("text/html; charset=utf-8");

// A placeholder named in a log line and an error page: on one line, short.
QString oneLine(QString text)
{
    for (QChar &c : text) {
        if (c.category() == QChar::Other_Control || c == QChar::LineSeparator || c == QChar::ParagraphSeparator)
            c = u' ';
    }
    return text.size() > 120 ? text.first(119) + u'…' : text;
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
        status = answerStatus;
        page = answerPage;
        qInfo().noquote() << requestLogLine(QDateTime::currentDateTimeUtc(), source, target, int(answerStatus),
                                 clock.elapsed(), characters, engine, fromMemory)
                + (note.isEmpty() ? QString() : u" ("_s + note + u')');
        answered();
    }

    void fail(Status answerStatus, const QString &reason, const QString &message)
    {
        answer(answerStatus, errorPage(int(answerStatus), reason, message));
    }

    void write()
    {
        // A client that gave up (a cancelled run) has closed its connection.
        if (!socket || socket->state() != QAbstractSocket::ConnectedState)
            return;
        if (*status == Status::MethodNotAllowed)
            responder.write(page, {{"Content-Type", htmlType}, {"Allow", "POST"}}, *status);
        else
            responder.write(page, {{"Content-Type", htmlType}}, *status);
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
        queue->front()->write();
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
    const TranslationForm &form = std::get<TranslationForm>(parsed);
    exchange->source = form.source;
    exchange->target = form.target;
    exchange->characters = form.text.size();

    const PreparedText prepared = prepareForEngine(form.text, engine->tokenForm(form.source, form.target));
    if (form.source == form.target || prepared.masked.text.isEmpty()) {
        exchange->answer(Status::Ok, translationPage(form.text));
        return;
    }
    engine->translate(form.source, form.target, prepared.masked.text, [exchange, prepared](const EngineResult &result) {
        exchange->engine = result.engine;
        switch (result.status) {
        case EngineResult::Status::Translated: {
            auto finished = finishTranslation(prepared, result.text);
            // The translation memory commits the translation before the page
            // can reach the client, and forgets a refused one. When a
            // translation of the same request was stored first, every service
            // answers with that one.
            const auto kept = result.checked ? result.checked(std::holds_alternative<QString>(finished)) : std::nullopt;
            if (kept && *kept != result.text) {
                if (auto first = finishTranslation(prepared, *kept); std::holds_alternative<QString>(first))
                    finished = std::move(first);
            }
            if (const auto *translation = std::get_if<QString>(&finished)) {
                exchange->fromMemory = result.fromMemory;
                exchange->answer(Status::Ok, translationPage(*translation));
                return;
            }
            // The log names the placeholder, never the text.
            const QString fault = oneLine(std::get<PlaceholderFault>(finished).what);
            exchange->note = u"refused: "_s + fault;
            exchange->fail(Status::UnprocessableEntity, u"Unprocessable Entity"_s,
                u"The translation is not used: %1."_s.arg(fault));
            return;
        }
        case EngineResult::Status::Unsupported:
            exchange->fail(Status::UnprocessableEntity, u"Unprocessable Entity"_s,
                u"The engine cannot translate from %1 to %2. %3"_s.arg(
                    exchange->source, exchange->target, result.detail));
            return;
        case EngineResult::Status::Unavailable:
            exchange->fail(Status::ServiceUnavailable, u"Service Unavailable"_s,
                u"The translation engine is unavailable. %1"_s.arg(result.detail));
            return;
        }
    });
}

} // namespace tarnix::service
