#pragma once

#include <memory>
#include <optional>

#include <QElapsedTimer>
#include <QSet>
#include <QString>

class QSqlError;

namespace tarnix::service {

class WalCheckpointer;

// The [memory] section of the service's configuration.
struct MemorySettings
{
    bool enabled = true;
    QString path; // empty: defaultMemoryPath()
    int maxEntries = 100000; // least recently used entries beyond this are dropped
};

// $XDG_DATA_HOME/tarnix/memory.sqlite (~/.local/share without XDG_DATA_HOME).
QString defaultMemoryPath();

// What a translation is remembered by: the engine's identity, the language
// pair and the text exactly as the engine was asked.
struct MemoryKey
{
    QString engine;
    QString source;
    QString target;
    QString text;
};

// Translations the service answered with, in an SQLite file (WAL, each one
// committed before its answer leaves). The memory never stops the service: a
// file that is not a database or is corrupt is moved aside and a new one
// started; a file another process keeps locked is waited for briefly, then
// left alone for a while, and the service translates without it meanwhile.
class TranslationMemory
{
public:
    TranslationMemory(const QString &path, int maxEntries);
    ~TranslationMemory();
    TranslationMemory(const TranslationMemory &) = delete;
    TranslationMemory &operator=(const TranslationMemory &) = delete;

    QString path() const { return filePath; }
    // Whether the file is open now (it may open later, after a failure).
    bool isOpen() const { return statements != nullptr; }

    std::optional<QString> lookup(const MemoryKey &key);
    // Commits before it returns; false when the memory could not take it.
    bool store(const MemoryKey &key, const QString &translation);
    void remove(const MemoryKey &key);
    // Drops every entry and the space they took on disk.
    bool clear();

private:
    struct Statements;

    bool usable();
    void open();
    void close();
    bool execute(const QString &statement);
    void failed(const QSqlError &error, const QString &what);
    bool intact();
    void moveAside(const QString &why);
    void trim();

    QString filePath;
    QString connection;
    int maxEntries;
    qint64 entriesAtMost = 0; // an upper bound of the row count, to count only when it may be over
    QSet<qint64> used; // rows answered from since the last store: their time of use is written with it
    std::unique_ptr<Statements> statements; // non-null while the database is open
    std::unique_ptr<WalCheckpointer> checkpointer; // with the statements
    int commitsSinceCheckpoint = 0;
    QElapsedTimer pause; // running while the memory is left alone after a failure
    bool corruptOnce = false;
};

} // namespace tarnix::service
