#pragma once

#include <list>
#include <memory>

#include <QObject>

#include "service/http/httplimits.h"
#include "service/text/keptterms.h"

namespace tarnix::service {

class ClientListener;
class Engine;
class MemoryWorker;
class Reply;
struct HttpRequest;

// The HTTP side of the service: a form POST to "/" in, a page with the
// translation between the two markers out, on 127.0.0.1 only; and many texts
// of one language pair in one JSON POST to "/batch" (http/batchform.h),
// each translated and checked as a single request is, the engine asked in
// batches (engines/batchqueue.h). A person's translation of the whole text
// as written (TranslationMemory::lookupPerson) answers before any engine:
// it is the team's own, so it is neither masked nor checked, only its
// checksum must hold. POST "/learn" stores people's translations. Answers are
// sent when the engine is done, so many requests are in flight at once.
// Requests from web browsers and for other host names are refused (see
// refuseRequest), and connections are kept within `limits` (see
// ClientListener and HttpConnection).
class TranslationService : public QObject
{
    Q_OBJECT

public:
    explicit TranslationService(Engine *engine, const HttpLimits &limits = HttpLimits(), QObject *parent = nullptr);
    ~TranslationService() override;

    // Listens on 127.0.0.1:port (0 picks a free port); the port, or 0 on failure.
    quint16 listen(quint16 port);
    // Serves on a socket that is already listening (one systemd passed); its
    // port, or 0 if it is not a listening socket.
    quint16 listenOn(qintptr descriptor);

    // Stops taking connections and answers every request still waiting for
    // its engine with 503 "stopping", rather than closing on it bare; then
    // closes every connection once its answers are out.
    void stop();

    // The do-not-translate list every engine is shown masked.
    void setKeptTerms(const QStringList &terms);
    // The team's glossaries, which every answer must follow.
    void setGlossary(const GlossarySettings &settings);
    // The memory whose people's translations answer a text before any
    // engine or machine translation does, and which POST /learn adds to.
    void setMemory(MemoryWorker *memory) { this->memory = memory; }

signals:
    // No client for the limits' idle exit time.
    void idle();

private:
    struct Exchange;

    quint16 serving(bool listening);
    void handle(const HttpRequest &request, const Reply &reply);
    void handleBatch(const std::shared_ptr<Exchange> &exchange, const HttpRequest &request);
    void handleLearn(const std::shared_ptr<Exchange> &exchange, const HttpRequest &request);
    // GET /glossary?from=en&to=es: the team's glossary of the pair, which
    // every answer must follow, for clients that check people's translations.
    void handleGlossary(const std::shared_ptr<Exchange> &exchange, const HttpRequest &request);
    // POST /estimate: what a batch of the same texts would take, translating nothing.
    void handleEstimate(const std::shared_ptr<Exchange> &exchange, const HttpRequest &request);
    // A batch request's form, or nothing when the exchange was answered with why not.
    std::shared_ptr<struct BatchForm> readBatch(const std::shared_ptr<Exchange> &exchange, const HttpRequest &request);

    // The exchanges not answered yet, which stop() answers.
    std::list<std::weak_ptr<Exchange>> waiting;
    ClientListener *listener;
    Engine *engine;
    MemoryWorker *memory = nullptr;
    quint16 port = 0; // the one listened on, which a request's Host may name
    KeptTerms terms;
    // The glossary of a language pair, made once per pair.
    const Glossary &glossaryFor(const QString &source, const QString &target);
    GlossarySettings glossarySettings;
    QHash<QString, Glossary> glossaries; // "source|target": its glossary
};

} // namespace tarnix::service
