#pragma once

#include <functional>
#include <memory>
#include <optional>

#include <QElapsedTimer>
#include <QSet>
#include <QString>

#include "service/memory/memorykey.h"
#include "service/memory/memoryserver.h"
#include "service/memory/trigrams.h"

class QSqlDatabase;
class QSqlError;

namespace tarnix::service {

struct MemoryDialect;
class WalCheckpointer;

// The [memory] section of the service's configuration.
struct MemorySettings
{
    bool enabled = true;
    QString path; // empty: defaultMemoryPath()
    int maxEntries = 100000; // least recently used entries beyond this are dropped
    // A team's shared memory: "url", "sslmode", "ssl-root-cert" instead of
    // "path", and its password from "password-file" or "password-env".
    std::optional<MemoryServer> server;
    QString passwordFile;
    QString passwordVariable;
    // The least score (similarityScore) of a person's translation of a
    // similar text offered for a batch item without one of its own.
    int matchThreshold = 85;
};

// A person's translation: keyed by MemoryKey {"", source, target, text,
// context} (engine-independent), with a note that says where it came from
// (a project, a file), shown to reviewers.
struct PersonTranslation
{
    MemoryKey key; // its engine is ignored: always ''
    QString translation;
    QString note;
};

// What lookupPerson() found for a text.
struct PersonMatch
{
    QString translation;
    QString note;
    QString context; // the row's own
    bool sameContext = true; // false: the text's translation in another context
};

// What closestPerson() found: a person's translation of a similar text.
struct CloseMatch
{
    QString text; // the text the person translated
    QString translation;
    QString note;
    QString context;
    int score = 0; // similarityScore() of the two texts
};

// One row as export reads it.
struct MemoryRow
{
    MemoryKey key; // engine '' for a person's
    QString translation;
    bool person = false;
    QString note;
};

// $XDG_DATA_HOME/tarnix/memory.sqlite (~/.local/share without XDG_DATA_HOME).
QString defaultMemoryPath();

// Translations the service answered with, in an SQLite file (WAL, each one
// committed before its answer leaves) or in a PostgreSQL database several
// services share, beside people's translations (imported from TMX files or
// learnt from reviewed catalogs). A machine's key keeps the first
// translation stored for it; a person's key keeps the last (a corrected
// translation imported again replaces the older one). Only machine rows are
// trimmed to `maxEntries` and counted against it; people's rows stay until
// removed on purpose. The
// memory never stops the service: a file that is not a database or is
// corrupt is moved aside and a new one started; a file another process keeps
// locked is waited for briefly, then left alone for a while, and the service
// translates without it meanwhile; so it does while a database is away.
class TranslationMemory
{
public:
    TranslationMemory(const QString &path, int maxEntries);
    TranslationMemory(const MemoryServer &server, int maxEntries);
    ~TranslationMemory();
    TranslationMemory(const TranslationMemory &) = delete;
    TranslationMemory &operator=(const TranslationMemory &) = delete;

    // The file, or the database's url (without its password).
    QString path() const { return filePath; }
    // Whether the file is open now (it may open later, after a failure).
    bool isOpen() const { return statements != nullptr; }
    bool shared() const { return link != nullptr; }

    std::optional<QString> lookup(const MemoryKey &key);
    // Commits before it returns the translation the memory now holds for the
    // key: `translation`, or the one stored first (by another service, or by
    // another request in flight). Nothing when the memory could not take it.
    std::optional<QString> store(const MemoryKey &key, const QString &translation);
    void remove(const MemoryKey &key);
    // Drops every machine entry (and people's too with `people`) and the
    // space they took on disk; how many there were.
    std::optional<qint64> clear(bool people = false);

    // A person's translation of the key's text: with the same context, else
    // one of another context (the one without a context first, then the most
    // recently stored), which the match says. Rows that fail their checksum
    // are removed and never served.
    std::optional<PersonMatch> lookupPerson(const MemoryKey &key);
    // The person's translation of the text most like the key's, of the same
    // pair, scoring at least the threshold: candidates come from the
    // database's index of people's texts by three-character pieces, then are
    // scored by edit distance; on equal scores the key's context first, then
    // none. Nothing when none is that close or
    // the database has no such index.
    std::optional<CloseMatch> closestPerson(const MemoryKey &key);
    // Every person's translation of the pair that the index offers as a
    // candidate and that scores at least the threshold (rows failing their
    // checksum left out), in the database's order.
    QList<CloseMatch> closeMatches(const MemoryKey &key);
    void setMatchThreshold(int threshold) { matchThreshold = threshold; }
    int threshold() const { return matchThreshold; }
    // Stores a person's translation, replacing a person's older one for the
    // same key (a machine's row for the text is left as it is: a person's is
    // looked up first). Commits before it returns; nothing on failure.
    std::optional<QString> storePerson(const MemoryKey &key, const QString &translation, const QString &note);
    // Many in one transaction: all of them or, on failure, none (nothing).
    std::optional<qsizetype> storePeople(const QList<PersonTranslation> &entries);
    // Every row (people's alone with `peopleOnly`) in the order stored, read
    // a page at a time; `visit` returning false stops. Rows that fail their
    // checksum are passed over and counted in `damaged`. False when the
    // memory could not be read to the end.
    bool forEachRow(bool peopleOnly, const std::function<bool(const MemoryRow &)> &visit, qint64 *damaged = nullptr);

private:
    struct Statements;

    // Writes are held back apart from look-ups while a database is slow.
    bool usable(bool writing = false);
    void open();
    bool openFile(QSqlDatabase &db);
    std::optional<std::pair<qint64, QString>> find(const MemoryKey &key);
    void close();
    bool execute(const QString &statement);
    void failed(const QSqlError &error, const QString &what);
    bool intact();
    void moveAside(const QString &why);
    void trim();
    void sampleRarity();

    QString filePath;
    const MemoryDialect *dialect;
    std::unique_ptr<MemoryServerLink> link; // a database server's: null for a file
    QString connection;
    int maxEntries;
    int matchThreshold = 85;
    qint64 entriesAtMost = 0; // an upper bound of the row count, to count only when it may be over
    QSet<qint64> used; // rows answered from since the last store: their time of use is written with it
    std::unique_ptr<Statements> statements; // non-null while the database is open
    std::unique_ptr<WalCheckpointer> checkpointer; // with the statements
    int commitsSinceCheckpoint = 0;
    QElapsedTimer pause; // running while the memory is left alone after a failure
    bool corruptOnce = false;
    bool inTransaction = false; // between a BEGIN and its COMMIT
    bool removedDamaged = false; // the last find() removed a row that failed its checksum
    // Which pieces of people's texts are rare (SQLite's close matches ask for
    // those), from a sample taken at the first close match and again after
    // as many people's rows more were stored.
    TrigramRarity rarity;
    std::optional<qsizetype> peopleSinceSample; // none: no sample yet
    double sessionSimilarity = -1; // the session's least similarity of close-match candidates; -1: not set yet
    qsizetype peopleSinceStatistics = 0; // stored since the planner's statistics were last refreshed
};

} // namespace tarnix::service
