// Measures tarnix-fill on real catalog texts, each figure against a
// reference measured in the same run:
//  - 2,000 entries into Spanish through the service and Apertium, with an
//    empty memory: entries per second as a ratio of the same texts sent one
//    by one straight to APy, 8 at a time (target >= 8: tarnix-fill sends
//    batches of 50, the service joins them into APy requests);
//  - the same texts through a service without memory, once in batches and
//    once each alone: how many answers are the same;
//  - the same run again, answered by the memory: its time as a ratio of the
//    first (target <= 0.05);
//  - 400 entries through a language-model stand-in that answers in 50 ms,
//    with a limit of 4: the time as a ratio of the ideal, 100 waves of 50 ms
//    (target <= 1.10);
//  - the peak memory of tarnix-fill on a 20,000-entry catalog (target
//    <= 100 MB), against a stand-in service that answers at once;
//  - a 20,000-key nested i18next catalog: reading it and writing every value
//    back, in MB/s (target >= 20) and as a ratio of Qt's JSON reader and
//    writer on the same bytes, and tarnix-fill's peak memory on it;
//  - a 5,000-key Xcode string catalog of 20 languages: the same for a fill
//    of Spanish into it (target >= 20 MB/s, peak <= 100 MB);
//  - 2,000 entries through Apertium as a Flutter ARB file, its messages
//    taken apart by ICU, against the same texts as a PO file, both with the
//    memory off: entries per second as a ratio (target >= 0.9).
//  - a 20,000-key Java properties file of the same texts: the same, as a
//    ratio of the i18next format's MB/s in the same run, and the peak;
//  - the same for an Android strings.xml of 20,000 strings and its Spanish
//    file of empty strings, as a ratio of Qt's XML reader on the same bytes.
//  - 400 entries of GNU catalogs, a quarter of them of several lines,
//    through a language-model stand-in that answers batches: requests per
//    entry (target <= 0.1), and with a stand-in that leaves an item out of a
//    batch, answers a batch's items in reverse order, swaps two of them, or
//    drops the last line of an item of several lines, how many entries come
//    out as the honest stand-in's run fills them (target: all).
// The texts are the English messages of the gettext catalogs Debian installs
// (their .mo files turned back into PO with msgunfmt).
//
//     fill [ENTRIES]     (default 2000; the language-model row stays at 400)
//     fill --model-batches   (the batch row alone)

#include <algorithm>
#include <functional>
#include <limits>

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QProcess>
#include <QSet>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QXmlStreamReader>

#include "fill/formats/android.h"
#include "fill/formats/i18next.h"
#include "fill/formats/po.h"
#include "fill/formats/properties.h"
#include "fill/formats/xcstrings.h"
#include "fill/serviceclient.h"
#include "installed.h"
#include "readwrite.h"
#include "service/engines/apyprocess.h"
#include "service/engines/apyprotocol.h"
#include "service/engines/languagemodelprotocol.h"
#include "stringcatalog.h"
#include "tests/support/loopbackserver.h"

using namespace Qt::StringLiterals;
using tarnix::test::Answer;
using tarnix::test::LoopbackServer;

namespace {

constexpr int jobs = 8;
constexpr int modelLatencyMs = 50;
constexpr int modelLimit = 4;
constexpr int modelEntries = 400;
constexpr int bigCatalog = 20000;

// Whether a catalog's message goes into a bench's texts: one text (not a
// plural), no control characters but line breaks and tabs, not blank, at most
// `longest` characters and not taken before (then `seen` holds it).
bool takeMessage(const tarnix::fill::Entry &entry, qsizetype longest, QSet<QString> &seen)
{
    const bool control = std::any_of(entry.source.cbegin(), entry.source.cend(),
        [](QChar c) { return c.unicode() < 0x20 && c != u'\n' && c != u'\t'; });
    if (entry.plural || control || entry.source.size() > longest || entry.source.trimmed().isEmpty()
        || seen.contains(entry.source))
        return false;
    seen.insert(entry.source);
    return true;
}

// Distinct English messages from the Spanish catalogs Debian installs, in a
// fixed order: short and long, with their placeholders.
QStringList realMessages(int wanted)
{
    QStringList messages;
    QSet<QString> seen;
    QTemporaryDir dir;
    const QDir locale(u"/usr/share/locale/es/LC_MESSAGES"_s);
    for (const QString &name : locale.entryList({u"*.mo"_s}, QDir::Files, QDir::Name)) {
        const QString po = dir.filePath(name + u".po"_s);
        const auto read = installedCatalog(locale.filePath(name), po);
        if (!read)
            continue;
        const tarnix::fill::Catalog &catalog = *read;
        for (const tarnix::fill::Entry &entry : catalog.entries) {
            if (!takeMessage(entry, 200, seen))
                continue;
            messages.append(entry.source);
            if (messages.size() == wanted)
                return messages;
        }
    }
    if (messages.isEmpty())
        qFatal("no catalogs under /usr/share/locale/es (msgunfmt from gettext is needed)");
    return messages;
}

// What a language-model stand-in does wrong in a batch of several texts (a
// text asked alone it answers right, as models mostly do).
enum class ModelFault { None, DropsItem, Shuffles, SwapsTwo, DropsLine };

// Messages of the GNU catalogs Debian installs in Spanish, `wanted` of them,
// one in four of several lines: help texts and option tables as well as
// short messages.
QStringList gnuMessages(int wanted)
{
    QStringList single;
    QStringList multi;
    QSet<QString> seen;
    QTemporaryDir dir;
    const QDir locale(u"/usr/share/locale/es/LC_MESSAGES"_s);
    for (const QString &name : {u"coreutils"_s, u"tar"_s, u"grep"_s, u"findutils"_s, u"diffutils"_s, u"gawk"_s,
             u"wget"_s, u"bash"_s, u"sed"_s}) {
        const QString po = dir.filePath(name + u".po"_s);
        const auto read = installedCatalog(locale.filePath(name + u".mo"_s), po);
        if (!read)
            continue;
        const tarnix::fill::Catalog &catalog = *read;
        for (const tarnix::fill::Entry &entry : catalog.entries) {
            if (!takeMessage(entry, 1500, seen))
                continue;
            (entry.source.trimmed().contains(u'\n') ? multi : single).append(entry.source);
        }
    }
    QStringList messages;
    for (qsizetype i = 0; messages.size() < wanted && (i < single.size() || i / 3 < multi.size()); ++i) {
        if (i % 3 == 0 && i / 3 < multi.size())
            messages.append(multi[i / 3]);
        if (i < single.size() && messages.size() < wanted)
            messages.append(single[i]);
    }
    if (messages.size() < wanted)
        qFatal("too few GNU messages under /usr/share/locale/es (msgunfmt from gettext is needed)");
    return messages;
}

// The chat-completions answer a stand-in model gives: every text "[nl] " and
// the text; a batch (a JSON object of texts keyed by number) as the same
// kind of object, with `fault` done to it when it holds several texts.
QByteArray modelAnswer(const QByteArray &body, ModelFault fault)
{
    const QJsonArray messages = QJsonDocument::fromJson(body).object().value("messages"_L1).toArray();
    const QString user = messages.at(1).toObject().value("content"_L1).toString();
    QString content = u"[nl] "_s + user;
    if (auto members = tarnix::service::orderedStringMembers(user); members && user.startsWith(u'{')) {
        const bool batch = members->size() > 1;
        if (batch && fault == ModelFault::DropsItem)
            members->removeAt(members->size() / 2);
        if (batch && fault == ModelFault::Shuffles)
            std::reverse(members->begin(), members->end());
        if (batch && fault == ModelFault::SwapsTwo)
            members->swapItemsAt(0, 1);
        QStringList translated;
        for (auto &[key, text] : *members) {
            if (batch && fault == ModelFault::DropsLine && text.contains(u'\n'))
                text.truncate(text.lastIndexOf(u'\n'));
            translated.append(QString::fromUtf8(
                QJsonDocument(QJsonArray {key, u"[nl] "_s + text}).toJson(QJsonDocument::Compact).sliced(1).chopped(1))
                                  .replace(u"\",\""_s, u"\": \""_s));
        }
        content = u"{"_s + translated.join(u", "_s) + u"}"_s;
    }
    const QJsonObject message {{"role"_L1, "assistant"_L1}, {"content"_L1, content}};
    const QJsonObject answer {
        {"choices"_L1, QJsonArray {QJsonObject {{"message"_L1, message}, {"finish_reason"_L1, "stop"_L1}}}}};
    return QJsonDocument(answer).toJson();
}

QByteArray quoted(const QString &text)
{
    QByteArray out = "\"";
    for (const char c : text.toUtf8()) {
        if (c == '"' || c == '\\')
            out += '\\';
        if (c == '\n')
            out += "\\n";
        else if (c == '\t')
            out += "\\t";
        else
            out += c;
    }
    return out + '"';
}

// An untranslated catalog of `count` entries (the messages again with a
// number once they run out, so that no two entries are alike).
void writeCatalog(const QString &path, const QString &language, const QStringList &messages, int count)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        qFatal("cannot write %s", qPrintable(path));
    file.write("msgid \"\"\nmsgstr \"\"\n\"Language: " + language.toUtf8()
        + "\\n\"\n\"MIME-Version: 1.0\\n\"\n\"Content-Type: text/plain; charset=UTF-8\\n\"\n"
          "\"Content-Transfer-Encoding: 8bit\\n\"\n\n");
    for (int i = 0; i < count; ++i) {
        const QString text = i < messages.size() ? messages[i] : messages[i % messages.size()] + u" %1"_s.arg(i);
        file.write("msgid " + quoted(text) + "\nmsgstr \"\"\n\n");
    }
}

// Runs tarnix-fill to its end, keeping this process's stand-ins answering;
// its wall time in milliseconds. With `peakMb`, its own peak memory as GNU
// time reads it: RUSAGE_CHILDREN would count this process's pages in the
// child forked from it until it runs tarnix-fill, and a bench holding a
// large catalog of its own would read as tarnix-fill's peak.
double runFill(const QUrl &service, const QString &catalog, int jobsInFlight = jobs, const QStringList &options = {},
    double *peakMb = nullptr)
{
    QProcess fill;
    fill.setStandardOutputFile(QProcess::nullDevice());
    if (!peakMb)
        fill.setStandardErrorFile(QProcess::nullDevice());
    QElapsedTimer clock;
    clock.start();
    const QStringList arguments =
        QStringList {u"--service"_s, service.toString(), u"--jobs"_s, QString::number(jobsInFlight)} + options
        + QStringList {catalog};
    if (peakMb)
        fill.start(
            u"/usr/bin/time"_s, QStringList {u"-f"_s, u"peak %M"_s, QStringLiteral(TARNIX_FILL_BINARY)} + arguments);
    else
        fill.start(QStringLiteral(TARNIX_FILL_BINARY), arguments);
    if (!fill.waitForStarted())
        qFatal("tarnix-fill did not start");
    while (fill.state() != QProcess::NotRunning)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 20);
    const double ms = clock.nsecsElapsed() / 1e6;
    if (fill.exitStatus() != QProcess::NormalExit || fill.exitCode() == 2)
        qFatal("tarnix-fill failed on %s (exit %d)", qPrintable(catalog), fill.exitCode());
    if (peakMb) {
        const QString said = QString::fromLocal8Bit(fill.readAllStandardError());
        const qsizetype at = said.lastIndexOf(u"peak "_s);
        if (at < 0)
            qFatal("GNU time (package time) did not say tarnix-fill's peak: %s", qPrintable(said));
        *peakMb = said.sliced(at + 5).trimmed().toDouble() / 1024.0;
    }
    return ms;
}

// The same texts straight to APy, `jobs` at a time over two connections'
// worth of network managers, as tarnix-fill sends them; milliseconds.
double straightToApy(const QUrl &apy, const QStringList &texts)
{
    QNetworkAccessManager a;
    QNetworkAccessManager b;
    QNetworkAccessManager *managers[] = {&a, &b};
    qsizetype next = 0;
    int inFlight = 0;
    int failed = 0;
    QElapsedTimer clock;
    clock.start();
    const QUrl url = apy.resolved(QUrl(u"/translate"_s));
    std::function<void()> send = [&]() {
        while (inFlight < jobs && next < texts.size()) {
            QNetworkRequest request(url);
            request.setHeader(QNetworkRequest::ContentTypeHeader, "application/x-www-form-urlencoded"_ba);
            QNetworkReply *reply =
                managers[next % 2]->post(request, tarnix::service::apyTranslateBody(u"eng"_s, u"spa"_s, texts[next]));
            ++next;
            ++inFlight;
            QObject::connect(reply, &QNetworkReply::finished, reply, [&, reply]() {
                if (reply->error() != QNetworkReply::NoError)
                    ++failed;
                reply->deleteLater();
                --inFlight;
                send();
            });
        }
    };
    send();
    while (inFlight > 0)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 20);
    if (failed > texts.size() / 10)
        qFatal("APy failed %d of %lld requests", failed, qlonglong(texts.size()));
    return clock.nsecsElapsed() / 1e6;
}

// The same texts posted straight to the service with tarnix-fill's own
// client, `jobs` at a time: the run without tarnix-fill's reading, planning
// and writing; milliseconds.
double straightToService(const QUrl &service, const QString &target, const QStringList &texts)
{
    tarnix::fill::ServiceClient client(service, jobs);
    int answered = 0;
    QElapsedTimer clock;
    clock.start();
    for (const QString &text : texts)
        client.ask(u"en"_s, target, text, QString(), [&answered](const tarnix::fill::Answer &) { ++answered; });
    while (answered < texts.size())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 20);
    return clock.nsecsElapsed() / 1e6;
}

// The service's answers to `texts` through tarnix-fill's client, in batches
// of `batchSize`: each translation, or "refused: why"; and the milliseconds.
std::pair<QStringList, double> answersOf(const QUrl &service, const QStringList &texts, int batchSize)
{
    tarnix::fill::ServiceClient client(service, jobs, batchSize);
    QStringList answers(texts.size());
    int answered = 0;
    QElapsedTimer clock;
    clock.start();
    for (qsizetype i = 0; i < texts.size(); ++i) {
        client.ask(u"en"_s, u"es"_s, texts[i], QString(), [&answered, &answers, i](const tarnix::fill::Answer &answer) {
            answers[i] =
                answer.kind == tarnix::fill::Answer::Kind::Translated ? answer.text : u"refused: "_s + answer.text;
            ++answered;
        });
    }
    while (answered < texts.size())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 20);
    return {answers, clock.nsecsElapsed() / 1e6};
}

// A nested i18next catalog of `count` keys, 100 to a section, every value
// `value(i)`, indented as i18next's tools write it.
QByteArray i18nextCatalog(int count, const std::function<QString(int)> &value)
{
    QByteArray json = "{\n";
    for (int i = 0; i < count; ++i) {
        if (i % 100 == 0)
            json += "  \"section" + QByteArray::number(i / 100) + "\": {\n";
        json += "    \"key" + QByteArray::number(i)
            + "\": " + QJsonDocument(QJsonArray {value(i)}).toJson(QJsonDocument::Compact).sliced(1).chopped(1);
        json += (i % 100 == 99 || i + 1 == count) ? "\n  }" : "";
        json += i + 1 == count ? "\n" : ",\n";
    }
    return json + "}\n";
}

// A properties file of `count` keys, 100 to a commented section, every
// value `value(i)` escaped as Properties.store() writes it (ASCII, \\u escapes).
QByteArray propertiesFile(int count, const std::function<QString(int)> &value)
{
    tarnix::fill::properties::File style;
    QString text;
    for (int i = 0; i < count; ++i) {
        if (i % 100 == 0)
            text += u"\n# section "_s + QString::number(i / 100) + u'\n';
        text += u"section"_s + QString::number(i / 100) + u".key"_s + QString::number(i) + u'='
            + tarnix::fill::properties::escaped(value(i), style, false) + u'\n';
    }
    return text.toLatin1();
}

// An Android strings.xml of `count` strings, every value `value(i)` written
// as Android reads it.
QByteArray androidResources(int count, const std::function<QString(int)> &value)
{
    QByteArray xml = "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<resources>\n";
    for (int i = 0; i < count; ++i)
        xml += "    <string name=\"key" + QByteArray::number(i) + "\">"
            + tarnix::fill::androidEscaped(value(i), {}, false).value_or(QString()).toUtf8() + "</string>\n";
    return xml + "</resources>\n";
}

// Qt's XML reader through the same bytes, every token and its text:
// milliseconds, the best of three.
double qtXmlRead(const QList<QByteArray> &files)
{
    double best = std::numeric_limits<double>::infinity();
    for (int run = 0; run < 3; ++run) {
        QElapsedTimer clock;
        clock.start();
        qsizetype characters = 0;
        for (const QByteArray &bytes : files) {
            QXmlStreamReader reader(bytes);
            while (!reader.atEnd())
                characters += reader.readNext() == QXmlStreamReader::Characters ? reader.text().size() : 0;
            if (reader.hasError() || characters == 0)
                qFatal("Qt cannot read the Android resources");
        }
        best = std::min(best, clock.nsecsElapsed() / 1e6);
    }
    return best;
}

// Qt's JSON reader and writer on the same bytes: milliseconds, the best of three.
double qtJsonReadWrite(const QByteArray &bytes)
{
    double best = std::numeric_limits<double>::infinity();
    for (int run = 0; run < 3; ++run) {
        QElapsedTimer clock;
        clock.start();
        const QByteArray again = QJsonDocument::fromJson(bytes).toJson();
        if (again.isEmpty())
            qFatal("Qt cannot read the i18next catalog");
        best = std::min(best, clock.nsecsElapsed() / 1e6);
    }
    return best;
}

void writeFile(const QString &path, const QByteArray &bytes)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(bytes) != bytes.size())
        qFatal("cannot write %s", qPrintable(path));
}

// A Flutter ARB template of the texts and an empty Spanish file beside it.
void writeArb(const QString &folder, const QStringList &texts)
{
    QJsonObject english {{"@@locale"_L1, "en"_L1}};
    for (qsizetype i = 0; i < texts.size(); ++i)
        english.insert(u"message%1"_s.arg(i), texts[i]);
    writeFile(folder + u"/app_en.arb"_s, QJsonDocument(english).toJson());
    writeFile(folder + u"/app_es.arb"_s, "{\n  \"@@locale\": \"es\"\n}\n");
}

// tarnix-fill filling a catalog against a stand-in that answers at once,
// and its own peak memory.
void fillAgainstStandIn(const QString &target, const QStringList &options = {})
{
    LoopbackServer standIn;
    if (!standIn.start())
        qFatal("cannot listen on loopback");
    double peak = 0;
    const double ms = runFill(standIn.url(), target, 32, options, &peak);
    std::printf("  tarnix-fill filling it (%.0f ms): peak memory %.1f MB = %.2f x the 100 MB limit (target <= 1)\n", ms,
        peak, peak / 100.0);
}

quint16 startService(QProcess &service, const QStringList &options)
{
    const quint16 port = tarnix::test::freeLoopbackPort();
    service.setStandardOutputFile(QProcess::nullDevice());
    service.setReadChannel(QProcess::StandardError);
    service.start(QStringLiteral(TARNIX_SERVICE_BINARY), QStringList {u"--port"_s, QString::number(port)} + options);
    for (int i = 0; i < 200 && service.state() != QProcess::NotRunning; ++i) {
        QTcpSocket probe;
        probe.connectToHost(QHostAddress::LocalHost, port);
        if (probe.waitForConnected(100))
            return port;
        service.waitForReadyRead(50); // its request log, read so that it never blocks
        service.readAll();
    }
    qFatal("tarnix-service did not start:\n%s", service.readAll().constData());
}

void stop(QProcess &process)
{
    process.terminate();
    if (!process.waitForFinished(15000))
        process.kill();
}

// The source of each entry of a PO catalog and its translation.
QHash<QString, QString> translationsOf(const QString &path)
{
    tarnix::fill::PoFormat format;
    tarnix::fill::Catalog catalog;
    QString error;
    if (!format.read(path, catalog, error))
        qFatal("cannot read %s: %s", qPrintable(path), qPrintable(error));
    QHash<QString, QString> translations;
    for (const tarnix::fill::Entry &entry : catalog.entries)
        translations.insert(entry.source, entry.translations.value(0));
    return translations;
}

// 400 GNU messages filled through a language-model stand-in that answers
// batches, honest and then with each fault: requests per entry, and how
// many entries each faulty run fills as the honest run does.
void modelBatchRow(const QTemporaryDir &scratch)
{
    const QStringList messages = gnuMessages(modelEntries);
    const auto several = std::count_if(
        messages.cbegin(), messages.cend(), [](const QString &text) { return text.trimmed().contains(u'\n'); });
    std::printf("%d GNU messages (%lld of several lines) through a language-model stand-in that answers batches, "
                "limit %d:\n",
        modelEntries, qlonglong(several), modelLimit);
    QHash<QString, QString> honest;
    const std::pair<ModelFault, const char *> faults[] = {{ModelFault::None, "honest"},
        {ModelFault::DropsItem, "leaves an item out"}, {ModelFault::Shuffles, "answers in reverse order"},
        {ModelFault::SwapsTwo, "swaps two items"}, {ModelFault::DropsLine, "drops an item's last line"}};
    for (const auto &[fault, name] : faults) {
        LoopbackServer model;
        if (!model.start())
            qFatal("cannot listen on loopback");
        model.setResponder([fault](const tarnix::test::RecordedRequest &request) {
            return Answer {Answer::Kind::Complete, 200, modelAnswer(request.body, fault), {}, 0};
        });
        QFile conf(scratch.filePath(u"batches.conf"_s));
        if (!conf.open(QIODevice::WriteOnly | QIODevice::Truncate))
            qFatal("cannot write the configuration");
        conf.write(u"[memory]\nmemory = off\n[engines]\norder = llm\n[llm]\ntype = language-model\nurl = %1\n"
                   u"model = bench\nlimit = %2\n"_s.arg(model.url().toString())
                       .arg(modelLimit)
                       .toUtf8());
        conf.close();
        QProcess service;
        const QUrl url(u"http://127.0.0.1:%1"_s.arg(startService(service, {u"--config"_s, conf.fileName()})));
        const QString catalog = scratch.filePath(u"batches-nl.po"_s);
        writeCatalog(catalog, u"nl"_s, messages, modelEntries);
        runFill(url, catalog);
        stop(service);
        const QHash<QString, QString> filled = translationsOf(catalog);
        qsizetype translated = 0;
        qsizetype same = 0;
        qsizetype lostLines = 0; // filled with fewer lines than the source
        for (const QString &text : messages) {
            const QString translation = filled.value(text);
            translated += translation.isEmpty() ? 0 : 1;
            const bool alike = translation == honest.value(text, translation);
            same += alike ? 1 : 0;
            if (!alike && qEnvironmentVariableIsSet("TARNIX_BENCH_SHOW"))
                std::printf("    differs: %s\n      honest: %s\n      this:   %s\n", qPrintable(text),
                    qPrintable(honest.value(text)), qPrintable(translation));
            lostLines += !translation.isEmpty() && translation.count(u'\n') < text.count(u'\n') ? 1 : 0;
        }
        if (fault == ModelFault::None)
            honest = filled;
        const auto requests = model.requests().size();
        std::printf("  %-26s %4lld requests = %.3f per entry (target <= 0.1); %lld filled, %lld with a line fewer "
                    "than the source; %lld of %d as the honest run fills them\n",
            name, qlonglong(requests), double(requests) / modelEntries, qlonglong(translated), qlonglong(lostLines),
            qlonglong(same), modelEntries);
    }
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    std::setvbuf(stdout, nullptr, _IOLBF, 0); // each figure as soon as it is measured
    const bool batchesOnly = argc > 1 && QByteArray(argv[1]) == "--model-batches";
    const int entries = argc > 1 && !batchesOnly ? std::max(10, QString::fromLocal8Bit(argv[1]).toInt()) : 2000;
    QTemporaryDir scratch;
    qputenv("XDG_CONFIG_HOME", scratch.filePath(u"config"_s).toLocal8Bit());
    qputenv("XDG_DATA_HOME", scratch.filePath(u"data"_s).toLocal8Bit());
    if (batchesOnly) {
        modelBatchRow(scratch);
        return 0;
    }
    const QStringList messages = realMessages(std::max(entries, modelEntries));
    std::printf("%lld real messages from Debian's catalogs\n", qlonglong(messages.size()));

    double jsonRate = 0; // the i18next format's MB/s, for the properties row
    // Android's resources:
    // the English strings.xml, and a Spanish one of empty strings to fill.
    {
        const QString source = scratch.filePath(u"res/values/strings.xml"_s);
        const QString target = scratch.filePath(u"res/values-es/strings.xml"_s);
        const QByteArray english = androidResources(bigCatalog, [&](int i) { return messages[i % messages.size()]; });
        const QByteArray empty = androidResources(bigCatalog, [](int) { return QString(); });
        writeFile(source, english);
        writeFile(target, empty);
        const double ours = formatReadWrite<tarnix::fill::AndroidFormat>({target, source}, "Android resources");
        const double qt = qtXmlRead({english, empty});
        const double mb = double(english.size() + empty.size()) / 1e6;
        std::printf("an Android strings.xml of %d strings (%.1f MB with its Spanish file), read and every string "
                    "written back:\n",
            bigCatalog, mb);
        std::printf("  tarnix-fill's format %6.0f ms  %6.1f MB/s (target >= 20) = %.2f x Qt's XML reader alone "
                    "(%.0f ms)\n",
            ours, mb / ours * 1000, qt / ours, qt);
        fillAgainstStandIn(target);
    }

    // A big i18next catalog next:
    // its English source, and a Spanish target of empty values to fill.
    {
        const QString source = scratch.filePath(u"locales/en/big.json"_s);
        const QString target = scratch.filePath(u"locales/es/big.json"_s);
        const QByteArray english = i18nextCatalog(bigCatalog, [&](int i) { return messages[i % messages.size()]; });
        const QByteArray empty = i18nextCatalog(bigCatalog, [](int) { return QString(); });
        writeFile(source, english);
        writeFile(target, empty);
        const double ours = formatReadWrite<tarnix::fill::I18nextFormat>({target, source}, "i18next catalog");
        const double qt = qtJsonReadWrite(english);
        const double mb = double(english.size() + empty.size()) / 1e6;
        jsonRate = mb / ours * 1000;
        std::printf("a %d-key nested i18next catalog (%.1f MB with its source), read and every value written back:\n",
            bigCatalog, mb);
        std::printf("  tarnix-fill's format %6.0f ms  %6.1f MB/s (target >= 20) = %.2f x Qt's JSON reader and writer "
                    "(%.0f ms on the source alone)\n",
            ours, mb / ours * 1000, qt / ours * (mb / (double(english.size()) / 1e6)), qt);
        fillAgainstStandIn(target);
    }

    // A string catalog of 20 languages, Spanish to fill.
    {
        const QString path = scratch.filePath(u"xcode/Localizable.xcstrings"_s);
        const QByteArray bytes = stringCatalog(messages, 5000, 19);
        writeFile(path, bytes);
        const double ours = formatReadWrite<tarnix::fill::XcstringsFormat>({path, {}, u"es"_s}, "string catalog");
        const double mb = double(bytes.size()) / 1e6;
        std::printf("a 5,000-key string catalog of 20 languages (%.1f MB), read for Spanish and every unit written:\n"
                    "  tarnix-fill's format %6.0f ms  %6.1f MB/s (target >= 20)\n",
            mb, ours, mb / ours * 1000);
        fillAgainstStandIn(path, {u"--to"_s, u"es"_s});
    }

    // A big properties file: its source and a Spanish file of empty values.
    {
        const QString source = scratch.filePath(u"big/Messages.properties"_s);
        const QString target = scratch.filePath(u"big/Messages_es.properties"_s);
        const QByteArray english = propertiesFile(bigCatalog, [&](int i) { return messages[i % messages.size()]; });
        const QByteArray empty = propertiesFile(bigCatalog, [](int) { return QString(); });
        writeFile(source, english);
        writeFile(target, empty);
        const double ours = formatReadWrite<tarnix::fill::PropertiesFormat>({target, source}, "properties file");
        const double mb = double(english.size() + empty.size()) / 1e6;
        std::printf("a %d-key Java properties file (%.1f MB with its source), read and every value written back:\n",
            bigCatalog, mb);
        std::printf("  tarnix-fill's format %6.0f ms  %6.1f MB/s (target >= 20) = %.2f x the i18next format's MB/s "
                    "above\n",
            ours, mb / ours * 1000, mb / ours * 1000 / jsonRate);
        fillAgainstStandIn(target);
    }

    // A PO catalog's peak memory.
    {
        const QString big = scratch.filePath(u"big-es.po"_s);
        writeCatalog(big, u"es"_s, messages, bigCatalog);
        std::printf("a %d-entry PO catalog (%.1f MB on disk):\n", bigCatalog, double(QFileInfo(big).size()) / 1e6);
        fillAgainstStandIn(big);
    }

    // Apertium: the same texts straight to APy, then through the service.
    tarnix::service::ApyProcess apy;
    bool ready = false;
    QString failure;
    QObject::connect(&apy, &tarnix::service::ApyProcess::ready, &app, [&ready]() { ready = true; });
    QObject::connect(
        &apy, &tarnix::service::ApyProcess::failed, &app, [&failure](const QString &why) { failure = why; });
    apy.start();
    while (!ready && failure.isEmpty())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 100);
    if (!ready)
        qFatal("APy did not start: %s", qPrintable(failure));
    QProcess service;
    const QUrl serviceUrl(u"http://127.0.0.1:%1"_s.arg(
        startService(service, {u"--engine"_s, u"apertium"_s, u"--engine-url"_s, apy.url().toString()})));
    const QStringList texts = messages.first(std::min<qsizetype>(entries, messages.size()));
    straightToApy(apy.url(), texts.first(std::min<qsizetype>(50, texts.size()))); // warm up APy's pipelines
    const QString catalog = scratch.filePath(u"es.po"_s);
    const double direct = straightToApy(apy.url(), texts);
    writeCatalog(catalog, u"es"_s, texts, int(texts.size()));
    const double first = runFill(serviceUrl, catalog);
    writeCatalog(catalog, u"es"_s, texts, int(texts.size()));
    const double second = runFill(serviceUrl, catalog);
    stop(service);
    // The same texts as an ARB file and as a PO file, through a service
    // without a memory, so that each run asks Apertium for every entry.
    // Texts with braces are left out: in an ARB file they are ICU syntax.
    QStringList plain;
    for (const QString &text : texts) {
        if (!text.contains(u'{') && !text.contains(u'}'))
            plain.append(text);
    }
    QFile memoryless(scratch.filePath(u"memoryless.conf"_s));
    if (!memoryless.open(QIODevice::WriteOnly))
        qFatal("cannot write the configuration");
    memoryless.write(
        u"[memory]\nmemory = off\n[engines]\norder = apertium\n[apertium]\nurl = %1\n"_s.arg(apy.url().toString())
            .toUtf8());
    memoryless.close();
    QProcess plainService;
    const QUrl plainUrl(
        u"http://127.0.0.1:%1"_s.arg(startService(plainService, {u"--config"_s, memoryless.fileName()})));
    const QString arbFolder = scratch.filePath(u"l10n"_s);
    const QString plainPo = scratch.filePath(u"plain-es.po"_s);
    writeCatalog(plainPo, u"es"_s, plain, int(plain.size()));
    writeArb(arbFolder, plain);
    const double asPo = runFill(plainUrl, plainPo);
    const double asArb = runFill(plainUrl, arbFolder + u"/app_es.arb"_s);
    stop(plainService);
    // The machine's load moves during a long run: APy is timed before and after.
    const double directAfter = straightToApy(apy.url(), texts);
    std::printf("%lld entries into Spanish through Apertium, %d at a time:\n", qlonglong(texts.size()), jobs);
    const double apyTime = (direct + directAfter) / 2;
    std::printf("  straight to APy  %8.0f ms  %6.1f entries/s (mean of %.0f ms before and %.0f ms after)\n", apyTime,
        texts.size() / apyTime * 1000, direct, directAfter);
    std::printf("  tarnix-fill      %8.0f ms  %6.1f entries/s = %.2f x APy's rate one by one (target >= 8)\n", first,
        texts.size() / first * 1000, apyTime / first);
    std::printf("  again (memory)   %8.0f ms = %.3f x the first run, %.3f x APy's time one by one (target <= 0.05)\n",
        second, second / first, second / apyTime);

    // Batches against single requests, through a service without memory.
    {
        QFile config(scratch.filePath(u"plain.conf"_s));
        if (!config.open(QIODevice::WriteOnly))
            qFatal("cannot write the configuration");
        config.write(
            u"[memory]\nmemory = off\n[engines]\norder = apertium\n[apertium]\nurl = %1\n"_s.arg(apy.url().toString())
                .toUtf8());
        config.close();
        QProcess batchService;
        const QUrl batchUrl(
            u"http://127.0.0.1:%1"_s.arg(startService(batchService, {u"--config"_s, config.fileName()})));
        const auto [batched, batchedMs] = answersOf(batchUrl, texts, tarnix::fill::ServiceClient::defaultBatchSize);
        const auto [single, singleMs] = answersOf(batchUrl, texts, 1);
        stop(batchService);
        qsizetype same = 0;
        int shown = 0;
        for (qsizetype i = 0; i < texts.size(); ++i) {
            if (batched[i] == single[i]) {
                ++same;
            } else if (shown++ < 5) {
                std::printf("    differs: %s\n      batch:  %s\n      alone:  %s\n", qPrintable(texts[i]),
                    qPrintable(batched[i]), qPrintable(single[i]));
            }
        }
        std::printf("  without memory: batches of %d %8.0f ms, each alone %8.0f ms (%.2f x); %lld of %lld answers "
                    "the same\n",
            tarnix::fill::ServiceClient::defaultBatchSize, batchedMs, singleMs, singleMs / batchedMs, qlonglong(same),
            qlonglong(texts.size()));
    }
    std::printf("%lld of them as a Flutter ARB file and as a PO file, without a memory:\n", qlonglong(plain.size()));
    std::printf("  PO  %8.0f ms  %6.1f entries/s\n  ARB %8.0f ms  %6.1f entries/s = %.2f x PO's rate (target >= 0.9)\n",
        asPo, plain.size() / asPo * 1000, asArb, plain.size() / asArb * 1000, asPo / asArb);

    // A language model that answers in 50 ms, at most 4 at a time.
    LoopbackServer model;
    if (!model.start())
        qFatal("cannot listen on loopback");
    model.setResponder([](const tarnix::test::RecordedRequest &request) {
        const QJsonArray messages = QJsonDocument::fromJson(request.body).object().value("messages"_L1).toArray();
        const QString user = messages.at(1).toObject().value("content"_L1).toString();
        QString content = u"[nl] "_s + user;
        // A batch: a JSON object of texts keyed by number, answered the same way.
        if (const auto members = tarnix::service::orderedStringMembers(user); members && user.startsWith(u'{')) {
            QStringList translated;
            for (const auto &[key, text] : *members) {
                translated.append(QString::fromUtf8(QJsonDocument(QJsonArray {key, u"[nl] "_s + text})
                                                        .toJson(QJsonDocument::Compact)
                                                        .sliced(1)
                                                        .chopped(1))
                                      .replace(u"\",\""_s, u"\": \""_s));
            }
            content = u"{"_s + translated.join(u", "_s) + u"}"_s;
        }
        const QJsonObject message {{"role"_L1, "assistant"_L1}, {"content"_L1, content}};
        const QJsonObject answer {
            {"choices"_L1, QJsonArray {QJsonObject {{"message"_L1, message}, {"finish_reason"_L1, "stop"_L1}}}}};
        return Answer {Answer::Kind::Complete, 200, QJsonDocument(answer).toJson(), {}, modelLatencyMs};
    });
    QFile conf(scratch.filePath(u"model.conf"_s));
    if (!conf.open(QIODevice::WriteOnly))
        qFatal("cannot write the configuration");
    conf.write(u"[memory]\nmemory = off\n[engines]\norder = llm\n[llm]\ntype = language-model\nurl = %1\nmodel = "
               u"bench\nlimit = %2\n"_s.arg(model.url().toString())
                   .arg(modelLimit)
                   .toUtf8());
    conf.close();
    QProcess modelService;
    const QUrl modelUrl(u"http://127.0.0.1:%1"_s.arg(startService(modelService, {u"--config"_s, conf.fileName()})));
    const QString dutch = scratch.filePath(u"nl.po"_s);
    // Each is short and the machine's load is not: the best of three runs,
    // alternating, stands for what the code costs.
    double routed = std::numeric_limits<double>::infinity();
    double posted = std::numeric_limits<double>::infinity();
    for (int run = 0; run < 3; ++run) {
        writeCatalog(dutch, u"nl"_s, messages, modelEntries);
        routed = std::min(routed, runFill(modelUrl, dutch));
        posted = std::min(posted, straightToService(modelUrl, u"nl"_s, messages.first(modelEntries)));
    }
    stop(modelService);
    const double ideal = double(modelEntries / modelLimit) * modelLatencyMs;
    std::printf("%d entries through a language model answering in %d ms with a limit of %d (best of 3):\n",
        modelEntries, modelLatencyMs, modelLimit);
    std::printf("  tarnix-fill      %8.0f ms = %.3f x the ideal %.0f ms (%d waves; target <= 1.10)\n", routed,
        routed / ideal, ideal, modelEntries / modelLimit);
    std::printf("  posted straight to the service %8.0f ms = %.3f x the ideal (the service and this machine's share)\n",
        posted, posted / ideal);
    return 0;
}
