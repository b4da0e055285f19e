#include "service/memory/memoryworker.h"

#include <algorithm>

#include <QDebug>
#include <QMutex>
#include <QPointer>
#include <QSemaphore>
#include <QThread>

using namespace Qt::StringLiterals;

namespace tarnix::service {

struct MemoryWorker::Shared
{
    QMutex mutex;
    MemoryWorker *worker = nullptr; // null once it is gone: nothing is posted to it then
    std::unique_ptr<TranslationMemory> memory; // used on the thread only
    QSemaphore opened;
    bool open = false;
};

MemoryWorker::MemoryWorker(
    const QString &path, Opener open, Thread where, std::chrono::milliseconds openWait, QObject *parent)
    : QObject(parent)
    , shared(std::make_shared<Shared>())
    , memoryPath(path)
{
    shared->worker = this;
    if (where == Thread::Callers) {
        shared->memory = open();
        openAtStart = shared->memory && shared->memory->isOpen();
        return;
    }
    thread = new QThread;
    host = new QObject;
    thread->setObjectName(u"tarnix-memory"_s);
    host->moveToThread(thread);
    thread->start();
    expiry.setSingleShot(true);
    connect(&expiry, &QTimer::timeout, this, &MemoryWorker::expire);
    // Opened on its thread: a database connection belongs to the thread that made it.
    QMetaObject::invokeMethod(
        host,
        [shared = shared, open = std::move(open)]() {
            shared->memory = open();
            shared->open = shared->memory && shared->memory->isOpen();
            shared->opened.release();
        },
        Qt::QueuedConnection);
    openAtStart = shared->opened.tryAcquire(1, int(openWait.count())) && shared->open;
}

MemoryWorker::~MemoryWorker()
{
    if (!thread)
        return; // the memory goes with `shared`
    {
        QMutexLocker lock(&shared->mutex);
        shared->worker = nullptr;
    }
    // The memory closes on its thread, writing the times of use it holds.
    QMetaObject::invokeMethod(
        host,
        [shared = shared]() {
            shared->memory.reset();
            QThread::currentThread()->quit();
        },
        Qt::QueuedConnection);
    if (thread->wait(QDeadlineTimer(std::chrono::seconds(5)))) {
        delete host;
        delete thread;
        return;
    }
    // A database that stopped answering holds the thread: it is left to the
    // end of the process rather than holding the service's exit.
    qWarning().noquote() << u"translation memory: %1 does not answer; not waiting for it to close"_s.arg(memoryPath);
}

void MemoryWorker::lookup(const MemoryKey &key, Done done)
{
    submit([key](TranslationMemory &memory) { return memory.lookup(key); }, std::move(done), true);
}

void MemoryWorker::store(const MemoryKey &key, const QString &translation, Done done)
{
    submit([key, translation](TranslationMemory &memory) { return memory.store(key, translation); }, std::move(done),
        false);
}

void MemoryWorker::remove(const MemoryKey &key)
{
    submit(
        [key](TranslationMemory &memory) {
            memory.remove(key);
            return std::optional<QString>();
        },
        nullptr, false);
}

void MemoryWorker::lookupPerson(const MemoryKey &key, std::function<void(const std::optional<PersonMatch> &)> done)
{
    submitFor<PersonMatch>(
        [key](TranslationMemory &memory) { return memory.lookupPerson(key); }, std::move(done), true);
}

void MemoryWorker::closestPerson(const MemoryKey &key, std::function<void(const std::optional<CloseMatch> &)> done)
{
    submitFor<CloseMatch>(
        [key](TranslationMemory &memory) { return memory.closestPerson(key); }, std::move(done), true);
}

void MemoryWorker::storePeople(
    const QList<PersonTranslation> &entries, std::function<void(const std::optional<qsizetype> &)> done)
{
    submitFor<qsizetype>([entries](TranslationMemory &memory) { return memory.storePeople(entries); }, std::move(done),
        false, learnDeadline);
}

template <typename T>
void MemoryWorker::submitFor(std::function<std::optional<T>(TranslationMemory &)> work,
    std::function<void(const std::optional<T> &)> done, bool skipWhenLate, std::chrono::milliseconds wait)
{
    // Written on the memory's thread before it posts its answer, read here
    // once that answer arrives: the event queue orders the two.
    auto result = std::make_shared<std::optional<T>>();
    submit(
        [work = std::move(work), result](TranslationMemory &memory) {
            *result = work(memory);
            return *result ? std::optional<QString>(QString()) : std::nullopt;
        },
        done ? Done([done = std::move(done), result](
                        const std::optional<QString> &answered) { done(answered ? *result : std::nullopt); })
             : Done(),
        skipWhenLate, wait);
}

void MemoryWorker::submit(std::function<std::optional<QString>(TranslationMemory &)> work, Done done, bool skipWhenLate,
    std::chrono::milliseconds wait)
{
    if (!thread) {
        const std::optional<QString> result = shared->memory ? work(*shared->memory) : std::nullopt;
        if (done)
            done(result);
        return;
    }
    // Held up: nobody waits for the thread. A look-up is pointless by the
    // time it would run; a store or a removal still goes, within the backlog.
    if (!overdue.isEmpty()) {
        if (done)
            QTimer::singleShot(0, this, [done = std::move(done)]() { done(std::nullopt); });
        done = nullptr;
        if (skipWhenLate || backlog >= backlogLimit)
            return;
    }
    const quint64 id = nextId++;
    const QDeadlineTimer expires(wait);
    ++backlog;
    const bool skippable = skipWhenLate;
    if (done) {
        pending.insert(id, std::move(done));
        // Kept in the order of their deadlines: most share one length, so
        // this is the end but for the few with a longer one.
        const auto at = std::upper_bound(deadlines.begin(), deadlines.end(), expires,
            [](const QDeadlineTimer &timer, const auto &entry) { return timer < entry.second; });
        const bool first = at == deadlines.begin();
        deadlines.insert(at, {id, expires});
        if (first || !expiry.isActive())
            expiry.start(std::max<qint64>(1, deadlines.front().second.remainingTime()));
    }
    QMetaObject::invokeMethod(
        host,
        [shared = shared, work = std::move(work), id, expires, skippable]() {
            std::optional<QString> result;
            if (shared->memory && !(skippable && expires.hasExpired()))
                result = work(*shared->memory);
            QMutexLocker lock(&shared->mutex);
            if (MemoryWorker *worker = shared->worker) {
                QMetaObject::invokeMethod(
                    worker, [worker, id, result]() { worker->finished(id, result); }, Qt::QueuedConnection);
            }
        },
        Qt::QueuedConnection);
}

void MemoryWorker::finished(quint64 id, const std::optional<QString> &result)
{
    --backlog;
    overdue.remove(id);
    if (const Done done = pending.take(id))
        done(result);
}

void MemoryWorker::expire()
{
    while (!deadlines.empty() && deadlines.front().second.hasExpired()) {
        const quint64 id = deadlines.front().first;
        deadlines.pop_front();
        if (const Done done = pending.take(id)) {
            overdue.insert(id);
            done(std::nullopt);
        }
    }
    while (!deadlines.empty() && !pending.contains(deadlines.front().first))
        deadlines.pop_front();
    if (!deadlines.empty())
        expiry.start(std::max<qint64>(1, deadlines.front().second.remainingTime()));
}

} // namespace tarnix::service
