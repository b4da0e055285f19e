#include "service/memory/translationmemory.h"

#include <algorithm>
#include <limits>

#include <QDateTime>
#include <QDebug>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QStandardPaths>

#include "service/memory/memorydialect.h"
#include "service/memory/similarity.h"
#include "service/memory/walcheckpointer.h"

using namespace Qt::StringLiterals;

namespace tarnix::service {

namespace {

// How long a statement waits for a lock another process holds, and how long
// the memory is then left alone: the service answers from its event loop, so
// it must not wait on the memory for longer than a moment.
constexpr int busyTimeoutMilliseconds = 100;
constexpr qint64 pauseMilliseconds = 10000;
// Commits between two checkpoints (a few hundred KiB of log), and the log
// size in pages at which a commit checkpoints itself, should the checkpoint
// thread fall behind.
constexpr int commitsPerCheckpoint = 300;
constexpr int selfCheckpointPages = 10000;
// At most this many least recently used rows go in one statement, so that
// eviction holds no lock for long.
constexpr qint64 evictionBatch = 1000;
constexpr int evictionBatchesPerStore = 10;
// People's rows stored (an import, a catalog learnt) after which the
// database's statistics are refreshed.
constexpr qsizetype refreshStatisticsAfter = 20000;
// A file's transaction of this many people's rows or more has a page cache
// of bulkCacheKiB: the rows' digests and texts put them all over the
// indexes, and with SQLite's default cache (2 MB) most pages they touch are
// written out to the log and read back several times before the commit
// (two fifths of an import's time). The cache is given back after the commit.
constexpr qsizetype bulkRows = 1000;
constexpr int bulkCacheKiB = 65536;

// SQLite's primary result codes that decide what a failure means.
constexpr int sqliteBusy = 5;
constexpr int sqliteLocked = 6;
constexpr int sqliteCorrupt = 11;
constexpr int sqliteNotADatabase = 26;

int sqliteCode(const QSqlError &error)
{
    return error.nativeErrorCode().toInt() & 0xff;
}

QByteArray bindKey(QSqlQuery &query, const MemoryKey &key)
{
    // A null string binds NULL: an empty one is meant.
    const auto text = [](const QString &part) { return part.isNull() ? u""_s : part; };
    const QByteArray digest = keyDigest(key);
    query.bindValue(u":key"_s, digest);
    query.bindValue(u":engine"_s, text(key.engine));
    query.bindValue(u":source"_s, text(key.source));
    query.bindValue(u":target"_s, text(key.target));
    query.bindValue(u":text"_s, text(key.text));
    query.bindValue(u":context"_s, text(key.context));
    return digest;
}

const QString keyMatches = u"key = :key AND engine = :engine AND source = :source AND target = :target AND "
                           u"text = :text AND context = :context"_s;

} // namespace

QString defaultMemoryPath()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) + u"/tarnix/memory.sqlite"_s;
}

struct TranslationMemory::Statements
{
    QSqlDatabase db;
    QSqlQuery find {db};
    QSqlQuery insert {db};
    QSqlQuery erase {db};
    QSqlQuery findPerson {db};
    QSqlQuery storePerson {db};
    QSqlQuery closeCandidates {db};
    QSqlQuery closeEndCandidates {db};
    bool closeMatches = false; // false: the database has no index for close matches
    bool closeEnds = false; // closeEndCandidates is prepared
};

TranslationMemory::TranslationMemory(const QString &path, int maxEntries)
    : filePath(path)
    , dialect(&sqliteDialect())
    , connection(u"tarnix-memory-%1"_s.arg(quintptr(this), 0, 16))
    , maxEntries(std::max(maxEntries, 1))
{
    if (!QSqlDatabase::isDriverAvailable(u"QSQLITE"_s)) {
        qWarning().noquote() << u"translation memory: Qt's SQLite driver is not installed (Debian package "
                                u"libqt6sql6-sqlite); translating without a memory"_s;
        filePath.clear();
        return;
    }
    open();
}

TranslationMemory::TranslationMemory(const MemoryServer &server, int maxEntries)
    : filePath(server.display())
    , dialect(&postgresDialect())
    , link(std::make_unique<MemoryServerLink>(server, [this]() { open(); }))
    , connection(u"tarnix-memory-%1"_s.arg(quintptr(this), 0, 16))
    , maxEntries(std::max(maxEntries, 1))
{
    if (!QSqlDatabase::isDriverAvailable(u"QPSQL"_s)) {
        qWarning().noquote() << u"translation memory: Qt's PostgreSQL driver is not installed (Debian package "
                                u"libqt6sql6-psql); translating without a memory"_s;
        filePath.clear();
        return;
    }
    open();
}

TranslationMemory::~TranslationMemory()
{
    if (statements && !used.isEmpty())
        store({}, {}); // only the times of use
    close();
    QSqlDatabase::removeDatabase(connection);
}

bool TranslationMemory::usable(bool writing)
{
    if (link && !statements && !filePath.isEmpty())
        link->retryWhenDue();
    if (link)
        return statements != nullptr && !link->resting(writing);
    if (filePath.isEmpty() || (pause.isValid() && !pause.hasExpired(pauseMilliseconds)))
        return false;
    pause.invalidate();
    if (!statements)
        open();
    return statements && !pause.isValid();
}

void TranslationMemory::open()
{
    QSqlDatabase db = QSqlDatabase::contains(connection) ? QSqlDatabase::database(connection, false)
                                                         : QSqlDatabase::addDatabase(dialect->driver, connection);
    if (link) {
        link->configure(db);
        if (!db.open())
            return failed(db.lastError(), u"connect to"_s);
    } else if (!openFile(db)) {
        return;
    }
    if (const auto error = setUpMemorySchema(db, *dialect))
        return failed(*error, u"set up"_s);
    std::unique_ptr<Statements> prepared(new Statements {db});
    for (auto [statement, text] : {
             std::pair {&prepared->find,
                 u"SELECT %1, translation, checksum FROM translations WHERE %2"_s.arg(dialect->rowId, keyMatches)},
             std::pair {&prepared->insert,
                 u"INSERT INTO translations (key, engine, source, target, text, context, translation, stored, used, "
                 u"checksum) VALUES (:key, :engine, :source, :target, :text, :context, :translation, :now, :now, "
                 u":checksum) ON CONFLICT (key) DO NOTHING"_s},
             std::pair {&prepared->erase, u"DELETE FROM translations WHERE "_s + keyMatches},
             // The same context first, then none, then the most recent. The
             // whole text is compared as an expression, not as the column:
             // SQLite would otherwise put :text in place of `text` in the
             // prefix comparison (constant propagation), which then no longer
             // matches the index's expression, and scan every row of the pair.
             std::pair {&prepared->findPerson,
                 u"SELECT %1, translation, checksum, note, context FROM translations WHERE origin = 'person' AND "
                 u"source = :source AND target = :target AND substr(text, 1, %2) = substr(:text, 1, %2) AND "
                 u"(text || '') = :text ORDER BY CASE WHEN context = :context THEN 0 WHEN context = '' THEN 1 "
                 u"ELSE 2 END, stored DESC LIMIT 16"_s.arg(dialect->rowId)
                     .arg(personTextPrefix)},
             std::pair {&prepared->storePerson,
                 u"INSERT INTO translations (key, engine, source, target, text, context, translation, stored, used, "
                 u"checksum, origin, note) VALUES (:key, :engine, :source, :target, :text, :context, :translation, "
                 u":now, :now, :checksum, 'person', :note) ON CONFLICT (key) DO UPDATE SET translation = "
                 u"excluded.translation, note = excluded.note, checksum = excluded.checksum, stored = "
                 u"excluded.stored, origin = 'person'"_s},
         }) {
        if (!statement->prepare(text))
            return failed(statement->lastError(), u"open"_s);
    }
    prepared->closeMatches = prepared->closeCandidates.prepare(dialect->closeCandidates);
    prepared->closeEnds = prepared->closeMatches && !dialect->closeEndCandidates.isEmpty()
        && prepared->closeEndCandidates.prepare(dialect->closeEndCandidates);
    statements = std::move(prepared);
    if (link)
        link->connected();
    else
        checkpointer = std::make_unique<WalCheckpointer>(filePath);
    corruptOnce = false;
    peopleSinceSample.reset(); // another file, or the same changed meanwhile
    sessionSimilarity = -1; // a new session
    entriesAtMost = std::numeric_limits<qint64>::max(); // counted by trim()
    trim();
}

bool TranslationMemory::openFile(QSqlDatabase &db)
{
    if (!QFileInfo::exists(filePath)) {
        // The texts of a product may be unreleased: the file is the user's alone.
        QDir().mkpath(QFileInfo(filePath).absolutePath());
        QFile file(filePath);
        if (file.open(QIODevice::WriteOnly))
            file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    }
    db.setDatabaseName(filePath);
    db.setConnectOptions(u"QSQLITE_BUSY_TIMEOUT=%1"_s.arg(busyTimeoutMilliseconds));
    const auto fail = [this](const QSqlError &error) {
        failed(error, u"open"_s);
        return false;
    };
    if (!db.open())
        return fail(db.lastError());
    // WAL: a commit is one append to the log, and a process killed at any
    // point leaves a file that opens with every committed entry. NORMAL skips
    // the fsync per commit: a commit survives the process, not a power cut,
    // which for a memory of answers costs at most a few repeated requests.
    QSqlQuery query(db);
    if (!query.exec(u"PRAGMA journal_mode=WAL"_s) || !query.exec(u"PRAGMA synchronous=NORMAL"_s)
        || !query.exec(u"PRAGMA wal_autocheckpoint=%1"_s.arg(selfCheckpointPages))
        || !query.exec(u"PRAGMA quick_check"_s))
        return fail(query.lastError());
    if (!query.next() || query.value(0).toString() != u"ok")
        return fail(QSqlError(u"quick_check"_s, u"the integrity check failed"_s, QSqlError::StatementError,
            QString::number(sqliteCorrupt)));
    return true;
}

void TranslationMemory::close()
{
    checkpointer.reset();
    if (link)
        MemoryServerLink::quietly([this]() { statements.reset(); });
    else
        statements.reset();
    if (QSqlDatabase::contains(connection))
        QSqlDatabase::database(connection, false).close();
}

bool TranslationMemory::execute(const QString &statement)
{
    QSqlQuery query(statements->db);
    if (query.exec(statement)) {
        if (statement.startsWith(u"BEGIN"_s) || statement == u"COMMIT" || statement == u"ROLLBACK")
            inTransaction = statement.startsWith(u"BEGIN"_s);
        return true;
    }
    failed(query.lastError(), u"write"_s);
    return false;
}

void TranslationMemory::failed(const QSqlError &error, const QString &what)
{
    const bool rollBack = std::exchange(inTransaction, false);
    if (link) {
        // A database server: a statement over its time limit only skips its
        // request; anything else is the connection, made again later.
        if (statements && rollBack)
            QSqlQuery(statements->db).exec(u"ROLLBACK"_s);
        if (statements && MemoryServerLink::passing(error)) {
            if (MemoryServerLink::overTimeLimit(error))
                link->slow(rollBack || what != u"read");
            return;
        }
        close();
        link->lost(u"cannot %1 it: %2"_s.arg(what, error.text()));
        return;
    }
    const int code = sqliteCode(error);
    const bool locked = code == sqliteBusy || code == sqliteLocked;
    // Any other error on a memory in use may be a file damaged under it (cut
    // short, overwritten): its integrity is checked at once, not at the next start.
    const bool damaged =
        code == sqliteCorrupt || code == sqliteNotADatabase || (!locked && statements && what != u"open" && !intact());
    if (damaged && !corruptOnce) {
        // A file that turns out corrupt in use is replaced like one found so
        // at start; a new file that fails the same way is not retried.
        corruptOnce = true;
        moveAside(code == sqliteNotADatabase ? u"not an SQLite database"_s : u"corrupt"_s);
        open();
        return;
    }
    if (statements)
        QSqlQuery(statements->db).exec(u"ROLLBACK"_s); // fails harmlessly outside a transaction
    if (!locked || !statements)
        close(); // opened again after the pause
    pause.start();
    qWarning().noquote() << u"translation memory: cannot %1 %2 (%3%4); going on without it for %5 s"_s
                                .arg(
                                    what, filePath, locked ? u"locked by another process: "_s : QString(), error.text())
                                .arg(pauseMilliseconds / 1000);
}

bool TranslationMemory::intact()
{
    QSqlQuery query(statements->db);
    query.exec(u"ROLLBACK"_s); // fails harmlessly outside a transaction
    // A file cut back to an older state reads as a sound database without the table.
    return query.exec(u"PRAGMA quick_check"_s) && query.next() && query.value(0).toString() == u"ok"
        && query.exec(u"SELECT count(*) FROM sqlite_master WHERE type = 'table' AND name = 'translations'"_s)
        && query.next() && query.value(0).toInt() == 1;
}

void TranslationMemory::moveAside(const QString &why)
{
    close();
    const QString aside =
        filePath + u".broken-"_s + QDateTime::currentDateTimeUtc().toString(u"yyyyMMdd'T'HHmmss.zzz"_s);
    // The log belongs to the old file: a new file must not replay it.
    QFile::remove(filePath + u"-shm"_s);
    if (QFile::exists(filePath + u"-wal"_s) && !QFile::rename(filePath + u"-wal"_s, aside + u"-wal"_s))
        QFile::remove(filePath + u"-wal"_s);
    const bool moved = QFile::rename(filePath, aside);
    if (!moved)
        QFile::remove(filePath);
    qWarning().noquote() << u"translation memory: %1 is %2; %3, starting a new one"_s.arg(
        filePath, why, moved ? u"moved aside to "_s + aside : u"removed"_s);
}

std::optional<std::pair<qint64, QString>> TranslationMemory::find(const MemoryKey &key)
{
    QSqlQuery &find = statements->find;
    bindKey(find, key);
    if (!find.exec()) {
        failed(find.lastError(), u"read"_s);
        return std::nullopt;
    }
    std::optional<std::pair<qint64, QString>> found;
    QByteArray checksum;
    if (find.next()) {
        found = std::pair {find.value(0).toLongLong(), find.value(1).toString()};
        checksum = find.value(2).toByteArray();
    }
    find.finish(); // ends the read transaction, which would hold back checkpoints
    if (link)
        link->answered();
    if (found && checksum != rowChecksum(key, found->second)) {
        // Changed on disk since it was stored: never served, and gone, so
        // that it is said once.
        qWarning().noquote() << u"translation memory: entry %1 (%2>%3) of %4 does not match its checksum (changed "
                                u"on disk): removed, and translated again"_s.arg(found->first)
                                    .arg(key.source, key.target, filePath);
        QSqlQuery erase(statements->db);
        if (!erase.exec(u"DELETE FROM translations WHERE %1 = %2"_s.arg(dialect->rowId).arg(found->first)))
            failed(erase.lastError(), u"write"_s);
        removedDamaged = true;
        return std::nullopt;
    }
    return found;
}

std::optional<QString> TranslationMemory::lookup(const MemoryKey &key)
{
    if (!usable())
        return std::nullopt;
    const auto found = find(key);
    if (!found)
        return std::nullopt;
    used.insert(found->first);
    return found->second;
}

std::optional<QString> TranslationMemory::store(const MemoryKey &key, const QString &translation)
{
    // One statement is a transaction of its own in a file; a database server
    // gives the whole write its longer time limit.
    const bool transaction = !used.isEmpty() || link;
    if (!usable(true))
        return std::nullopt;
    for (const QString &statement : transaction ? dialect->beginWrite : QStringList()) {
        if (!execute(statement))
            return std::nullopt;
    }
    Statements &s = *statements;
    const qint64 now = QDateTime::currentMSecsSinceEpoch();
    std::optional<std::pair<qint64, QString>> kept;
    // The times of use of the entries answered from since the last store go
    // in with this one, in one statement: a lookup itself never writes, so it
    // never waits on a lock.
    if (!used.isEmpty()) {
        QStringList rows;
        for (const qint64 row : std::as_const(used))
            rows.append(QString::number(row));
        QSqlQuery touch(s.db);
        if (!touch.exec(dialect->touch.arg(rows.join(u','), QString::number(now)))) {
            failed(touch.lastError(), u"write"_s);
            return std::nullopt;
        }
    }
    if (!key.engine.isEmpty()) {
        // The first translation stored for a key stays: a service or request
        // that stored another at the same time answers with the first.
        const auto insert = [&]() {
            bindKey(s.insert, key);
            s.insert.bindValue(u":translation"_s, translation);
            s.insert.bindValue(u":now"_s, now);
            s.insert.bindValue(u":checksum"_s, rowChecksum(key, translation));
            if (!s.insert.exec()) {
                failed(s.insert.lastError(), u"write"_s);
                return false;
            }
            entriesAtMost += s.insert.numRowsAffected() > 0;
            return true;
        };
        if (!insert())
            return std::nullopt;
        // Read back in the same transaction: this one, or the first; a first
        // that turns out damaged is removed and this one takes its place.
        removedDamaged = false;
        kept = find(key);
        if (!kept && removedDamaged && statements) {
            if (!insert())
                return std::nullopt;
            kept = find(key);
        }
        if (!kept) {
            if (inTransaction)
                execute(u"ROLLBACK"_s);
            return std::nullopt;
        }
    }
    if (transaction && !execute(u"COMMIT"_s))
        return std::nullopt;
    used.clear();
    trim();
    if (checkpointer && ++commitsSinceCheckpoint >= commitsPerCheckpoint) {
        commitsSinceCheckpoint = 0;
        checkpointer->request();
    }
    return kept ? std::optional(kept->second) : std::nullopt;
}

void TranslationMemory::remove(const MemoryKey &key)
{
    if (!usable(true))
        return;
    bindKey(statements->erase, key);
    if (!statements->erase.exec())
        failed(statements->erase.lastError(), u"write"_s);
}

std::optional<PersonMatch> TranslationMemory::lookupPerson(const MemoryKey &key)
{
    if (!usable())
        return std::nullopt;
    QSqlQuery &find = statements->findPerson;
    const MemoryKey person {QString(), key.source, key.target, key.text, key.context};
    bindKey(find, person);
    if (!find.exec()) {
        failed(find.lastError(), u"read"_s);
        return std::nullopt;
    }
    std::optional<PersonMatch> found;
    QList<qint64> damaged;
    while (!found && find.next()) {
        PersonMatch match {find.value(1).toString(), find.value(3).toString(), find.value(4).toString(), true};
        match.sameContext = match.context == (key.context.isNull() ? u""_s : key.context);
        if (find.value(2).toByteArray()
            == rowChecksum({QString(), key.source, key.target, key.text, match.context}, match.translation))
            found = std::move(match);
        else
            damaged.append(find.value(0).toLongLong());
    }
    find.finish();
    if (link)
        link->answered();
    for (const qint64 row : std::as_const(damaged)) {
        qWarning().noquote() << u"translation memory: a person's entry %1 (%2>%3) of %4 does not match its checksum "
                                u"(changed on disk): removed"_s.arg(row)
                                    .arg(key.source, key.target, filePath);
        QSqlQuery erase(statements->db);
        if (!erase.exec(u"DELETE FROM translations WHERE %1 = %2"_s.arg(dialect->rowId).arg(row))) {
            failed(erase.lastError(), u"write"_s);
            break;
        }
    }
    return found;
}

void TranslationMemory::sampleRarity()
{
    // A few dozen people's rows from each of a couple of hundred points spread
    // over the row numbers: each point one step of the primary key's index.
    constexpr int points = 200;
    constexpr int rowsAtEach = 50;
    rarity = {};
    peopleSinceSample = 0;
    QSqlQuery query(statements->db);
    query.setForwardOnly(true);
    if (!query.exec(u"SELECT min(%1), max(%1) FROM translations"_s.arg(dialect->rowId)) || !query.next())
        return;
    const qint64 first = query.value(0).toLongLong(), last = query.value(1).toLongLong();
    query.finish();
    if (!query.prepare(u"SELECT %1, text FROM translations WHERE %1 >= :from AND origin = 'person' ORDER BY %1 "
                       u"LIMIT %2"_s.arg(dialect->rowId)
                           .arg(rowsAtEach)))
        return;
    qint64 after = first - 1; // the last row sampled: a small memory's rows are sampled once
    for (int point = 0; point < points && after < last; ++point) {
        query.bindValue(u":from"_s, std::max(after + 1, first + (last - first) * point / points));
        if (!query.exec())
            return;
        while (query.next()) {
            after = query.value(0).toLongLong();
            rarity.add(query.value(1).toString());
        }
    }
    query.finish();
}

QList<CloseMatch> TranslationMemory::closeMatches(const MemoryKey &key)
{
    // How many of a text's rarest pieces the SQLite query asks for (a
    // candidate holds two of them).
    constexpr int pieces = 6;
    if (!usable() || !statements->closeMatches)
        return {};
    const QString text = key.text.isNull() ? u""_s : key.text;
    const int threshold = std::clamp(matchThreshold, 1, 100);
    const qsizetype longest = text.size() * 100 / threshold;
    // Too short for a single edit within the threshold: only the same text
    // would do, which lookupPerson finds. pg_trgm's pieces are those of the
    // words (runs of letters and digits): without a word of two characters
    // or more ("%s: %s"), the few pieces left are in nearly every row, and
    // it would read them all (seconds in a million rows).
    static const QRegularExpression word(u"[\\p{L}\\p{N}]{2}"_s);
    if (longest * (100 - threshold) / 100 == 0 || (link && !text.contains(word)))
        return {};
    // Only a text of a length within the threshold's edits can score it (in
    // UTF-16 units; the databases count characters, at most that many and at
    // least half).
    const qsizetype edits = text.size() * (100 - threshold) / 100;
    const qsizetype shortest = text.size() - edits;
    QSqlQuery *find = &statements->closeCandidates;
    if (dialect == &sqliteDialect()) {
        if (!peopleSinceSample || *peopleSinceSample > std::max<qsizetype>(1000, rarity.texts()))
            sampleRarity();
        const QString terms = closeMatchTerms(key.source, key.target, rarity.rarest(text, pieces));
        if (terms.isEmpty())
            return {};
        find->bindValue(u":terms"_s, terms);
    } else {
        // The fewest characters a text scoring the threshold can have: its
        // UTF-16 units (`shortest` or more) less its pairs of surrogates, of
        // which it has at most as many as this text plus one an edit. A text
        // whose every candidate is longer than closeMatchEnds characters is
        // looked for by its two ends.
        const qsizetype surrogates =
            std::count_if(text.cbegin(), text.cend(), [](QChar c) { return c.isHighSurrogate(); });
        const bool ends =
            statements->closeEnds && std::max((shortest + 1) / 2, shortest - surrogates - edits) > closeMatchEnds;
        const double similarity = ends
            ? std::min(closeCandidateSimilarity(matchThreshold, QStringView(text).left(closeMatchEnds)),
                closeCandidateSimilarity(matchThreshold, QStringView(text).right(closeMatchEnds)))
            : closeCandidateSimilarity(matchThreshold, text);
        if (similarity != sessionSimilarity) {
            // pg_trgm compares its similarity, a float, with the setting, a
            // double: a hair below, so that one equal to it passes.
            QSqlQuery set(statements->db);
            if (!set.exec(dialect->setCloseSimilarity.arg(similarity - 1e-6))) {
                failed(set.lastError(), u"read"_s);
                return {};
            }
            sessionSimilarity = similarity;
        }
        if (ends)
            find = &statements->closeEndCandidates;
        find->bindValue(u":text"_s, text);
    }
    find->bindValue(u":shortest"_s, shortest);
    find->bindValue(u":longest"_s, longest);
    find->bindValue(u":source"_s, key.source);
    find->bindValue(u":target"_s, key.target);
    find->bindValue(u":limit"_s, dialect->closeLimit);
    if (!find->exec()) {
        // A close match over the time limit (a long text has hundreds of
        // pieces to read) skips itself alone: that says nothing of how the
        // database answers the exact look-ups.
        if (!link || !MemoryServerLink::overTimeLimit(find->lastError()))
            failed(find->lastError(), u"read"_s);
        return {};
    }
    QList<CloseMatch> matches;
    while (find->next()) {
        CloseMatch match {find->value(1).toString(), find->value(3).toString(), find->value(5).toString(),
            find->value(2).toString(), 0};
        match.score = similarityScore(text, match.text, matchThreshold);
        if (match.score < 0)
            continue;
        if (find->value(4).toByteArray()
            != rowChecksum({QString(), key.source, key.target, match.text, match.context}, match.translation))
            continue; // changed on disk: never served (lookupPerson removes it when its text is asked for)
        matches.append(std::move(match));
    }
    find->finish();
    if (link)
        link->answered();
    return matches;
}

std::optional<CloseMatch> TranslationMemory::closestPerson(const MemoryKey &key)
{
    const QString context = key.context.isNull() ? u""_s : key.context;
    std::optional<CloseMatch> best;
    int bestRank = 0; // 0 the key's context, 1 none, 2 another
    for (CloseMatch &match : closeMatches(key)) {
        const int rank = match.context == context ? 0 : match.context.isEmpty() ? 1 : 2;
        if (best && (match.score < best->score || (match.score == best->score && rank >= bestRank)))
            continue;
        best = std::move(match);
        bestRank = rank;
    }
    return best;
}

std::optional<QString> TranslationMemory::storePerson(
    const MemoryKey &key, const QString &translation, const QString &note)
{
    if (!storePeople({PersonTranslation {key, translation, note}}))
        return std::nullopt;
    return translation;
}

std::optional<qsizetype> TranslationMemory::storePeople(const QList<PersonTranslation> &entries)
{
    if (!usable(true))
        return std::nullopt;
    std::optional<int> cacheSize; // the connection's own, while the batch has a larger one
    if (!link && entries.size() >= bulkRows) {
        QSqlQuery pragma(statements->db);
        if (pragma.exec(u"PRAGMA cache_size"_s) && pragma.next())
            cacheSize = pragma.value(0).toInt();
        pragma.finish();
        if (cacheSize && !pragma.exec(u"PRAGMA cache_size = %1"_s.arg(-bulkCacheKiB)))
            cacheSize.reset();
    }
    const auto restoreCache = qScopeGuard([&]() {
        if (cacheSize && statements)
            QSqlQuery(statements->db).exec(u"PRAGMA cache_size = %1"_s.arg(*cacheSize));
    });
    for (const QString &statement : dialect->beginWrite) {
        if (!execute(statement))
            return std::nullopt;
    }
    QSqlQuery &store = statements->storePerson;
    const qint64 now = QDateTime::currentMSecsSinceEpoch();
    for (const PersonTranslation &entry : entries) {
        const MemoryKey key {QString(), entry.key.source, entry.key.target, entry.key.text,
            entry.key.context.isNull() ? u""_s : entry.key.context};
        const QByteArray digest = bindKey(store, key);
        store.bindValue(u":translation"_s, entry.translation);
        store.bindValue(u":note"_s, entry.note.isNull() ? u""_s : entry.note);
        store.bindValue(u":now"_s, now);
        store.bindValue(u":checksum"_s, rowChecksumOfDigest(digest, entry.translation));
        if (!store.exec()) {
            failed(store.lastError(), u"write"_s);
            return std::nullopt;
        }
    }
    for (const QString &statement : statements->closeMatches ? dialect->flushCloseIndex : QStringList()) {
        if (!execute(statement))
            return std::nullopt;
    }
    if (!execute(u"COMMIT"_s))
        return std::nullopt;
    if (peopleSinceSample)
        *peopleSinceSample += entries.size();
    if ((peopleSinceStatistics += entries.size()) >= refreshStatisticsAfter && !dialect->refreshStatistics.isEmpty()) {
        peopleSinceStatistics = 0;
        QSqlQuery query(statements->db);
        for (const QString &statement : dialect->refreshStatistics) {
            if (!query.exec(statement)) {
                qWarning().noquote() << u"translation memory: cannot refresh the statistics of %1 (%2)"_s.arg(
                    filePath, query.lastError().text());
                query.exec(u"ROLLBACK"_s);
                break;
            }
        }
    }
    if (checkpointer && (commitsSinceCheckpoint += 1 + int(entries.size() / 100)) >= commitsPerCheckpoint) {
        commitsSinceCheckpoint = 0;
        checkpointer->request();
    }
    return entries.size();
}

bool TranslationMemory::forEachRow(
    bool peopleOnly, const std::function<bool(const MemoryRow &)> &visit, qint64 *damaged)
{
    if (!usable())
        return false;
    // A page at a time by row number: no read transaction is held open
    // between pages (it would hold back checkpoints and other services'
    // trims), and a driver that fetches whole results holds one page.
    constexpr int page = 1000;
    QSqlQuery query(statements->db);
    query.setForwardOnly(true);
    if (!query.prepare(u"SELECT %1, engine, source, target, text, context, translation, checksum, origin, note "
                       u"FROM translations WHERE %1 > :after%2 ORDER BY %1 LIMIT %3"_s
                           .arg(dialect->rowId, peopleOnly ? u" AND origin = 'person'"_s : QString())
                           .arg(page))) {
        failed(query.lastError(), u"read"_s);
        return false;
    }
    qint64 after = -1;
    for (;;) {
        query.bindValue(u":after"_s, after);
        if (!query.exec()) {
            failed(query.lastError(), u"read"_s);
            return false;
        }
        std::vector<MemoryRow> rows;
        rows.reserve(page);
        int read = 0;
        while (query.next()) {
            ++read;
            after = query.value(0).toLongLong();
            MemoryRow row {{query.value(1).toString(), query.value(2).toString(), query.value(3).toString(),
                               query.value(4).toString(), query.value(5).toString()},
                query.value(6).toString(), query.value(8).toString() == u"person", query.value(9).toString()};
            if (query.value(7).toByteArray() != rowChecksum(row.key, row.translation)) {
                if (damaged)
                    ++*damaged;
                continue;
            }
            rows.push_back(std::move(row));
        }
        query.finish();
        if (link)
            link->answered();
        for (const MemoryRow &row : rows) {
            if (!visit(row))
                return true;
        }
        if (read < page)
            break;
    }
    return true;
}

std::optional<qint64> TranslationMemory::clear(bool people)
{
    used.clear();
    if (!usable(true))
        return std::nullopt;
    for (const QString &statement : dialect->beginClear) {
        if (!execute(statement))
            return std::nullopt;
    }
    QSqlQuery query(statements->db);
    if (!query.exec(people ? u"DELETE FROM translations"_s : u"DELETE FROM translations WHERE origin = 'machine'"_s)) {
        failed(query.lastError(), u"empty"_s);
        return std::nullopt;
    }
    const qint64 removed = query.numRowsAffected();
    if (!execute(u"COMMIT"_s))
        return std::nullopt;
    for (const QString &statement : dialect->afterClear) {
        if (!execute(statement))
            return std::nullopt;
    }
    entriesAtMost = 0;
    return removed;
}

void TranslationMemory::trim()
{
    if (entriesAtMost <= maxEntries || !statements)
        return;
    // When counting fails, it is tried again after a hundredth more stores,
    // not at every one.
    const qint64 countAgain = maxEntries - maxEntries / 100;
    for (const QString &statement : dialect->beginCount) {
        if (!execute(statement)) {
            entriesAtMost = countAgain;
            return;
        }
    }
    QSqlQuery query(statements->db);
    if (!query.exec(u"SELECT count(*) FROM translations WHERE origin = 'machine'"_s) || !query.next()) {
        entriesAtMost = countAgain;
        failed(query.lastError(), u"count"_s);
        return;
    }
    qint64 entries = query.value(0).toLongLong();
    query.finish();
    if (inTransaction && !execute(u"COMMIT"_s))
        return;
    // A hundredth more than needed goes, so that the next stores need not
    // count; in batches, each its own transaction. What is left over goes
    // with the next stores.
    qint64 excess = entries > maxEntries ? entries - maxEntries + maxEntries / 100 : 0;
    query.prepare(u"DELETE FROM translations WHERE %1 IN (%2)"_s.arg(dialect->rowId, dialect->oldestRows));
    for (int batch = 0; batch < evictionBatchesPerStore && excess > 0; ++batch) {
        query.bindValue(u":batch"_s, std::min(excess, evictionBatch));
        if (!query.exec()) {
            failed(query.lastError(), u"trim"_s);
            return;
        }
        const qint64 removed = query.numRowsAffected();
        if (removed <= 0)
            break;
        entries -= removed;
        excess -= removed;
    }
    entriesAtMost = entries;
}

} // namespace tarnix::service
