#pragma once

#include <memory>
#include <optional>

#include <QElapsedTimer>
#include <QSet>
#include <QString>

#include "service/memory/memorykey.h"
#include "service/memory/memoryserver.h"

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
};

// $XDG_DATA_HOME/tarnix/memory.sqlite (~/.local/share without XDG_DATA_HOME).
QString defaultMemoryPath();

// Translations the service answered with, in an SQLite file (WAL, each one
// committed before its answer leaves) or in a PostgreSQL database several
// services share. A key keeps the first translation stored for it. The
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
    // Drops every entry and the space they took on disk; how many there were.
    std::optional<qint64> clear();

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

    QString filePath;
    const MemoryDialect *dialect;
    std::unique_ptr<MemoryServerLink> link; // a database server's: null for a file
    QString connection;
    int maxEntries;
    qint64 entriesAtMost = 0; // an upper bound of the row count, to count only when it may be over
    QSet<qint64> used; // rows answered from since the last store: their time of use is written with it
    std::unique_ptr<Statements> statements; // non-null while the database is open
    std::unique_ptr<WalCheckpointer> checkpointer; // with the statements
    int commitsSinceCheckpoint = 0;
    QElapsedTimer pause; // running while the memory is left alone after a failure
    bool corruptOnce = false;
    bool inTransaction = false; // between a BEGIN and its COMMIT
    bool removedDamaged = false; // the last find() removed a row that failed its checksum
};

} // namespace tarnix::service
