#pragma once

#include <chrono>
#include <deque>
#include <functional>
#include <memory>
#include <optional>

#include <QDeadlineTimer>
#include <QHash>
#include <QObject>
#include <QSet>
#include <QString>
#include <QTimer>

#include "service/memory/translationmemory.h"

class QThread;

namespace tarnix::service {

// The translation memory for the requests. A database server's memory runs
// on a thread of its own, so that a slow or silent server never holds a
// request: a look-up or a store is answered within `deadline`, by the memory
// or with nothing, and the request goes on without it. While the thread is
// held up past a deadline (a server that stopped answering), look-ups and
// stores are answered with nothing at once; stores still go to the thread,
// up to `backlogLimit` of them, and the memory answers again as soon as its
// thread does. A file's memory, whose every statement is bounded by its busy
// time-out, answers on the caller's thread, at once: a hop to another thread
// for every memory hit would cost a third of the service's answers a second.
class MemoryWorker : public QObject
{
    Q_OBJECT

public:
    using Opener = std::function<std::unique_ptr<TranslationMemory>()>;
    using Done = std::function<void(const std::optional<QString> &)>;

    static constexpr std::chrono::milliseconds deadline {300};
    static constexpr int backlogLimit = 1000;
    static constexpr std::chrono::milliseconds learnDeadline {30000};

    enum class Thread { Own, Callers };
    // Opens the memory (on its thread, waiting up to `openWait` for that, so
    // that the start-up message can say whether it is open). `path` is what
    // the memory's path() will say, for that message.
    MemoryWorker(const QString &path, Opener open, Thread thread = Thread::Callers,
        std::chrono::milliseconds openWait = std::chrono::seconds(5), QObject *parent = nullptr);
    ~MemoryWorker() override;
    MemoryWorker(const MemoryWorker &) = delete;
    MemoryWorker &operator=(const MemoryWorker &) = delete;

    QString path() const { return memoryPath; }
    // Whether the memory was open once opening it was over (or its wait).
    bool isOpen() const { return openAtStart; }

    void lookup(const MemoryKey &key, Done done);
    void store(const MemoryKey &key, const QString &translation, Done done);
    void remove(const MemoryKey &key);
    // People's translations (see TranslationMemory): a look-up of the text,
    // and stores of many in one transaction, answered with how many (within
    // `learnDeadline`: a client that sends many waits for them).
    void lookupPerson(const MemoryKey &key, std::function<void(const std::optional<PersonMatch> &)> done);
    // The closest person's translation of a similar text (TranslationMemory::closestPerson).
    void closestPerson(const MemoryKey &key, std::function<void(const std::optional<CloseMatch> &)> done);
    void storePeople(
        const QList<PersonTranslation> &entries, std::function<void(const std::optional<qsizetype> &)> done);

private:
    // submit() for work with another result: the result travels beside it.
    template <typename T>
    void submitFor(std::function<std::optional<T>(TranslationMemory &)> work,
        std::function<void(const std::optional<T> &)> done, bool skipWhenLate,
        std::chrono::milliseconds wait = deadline);
    // Runs `work` on the thread (not at all when `skipWhenLate` and its
    // deadline has passed by then) and answers `done` with its result or,
    // at the deadline, with nothing.
    void submit(std::function<std::optional<QString>(TranslationMemory &)> work, Done done, bool skipWhenLate,
        std::chrono::milliseconds wait = deadline);
    void finished(quint64 id, const std::optional<QString> &result);
    void expire();

    struct Shared;
    std::shared_ptr<Shared> shared; // what the thread's work reaches, past this object if need be
    QThread *thread = nullptr; // null: the memory answers on the caller's thread
    QObject *host = nullptr; // lives on the thread; its events run the work
    QString memoryPath;
    bool openAtStart = false;
    QHash<quint64, Done> pending; // sent, not answered yet
    QSet<quint64> overdue; // answered at their deadline, not finished on the thread
    std::deque<std::pair<quint64, QDeadlineTimer>> deadlines; // by deadline
    QTimer expiry;
    quint64 nextId = 0;
    int backlog = 0; // sent and not finished on the thread
};

} // namespace tarnix::service
