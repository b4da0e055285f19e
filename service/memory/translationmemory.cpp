#include "service/memory/translationmemory.h"

#include <algorithm>
#include <limits>

#include <QCryptographicHash>
#include <QDateTime>
#include <QDebug>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QStandardPaths>

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

// SQLite's primary result codes that decide what a failure means.
constexpr int sqliteBusy = 5;
constexpr int sqliteLocked = 6;
constexpr int sqliteCorrupt = 11;
constexpr int sqliteNotADatabase = 26;

int sqliteCode(const QSqlError &error)
{
    return error.nativeErrorCode().toInt() & 0xff;
}

// The unique index holds this digest instead of the texts themselves, which
// may be long; a lookup still compares every part of the key exactly.
QByteArray digest(const MemoryKey &key)
{
    QCryptographicHash hash(QCryptographicHash::Sha256);
    for (const QString *part : {&key.engine, &key.source, &key.target, &key.text}) {
        const QByteArray bytes = part->toUtf8();
        hash.addData(QByteArray::number(bytes.size()) + ':');
        hash.addData(bytes);
    }
    return hash.result();
}

void bindKey(QSqlQuery &query, const MemoryKey &key)
{
    query.bindValue(u":key"_s, digest(key));
    query.bindValue(u":engine"_s, key.engine);
    query.bindValue(u":source"_s, key.source);
    query.bindValue(u":target"_s, key.target);
    query.bindValue(u":text"_s, key.text);
}

const QString keyMatches =
    u"key = :key AND engine = :engine AND source = :source AND target = :target AND text = :text"_s;

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
    QSqlQuery touch {db};
    QSqlQuery erase {db};
};

TranslationMemory::TranslationMemory(const QString &path, int maxEntries)
    : filePath(path)
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

TranslationMemory::~TranslationMemory()
{
    if (statements && !used.isEmpty())
        store({}, {}); // only the times of use
    close();
    QSqlDatabase::removeDatabase(connection);
}

bool TranslationMemory::usable()
{
    if (filePath.isEmpty() || (pause.isValid() && !pause.hasExpired(pauseMilliseconds)))
        return false;
    pause.invalidate();
    if (!statements)
        open();
    return statements && !pause.isValid();
}

void TranslationMemory::open()
{
    if (!QFileInfo::exists(filePath)) {
        // The texts of a product may be unreleased: the file is the user's alone.
        QDir().mkpath(QFileInfo(filePath).absolutePath());
        QFile file(filePath);
        if (file.open(QIODevice::WriteOnly))
            file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    }
    QSqlDatabase db = QSqlDatabase::contains(connection) ? QSqlDatabase::database(connection, false)
                                                         : QSqlDatabase::addDatabase(u"QSQLITE"_s, connection);
    db.setDatabaseName(filePath);
    db.setConnectOptions(u"QSQLITE_BUSY_TIMEOUT=%1"_s.arg(busyTimeoutMilliseconds));
    if (!db.open())
        return failed(db.lastError(), u"open"_s);
    // WAL: a commit is one append to the log, and a process killed at any
    // point leaves a file that opens with every committed entry. NORMAL skips
    // the fsync per commit: a commit survives the process, not a power cut,
    // which for a memory of answers costs at most a few repeated requests.
    QSqlQuery query(db);
    if (!query.exec(u"PRAGMA journal_mode=WAL"_s) || !query.exec(u"PRAGMA synchronous=NORMAL"_s)
        || !query.exec(u"PRAGMA wal_autocheckpoint=%1"_s.arg(selfCheckpointPages))
        || !query.exec(u"PRAGMA quick_check"_s))
        return failed(query.lastError(), u"open"_s);
    if (!query.next() || query.value(0).toString() != u"ok")
        return failed(QSqlError(u"quick_check"_s, u"the integrity check failed"_s, QSqlError::StatementError,
                          QString::number(sqliteCorrupt)),
            u"open"_s);
    query.finish();
    if (!query.exec(u"CREATE TABLE IF NOT EXISTS translations (key BLOB NOT NULL UNIQUE, engine TEXT NOT NULL, "
                    u"source TEXT NOT NULL, target TEXT NOT NULL, text TEXT NOT NULL, translation TEXT NOT NULL, "
                    u"stored INTEGER NOT NULL, used INTEGER NOT NULL)"_s)
        || !query.exec(u"CREATE INDEX IF NOT EXISTS translations_by_use ON translations (used)"_s))
        return failed(query.lastError(), u"open"_s);
    std::unique_ptr<Statements> prepared(new Statements {db});
    for (auto [statement, text] : {
             std::pair {&prepared->find, u"SELECT rowid, translation FROM translations WHERE "_s + keyMatches},
             std::pair {&prepared->insert,
                 u"INSERT INTO translations (key, engine, source, target, text, translation, stored, used) "
                 u"VALUES (:key, :engine, :source, :target, :text, :translation, :now, :now) ON CONFLICT (key) "
                 u"DO UPDATE SET translation = excluded.translation, stored = excluded.stored, used = excluded.used"_s},
             std::pair {&prepared->touch, u"UPDATE translations SET used = :now WHERE rowid = :row"_s},
             std::pair {&prepared->erase, u"DELETE FROM translations WHERE "_s + keyMatches},
         }) {
        if (!statement->prepare(text))
            return failed(statement->lastError(), u"open"_s);
    }
    statements = std::move(prepared);
    checkpointer = std::make_unique<WalCheckpointer>(filePath);
    corruptOnce = false;
    entriesAtMost = std::numeric_limits<qint64>::max(); // counted by trim()
    trim();
}

void TranslationMemory::close()
{
    checkpointer.reset();
    statements.reset();
    if (QSqlDatabase::contains(connection))
        QSqlDatabase::database(connection, false).close();
}

bool TranslationMemory::execute(const QString &statement)
{
    QSqlQuery query(statements->db);
    if (query.exec(statement))
        return true;
    failed(query.lastError(), u"write"_s);
    return false;
}

void TranslationMemory::failed(const QSqlError &error, const QString &what)
{
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

std::optional<QString> TranslationMemory::lookup(const MemoryKey &key)
{
    if (!usable())
        return std::nullopt;
    QSqlQuery &find = statements->find;
    bindKey(find, key);
    if (!find.exec()) {
        failed(find.lastError(), u"read"_s);
        return std::nullopt;
    }
    std::optional<QString> translation;
    if (find.next()) {
        used.insert(find.value(0).toLongLong());
        translation = find.value(1).toString();
    }
    find.finish(); // ends the read transaction, which would hold back checkpoints
    return translation;
}

bool TranslationMemory::store(const MemoryKey &key, const QString &translation)
{
    // One statement is a transaction of its own.
    const bool transaction = !used.isEmpty();
    if (!usable() || (transaction && !execute(u"BEGIN IMMEDIATE"_s)))
        return false;
    Statements &s = *statements;
    const qint64 now = QDateTime::currentMSecsSinceEpoch();
    // The times of use of the entries answered from since the last store go
    // in with this one: a lookup itself never writes, so it never waits on a lock.
    s.touch.bindValue(u":now"_s, now);
    for (const qint64 row : std::as_const(used)) {
        s.touch.bindValue(u":row"_s, row);
        if (!s.touch.exec()) {
            failed(s.touch.lastError(), u"write"_s);
            return false;
        }
    }
    if (!key.engine.isEmpty()) {
        bindKey(s.insert, key);
        s.insert.bindValue(u":translation"_s, translation);
        s.insert.bindValue(u":now"_s, now);
        if (!s.insert.exec()) {
            failed(s.insert.lastError(), u"write"_s);
            return false;
        }
    }
    if (transaction && !execute(u"COMMIT"_s))
        return false;
    used.clear();
    ++entriesAtMost;
    trim();
    if (++commitsSinceCheckpoint >= commitsPerCheckpoint) {
        commitsSinceCheckpoint = 0;
        checkpointer->request();
    }
    return true;
}

void TranslationMemory::remove(const MemoryKey &key)
{
    if (!usable())
        return;
    bindKey(statements->erase, key);
    if (!statements->erase.exec())
        failed(statements->erase.lastError(), u"write"_s);
}

bool TranslationMemory::clear()
{
    used.clear();
    return usable() && execute(u"DELETE FROM translations"_s) && execute(u"PRAGMA wal_checkpoint(TRUNCATE)"_s)
        && execute(u"VACUUM"_s);
}

void TranslationMemory::trim()
{
    if (entriesAtMost <= maxEntries)
        return;
    QSqlQuery query(statements->db);
    if (!query.exec(u"SELECT count(*) FROM translations"_s) || !query.next()) {
        failed(query.lastError(), u"count"_s);
        return;
    }
    qint64 entries = query.value(0).toLongLong();
    query.finish();
    if (entries > maxEntries) {
        // A hundredth more than needed goes, so that the next stores need not count.
        query.prepare(u"DELETE FROM translations WHERE rowid IN "
                      u"(SELECT rowid FROM translations ORDER BY used, rowid LIMIT :excess)"_s);
        query.bindValue(u":excess"_s, entries - maxEntries + maxEntries / 100);
        if (!query.exec()) {
            failed(query.lastError(), u"trim"_s);
            return;
        }
        entries -= query.numRowsAffected();
    }
    entriesAtMost = entries;
}

} // namespace tarnix::service
