// Load test of tarnix-service on loopback: a fixed number of connections send
// requests one after another for a bounded time, good translation requests
// mixed with bad ones. The service runs its LibreTranslate engine against a
// stub on loopback that echoes the text at once, so the figures measure the
// service, not a translation engine.
//
// Passes when the service never crashes, every good request gets its page
// (or a clear 503 under overload), every bad one its error status, nothing is
// left unanswered, and the service's resident memory at the end is within 10%
// of its level after the first quarter. Prints p50 and p99 latencies.
//
//   loadtest <tarnix-service> [seconds (at most 60)] [connections]
#include <algorithm>
#include <cstdio>
#include <fstream>
#include <map>
#include <memory>
#include <vector>

#include <unistd.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QHostAddress>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTcpServer>
#include <QTcpSocket>
#include <QThread>
#include <QTimer>

#include "tests/support/loopbackserver.h"
#include "translate/request.h"

using namespace Qt::StringLiterals;
using tarnix::test::Answer;
using tarnix::test::LoopbackServer;
using tarnix::test::RecordedRequest;

namespace {

// One kind of request and the answers it may get.
struct Kind
{
    const char *name;
    bool good;
    int weight; // out of 100
};

// Good ones first; bad ones each rarer. The oversized body is the rarest: it
// moves a megabyte per request.
const Kind kinds[] = {
    {"translate en-es", true, 62},
    {"same language", true, 8},
    {"missing text", false, 5},
    {"bad escape", false, 5},
    {"invalid UTF-8", false, 5},
    {"GET", false, 5},
    {"wrong path", false, 4},
    {"wrong content type", false, 4},
    {"garbage request line", false, 1},
    {"body over 1 MiB", false, 1},
};

QByteArray post(const QByteArray &path, const QByteArray &contentType, const QByteArray &body)
{
    return "POST " + path + " HTTP/1.1\r\nHost: 127.0.0.1\r\nContent-Type: " + contentType
        + "\r\nContent-Length: " + QByteArray::number(body.size()) + "\r\n\r\n" + body;
}

const QByteArray formType = "application/x-www-form-urlencoded";

// The request of a kind, and the statuses that count as the right answer.
struct Planned
{
    QByteArray bytes;
    std::vector<int> statuses;
    QByteArray mustContain; // in a 200 page
    bool mayClose = false; // the service may close the connection instead
};

Planned plan(int kind, int connection, int serial)
{
    const QString text = u"load %1 %2 hello"_s.arg(connection).arg(serial);
    switch (kind) {
    case 0:
        return {post("/", formType, tarnix::encodeFormBody(u"en"_s, u"es"_s, text)), {200, 503}, text.toUtf8()};
    case 1:
        return {post("/", formType, tarnix::encodeFormBody(u"fr"_s, u"fr"_s, text)), {200}, text.toUtf8()};
    case 2:
        return {post("/", formType, "sl=en&tl=es"), {400}, {}};
    case 3:
        return {post("/", formType, "sl=en&tl=es&text=%G1"), {400}, {}};
    case 4:
        return {post("/", formType, "sl=en&tl=es&text=caf%E9"), {400}, {}};
    case 5:
        return {"GET /?sl=en&tl=es&text=x HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n", {405}, {}};
    case 6:
        return {post("/translate", formType, "sl=en&tl=es&text=x"), {404}, {}};
    case 7:
        return {post("/", "text/plain", "sl=en&tl=es&text=x"), {415}, {}};
    case 8:
        return {"NONSENSE\r\n\r\n", {400}, {}};
    default:
        return {post("/", formType, "sl=en&tl=es&text=" + QByteArray(1024 * 1024 + 1, 'a')), {413}, {}, true};
    }
}

long residentKiB(qint64 pid)
{
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmRSS:", 0) == 0)
            return std::stol(line.substr(6));
    }
    return 0;
}

double percentile(std::vector<double> values, double p)
{
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    const size_t index = std::min(values.size() - 1, size_t(p / 100.0 * double(values.size())));
    return values[index];
}

struct Totals
{
    std::map<int, std::vector<double>> latencyMs; // by kind
    std::map<int, std::map<int, int>> statuses; // kind -> status -> count
    int closedWithoutAnswer = 0;
    int wrong = 0;
    int sent = 0;
};

// One connection sending one request at a time; it reconnects when the
// service closes the connection.
class Client : public QObject
{
public:
    Client(int id, quint16 port, Totals &totals, const bool &stopping)
        : id(id)
        , port(port)
        , totals(totals)
        , stopping(stopping)
    {
        connect(&socket, &QTcpSocket::connected, this, [this] { sendNext(); });
        connect(&socket, &QTcpSocket::readyRead, this, [this] { readAnswer(); });
        connect(&socket, &QTcpSocket::disconnected, this, [this] { closed(); });
        socket.connectToHost(QHostAddress::LocalHost, port);
    }

    bool idle() const { return !waiting; }

private:
    void sendNext()
    {
        if (stopping) {
            socket.disconnectFromHost();
            return;
        }
        int pick = int((quint64(id) * 7919 + quint64(serial) * 104729) % 100);
        kind = 0;
        while (pick >= kinds[kind].weight) {
            pick -= kinds[kind].weight;
            ++kind;
        }
        current = plan(kind, id, serial++);
        buffer.clear();
        waiting = true;
        ++totals.sent;
        clock.start();
        socket.write(current.bytes);
    }

    void readAnswer()
    {
        buffer += socket.readAll();
        const qsizetype headEnd = buffer.indexOf("\r\n\r\n");
        if (!waiting || headEnd < 0)
            return;
        const QList<QByteArray> lines = buffer.left(headEnd).split('\n');
        qsizetype length = -1;
        bool closing = false; // "Connection: close": the next request goes on a new connection
        for (const QByteArray &line : lines) {
            if (line.toLower().startsWith("content-length:"))
                length = line.mid(15).trimmed().toLongLong();
            closing = closing || line.trimmed().toLower() == "connection: close";
        }
        if (length < 0 || buffer.size() < headEnd + 4 + length)
            return;
        const double ms = double(clock.nsecsElapsed()) / 1e6;
        const int status = lines.first().split(' ').value(1).toInt();
        const QByteArray body = buffer.mid(headEnd + 4, length);
        waiting = false;
        totals.latencyMs[kind].push_back(ms);
        ++totals.statuses[kind][status];
        const bool expected =
            std::find(current.statuses.begin(), current.statuses.end(), status) != current.statuses.end();
        if (!expected || (status == 200 && !body.contains(current.mustContain))) {
            ++totals.wrong;
            std::fprintf(
                stderr, "%s: status %d%s\n", kinds[kind].name, status, expected ? " without the text in the page" : "");
        }
        if (!closing)
            sendNext();
    }

    void closed()
    {
        if (waiting) {
            waiting = false;
            if (!current.mayClose) {
                ++totals.closedWithoutAnswer;
                std::fprintf(stderr, "%s: connection closed without an answer\n", kinds[kind].name);
            } else {
                ++totals.statuses[kind][0];
            }
        }
        if (!stopping)
            QTimer::singleShot(0, this, [this] { socket.connectToHost(QHostAddress::LocalHost, port); });
    }

    int id;
    quint16 port;
    Totals &totals;
    const bool &stopping;
    QTcpSocket socket;
    QByteArray buffer;
    Planned current;
    int kind = 0;
    int serial = 0;
    bool waiting = false;
    QElapsedTimer clock;
};

quint16 freePort()
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    return probe.serverPort();
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() < 2) {
        std::fprintf(stderr, "usage: loadtest <tarnix-service> [seconds (at most 60)] [connections]\n");
        return 2;
    }
    const int seconds = std::clamp(args.size() > 2 ? args.at(2).toInt() : 30, 1, 60);
    const int connections = std::clamp(args.size() > 3 ? args.at(3).toInt() : 32, 1, 256);

    // The engine stub: LibreTranslate's POST /translate, echoing q.
    LoopbackServer engine;
    if (!engine.start())
        return 1;
    engine.setResponder([](const RecordedRequest &request) {
        Answer answer;
        const QJsonObject asked = QJsonDocument::fromJson(request.body).object();
        answer.body = QJsonDocument(QJsonObject {{u"translatedText"_s, asked.value(u"q"_s)}}).toJson();
        return answer;
    });
    int engineRequests = 0;
    QObject::connect(&engine, &LoopbackServer::requestReceived, &engine, [&] {
        ++engineRequests;
        engine.clearRequests();
    });

    const quint16 port = freePort();
    QProcess service;
    service.setStandardOutputFile(QProcess::nullDevice());
    service.setStandardErrorFile(QProcess::nullDevice());
    service.start(args.at(1),
        {u"--port"_s, QString::number(port), u"--engine"_s, u"libretranslate"_s, u"--engine-url"_s,
            engine.url().toString()});
    if (!service.waitForStarted(10'000)) {
        std::fprintf(stderr, "cannot start %s\n", qPrintable(args.at(1)));
        return 1;
    }
    // Listening once a connection succeeds.
    bool up = false;
    for (int attempt = 0; attempt < 100 && !up; ++attempt) {
        QTcpSocket probe;
        probe.connectToHost(QHostAddress::LocalHost, port);
        up = probe.waitForConnected(100);
        if (!up)
            QThread::msleep(100);
    }
    if (!up) {
        std::fprintf(stderr, "tarnix-service does not listen on 127.0.0.1:%d\n", port);
        return 1;
    }
    const qint64 pid = service.processId();
    std::printf("tarnix-service on 127.0.0.1:%d (engine stub on %d), %d connections, %d s\n", port, engine.serverPort(),
        connections, seconds);
    std::fflush(stdout);

    Totals totals;
    bool stopping = false;
    std::vector<std::unique_ptr<Client>> clients;
    for (int i = 0; i < connections; ++i)
        clients.push_back(std::make_unique<Client>(i, port, totals, stopping));

    long warmKiB = 0;
    long peakKiB = 0;
    QTimer sampler;
    QElapsedTimer clock;
    clock.start();
    QObject::connect(&sampler, &QTimer::timeout, &app, [&] {
        const long kib = residentKiB(pid);
        peakKiB = std::max(peakKiB, kib);
        if (warmKiB == 0 && clock.elapsed() >= seconds * 250)
            warmKiB = kib;
    });
    sampler.start(200);
    QTimer::singleShot(seconds * 1000, &app, [&] { stopping = true; });
    // After the stop, up to 5 s for the answers still owed.
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, &app, [&] {
        const bool allIdle = std::all_of(clients.begin(), clients.end(), [](const auto &c) { return c->idle(); });
        if (service.state() != QProcess::Running || (stopping && allIdle) || clock.elapsed() > (seconds + 5) * 1000)
            app.quit();
    });
    poll.start(50);
    app.exec();
    const double elapsed = double(clock.elapsed()) / 1000.0;
    const long endKiB = residentKiB(pid);
    const int unanswered = int(std::count_if(clients.begin(), clients.end(), [](const auto &c) { return !c->idle(); }));
    const bool crashed = service.state() != QProcess::Running;

    int failures = totals.wrong + totals.closedWithoutAnswer + unanswered;
    std::vector<double> good;
    std::vector<double> bad;
    int answered = 0;
    int overloaded = 0;
    std::printf("%-22s %8s  %s\n", "request", "answers", "statuses (0: closed by the service)");
    for (int kind = 0; kind < int(std::size(kinds)); ++kind) {
        int count = 0;
        QString statuses;
        for (const auto &[status, n] : totals.statuses[kind]) {
            count += n;
            statuses += u"%1 x%2  "_s.arg(status).arg(n);
        }
        overloaded += kinds[kind].good ? totals.statuses[kind][503] : 0;
        answered += count;
        auto &into = kinds[kind].good ? good : bad;
        into.insert(into.end(), totals.latencyMs[kind].begin(), totals.latencyMs[kind].end());
        std::printf("%-22s %8d  %s\n", kinds[kind].name, count, qPrintable(statuses));
    }
    std::printf("%d requests in %.1f s (%.0f per second), %d to the engine stub\n", answered, elapsed,
        double(answered) / elapsed, engineRequests);
    std::printf("latency good: p50 %.2f ms, p99 %.2f ms; bad: p50 %.2f ms, p99 %.2f ms\n", percentile(good, 50),
        percentile(good, 99), percentile(bad, 50), percentile(bad, 99));
    std::printf("good requests answered 503 (overload): %d; wrong answers %d, closed without answer %d, "
                "unanswered at the end %d\n",
        overloaded, totals.wrong, totals.closedWithoutAnswer, unanswered);
    std::printf("service RSS: %ld KiB after the first quarter, %ld KiB at the end, peak %ld KiB (%+.1f%%)\n", warmKiB,
        endKiB, peakKiB, warmKiB ? 100.0 * double(endKiB - warmKiB) / double(warmKiB) : 0.0);
    if (crashed) {
        std::fprintf(stderr, "tarnix-service ended during the load (exit %d)\n", service.exitCode());
        ++failures;
    } else {
        if (warmKiB == 0 || double(endKiB) > 1.10 * double(warmKiB)) {
            std::fprintf(stderr, "service memory grew more than 10%% after the first quarter\n");
            ++failures;
        }
        service.terminate();
        if (!service.waitForFinished(10'000) || service.exitStatus() != QProcess::NormalExit
            || service.exitCode() != 0) {
            std::fprintf(stderr, "tarnix-service did not end cleanly on SIGTERM\n");
            ++failures;
        }
    }
    if (answered == 0)
        ++failures;
    std::printf("%s\n", failures == 0 ? "load test passed" : "load test FAILED");
    return failures == 0 ? 0 : 1;
}
