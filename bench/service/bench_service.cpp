// Measures tarnix-service against the APy it uses, in one run:
//  - added latency: the same sequential requests sent to APy's /translate
//    directly and to the service (which calls that same /translate), as a
//    ratio of the service's extra time to APy's own time;
//  - parallelism: the wall time of 20 different requests sent at once, each
//    on its own connection, as a ratio of the wall time of one request, for
//    APy directly (the engine's own limit) and through the service; and the
//    same for a program run (one text to the 20 other languages);
//  - routing: the same run through a service configured with Apertium and a
//    language model (a stand-in answering after 400 ms, at most 4 requests in
//    flight), against the ideal of the stand-in's 16 answers in 4 waves;
//  - the translation memory: a program run against an engine that takes
//    400 ms per request, then the same run again, answered from the memory;
//    and what committing one translation to the memory costs; the same run
//    with the memory in PostgreSQL, and a hit's look-up there against the
//    SQLite file (a cluster this benchmark starts on loopback, fsync off);
//  - the start-up check: what asking every engine whether it answers (APy,
//    a LibreTranslate and a language-model stand-in that answer at once)
//    adds to a start, as the service reports it, against the whole start.
// The services keep their memory in a scratch folder, and only the memory's
// own rows have it on: the other rows repeat their texts.
// Everything runs on 127.0.0.1; the service is the real binary, started with
// --engine-url pointing at the APy this benchmark starts, and for routing
// with a configuration file naming that APy and the stand-in.

#include <algorithm>
#include <cstdio>
#include <memory>
#include <vector>

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QHostAddress>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QProcess>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QThread>

#include "service/engines/apyprocess.h"
#include "service/engines/apyprotocol.h"
#include "service/memory/translationmemory.h"
#include "tests/support/loopbackserver.h"

using namespace Qt::StringLiterals;
using namespace tarnix::service;

namespace {

// The service measured: this build's, or another build's named by
// TARNIX_BENCH_SERVICE, to set two builds side by side on one machine.
QString serviceBinary()
{
    return qEnvironmentVariable("TARNIX_BENCH_SERVICE", QStringLiteral(TARNIX_SERVICE_BINARY));
}

const QStringList sentences {
    u"Hello world"_s,
    u"Save the file before closing the window."_s,
    u"The connection to the server was lost."_s,
    u"Do you want to delete these messages?"_s,
    u"Open a new document"_s,
};
constexpr int sequentialRounds = 8; // of every sentence, each way
constexpr int concurrent = 20;
constexpr int concurrencyRounds = 5;

struct Target
{
    QUrl url;
    QByteArray contentType;
    std::function<QByteArray(const QString &)> body;
};

// Sends one request and waits for its answer; false when it failed.
bool exchange(QNetworkAccessManager &net, const Target &target, const QString &text)
{
    QNetworkRequest request(target.url);
    request.setHeader(QNetworkRequest::ContentTypeHeader, target.contentType);
    std::unique_ptr<QNetworkReply> reply(net.post(request, target.body(text)));
    while (!reply->isFinished())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    return reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt() == 200;
}

struct Sequential
{
    double first = 0; // median time of one request, milliseconds
    double second = 0;
    double added = 0; // median of the second's extra time over the first's, request by request
};

double medianOf(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

double timed(QNetworkAccessManager &net, const Target &target, const QString &text)
{
    QElapsedTimer clock;
    clock.start();
    if (!exchange(net, target, text))
        qFatal("a request to %s failed", qPrintable(target.url.toString()));
    return clock.nsecsElapsed() / 1e6;
}

// The same requests sent one after another to two targets, alternating, so
// that both see the same load of the machine.
Sequential compareSequential(QNetworkAccessManager &net, const Target &first, const Target &second)
{
    std::vector<double> firstTimes;
    std::vector<double> secondTimes;
    std::vector<double> differences;
    for (int round = 0; round < sequentialRounds; ++round) {
        for (const QString &text : sentences) {
            firstTimes.push_back(timed(net, first, text));
            secondTimes.push_back(timed(net, second, text));
            differences.push_back(secondTimes.back() - firstTimes.back());
        }
    }
    return Sequential {medianOf(firstTimes), medianOf(secondTimes), medianOf(differences)};
}

// Wall time in milliseconds of requests sent at once, each on its own
// connection, so that no client-side connection limit queues them. Every
// answer must have one of the expected statuses.
double burst(
    const QUrl &url, const QByteArray &contentType, const QList<QByteArray> &bodies, const QList<int> &accepted = {200})
{
    std::vector<std::unique_ptr<QNetworkAccessManager>> clients;
    std::vector<std::unique_ptr<QNetworkReply>> replies;
    QElapsedTimer clock;
    clock.start();
    for (const QByteArray &body : bodies) {
        clients.push_back(std::make_unique<QNetworkAccessManager>());
        QNetworkRequest request(url);
        request.setHeader(QNetworkRequest::ContentTypeHeader, contentType);
        replies.emplace_back(clients.back()->post(request, body));
    }
    for (auto &reply : replies) {
        while (!reply->isFinished())
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        if (!accepted.contains(reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt()))
            qFatal("a concurrent request failed: %s", reply->readAll().constData());
    }
    return clock.nsecsElapsed() / 1e6;
}

// `count` different texts (no two requests alike, so nothing can be shared).
QList<QByteArray> bodies(const Target &target, int count, int round)
{
    QList<QByteArray> result;
    for (int i = 0; i < count; ++i)
        result.append(target.body(sentences[i % sentences.size()] + u" %1"_s.arg(round * 100 + i)));
    return result;
}

QByteArray programBody(const QByteArray &target, const QString &text)
{
    return "js=n&prev=_t&hl=en&ie=UTF-8&layout=2&eotf=1&sl=en&tl=" + target
        + "&text=" + text.toUtf8().toPercentEncoding();
}

// Starts the service binary with these options and waits until it accepts
// connections; its port.
quint16 startService(QProcess &service, const QStringList &options)
{
    const quint16 port = tarnix::test::freeLoopbackPort();
    service.setProcessChannelMode(QProcess::ForwardedOutputChannel); // keep the request log out of stderr
    service.setStandardErrorFile(QProcess::nullDevice());
    service.start(serviceBinary(), QStringList {u"--port"_s, QString::number(port)} + options);
    // It listens once its engines were asked whether they answer.
    for (int i = 0; i < 400; ++i) {
        QTcpSocket probe;
        probe.connectToHost(QHostAddress::LocalHost, port);
        if (probe.waitForConnected(100))
            break;
        QThread::msleep(50);
    }
    return port;
}

constexpr int modelLatencyMs = 400;
constexpr int modelLimit = 4;

// A language model's chat-completions API that answers every request after
// `modelLatencyMs`, with the user's text marked.
void serveAsModel(tarnix::test::LoopbackServer &model)
{
    model.setResponder([](const tarnix::test::RecordedRequest &request) {
        const QJsonArray messages = QJsonDocument::fromJson(request.body).object().value("messages"_L1).toArray();
        const QJsonObject message {{"role"_L1, "assistant"_L1},
            {"content"_L1, u"[model] "_s + messages.at(1).toObject().value("content"_L1).toString()}};
        const QJsonObject answer {
            {"choices"_L1, QJsonArray {QJsonObject {{"message"_L1, message}, {"finish_reason"_L1, "stop"_L1}}}}};
        using tarnix::test::Answer;
        return Answer {Answer::Kind::Complete, 200, QJsonDocument(answer).toJson(), {}, modelLatencyMs};
    });
}

// What the program sends for one run: the same text to every other catalogue
// language.
const QList<QByteArray> runTargets {"zh-CN", "zh-TW", "es", "fr", "ru", "uk", "de", "ja", "ko", "it", "pl", "ro", "pt",
    "ar", "iw", "tr", "id", "hi", "vi", "fa"};

// A run against an engine with 400 ms per request, then the same run again;
// and the cost of one commit to a memory file, taken in this process.
void benchMemory()
{
    constexpr int engineDelayMs = 400;
    tarnix::test::LoopbackServer engine;
    if (!engine.start())
        qFatal("the engine stand-in cannot listen");
    engine.setResponder([](const tarnix::test::RecordedRequest &request) {
        tarnix::test::Answer answer;
        if (request.method == "GET") { // /languages: English to every language of a run, at once
            answer.body = R"([{"code":"en","targets":["zh","zt","es","fr","ru","uk","de","ja","ko","it","pl","ro",)"
                          R"("pt","ar","he","tr","id","hi","vi","fa"]}])";
            return answer;
        }
        const QJsonObject query = QJsonDocument::fromJson(request.body).object();
        answer.body = QJsonDocument(QJsonObject {{u"translatedText"_s,
                                        u"[%1] %2"_s.arg(query[u"target"_s].toString(), query[u"q"_s].toString())}})
                          .toJson();
        answer.delayMs = engineDelayMs;
        return answer;
    });
    QTemporaryDir data;
    // A PostgreSQL cluster in a scratch folder (tests/support/postgres.sh), with a random password.
    QTemporaryDir cluster;
    const QString postgresPort = QString::number(tarnix::test::freeLoopbackPort());
    const QString postgresUrl = u"postgresql://tarnix@127.0.0.1:%1/postgres"_s.arg(postgresPort);
    const QString secret = QString::number(QRandomGenerator::global()->generate64(), 36);
    const auto postgres = [&](const QString &command) {
        return QProcess::execute(QStringLiteral(TARNIX_POSTGRES_SCRIPT), {command, cluster.path(), postgresPort});
    };
    for (const QString &path : {cluster.filePath(u"pwfile"_s), data.filePath(u"team.password"_s)}) {
        QFile password(path);
        if (!password.open(QIODevice::WriteOnly) || password.write(secret.toUtf8()) < 0
            || !password.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner))
            qFatal("cannot write the database's password file");
    }
    const bool withPostgres = postgres(u"start"_s) == 0;
    const auto runTwice = [&](const QByteArray &memorySection, const char *where) {
        QFile conf(data.filePath(u"memory.conf"_s));
        if (!conf.open(QIODevice::WriteOnly) || conf.write(memorySection) < 0)
            qFatal("cannot write the memory benchmark's configuration");
        conf.close();
        QProcess service;
        const quint16 port = startService(service,
            {u"--config"_s, conf.fileName(), u"--engine"_s, u"libretranslate"_s, u"--engine-url"_s,
                engine.url().toString()});
        const QUrl url(u"http://127.0.0.1:%1/"_s.arg(port));
        const QByteArray formType = "application/x-www-form-urlencoded";
        std::vector<double> firsts;
        std::vector<double> seconds;
        for (int round = 0; round < concurrencyRounds; ++round) {
            QList<QByteArray> run;
            for (const QByteArray &target : runTargets)
                run.append(programBody(target, sentences[2] + u" %1 %2"_s.arg(round).arg(QLatin1StringView(where))));
            firsts.push_back(burst(url, formType, run));
            seconds.push_back(burst(url, formType, run));
        }
        service.terminate();
        service.waitForFinished(5000);
        const double first = medianOf(firsts);
        const double second = medianOf(seconds);
        std::printf("translation memory %s, a run of 20 languages against an engine taking %d ms, median of %d "
                    "rounds:\n",
            where, engineDelayMs, concurrencyRounds);
        std::printf("  first run        %8.2f ms\n  same run again   %8.2f ms = %.4f x the first (target <= 0.05)\n",
            first, second, second / first);
    };
    runTwice("[memory]\nmemory = on\n", "in an SQLite file");
    if (withPostgres)
        runTwice("[memory]\nurl = " + postgresUrl.toUtf8() + "\npassword-file = team.password\n",
            "in PostgreSQL on loopback");
    else
        std::printf("translation memory in PostgreSQL: not measured, PostgreSQL is not installed or did not start\n");

    // A hit's look-up, as a request that finds its translation makes it: in
    // the SQLite file and in PostgreSQL on loopback, the same 1,000 entries
    // looked up 3 times each, in turns.
    std::vector<std::unique_ptr<TranslationMemory>> memories;
    memories.push_back(std::make_unique<TranslationMemory>(data.filePath(u"lookup.sqlite"_s), 100000));
    if (withPostgres) {
        MemoryServer server = std::get<MemoryServer>(parseMemoryServer(postgresUrl, {}));
        server.password = secret;
        memories.push_back(std::make_unique<TranslationMemory>(server, 100000));
    }
    std::vector<std::vector<double>> lookups(memories.size());
    const auto keyOf = [](int i) {
        return MemoryKey {u"libretranslate http://127.0.0.1:5000"_s, u"en"_s, u"es"_s, u"Look-up %1"_s.arg(i)};
    };
    for (const auto &memory : memories) {
        for (int i = 0; i < 1000; ++i)
            memory->store(keyOf(i), keyOf(i).text);
    }
    for (int i = 0; i < 3000; ++i) {
        for (std::size_t m = 0; m < memories.size(); ++m) {
            QElapsedTimer clock;
            clock.start();
            if (!memories[m]->lookup(keyOf(i % 1000)))
                qFatal("a look-up in the memory missed");
            lookups[m].push_back(clock.nsecsElapsed() / 1e6);
        }
    }
    for (auto &times : lookups)
        std::sort(times.begin(), times.end());
    std::printf("  a hit's look-up, 3,000: SQLite file median %.3f ms, 99th percentile %.3f ms\n", lookups[0][1500],
        lookups[0][2970]);
    if (withPostgres)
        std::printf("  a hit's look-up, 3,000: PostgreSQL on loopback median %.3f ms (target <= 1 ms), 99th percentile "
                    "%.3f ms; %.1f x and %.1f x the SQLite file\n",
            lookups[1][1500], lookups[1][2970], lookups[1][1500] / lookups[0][1500],
            lookups[1][2970] / lookups[0][2970]);
    memories.clear();
    if (withPostgres)
        postgres(u"stop"_s);

    // Each store is a commit of its own, as in the service: into a memory
    // below its limit, and into a full one (a limit of 1,000 entries), where
    // the least recently used are dropped along the way.
    constexpr int stores = 3000;
    for (const int limit : {100000, 1000}) {
        tarnix::service::TranslationMemory memory(data.filePath(u"commit-%1.sqlite"_s.arg(limit)), limit);
        std::vector<double> commits;
        for (int i = 0; i < stores; ++i) {
            const tarnix::service::MemoryKey key {u"libretranslate http://127.0.0.1:5000"_s, u"en"_s, u"es"_s,
                sentences[i % sentences.size()] + u" %1"_s.arg(i)};
            QElapsedTimer clock;
            clock.start();
            if (!memory.store(key, key.text))
                qFatal("a commit to the memory failed");
            commits.push_back(clock.nsecsElapsed() / 1e6);
        }
        std::sort(commits.begin(), commits.end());
        std::printf("  one commit, %d into a memory %s: median %.3f ms, 99th percentile %.3f ms, largest %.2f ms "
                    "(target: median well under 1 ms)\n",
            stores, limit == 1000 ? "that is full" : "below its limit", commits[commits.size() / 2],
            commits[commits.size() * 99 / 100], commits.back());
    }
}

// Starts of the service with three engines that answer at once: the time the
// service says its check of them took, and the whole start (the process
// started until its port accepts a connection).
void benchStartCheck(const QUrl &apyUrl)
{
    tarnix::test::LoopbackServer standIn; // LibreTranslate's /languages and a model server's /models
    if (!standIn.start())
        qFatal("the engine stand-in cannot listen on loopback");
    standIn.setResponder([](const tarnix::test::RecordedRequest &request) {
        tarnix::test::Answer answer;
        answer.body = request.path.endsWith("/models") ? R"({"object":"list","data":[{"id":"bench"}]})"_ba
                                                       : R"([{"code":"en","targets":["de"]}])"_ba;
        return answer;
    });
    QTemporaryDir dir;
    QFile conf(dir.filePath(u"service.conf"_s));
    if (!conf.open(QIODevice::WriteOnly))
        qFatal("cannot write the benchmark's configuration");
    conf.write(u"[memory]\nmemory = off\n[apertium]\nurl = %1\n[lt]\ntype = libretranslate\nurl = %2\n[llm]\n"
               u"type = language-model\nurl = %2/v1\nmodel = bench\n"_s.arg(apyUrl.toString(), standIn.url().toString())
                   .toUtf8());
    conf.close();
    constexpr int starts = 7;
    std::vector<double> checks;
    std::vector<double> wholes;
    static const QRegularExpression checked(u"engines checked in (\\d+) ms"_s);
    for (int i = 0; i < starts; ++i) {
        QProcess service;
        const quint16 port = tarnix::test::freeLoopbackPort();
        QElapsedTimer clock;
        clock.start();
        service.start(serviceBinary(), {u"--port"_s, QString::number(port), u"--config"_s, conf.fileName()});
        QString log;
        QRegularExpressionMatch match;
        // The stand-in answers from this event loop meanwhile.
        while (!(match = checked.match(log)).hasMatch()) {
            if (clock.elapsed() > 30000 || service.state() == QProcess::NotRunning)
                qFatal("the service did not start: %s", qPrintable(log));
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
            QThread::msleep(1);
            log += QString::fromUtf8(service.readAllStandardError());
        }
        wholes.push_back(clock.nsecsElapsed() / 1e6);
        checks.push_back(match.captured(1).toDouble());
        if (log.count(u"tarnix-service:"_s) != 1)
            qFatal("an engine that answers was named at start: %s", qPrintable(log));
        service.terminate();
        service.waitForFinished(5000);
    }
    std::printf("start-up check of 3 engines that answer (APy, LibreTranslate, a model server), median of %d starts:\n",
        starts);
    std::printf("  check            %8.2f ms (target <= 100) = %.3f x the whole start (%.2f ms to the start line)\n",
        medianOf(checks), medianOf(checks) / medianOf(wholes), medianOf(wholes));
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    // Every service started here keeps its memory in a scratch folder, off
    // unless a row's own configuration turns it on.
    QTemporaryDir scratch;
    QDir(scratch.path()).mkpath(u"config/tarnix"_s);
    QFile defaults(scratch.filePath(u"config/tarnix/service.conf"_s));
    if (!defaults.open(QIODevice::WriteOnly) || defaults.write("[memory]\nmemory = off\n") < 0)
        qFatal("cannot write the benchmark's default configuration");
    defaults.close();
    qputenv("XDG_CONFIG_HOME", scratch.filePath(u"config"_s).toLocal8Bit());
    qputenv("XDG_DATA_HOME", scratch.filePath(u"data"_s).toLocal8Bit());
    benchMemory();

    ApyProcess apy;
    bool ready = false;
    QString failure;
    QObject::connect(&apy, &ApyProcess::ready, &app, [&ready]() { ready = true; });
    QObject::connect(&apy, &ApyProcess::failed, &app, [&failure](const QString &why) { failure = why; });
    apy.start();
    while (!ready && failure.isEmpty())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    if (!failure.isEmpty())
        qFatal("APy did not start: %s", qPrintable(failure));

    QProcess service;
    const quint16 port = startService(service, {u"--engine"_s, u"apertium"_s, u"--engine-url"_s, apy.url().toString()});

    const Target direct {apy.url().resolved(QUrl(u"/translate"_s)), "application/x-www-form-urlencoded",
        [](const QString &text) { return apyTranslateBody(u"eng"_s, u"spa"_s, text); }};
    const Target viaService {QUrl(u"http://127.0.0.1:%1/"_s.arg(port)), "application/x-www-form-urlencoded",
        [](const QString &text) { return programBody("es", text); }};

    QNetworkAccessManager net;
    // Warm up: pipelines loaded, the service's path to Spanish known, connections open.
    for (int i = 0; i < 3; ++i) {
        exchange(net, direct, sentences[0]);
        exchange(net, viaService, sentences[0]);
    }
    burst(viaService.url, viaService.contentType, bodies(viaService, concurrent, 0));

    const Sequential sequential = compareSequential(net, direct, viaService);
    std::printf(
        "sequential en>es, %d requests each, alternating, medians:\n", int(sequentialRounds * sentences.size()));
    std::printf("  APy directly     %8.2f ms\n  through service  %8.2f ms\n", sequential.first, sequential.second);
    std::printf("  added latency    %8.2f ms = %.3f x APy's own time (target < 0.10)\n", sequential.added,
        sequential.added / sequential.first);

    for (const auto &[name, target] :
        {std::pair {"APy directly", &direct}, std::pair {"through the service", &viaService}}) {
        std::vector<double> ones;
        std::vector<double> manys;
        for (int round = 0; round < concurrencyRounds; ++round) {
            ones.push_back(burst(target->url, target->contentType, bodies(*target, 1, round)));
            manys.push_back(burst(target->url, target->contentType, bodies(*target, concurrent, round)));
        }
        const double one = medianOf(ones);
        const double many = medianOf(manys);
        std::printf("%s, median of %d rounds:\n", name, concurrencyRounds);
        std::printf("  1 request        %8.2f ms\n  %d at once      %8.2f ms = %.2f x one request (target < 3)\n", one,
            concurrent, many, many / one);
    }

    // What the program sends for one run: the same text to every other
    // catalogue language. Apertium covers four of them; the rest are refused
    // at once (422).
    std::vector<double> ones;
    std::vector<double> chained;
    std::vector<double> runs;
    for (int round = 0; round < concurrencyRounds; ++round) {
        const QString text = sentences[1] + u" %1"_s.arg(round);
        ones.push_back(burst(viaService.url, viaService.contentType, {programBody("es", text)}));
        chained.push_back(burst(viaService.url, viaService.contentType, {programBody("it", text + u'!')}));
        QList<QByteArray> run;
        for (const QByteArray &target : runTargets)
            run.append(programBody(target, text + u'.'));
        runs.push_back(burst(viaService.url, viaService.contentType, run, {200, 422}));
    }
    std::printf("a run of the program (en to its 20 other languages) through the service, median of %d rounds:\n",
        concurrencyRounds);
    std::printf(
        "  1 request (es)   %8.2f ms\n  1 request (it, two APy steps) %8.2f ms\n", medianOf(ones), medianOf(chained));
    std::printf("  20 languages     %8.2f ms = %.2f x one es request (target < 3), %.2f x one it request\n",
        medianOf(runs), medianOf(runs) / medianOf(ones), medianOf(runs) / medianOf(chained));

    service.terminate();
    service.waitForFinished(5000);

    // Routed: Apertium answers its four languages, the language model the
    // other 16, at most `modelLimit` at a time.
    tarnix::test::LoopbackServer model;
    if (!model.start())
        qFatal("the language-model stand-in cannot listen on loopback");
    serveAsModel(model);
    QTemporaryDir dir;
    QFile conf(dir.filePath(u"service.conf"_s));
    if (!conf.open(QIODevice::WriteOnly))
        qFatal("cannot write the benchmark's configuration");
    conf.write(u"[memory]\nmemory = off\n[engines]\norder = apertium, llm\n[apertium]\nurl = %1\n[llm]\ntype = "
               u"language-model\nurl = %2\n"
               u"model = bench\nlimit = %3\n"_s.arg(apy.url().toString(), model.url().toString())
                   .arg(modelLimit)
                   .toUtf8());
    conf.close();
    QProcess routedService;
    const quint16 routedPort = startService(routedService, {u"--config"_s, conf.fileName()});
    const QUrl routedUrl(u"http://127.0.0.1:%1/"_s.arg(routedPort));
    const auto routedRun = [&](const QString &text) {
        QList<QByteArray> run;
        for (const QByteArray &target : runTargets)
            run.append(programBody(target, text));
        return burst(routedUrl, viaService.contentType, run);
    };
    routedRun(sentences[0]); // warm up: the language lists and APy's paths known
    std::vector<double> routed;
    for (int round = 0; round < concurrencyRounds; ++round)
        routed.push_back(routedRun(sentences[2] + u" %1"_s.arg(round)));
    const double ideal = double((runTargets.size() - 4 + modelLimit - 1) / modelLimit) * modelLatencyMs;
    std::printf("a routed run (en to 20 languages: Apertium 4, a language model with %d ms latency and a limit of "
                "%d the other 16), median of %d rounds:\n",
        modelLatencyMs, modelLimit, concurrencyRounds);
    std::printf("  20 languages     %8.2f ms = %.3f x the ideal %.0f ms (4 waves; target <= 1.15)\n", medianOf(routed),
        medianOf(routed) / ideal, ideal);
    routedService.terminate();
    routedService.waitForFinished(5000);
    benchStartCheck(apy.url());
    return 0;
}
