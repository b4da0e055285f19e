#pragma once

#include <deque>
#include <memory>

#include <QHash>
#include <QHttpServer>
#include <QObject>

class QHttpServerRequest;
class QHttpServerResponder;
class QTcpSocket;

namespace tarnix::service {

class Engine;

// The largest request body the service reads as a translation request.
inline constexpr qsizetype maxBodyBytes = 1024 * 1024;

// The HTTP side of the service: a form POST to "/" in, a page with the
// translation between the two markers out, on 127.0.0.1 only. Answers are
// sent when the engine is done, so many requests are in flight at once.
class TranslationService : public QObject
{
    Q_OBJECT

public:
    explicit TranslationService(Engine *engine, QObject *parent = nullptr);
    ~TranslationService() override;

    // Listens on 127.0.0.1:port (0 picks a free port); the port, or 0 on failure.
    quint16 listen(quint16 port);

private:
    struct Exchange;

    void handle(const QHttpServerRequest &request, QHttpServerResponder &&responder);
    std::shared_ptr<Exchange> open(QHttpServerResponder &&responder);
    void writeAnswers(QTcpSocket *socket);

    // Each connection's exchanges in the order of their requests. Declared
    // before the server, so it outlives the server's sockets.
    QHash<QTcpSocket *, std::deque<std::shared_ptr<Exchange>>> queues;
    QHttpServer server;
    Engine *engine;
};

} // namespace tarnix::service
