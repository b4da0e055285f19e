#pragma once

#include <optional>

#include <QSqlError>
#include <QString>
#include <QStringList>
#include <QStringView>

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
    // Brings the planner's statistics up to date after many rows came in at
    // once: until the server's autovacuum does, a planner that still
    // believes the table small reads a pair's rows one by one instead of the
    // index of trigrams (hundreds of milliseconds a close match).
    QStringList refreshStatistics;
    // People's rows of the pair :source/:target whose text shares three-
    // character pieces with :text, at most :limit: the candidates of a close
    // match, scored after by edit distance. SQLite: the rows holding two of
    // the text's rarest pieces (:terms, a full-text query), of a length from
    // :shortest / 2 to :longest characters; PostgreSQL: the rows pg_trgm's
    // `%` finds, most alike first. Columns: row number, text, context,
    // translation, checksum, note.
    QString closeCandidates;
    int closeLimit = 50; // :limit
    // Sets the least similarity of closeCandidates' rows (%1, from 0 to 1).
    QString setCloseSimilarity;
    // Indexes the people's rows stored in this transaction, run before it
    // commits (SQLite; PostgreSQL's index keeps itself up to date).
    QStringList flushCloseIndex;
    // closeCandidates for a text whose candidates all have more than
    // closeMatchEnds characters (PostgreSQL; none in SQLite): the rows that
    // long whose first or last closeMatchEnds characters pg_trgm's `%` finds
    // alike the text's, most alike first. Hundreds of a long text's pieces
    // read in the index of every row took tens of milliseconds; those of its
    // two ends in indexes of the long rows alone, a few.
    QString closeEndCandidates;
};

// How many characters at each end of a long text closeEndCandidates compares.
inline constexpr int closeMatchEnds = 100;

// The least pg_trgm similarity of the candidates of close matches scoring
// `threshold` by edit distance, for a text of many pieces: 0.4 from 85 up, the lowest similarity of pairs of
// Debian's catalog texts that score 85 ("%.1f KiB", "%.1f MiB": few word
// pieces; pg_trgm's own default of 0.3 makes a look-up in a million rows
// twice as slow for nothing more), less below it, down to 0.1.
double closeCandidateSimilarity(int threshold);

// The least pg_trgm similarity for the candidates of `text`: the least a text
// within three edits of it can have (one edit changes at most three of the
// pieces of its words: (pieces - 3 × edits) / (pieces + 3 × edits)), or
// within the edits `threshold` allows when fewer, down to 0.1 and never above
// closeCandidateSimilarity(threshold). A short text has few pieces ("Save...":
// five, one edit from "Sae..." at 0.29), so that the threshold's edits can
// take it below the general least. Rounded down to a twentieth, so that the
// session's setting changes seldom.
double closeCandidateSimilarity(int threshold, QStringView text);

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
//
// It also sets up the index of people's texts by their three-character
// pieces (SQLite: an FTS5 table with the trigram tokenizer, kept in step with
// `translations` by triggers; PostgreSQL: a pg_trgm GIN index), filled for the
// rows already there. Where that index cannot be made (no FTS5, no pg_trgm),
// the memory works without close matches: that alone is no error.
std::optional<QSqlError> setUpMemorySchema(QSqlDatabase &db, const MemoryDialect &dialect);

// The full-text query for the SQLite dialect's closeCandidates: rows of the
// pair holding at least two of `pieces` (a text's rarest three-character
// pieces), or one of them when there are fewer than five. Requiring two keeps
// out the rows that share a single piece by chance, while a row a few edits
// away keeps most of them (one edit takes at most three pieces away).
// Empty without pieces.
QString closeMatchTerms(const QString &source, const QString &target, const QStringList &pieces);

} // namespace tarnix::service
