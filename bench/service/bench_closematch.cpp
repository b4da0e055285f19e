// A close-match look-up of people's translations (TranslationMemory::
// closestPerson, through the database's trigram index) against an exact
// look-up (lookupPerson) in the same memory, measured in the same run, in an
// SQLite file and in PostgreSQL on loopback (tests/support/postgres.sh), and
// how many of the rows close enough by edit distance the index finds; then
// the same for texts over 400 characters alone.
// The memory holds ROWS people's translations: the real ones of the binary
// catalogs Debian installs (/usr/share/locale/LANG/LC_MESSAGES/*.mo, English
// msgids with each language's msgstr, the languages with most catalogs
// first), then, when they run out, variations of their msgids.
//   bench_closematch [ROWS] [LOCALE_FOLDER] [sqlite|postgresql]
// (default: 1000000 rows from /usr/share/locale, both databases)
#include <algorithm>
#include <cstdio>
#include <cstring>

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QHash>
#include <QProcess>
#include <QRandomGenerator>
#include <QSet>
#include <QTemporaryDir>
#include <QtEndian>
#include <QThread>

#include "service/memory/memoryserver.h"
#include "service/memory/similarity.h"
#include "service/memory/translationmemory.h"
#include "tests/support/loopbackserver.h"

using namespace Qt::StringLiterals;
using namespace tarnix::service;

namespace {

// The entries of a GNU .mo file: context, msgid (its singular) and msgstr (its
// first form); the header and untranslated entries left out.
QList<std::array<QString, 3>> moEntries(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const QByteArray bytes = file.readAll();
    const auto word = [&](qsizetype at, bool swapped) -> quint32 {
        if (at < 0 || at + 4 > bytes.size())
            return 0;
        quint32 value;
        std::memcpy(&value, bytes.constData() + at, 4);
        return swapped ? qbswap(value) : value;
    };
    const bool swapped = word(0, false) == 0xde120495;
    if (word(0, swapped) != 0x950412de)
        return {};
    const quint32 count = word(8, swapped), originals = word(12, swapped), translations = word(16, swapped);
    const auto string = [&](quint32 table, quint32 i) {
        const quint32 length = word(table + 8 * i, swapped), offset = word(table + 8 * i + 4, swapped);
        if (qsizetype(offset) + length > bytes.size())
            return QByteArray();
        return bytes.mid(offset, length);
    };
    QList<std::array<QString, 3>> entries;
    for (quint32 i = 0; i < count; ++i) {
        QByteArray id = string(originals, i);
        const QByteArray str = string(translations, i).split('\0').first();
        if (id.isEmpty() || str.isEmpty())
            continue;
        QByteArray context;
        if (const qsizetype eot = id.indexOf('\x04'); eot >= 0) {
            context = id.left(eot);
            id = id.mid(eot + 1);
        }
        entries.append({QString::fromUtf8(context), QString::fromUtf8(id.split('\0').first()), QString::fromUtf8(str)});
    }
    return entries;
}

// A text a few edits from `text`, as a catalog's next release words it.
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
        words.append(QString::number(random.bounded(100)));
        break;
    default:
        words.last().append(u"s"_s);
    }
    return words.join(u' ');
}

// One edit: a character dropped, replaced or added, or a full stop appended.
QString oneEdit(QString text, QRandomGenerator &random)
{
    const qsizetype at = random.bounded(text.size());
    switch (random.bounded(4)) {
    case 0:
        return text.remove(at, 1);
    case 1:
        text[at] = text[at] == u'x' ? u'y' : u'x';
        return text;
    case 2:
        return text.insert(at, u'e');
    default:
        return text + u'.';
    }
}

struct Rows
{
    QList<PersonTranslation> people;
    qsizetype real = 0; // from the catalogs as they are; the rest are variations
    qsizetype catalogs = 0;
    QStringList languages;
};

Rows catalogRows(const QString &localeFolder, qsizetype wanted)
{
    Rows rows;
    QList<std::pair<qsizetype, QString>> languages; // by catalogs, most first
    const QDir locale(localeFolder);
    for (const QString &language : locale.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        const qsizetype catalogs =
            QDir(locale.filePath(language + u"/LC_MESSAGES"_s)).entryList({u"*.mo"_s}, QDir::Files).size();
        if (catalogs > 0 && !language.startsWith(u"en"_s))
            languages.append({-catalogs, language});
    }
    std::sort(languages.begin(), languages.end());
    QSet<QString> keys;
    for (const auto &[negated, language] : std::as_const(languages)) {
        if (rows.people.size() >= wanted)
            break;
        rows.languages.append(language);
        const QDir folder(locale.filePath(language + u"/LC_MESSAGES"_s));
        for (const QString &name : folder.entryList({u"*.mo"_s}, QDir::Files, QDir::Name)) {
            ++rows.catalogs;
            for (const auto &[context, id, str] : moEntries(folder.filePath(name))) {
                if (rows.people.size() >= wanted)
                    break;
                const QString key = language + u'\x01' + context + u'\x01' + id;
                if (id.size() < 3 || keys.contains(key))
                    continue;
                keys.insert(key);
                rows.people.append({{QString(), u"en"_s, language, id, context}, str, name});
            }
        }
    }
    rows.real = rows.people.size();
    QRandomGenerator random(11);
    while (rows.real > 0 && rows.people.size() < wanted) {
        PersonTranslation row = rows.people[random.bounded(rows.real)];
        row.key.text = vary(row.key.text, random);
        const QString key = row.key.target + u'\x01' + row.key.context + u'\x01' + row.key.text;
        if (keys.contains(key))
            continue;
        keys.insert(key);
        row.note = u"variation"_s;
        rows.people.append(row);
    }
    return rows;
}

double percentile(std::vector<double> times, double p)
{
    std::sort(times.begin(), times.end());
    return times[std::min(times.size() - 1, std::size_t(double(times.size()) * p))];
}

// Recall: every row of the pair scoring at least the threshold against each
// of `nearKeys`, by brute force, against the ones the index's candidates
// hold. `probe` is a stored text, looked up until the memory answers again.
void recall(TranslationMemory &memory, const Rows &rows, const MemoryKey &probe, const QList<MemoryKey> &nearKeys,
    const char *which)
{
    QHash<QString, std::vector<qsizetype>> byTarget;
    for (qsizetype i = 0; i < rows.people.size(); ++i)
        byTarget[rows.people[i].key.target].push_back(i);
    qsizetype closeEnough = 0, found = 0, withMatch = 0, bestFound = 0;
    for (const MemoryKey &near : std::as_const(nearKeys)) {
        int best = -1;
        QSet<QString> wanted;
        for (const qsizetype i : byTarget.value(near.target)) {
            const MemoryKey &key = rows.people[i].key;
            const int score = similarityScore(near.text, key.text, memory.threshold());
            if (score >= 0) {
                wanted.insert(key.context + u'\x01' + key.text);
                best = std::max(best, score);
            }
        }
        if (wanted.isEmpty())
            continue;
        for (int wait = 0; wait < 60 && !memory.lookupPerson(probe); ++wait)
            QThread::sleep(1); // not while look-ups are skipped
        ++withMatch;
        closeEnough += wanted.size();
        for (const CloseMatch &match : memory.closeMatches(near))
            found += wanted.contains(match.context + u'\x01' + match.text);
        const auto closest = memory.closestPerson(near);
        bestFound += closest && closest->score == best;
    }
    std::printf("  recall at %d%s: %lld of %lld rows scoring at least it found (%.2f %%); the best one for %lld of "
                "%lld queries (%.2f %%)\n",
        memory.threshold(), which, qlonglong(found), qlonglong(closeEnough),
        100.0 * double(found) / double(std::max<qsizetype>(closeEnough, 1)), qlonglong(bestFound), qlonglong(withMatch),
        100.0 * double(bestFound) / double(std::max<qsizetype>(withMatch, 1)));
}

// Fills the memory, times both look-ups, and compares what the index finds
// with every row scoring at least the threshold, found by brute force.
void measure(TranslationMemory &memory, const Rows &rows, const char *where)
{
    std::printf("\n%s (%s)\n", where, qPrintable(memory.path()));
    QElapsedTimer clock;
    clock.start();
    const qsizetype transaction = 50000;
    for (qsizetype at = 0; at < rows.people.size(); at += transaction) {
        if (!memory.storePeople(rows.people.mid(at, transaction))) {
            std::printf("  storing failed\n");
            return;
        }
    }
    const double fill = double(clock.elapsed()) / 1000;
    std::printf("  %lld rows stored in %.1f s (%.0f rows/s)\n", qlonglong(rows.people.size()), fill,
        double(rows.people.size()) / fill);

    // Queries spread over the rows (and so over the pairs): a stored text
    // itself, and a text one edit from one stored.
    constexpr int queries = 400;
    QRandomGenerator random(5);
    QList<MemoryKey> keys, nearKeys;
    for (int q = 0; q < queries; ++q) {
        keys.append(rows.people[random.bounded(rows.people.size())].key);
        nearKeys.append(keys.last());
        nearKeys.last().text = oneEdit(nearKeys.last().text, random);
    }
    // Once cold, right after filling, as a service would meet them after an
    // import: a database's look-up over its time limit is skipped, with the
    // ones after it for a while; then until every text is found again.
    clock.restart();
    int skipped = 0;
    for (int q = 0; q < queries; ++q) {
        skipped += !memory.lookupPerson(keys[q]);
        memory.closestPerson(nearKeys[q]);
    }
    std::printf("  cold: %d of %d exact look-ups skipped or failed, %.1f s\n", skipped, queries,
        double(clock.elapsed()) / 1000);
    for (int wait = 0; wait < 60 && !memory.lookupPerson(keys.first()); ++wait)
        QThread::sleep(1);
    // Then warm. A look-up skipped (after one over the time limit) is not
    // timed: the next waits until the memory answers again.
    std::vector<double> exact, close;
    int exactFound = 0, closeFound = 0;
    skipped = 0;
    for (int q = 0; q < queries; ++q) {
        QElapsedTimer t;
        t.start();
        if (!memory.lookupPerson(keys[q])) {
            ++skipped;
            for (int wait = 0; wait < 60 && !memory.lookupPerson(keys.first()); ++wait)
                QThread::sleep(1);
            continue;
        }
        ++exactFound;
        exact.push_back(double(t.nsecsElapsed()) / 1e6);
        t.restart();
        closeFound += memory.closestPerson(nearKeys[q]).has_value();
        close.push_back(double(t.nsecsElapsed()) / 1e6);
        if (exact.back() > 50 || close.back() > 50)
            std::printf("  slow: exact %.1f ms, close %.1f ms: %s>%s \"%s\"\n", exact.back(), close.back(),
                qPrintable(keys[q].source), qPrintable(keys[q].target), qPrintable(nearKeys[q].text.left(80)));
    }
    if (exact.empty()) {
        std::printf("  every look-up was skipped\n");
        return;
    }
    const double exact50 = percentile(exact, 0.5), close50 = percentile(close, 0.5);
    std::printf("  exact look-up  p50 %8.3f ms  p90 %8.3f ms  (found %d of %d; %d skipped)\n", exact50,
        percentile(exact, 0.9), exactFound, queries, skipped);
    std::printf("  close match    p50 %8.3f ms  p90 %8.3f ms  (found %d of %d)  p50 = %.1f x the exact one "
                "(target <= 20 ms)\n",
        close50, percentile(close, 0.9), closeFound, queries, close50 / exact50);

    recall(memory, rows, keys.first(), nearKeys, "");

    // Long texts alone (over 400 characters: help texts, licences, a few in
    // a thousand rows), each one edit from a stored one: a text with hundreds
    // of trigrams is the index's slowest look-up.
    std::vector<qsizetype> longRows;
    for (qsizetype i = 0; i < rows.people.size(); ++i) {
        if (rows.people[i].key.text.size() > 400)
            longRows.push_back(i);
    }
    QList<MemoryKey> longKeys;
    for (int q = 0; q < 100 && !longRows.empty(); ++q) {
        longKeys.append(rows.people[longRows[random.bounded(qsizetype(longRows.size()))]].key);
        longKeys.last().text = oneEdit(longKeys.last().text, random);
    }
    std::vector<double> longClose;
    int longFound = 0;
    for (const MemoryKey &key : std::as_const(longKeys)) {
        for (int wait = 0; wait < 60 && !memory.lookupPerson(keys.first()); ++wait)
            QThread::sleep(1); // not while look-ups are skipped
        QElapsedTimer t;
        t.start();
        longFound += memory.closestPerson(key).has_value();
        longClose.push_back(double(t.nsecsElapsed()) / 1e6);
    }
    if (longClose.empty())
        return;
    const double long50 = percentile(longClose, 0.5);
    std::printf("  long texts     p50 %8.3f ms  p90 %8.3f ms  (found %d of %lld over 400 characters)  p50 = %.1f x "
                "the exact one\n",
        long50, percentile(longClose, 0.9), longFound, qlonglong(longKeys.size()), long50 / exact50);
    recall(memory, rows, keys.first(), longKeys, " (long texts)");
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    std::setvbuf(stdout, nullptr, _IOLBF, 0); // progress as it comes, also into a file
    const QStringList args = app.arguments().mid(1);
    const qsizetype wanted = args.isEmpty() ? 1000000 : args[0].toLongLong();
    const QString localeFolder = args.value(1, u"/usr/share/locale"_s);
    QElapsedTimer clock;
    clock.start();
    const Rows rows = catalogRows(localeFolder, wanted);
    if (wanted <= 0 || rows.people.isEmpty()) {
        std::fprintf(
            stderr, "usage: bench_closematch [ROWS] [LOCALE_FOLDER] [sqlite|postgresql]  (no .mo catalogs found)\n");
        return 2;
    }
    std::printf("%lld people's rows: %lld real translations from %lld catalogs in %lld languages (%s ...), %lld "
                "variations; read in %.1f s\n",
        qlonglong(rows.people.size()), qlonglong(rows.real), qlonglong(rows.catalogs), qlonglong(rows.languages.size()),
        qPrintable(rows.languages.mid(0, 5).join(u", "_s)), qlonglong(rows.people.size() - rows.real),
        double(clock.elapsed()) / 1000);

    const QString only = args.value(2); // "sqlite" or "postgresql": that one alone
    QTemporaryDir dir;
    if (only != u"postgresql") {
        TranslationMemory memory(dir.filePath(u"memory.sqlite"_s), 1000);
        measure(memory, rows, "SQLite file");
    }
    if (only == u"sqlite")
        return 0;

    // A PostgreSQL cluster in a scratch folder, with a random password.
    QTemporaryDir cluster;
    const QString port = QString::number(tarnix::test::freeLoopbackPort());
    const QString secret = QString::number(QRandomGenerator::global()->generate64(), 36);
    const auto postgres = [&](const QString &command) {
        return QProcess::execute(QStringLiteral(TARNIX_POSTGRES_SCRIPT), {command, cluster.path(), port});
    };
    QFile pwfile(cluster.filePath(u"pwfile"_s));
    if (!pwfile.open(QIODevice::WriteOnly) || pwfile.write(secret.toUtf8()) < 0 || !pwfile.flush())
        qFatal("cannot write the database's password file");
    pwfile.close();
    if (postgres(u"start"_s) != 0) {
        std::printf("\nPostgreSQL: not measured, it is not installed or did not start\n");
        return 0;
    }
    {
        MemoryServer server =
            std::get<MemoryServer>(parseMemoryServer(u"postgresql://tarnix@127.0.0.1:%1/postgres"_s.arg(port), {}));
        server.password = secret;
        TranslationMemory memory(server, 1000);
        measure(memory, rows, "PostgreSQL on loopback");
    }
    postgres(u"stop"_s);
    return 0;
}
