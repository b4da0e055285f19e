// Sends a corpus of real UI messages (tools/build-corpus.py) through
// tarnix-service, English to each target, and prints per target: answered,
// refused (422), failed (any other status), directives changed (a 200 whose
// directives differ from the source's, or with another number of '%' signs),
// command-line lists and shell expansions changed (found with patterns of
// their own, not the service's grammar), engine marks leaked, lowercase
// starts kept, white space kept, median latency; then whether GNU msgfmt
// --check-format accepts every answer to a printf message.
//
//   corpus CORPUS.jsonl [--service URL] [--reference BINARY] [--targets es,it,pt] [--in-flight N] [--show N]
//
// Without --service it starts the built tarnix-service (which starts APy) on
// a free loopback port, with Apertium alone and no translation memory, and
// stops it at the end. --reference starts another build of the service the
// same way (an earlier commit's, say) and sends it the same corpus, block
// by block in turn with this one, to print its figures and the ratio of the
// medians.

#include <algorithm>
#include <cstdio>
#include <deque>
#include <functional>
#include <memory>
#include <numeric>
#include <optional>
#include <vector>

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QHostAddress>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QProcess>
#include <QRegularExpression>
#include <QSet>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTemporaryFile>
#include <QThread>

#include "service/text/placeholdercheck.h"
#include "service/text/placeholdergrammar.h"
#include "tests/support/loopbackserver.h"

using namespace Qt::StringLiterals;
using namespace tarnix::service;

namespace {

struct Message
{
    QString catalog;
    QString text;
};

QList<Message> readCorpus(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        qFatal("cannot read %s (build it with tools/build-corpus.py)", qPrintable(path));
    QList<Message> corpus;
    while (!file.atEnd()) {
        const QJsonObject entry = QJsonDocument::fromJson(file.readLine()).object();
        if (!entry.isEmpty())
            corpus.append(Message {entry.value("catalog"_L1).toString(), entry.value("text"_L1).toString()});
    }
    return corpus;
}

// The translation between the page's markers, its three references decoded.
QString pageText(const QByteArray &page)
{
    const QByteArray open = "<span id=result_box class=short_text>";
    const qsizetype start = page.indexOf(open) + open.size();
    const qsizetype end = page.indexOf("</span></div><div id=gt-res-tools");
    return QString::fromUtf8(page.mid(start, end - start))
        .replace(u"&#60;"_s, u"<"_s)
        .replace(u"&#62;"_s, u">"_s)
        .replace(u"&#38;"_s, u"&"_s);
}

QString errorText(const QByteArray &page)
{
    const qsizetype start = page.indexOf("<p>") + 3;
    return QString::fromUtf8(page.mid(start, page.indexOf("</p>") - start));
}

// A mark ('*', '#', '@' before a word) the translation has and the source has not.
bool leaksMark(const QString &source, const QString &translation)
{
    static const QRegularExpression mark(uR"((?<![\p{L}\p{N}])([*#@])\p{L})"_s);
    auto it = mark.globalMatch(translation);
    while (it.hasNext()) {
        const QString sign = it.next().captured(1);
        if (!QRegularExpression(uR"((?<![\p{L}\p{N}]))"_s + QRegularExpression::escape(sign) + uR"(\p{L})"_s)
                 .match(source)
                 .hasMatch())
            return true;
    }
    return false;
}

// The first letter outside placeholders; null when there is none.
QChar firstLetter(const QString &text)
{
    const QList<Placeholder> placeholders = findPlaceholders(text);
    for (qsizetype i = 0; i < text.size(); ++i) {
        const auto inside = std::any_of(placeholders.begin(), placeholders.end(),
            [i](const Placeholder &p) { return i >= p.start && i < p.start + p.length; });
        if (!inside && text[i].isLetter())
            return text[i];
    }
    return QChar();
}

// The white space that must survive: at both ends, between two placeholders,
// and every run of two or more white-space characters or with a tab or line
// break. Empty when the text has none.
QStringList fixedSpace(const QString &text)
{
    static const QRegularExpression run(u"\\s{2,}|[\\t\\n]"_s);
    static const QRegularExpression ends(u"^\\s*|\\s*$"_s);
    QStringList found;
    for (const QRegularExpression *pattern : {&ends, &run}) {
        auto it = pattern->globalMatch(text);
        while (it.hasNext())
            found.append(it.next().captured());
    }
    const QList<Placeholder> placeholders = findPlaceholders(text);
    for (qsizetype i = 1; i < placeholders.size(); ++i) {
        const qsizetype end = placeholders[i - 1].start + placeholders[i - 1].length;
        const QString between = text.sliced(end, placeholders[i].start - end);
        if (!between.isEmpty() && between.trimmed().isEmpty())
            found.append(u"between:"_s + between);
    }
    const bool any = std::any_of(found.begin(), found.end(), [](const QString &s) { return !s.isEmpty(); });
    return any ? found : QStringList();
}

// Command-line lists of literal values ("{auto|manual}", "<number|name>",
// not "{FILE|DIR}") and shell expansions ("${1##*=}", "$(cmd)", "$1"), as a
// multiset: the answer must hold the source's.
QStringList codeUnits(const QString &text, const QRegularExpression &pattern)
{
    QStringList found;
    auto it = pattern.globalMatch(text);
    while (it.hasNext())
        found.append(it.next().captured());
    std::sort(found.begin(), found.end());
    return found;
}

const QRegularExpression &listPattern()
{
    static const QRegularExpression pattern(uR"([{<](?=[^{}<>]*[a-z0-9])[\w.+-]+(?:[|,][\w.+-]+)+[}>])"_s);
    return pattern;
}

const QRegularExpression &shellPattern()
{
    static const QRegularExpression pattern(
        uR"(\$\{(?:[^{}]|\{[^{}]*\})*\}|\$\((?:[^()]|\((?:[^()]|\([^()]*\))*\))*\)|\$[A-Za-z_]\w*|\$[0-9](?![0-9]))"_s);
    return pattern;
}

// A printf message: a C directive and no Qt "%1" beside it. A space flag
// does not count ("99% of the time" is text, as the service's grammar has it).
bool looksLikePrintf(const QString &text)
{
    static const QRegularExpression directive(
        uR"(%(?:[0-9]+\$)?[-+#0']*(?:\*|[0-9]+)?(?:\.(?:\*|[0-9]+))?(?:hh|h|ll|l|L|j|z|t)?[diouxXeEfgGcsp])"_s);
    static const QRegularExpression qt(uR"(%L?[1-9](?![0-9]*\$))"_s);
    return directive.match(text).hasMatch() && !qt.match(text).hasMatch();
}

struct Tally
{
    int answered = 0;
    int refused = 0;
    int failed = 0;
    int corrupted = 0;
    int listsChanged = 0;
    int shellChanged = 0;
    int leaked = 0;
    int lowercaseSources = 0;
    int lowercaseKept = 0;
    int spacedSources = 0;
    int spacesKept = 0;
    std::vector<double> milliseconds;
    QStringList refusals;
    QStringList corruptions;
    QStringList otherFaults; // marks, case, white space
    QList<std::pair<QString, QString>> printfAnswers; // source, translation
};

void judge(Tally &tally, const QString &source, int status, const QByteArray &page)
{
    if (status == 422) {
        ++tally.refused;
        tally.refusals.append(u"  refused   %1\n            %2"_s.arg(source.simplified(), errorText(page)));
        return;
    }
    if (status != 200) {
        ++tally.failed;
        return;
    }
    ++tally.answered;
    const QString translation = pageText(page);
    const auto mismatch = placeholderMismatch(source, translation);
    if (mismatch || source.count(u'%') != translation.count(u'%')) {
        ++tally.corrupted;
        tally.corruptions.append(u"  corrupted %1\n         -> %2 (%3)"_s.arg(
            source.simplified(), translation.simplified(), mismatch.value_or(u"'%' signs differ"_s)));
    }
    for (const auto &[pattern, count] :
        {std::pair {&listPattern(), &tally.listsChanged}, std::pair {&shellPattern(), &tally.shellChanged}}) {
        if (codeUnits(source, *pattern) != codeUnits(translation, *pattern)) {
            ++*count;
            tally.corruptions.append(
                u"  code      %1\n         -> %2"_s.arg(source.simplified(), translation.simplified()));
        }
    }
    if (looksLikePrintf(source))
        tally.printfAnswers.append({source, translation});
    const auto note = [&](const char *what) {
        tally.otherFaults.append(u"  %1 %2\n         -> %3"_s.arg(
            QString::fromLatin1(what).leftJustified(9), source.simplified(), translation.simplified()));
    };
    if (leaksMark(source, translation)) {
        ++tally.leaked;
        note("mark");
    }
    if (firstLetter(source).isLower()) {
        ++tally.lowercaseSources;
        if (firstLetter(translation).isUpper())
            note("case");
        else
            ++tally.lowercaseKept;
    }
    const QStringList space = fixedSpace(source);
    if (!space.isEmpty()) {
        ++tally.spacedSources;
        if (fixedSpace(translation) == space)
            ++tally.spacesKept;
        else
            note("space");
    }
}

QString share(int part, int whole)
{
    return u"%1/%2 (%3%)"_s.arg(part).arg(whole).arg(whole ? 100.0 * part / whole : 0.0, 0, 'f', 1);
}

bool answers(quint16 port)
{
    QTcpSocket probe;
    probe.connectToHost(QHostAddress::LocalHost, port);
    return probe.waitForConnected(200);
}

// Starts `binary` on a free loopback port with Apertium alone and no
// translation memory (every request reaches the engine, and the user's memory
// is left alone); its address once it answers.
QUrl startService(QProcess &service, const QString &binary, const QTemporaryDir &scratch)
{
    QFile config(scratch.filePath(u"service.conf"_s));
    if (!config.open(QIODevice::WriteOnly)
        || config.write("[engines]\norder = apertium\n[apertium]\n[memory]\nmemory = off\n") < 0)
        qFatal("cannot write %s", qPrintable(config.fileName()));
    config.close();
    const quint16 port = tarnix::test::freeLoopbackPort();
    service.setStandardErrorFile(QProcess::nullDevice()); // its request log
    service.start(binary, {u"--port"_s, QString::number(port), u"--config"_s, config.fileName()});
    QElapsedTimer waited;
    waited.start();
    while (!answers(port) && waited.elapsed() < 120000)
        QThread::msleep(200);
    return QUrl(u"http://127.0.0.1:%1/"_s.arg(port));
}

// Messages [first, last) of the corpus through the service at `url`,
// `inFlight` requests at once, into `tally`.
void runCorpus(Tally &tally, QNetworkAccessManager &net, const QUrl &url, const QList<Message> &corpus, qsizetype first,
    qsizetype last, const QString &target, int inFlight)
{
    std::deque<qsizetype> waiting(last - first);
    std::iota(waiting.begin(), waiting.end(), first);
    int running = 0;
    std::function<void()> sendNext = [&]() {
        if (waiting.empty())
            return;
        const qsizetype index = waiting.front();
        waiting.pop_front();
        QNetworkRequest request(url);
        request.setHeader(QNetworkRequest::ContentTypeHeader, QByteArrayLiteral("application/x-www-form-urlencoded"));
        const QByteArray body = "js=n&prev=_t&hl=en&ie=UTF-8&layout=2&eotf=1&sl=en&tl=" + target.toUtf8()
            + "&text=" + corpus[index].text.toUtf8().toPercentEncoding();
        auto clock = std::make_shared<QElapsedTimer>();
        clock->start();
        QNetworkReply *reply = net.post(request, body);
        ++running;
        QObject::connect(reply, &QNetworkReply::finished, &net, [&, reply, index, clock]() {
            tally.milliseconds.push_back(clock->nsecsElapsed() / 1e6);
            judge(tally, corpus[index].text, reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt(),
                reply->readAll());
            reply->deleteLater();
            --running;
            sendNext();
        });
    };
    for (int i = 0; i < inFlight; ++i)
        sendNext();
    while (running > 0)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
}

double median(const Tally &tally)
{
    return tally.milliseconds.empty() ? 0 : tally.milliseconds[tally.milliseconds.size() / 2];
}

// A PO string on one line.
QByteArray poString(const QString &text)
{
    QByteArray out = "\"";
    for (const char c : text.toUtf8()) {
        switch (c) {
        case '\\':
            out += "\\\\";
            break;
        case '"':
            out += "\\\"";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\t':
            out += "\\t";
            break;
        case '\r':
            out += "\\r";
            break;
        default:
            out += c;
        }
    }
    return out + '"';
}

// The entries GNU msgfmt --check-format finds fault with, as c-format
// entries of one PO file (each takes four lines, from line 4 on).
QSet<qsizetype> msgfmtFaults(const QList<std::pair<QString, QString>> &entries)
{
    QTemporaryFile po(QDir::temp().filePath(u"corpus-XXXXXX.po"_s));
    if (!po.open())
        qFatal("cannot write a PO file in %s", qPrintable(QDir::tempPath()));
    po.write("msgid \"\"\nmsgstr \"Content-Type: text/plain; charset=UTF-8\\n\"\n\n");
    for (const auto &[id, str] : entries)
        po.write("#, c-format\nmsgid " + poString(id) + "\nmsgstr " + poString(str) + "\n\n");
    po.flush();
    QProcess msgfmt;
    msgfmt.start(u"msgfmt"_s, {u"--check-format"_s, u"-o"_s, u"/dev/null"_s, po.fileName()});
    if (!msgfmt.waitForFinished(120000))
        qFatal("msgfmt did not run (gettext installed?)");
    static const QRegularExpression where(u":([0-9]+): "_s);
    QSet<qsizetype> faults;
    for (const QString &line : QString::fromUtf8(msgfmt.readAllStandardError()).split(u'\n')) {
        const auto match = where.match(line);
        if (match.hasMatch() && match.captured(1).toInt() >= 4)
            faults.insert((match.captured(1).toInt() - 4) / 4);
    }
    return faults;
}

void printRow(const char *label, const QString &target, const Tally &tally, qsizetype size)
{
    std::printf("%-6s %-9s %8d %16s %6d %10d %6d %6d %6d %20s %20s %10.1f\n", qPrintable(target), label, tally.answered,
        qPrintable(share(tally.refused, int(size))), tally.failed, tally.corrupted, tally.listsChanged,
        tally.shellChanged, tally.leaked, qPrintable(share(tally.lowercaseKept, tally.lowercaseSources)),
        qPrintable(share(tally.spacesKept, tally.spacedSources)), median(tally));
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    parser.addPositionalArgument(u"corpus"_s, u"the corpus, one JSON object a line"_s);
    parser.addOption({u"service"_s, u"a running service (default: start the built one)"_s, u"url"_s});
    parser.addOption({u"reference"_s, u"another build of tarnix-service to compare with"_s, u"binary"_s});
    parser.addOption({u"targets"_s, u"target languages"_s, u"codes"_s, u"es,it,pt"_s});
    parser.addOption({u"in-flight"_s, u"requests at once"_s, u"n"_s, u"3"_s});
    parser.addOption({u"show"_s, u"examples of each fault to print"_s, u"n"_s, u"5"_s});
    parser.addHelpOption();
    parser.process(app);
    if (parser.positionalArguments().size() != 1)
        parser.showHelp(2);
    const QList<Message> corpus = readCorpus(parser.positionalArguments().first());

    QProcess service;
    QProcess reference;
    QTemporaryDir scratch;
    QTemporaryDir referenceScratch;
    QUrl url(parser.value(u"service"_s));
    if (url.isEmpty())
        url = startService(service, QStringLiteral(TARNIX_SERVICE_BINARY), scratch);
    QUrl referenceUrl;
    if (parser.isSet(u"reference"_s))
        referenceUrl = startService(reference, parser.value(u"reference"_s), referenceScratch);

    const QStringList targets = parser.value(u"targets"_s).split(u',');
    const int inFlight = std::max(1, parser.value(u"in-flight"_s).toInt());
    const int show = parser.value(u"show"_s).toInt();
    std::printf(
        "%lld messages, %s, %d requests in flight\n", qlonglong(corpus.size()), qPrintable(url.toString()), inFlight);
    std::printf("%-6s %-9s %8s %16s %6s %10s %6s %6s %6s %20s %20s %10s\n", "target", "service", "answered", "refused",
        "failed", "directives", "lists", "shell", "marks", "lowercase kept", "spaces kept", "median ms");

    QNetworkAccessManager net;
    for (const QString &target : targets) {
        // With a reference, both services take the corpus in blocks of 100
        // messages, turn about and each first every other time, so that the
        // machine's other load weighs on both alike.
        std::optional<Tally> before;
        Tally tally;
        if (!referenceUrl.isEmpty())
            before.emplace();
        for (qsizetype first = 0, block = 0; first < corpus.size(); first += 100, ++block) {
            const qsizetype last = std::min(first + 100, corpus.size());
            if (before && block % 2 == 0)
                runCorpus(*before, net, referenceUrl, corpus, first, last, target, inFlight);
            runCorpus(tally, net, url, corpus, first, last, target, inFlight);
            if (before && block % 2 == 1)
                runCorpus(*before, net, referenceUrl, corpus, first, last, target, inFlight);
        }
        for (Tally *sorted : {&tally, before ? &*before : nullptr}) {
            if (sorted)
                std::sort(sorted->milliseconds.begin(), sorted->milliseconds.end());
        }
        if (before)
            printRow("reference", target, *before, corpus.size());
        printRow("this", target, tally, corpus.size());
        if (before)
            std::printf("%-6s median latency %.1f ms against %.1f ms: ratio %.3f\n", qPrintable(target), median(tally),
                median(*before), median(*before) > 0 ? median(tally) / median(*before) : 0.0);

        // msgfmt judges only what is a C format in the source itself.
        QList<std::pair<QString, QString>> sources;
        for (const auto &[source, translation] : tally.printfAnswers)
            sources.append({source, source});
        const QSet<qsizetype> notFormats = msgfmtFaults(sources);
        QList<std::pair<QString, QString>> printfAnswers;
        for (qsizetype i = 0; i < tally.printfAnswers.size(); ++i) {
            if (!notFormats.contains(i))
                printfAnswers.append(tally.printfAnswers[i]);
        }
        const QSet<qsizetype> refused = msgfmtFaults(printfAnswers);
        std::printf("%-6s msgfmt --check-format accepts %lld of %lld printf answers\n", qPrintable(target),
            qlonglong(printfAnswers.size() - refused.size()), qlonglong(printfAnswers.size()));
        const QStringList msgfmtExamples = [&] {
            QStringList examples;
            for (const qsizetype i : refused)
                examples.append(u"  msgfmt    %1\n         -> %2"_s.arg(
                    printfAnswers[i].first.simplified(), printfAnswers[i].second.simplified()));
            return examples;
        }();
        for (const QStringList *examples : std::initializer_list<const QStringList *> {
                 &tally.corruptions, &tally.refusals, &msgfmtExamples, &tally.otherFaults}) {
            for (const QString &example : examples->mid(0, show))
                std::printf("%s\n", qPrintable(example));
        }
        std::fflush(stdout);
    }
    for (QProcess *started : {&service, &reference}) {
        if (started->state() != QProcess::NotRunning) {
            started->terminate();
            started->waitForFinished(10000);
        }
    }
    return 0;
}
