#include "service/memory/memorydialect.h"

#include <algorithm>
#include <cmath>

#include <QDebug>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QSqlRecord>

#include "service/memory/memorykey.h"
#include "service/memory/trigrams.h"

using namespace Qt::StringLiterals;

namespace tarnix::service {

namespace {

// What the SQLite index holds of a people's row: its pair, delimited by
// control characters (which no language code holds), then its text. The
// index keeps no positions (detail=none, a third of the time and a quarter
// of the size of one that does), so a query can ask for single pieces
// alone: the pair is found as all of its delimited pieces, which no other
// pair's rows have together (and the query compares the pair's columns
// after, should a text hold such characters).
QString sqliteDocument(const QString &row)
{
    return u"char(1) || %1source || char(2) || %1target || char(3) || %1text"_s.arg(row);
}

} // namespace

const MemoryDialect &sqliteDialect()
{
    static const MemoryDialect dialect {
        u"QSQLITE"_s,
        u"rowid"_s,
        u"CREATE TABLE IF NOT EXISTS translations (key BLOB NOT NULL UNIQUE, engine TEXT NOT NULL, "
        u"source TEXT NOT NULL, target TEXT NOT NULL, text TEXT NOT NULL, context TEXT NOT NULL DEFAULT '', "
        u"translation TEXT NOT NULL, stored INTEGER NOT NULL, used INTEGER NOT NULL, checksum BLOB, "
        u"origin TEXT NOT NULL DEFAULT 'machine', note TEXT NOT NULL DEFAULT '')"_s,
        {u"BEGIN IMMEDIATE"_s},
        {u"BEGIN IMMEDIATE"_s},
        {u"BEGIN IMMEDIATE"_s},
        {},
        {u"PRAGMA wal_checkpoint(TRUNCATE)"_s, u"VACUUM"_s},
        u"SELECT rowid FROM translations WHERE origin = 'machine' ORDER BY used, rowid LIMIT :batch"_s,
        u"UPDATE translations SET used = %2 WHERE rowid IN (%1)"_s,
        u"BLOB"_s,
        {},
        // Unranked: bm25 reads the whole list of rows of every piece asked
        // for (its idf), most of the query's time in a large memory. The full-
        // text table drives the join (CROSS JOIN keeps it outside).
        u"SELECT t.rowid, t.text, t.context, t.translation, t.checksum, t.note FROM people_pieces AS m CROSS "
        u"JOIN translations AS t ON t.rowid = m.rowid WHERE m.people_pieces MATCH :terms AND t.origin = 'person' "
        u"AND t.source = :source AND t.target = :target AND length(t.text) <= :longest AND 2 * length(t.text) >= "
        u":shortest LIMIT :limit"_s,
        1000, // scored by edit distance, each in a few microseconds
        {},
        {u"INSERT INTO people_pieces (rowid, doc) SELECT t.rowid, %1 FROM people_pieces_pending AS p CROSS JOIN "
         u"translations AS t ON t.rowid = p.id WHERE t.origin = 'person' ORDER BY p.id"_s.arg(sqliteDocument(u"t."_s)),
            u"DELETE FROM people_pieces_pending"_s},
        {},
    };
    return dialect;
}

const MemoryDialect &postgresDialect()
{
    // Services set the schema up one at a time (two CREATE TABLE IF NOT
    // EXISTS at once can both try to create it); writes and clearing have
    // their own time limits instead of the session's look-up limit (set in
    // the same round trip); eviction and times of use skip rows another
    // service is writing, so that services only ever wait for the same key.
    static const MemoryDialect dialect {
        u"QPSQL"_s,
        u"id"_s,
        u"CREATE TABLE IF NOT EXISTS translations (id BIGSERIAL PRIMARY KEY, key BYTEA NOT NULL UNIQUE, "
        u"engine TEXT NOT NULL, source TEXT NOT NULL, target TEXT NOT NULL, text TEXT NOT NULL, "
        u"context TEXT NOT NULL DEFAULT '', translation TEXT NOT NULL, stored BIGINT NOT NULL, "
        u"used BIGINT NOT NULL, checksum BYTEA, origin TEXT NOT NULL DEFAULT 'machine', note TEXT NOT NULL DEFAULT '')"_s,
        {u"BEGIN; SET LOCAL statement_timeout = 1000"_s},
        {u"BEGIN"_s, u"SET LOCAL statement_timeout = 0"_s, u"SELECT pg_advisory_xact_lock(7317)"_s},
        {u"BEGIN"_s, u"SET LOCAL statement_timeout = 0"_s},
        {u"BEGIN; SET LOCAL statement_timeout = 5000"_s},
        {},
        u"SELECT id FROM translations WHERE origin = 'machine' ORDER BY used, id LIMIT :batch FOR UPDATE SKIP LOCKED"_s,
        u"UPDATE translations SET used = %2 WHERE id IN "
        u"(SELECT id FROM translations WHERE id IN (%1) FOR UPDATE SKIP LOCKED)"_s,
        u"BYTEA"_s,
        {u"BEGIN"_s, u"SET LOCAL statement_timeout = 0"_s, u"ANALYZE translations"_s, u"COMMIT"_s},
        u"SELECT id, text, context, translation, checksum, note FROM translations WHERE origin = 'person' AND "
        u"source = :source AND target = :target AND length(text) <= :longest AND 2 * length(text) >= :shortest "
        u"AND text % :text ORDER BY similarity(text, :text) DESC LIMIT :limit"_s,
        50,
        u"SET pg_trgm.similarity_threshold = %1"_s,
        {},
        u"SELECT id, text, context, translation, checksum, note FROM translations WHERE origin = 'person' AND "
        u"length(text) > %1 AND source = :source AND target = :target AND length(text) <= :longest AND "
        u"2 * length(text) >= :shortest AND (substr(text, 1, %1) % substr(:text, 1, %1) OR right(text, %1) % "
        u"right(:text, %1)) ORDER BY similarity(text, :text) DESC LIMIT :limit"_s.arg(closeMatchEnds),
    };
    return dialect;
}

namespace {

// The checksum of every row that has none (rows from before checksums), in
// the transaction that adds the column, so that no row is ever without one.
std::optional<QSqlError> addChecksums(QSqlDatabase &db, const MemoryDialect &dialect)
{
    QSqlQuery rows(db);
    rows.setForwardOnly(true);
    if (!rows.exec(u"SELECT %1, engine, source, target, text, context, translation FROM translations "
                   u"WHERE checksum IS NULL"_s.arg(dialect.rowId)))
        return rows.lastError();
    QList<std::pair<qint64, QByteArray>> sums;
    while (rows.next()) {
        const MemoryKey key {rows.value(1).toString(), rows.value(2).toString(), rows.value(3).toString(),
            rows.value(4).toString(), rows.value(5).toString()};
        sums.append({rows.value(0).toLongLong(), rowChecksum(key, rows.value(6).toString())});
    }
    rows.finish();
    QSqlQuery update(db);
    if (!update.prepare(u"UPDATE translations SET checksum = :sum WHERE %1 = :row"_s.arg(dialect.rowId)))
        return update.lastError();
    for (const auto &[row, sum] : std::as_const(sums)) {
        update.bindValue(u":sum"_s, sum);
        update.bindValue(u":row"_s, row);
        if (!update.exec())
            return update.lastError();
    }
    return std::nullopt;
}

// SQLite: a contentless FTS5 table (the texts stay in `translations` alone)
// of people's rows, numbered as they are, kept in step by triggers on every
// insert, update and delete, whatever deletes (a replace, --forget, a trim).
// A statement that fails leaves the transaction open in SQLite; PostgreSQL's
// attempt runs in a savepoint, since a failure there aborts the transaction.
void setUpCloseIndex(QSqlQuery &query, const MemoryDialect &dialect)
{
    if (dialect.driver == u"QPSQL") {
        // The pair in the same index (btree_gin): the trigrams' lists are then
        // read for the pair's rows alone, not for every language's copy of the
        // same source text. Without btree_gin, the texts alone. New rows wait
        // in a short list (256 kB, not 4 MB) that every look-up reads whole.
        // Beside it, the rows over closeMatchEnds characters by the trigrams
        // of their first and of their last closeMatchEnds characters
        // (closeEndCandidates), made for the rows already there.
        const auto indexes = [&](const QString &prefix, const QString &pair, const QString &options) {
            const QString make = u"CREATE INDEX IF NOT EXISTS translations_person_%1%2 ON translations USING gin "
                                 u"(%3%4 gin_trgm_ops)%5 WHERE origin = 'person'%6"_s;
            const QString longRows = u" AND length(text) > %1"_s.arg(closeMatchEnds);
            return query.exec(make.arg(prefix, u"trigrams"_s, pair, u"text"_s, options, QString()))
                && query.exec(
                    make.arg(prefix, u"heads"_s, pair, u"substr(text, 1, %1)"_s.arg(closeMatchEnds), options, longRows))
                && query.exec(
                    make.arg(prefix, u"tails"_s, pair, u"right(text, %1)"_s.arg(closeMatchEnds), options, longRows));
        };
        query.exec(u"SAVEPOINT trigrams"_s);
        if (query.exec(u"CREATE EXTENSION IF NOT EXISTS pg_trgm"_s)) {
            query.exec(u"SAVEPOINT pairs"_s);
            if (query.exec(u"CREATE EXTENSION IF NOT EXISTS btree_gin"_s)
                && indexes(u"pair_"_s, u"source, target, "_s, u" WITH (gin_pending_list_limit = 256)"_s)
                && query.exec(u"DROP INDEX IF EXISTS translations_person_trigrams, translations_person_heads, "
                              u"translations_person_tails"_s)) {
                query.exec(u"RELEASE SAVEPOINT trigrams"_s);
                return;
            }
            query.exec(u"ROLLBACK TO SAVEPOINT pairs"_s);
            if (indexes(QString(), QString(), QString())) {
                query.exec(u"RELEASE SAVEPOINT trigrams"_s);
                return;
            }
        }
        qWarning().noquote() << u"translation memory: no index of people's texts by trigrams (%1); close "
                                u"matches are not looked for"_s.arg(query.lastError().text());
        query.exec(u"ROLLBACK TO SAVEPOINT trigrams"_s);
        return;
    }
    const auto exists = [&](const QString &name) {
        const bool found = query.exec(u"SELECT count(*) FROM sqlite_master WHERE name = '%1'"_s.arg(name))
            && query.next() && query.value(0).toInt() > 0;
        query.finish();
        return found;
    };
    // An earlier version's index (people_trigrams: with positions, the
    // pair a column of its own) goes, with its triggers; an earlier
    // tarnix-service that opens the file again makes its own again.
    const bool earlier =
        exists(u"people_trigrams"_s) || exists(u"people_trigrams_pending"_s) || exists(u"people_trigrams_insert"_s);
    const bool indexed = exists(u"people_pieces"_s);
    if (!earlier && indexed && exists(u"people_pieces_pending"_s) && exists(u"people_pieces_insert"_s)
        && exists(u"people_pieces_update"_s) && exists(u"people_pieces_delete"_s))
        return;
    // New people's rows are indexed when their transaction is about to
    // commit (flushCloseIndex), all at once: FTS5 writes out what it holds
    // whenever another table is written in its transaction, so indexing
    // each row as it is inserted made a bulk import five times slower. A
    // pending row that goes again before then was never indexed.
    const QString forget =
        u"INSERT INTO people_pieces (people_pieces, rowid, doc) SELECT 'delete', old.rowid, %1 "
        u"WHERE old.origin = 'person' AND NOT EXISTS (SELECT 1 FROM people_pieces_pending WHERE id "
        u"= old.rowid); DELETE FROM people_pieces_pending WHERE id = old.rowid;"_s.arg(sqliteDocument(u"old."_s));
    const QString learn =
        u"INSERT OR IGNORE INTO people_pieces_pending (id) SELECT new.rowid WHERE new.origin = 'person';"_s;
    QStringList statements;
    for (const QString &name : {u"people_trigrams_insert"_s, u"people_trigrams_update"_s, u"people_trigrams_delete"_s,
             u"people_pieces_insert"_s, u"people_pieces_update"_s, u"people_pieces_delete"_s})
        statements.append(u"DROP TRIGGER IF EXISTS "_s + name);
    statements += {u"DROP TABLE IF EXISTS people_trigrams"_s, u"DROP TABLE IF EXISTS people_trigrams_pending"_s};
    if (!indexed)
        statements.append(u"CREATE VIRTUAL TABLE people_pieces USING fts5(doc, content='', tokenize='trigram', "
                          u"detail=none, columnsize=0)"_s);
    statements += {
        u"CREATE TABLE IF NOT EXISTS people_pieces_pending (id INTEGER PRIMARY KEY)"_s,
        u"CREATE TRIGGER people_pieces_insert AFTER INSERT ON translations BEGIN %1 END"_s.arg(learn),
        u"CREATE TRIGGER people_pieces_delete AFTER DELETE ON translations BEGIN %1 END"_s.arg(forget),
        // A person's translation replaced keeps its text: nothing to index again.
        u"CREATE TRIGGER people_pieces_update AFTER UPDATE OF origin, source, target, text ON translations "
        u"WHEN old.origin IS NOT new.origin OR old.source IS NOT new.source OR old.target IS NOT new.target OR "
        u"old.text IS NOT new.text BEGIN %1 %2 END"_s.arg(forget, learn),
    };
    if (!indexed) {
        statements.append(u"INSERT INTO people_pieces (rowid, doc) SELECT rowid, %1 FROM translations WHERE origin = "
                          u"'person'"_s.arg(sqliteDocument(QString())));
        statements.append(u"DELETE FROM people_pieces_pending"_s);
    }
    for (const QString &statement : std::as_const(statements)) {
        if (!query.exec(statement)) {
            qWarning().noquote() << u"translation memory: no index of people's texts by trigrams (%1: SQLite "
                                    u"without FTS5?); close matches are not looked for"_s.arg(query.lastError().text());
            for (const QString &drop : {u"DROP TRIGGER IF EXISTS people_pieces_insert"_s,
                     u"DROP TRIGGER IF EXISTS people_pieces_delete"_s, u"DROP TRIGGER IF EXISTS people_pieces_update"_s,
                     u"DROP TABLE IF EXISTS people_pieces"_s, u"DROP TABLE IF EXISTS people_pieces_pending"_s})
                query.exec(drop);
            return;
        }
    }
}

} // namespace

double closeCandidateSimilarity(int threshold)
{
    return std::clamp(0.4 - (85 - threshold) * 0.02, 0.1, 0.4);
}

double closeCandidateSimilarity(int threshold, QStringView text)
{
    constexpr qsizetype surelyFoundEdits = 3;
    threshold = std::clamp(threshold, 1, 100);
    const qsizetype longest = text.size() * 100 / threshold;
    const qsizetype edits = std::min(longest * (100 - threshold) / 100, surelyFoundEdits);
    const double pieces = double(wordTrigramCount(text));
    const double least = pieces > 0 ? (pieces - 3.0 * double(edits)) / (pieces + 3.0 * double(edits)) : 0;
    return std::clamp(std::floor(least * 20 + 1e-9) / 20, 0.1, closeCandidateSimilarity(threshold));
}

QString closeMatchTerms(const QString &source, const QString &target, const QStringList &pieces)
{
    const auto quoted = [](QString phrase) { return u'"' + phrase.replace(u'"', u"\"\""_s) + u'"'; };
    if (pieces.isEmpty())
        return {};
    // The pair's delimited pieces, as sqliteDocument() writes them.
    const QString pair = u"\x01%1\x02%2\x03"_s.arg(source, target);
    QStringList all;
    for (qsizetype i = 0; i + 3 <= pair.size(); ++i)
        all.append(quoted(pair.mid(i, 3)));
    QStringList either;
    for (qsizetype i = 0; i < pieces.size(); ++i) {
        if (pieces.size() < 5)
            either.append(quoted(pieces[i]));
        for (qsizetype j = i + 1; j < pieces.size() && pieces.size() >= 5; ++j)
            either.append(u"(%1 AND %2)"_s.arg(quoted(pieces[i]), quoted(pieces[j])));
    }
    return u"%1 AND (%2)"_s.arg(all.join(u" AND "_s), either.join(u" OR "_s));
}

std::optional<QSqlError> setUpMemorySchema(QSqlDatabase &db, const MemoryDialect &dialect)
{
    QSqlQuery query(db);
    for (const QString &statement : dialect.beginSetup) {
        if (!query.exec(statement))
            return query.lastError();
    }
    const auto fail = [&](const QSqlError &error) {
        query.exec(u"ROLLBACK"_s);
        return error;
    };
    if (!query.exec(u"CREATE TABLE IF NOT EXISTS tarnix_schema (version INTEGER NOT NULL)"_s)
        || !query.exec(u"SELECT max(version) FROM tarnix_schema"_s) || !query.next())
        return fail(query.lastError());
    const int version = query.value(0).toInt(); // 0: none recorded
    query.finish();
    if (version > memorySchemaVersion)
        return fail(QSqlError(u"schema"_s,
            u"it was set up by a newer tarnix-service (schema version %1, this one knows %2)"_s.arg(version).arg(
                memorySchemaVersion),
            QSqlError::StatementError));
    if (version < memorySchemaVersion) {
        // Version 0: a memory file from before versions, without `context`.
        const bool existed = db.tables().contains(u"translations"_s);
        if (existed && !db.record(u"translations"_s).contains(u"context"_s)
            && !query.exec(u"ALTER TABLE translations ADD COLUMN context TEXT NOT NULL DEFAULT ''"_s))
            return fail(query.lastError());
        if (existed && !db.record(u"translations"_s).contains(u"checksum"_s)) {
            if (!query.exec(u"ALTER TABLE translations ADD COLUMN checksum "_s + dialect.bytesType))
                return fail(query.lastError());
            if (const auto error = addChecksums(db, dialect))
                return fail(*error);
        }
        // Version 2: machine translations alone, without `origin` and `note`.
        for (const QString &column : {u"origin"_s, u"note"_s}) {
            if (existed && !db.record(u"translations"_s).contains(column)
                && !query.exec(u"ALTER TABLE translations ADD COLUMN %1 TEXT NOT NULL DEFAULT '%2'"_s.arg(
                    column, column == u"origin" ? u"machine"_s : QString())))
                return fail(query.lastError());
        }
        // The least recently used order covers machine rows alone (people's
        // are never trimmed); people's rows are also found by their text in
        // any context, through its first characters (an index entry has a
        // size limit in PostgreSQL that a whole long text would pass).
        if (!query.exec(dialect.createTable) || !query.exec(u"DROP INDEX IF EXISTS translations_by_use"_s)
            || !query.exec(u"CREATE INDEX translations_by_use ON translations (used) WHERE origin = 'machine'"_s)
            || !query.exec(u"CREATE INDEX IF NOT EXISTS translations_by_person_text ON translations "
                           u"(source, target, substr(text, 1, %1)) WHERE origin = 'person'"_s.arg(personTextPrefix))
            || !query.exec(u"DELETE FROM tarnix_schema"_s)
            || !query.exec(u"INSERT INTO tarnix_schema (version) VALUES (%1)"_s.arg(memorySchemaVersion)))
            return fail(query.lastError());
    }
    setUpCloseIndex(query, dialect);
    if (!query.exec(u"COMMIT"_s))
        return fail(query.lastError());
    return std::nullopt;
}

} // namespace tarnix::service
