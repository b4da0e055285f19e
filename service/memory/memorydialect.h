#pragma once

#include <optional>

#include <QSqlError>
#include <QString>
#include <QStringList>

class QSqlDatabase;

namespace tarnix::service {

// The few statements in which SQLite and PostgreSQL differ. Everything else
// the translation memory says is the same SQL on both (ON CONFLICT DO
// NOTHING included), so the memory's logic is written once.
struct MemoryDialect
{
    QString driver; // Qt SQL's driver
    QString rowId; // the column that numbers rows
    // translations, with every column of the current schema version: `origin`
    // is 'machine' (an engine's answer, engine named) or 'person' (a person's
    // translation, engine '', never trimmed); `note` says where a person's
    // translation came from (a project, a file).
    QString createTable;
    QStringList beginWrite; // opens a write transaction
    QStringList beginSetup; // opens the transaction that creates or migrates the schema, one service at a time
    QStringList beginClear;
    QStringList beginCount; // counting every row may take longer than a look-up
    QStringList afterClear; // gives the space back, outside a transaction
    QString oldestRows; // SELECT of at most :batch least recently used row numbers
    QString touch; // sets `used` to %2 in the rows numbered %1 (a list)
    QString bytesType; // the column type of digests and checksums
};

const MemoryDialect &sqliteDialect();
const MemoryDialect &postgresDialect();

// The schema version this code reads and writes; the table tarnix_schema
// records it, so that a later version knows what to migrate.
inline constexpr int memorySchemaVersion = 3;

// How many characters of a text the index of people's rows by text holds;
// a look-up compares the whole text after it.
inline constexpr int personTextPrefix = 200;

// Creates the table and its indexes when missing and migrates an older schema
// (a file from before versions lacks `context`; version 1 lacks `checksum`,
// which is computed for every row it holds; version 2 lacks `origin` and
// `note`, and every row it holds is a machine's). An error when it fails or the
// database was set up by a newer version.
std::optional<QSqlError> setUpMemorySchema(QSqlDatabase &db, const MemoryDialect &dialect);

} // namespace tarnix::service
