// A close-match look-up of people's translations (TranslationMemory::
// closestPerson, through the database's trigram index) against an exact
// look-up (lookupPerson) in the same memory, measured in the same run.
// The memory holds N people's rows made from real catalog texts (the msgids
// of the .po files given, e.g. fill/tests/data/*.po) with variations: a word
// dropped, two swapped, a number or a suffix appended.
//   bench_closematch N file.po...   (SQLite, in a temporary folder)
#include <algorithm>
#include <cstdio>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QTemporaryDir>

#include "service/memory/translationmemory.h"

using namespace Qt::StringLiterals;
using namespace tarnix::service;

namespace {

QStringList msgids(const QStringList &files)
{
    QStringList texts;
    static const QRegularExpression line(uR"re(^msgid "(.+)"$)re"_s);
    for (const QString &name : files) {
        QFile file(name);
        if (!file.open(QIODevice::ReadOnly))
            continue;
        while (!file.atEnd()) {
            const auto match = line.match(QString::fromUtf8(file.readLine()).trimmed());
            if (match.hasMatch() && match.captured(1).size() >= 8)
                texts.append(match.captured(1));
        }
    }
    texts.removeDuplicates();
    return texts;
}

QString vary(const QString &text, QRandomGenerator &random)
{
    QStringList words = text.split(u' ');
    switch (random.bounded(4)) {
    case 0:
        if (words.size() > 2)
            words.removeAt(random.bounded(qsizetype(words.size())));
        break;
    case 1:
        if (words.size() > 1) {
            const qsizetype i = random.bounded(qsizetype(words.size() - 1));
            words.swapItemsAt(i, i + 1);
        }
        break;
    case 2:
        words.append(QString::number(random.bounded(100000)));
        break;
    default:
        words.last().append(u"s"_s);
    }
    return words.join(u' ') + u" #"_s + QString::number(random.bounded(1000000));
}

double median(std::vector<double> times)
{
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments().mid(1);
    const qsizetype rows = args.value(0).toLongLong();
    const QStringList texts = msgids(args.mid(1));
    if (rows <= 0 || texts.isEmpty()) {
        std::fprintf(stderr, "usage: bench_closematch ROWS file.po...\n");
        return 2;
    }
    QTemporaryDir dir;
    TranslationMemory memory(dir.filePath(u"memory.sqlite"_s), 1000);
    QRandomGenerator random(7);
    QElapsedTimer clock;
    clock.start();
    QList<PersonTranslation> chunk;
    QStringList stored; // a sample of what is there, for the exact look-ups
    for (qsizetype i = 0; i < rows; ++i) {
        const QString text = vary(texts[random.bounded(qsizetype(texts.size()))], random);
        if (i % (rows / 200 + 1) == 0)
            stored.append(text);
        chunk.append({{QString(), u"en"_s, u"es"_s, text}, u"es: "_s + text, u"bench"_s});
        if (chunk.size() == 5000 || i + 1 == rows) {
            if (!memory.storePeople(chunk)) {
                std::fprintf(stderr, "storing failed\n");
                return 1;
            }
            chunk.clear();
        }
    }
    std::printf("%lld people's rows from %lld catalog texts stored in %.1f s\n", qlonglong(rows),
        qlonglong(texts.size()), double(clock.elapsed()) / 1000);
    std::vector<double> exact, close;
    int found = 0;
    for (const QString &text : std::as_const(stored)) {
        const MemoryKey key {QString(), u"en"_s, u"es"_s, text};
        QElapsedTimer t;
        t.start();
        if (!memory.lookupPerson(key))
            return 1;
        exact.push_back(double(t.nsecsElapsed()) / 1e6);
        MemoryKey near = key;
        near.text = text + u"."_s; // one edit away from a stored text
        t.restart();
        found += memory.closestPerson(near).has_value();
        close.push_back(double(t.nsecsElapsed()) / 1e6);
    }
    std::printf("exact look-up p50 %.3f ms; close match p50 %.3f ms (%.1f× the exact one), found %d of %zu\n",
        median(exact), median(close), median(close) / median(exact), found, close.size());
    return 0;
}
