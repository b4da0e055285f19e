#include "service/memory/memorydialect.h"

#include <QSqlDatabase>
#include <QSqlQuery>
#include <QSqlRecord>

using namespace Qt::StringLiterals;

namespace tarnix::service {

const MemoryDialect &sqliteDialect()
{
    static const MemoryDialect dialect {
        u"QSQLITE"_s,
        u"rowid"_s,
        u"CREATE TABLE IF NOT EXISTS translations (key BLOB NOT NULL UNIQUE, engine TEXT NOT NULL, "
        u"source TEXT NOT NULL, target TEXT NOT NULL, text TEXT NOT NULL, context TEXT NOT NULL DEFAULT '', "
        u"translation TEXT NOT NULL, stored INTEGER NOT NULL, used INTEGER NOT NULL)"_s,
        {u"BEGIN IMMEDIATE"_s},
        {u"BEGIN IMMEDIATE"_s},
        {u"BEGIN IMMEDIATE"_s},
        {},
        {u"PRAGMA wal_checkpoint(TRUNCATE)"_s, u"VACUUM"_s},
        u"SELECT rowid FROM translations ORDER BY used, rowid LIMIT :batch"_s,
        u"UPDATE translations SET used = %2 WHERE rowid IN (%1)"_s,
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
        u"used BIGINT NOT NULL)"_s,
        {u"BEGIN; SET LOCAL statement_timeout = 1000"_s},
        {u"BEGIN"_s, u"SET LOCAL statement_timeout = 0"_s, u"SELECT pg_advisory_xact_lock(7317)"_s},
        {u"BEGIN"_s, u"SET LOCAL statement_timeout = 0"_s},
        {u"BEGIN; SET LOCAL statement_timeout = 5000"_s},
        {},
        u"SELECT id FROM translations ORDER BY used, id LIMIT :batch FOR UPDATE SKIP LOCKED"_s,
        u"UPDATE translations SET used = %2 WHERE id IN "
        u"(SELECT id FROM translations WHERE id IN (%1) FOR UPDATE SKIP LOCKED)"_s,
    };
    return dialect;
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
        if (db.tables().contains(u"translations"_s) && !db.record(u"translations"_s).contains(u"context"_s)
            && !query.exec(u"ALTER TABLE translations ADD COLUMN context TEXT NOT NULL DEFAULT ''"_s))
            return fail(query.lastError());
        if (!query.exec(dialect.createTable)
            || !query.exec(u"CREATE INDEX IF NOT EXISTS translations_by_use ON translations (used)"_s)
            || !query.exec(u"DELETE FROM tarnix_schema"_s)
            || !query.exec(u"INSERT INTO tarnix_schema (version) VALUES (%1)"_s.arg(memorySchemaVersion)))
            return fail(query.lastError());
    }
    if (!query.exec(u"COMMIT"_s))
        return fail(query.lastError());
    return std::nullopt;
}

} // namespace tarnix::service
