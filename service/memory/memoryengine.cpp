#include "service/memory/memoryengine.h"

#include <QPointer>
#include <QTimer>

#include "service/memory/memoryworker.h"

using namespace Qt::StringLiterals;

namespace tarnix::service {

MemoryEngine::MemoryEngine(std::unique_ptr<Engine> engine, MemoryWorker *memory, QObject *parent)
    : Engine(parent)
    , engine(std::move(engine))
    , memory(memory)
{ }

MemoryEngine::~MemoryEngine() = default;

QString MemoryEngine::identity() const
{
    return engine->identity();
}

QString MemoryEngine::name() const
{
    return engine->name();
}

TokenForm MemoryEngine::tokenForm(const QString &source, const QString &target) const
{
    return engine->tokenForm(source, target);
}

void MemoryEngine::offers(const QString &source, const QString &target, OfferCallback done)
{
    engine->offers(source, target, std::move(done));
}

bool MemoryEngine::usesContext() const
{
    return engine->usesContext();
}

void MemoryEngine::translate(const QString &source, const QString &target, const QString &text, Callback done)
{
    translateInContext(source, target, text, QString(), std::move(done));
}

MemoryKey MemoryEngine::keyFor(
    const QString &source, const QString &target, const QString &text, const QString &context) const
{
    return MemoryKey {engine->identity(), source, target, text, engine->usesContext() ? context : QString()};
}

EngineResult MemoryEngine::remembered(const MemoryKey &key, const QString &translation)
{
    EngineResult result;
    result.status = EngineResult::Status::Translated;
    result.text = translation;
    result.fromMemory = true;
    result.engine = name();
    // An entry the HTTP side's checks now refuse is not served again.
    result.checked = [self = QPointer<MemoryEngine>(this), key](bool accepted, const EngineResult::Kept &kept) {
        if (self && !accepted)
            self->memory->remove(key);
        if (kept)
            kept(std::nullopt);
    };
    return result;
}

void MemoryEngine::keepOnceAccepted(EngineResult &result, const MemoryKey &key)
{
    if (result.status != EngineResult::Status::Translated)
        return;
    result.checked = [self = QPointer<MemoryEngine>(this), key, translation = result.text](
                         bool accepted, const EngineResult::Kept &kept) {
        if (self && accepted)
            self->memory->store(key, translation, kept);
        else if (kept)
            kept(std::nullopt);
    };
}

void MemoryEngine::translateInContext(
    const QString &source, const QString &target, const QString &text, const QString &context, Callback done)
{
    const MemoryKey key = keyFor(source, target, text, context);
    QPointer<MemoryEngine> self(this);
    memory->lookup(key, [self, key, context, done = std::move(done)](const std::optional<QString> &found) mutable {
        if (!self) {
            done(EngineResult {EngineResult::Status::Unavailable, QString(), u"the service is stopping"_s, {}});
            return;
        }
        if (found) {
            // Never from within the call: the memory may answer at once.
            QTimer::singleShot(
                0, self, [result = self->remembered(key, *found), done = std::move(done)]() { done(result); });
            return;
        }
        self->engine->translateInContext(
            key.source, key.target, key.text, context, [self, key, done = std::move(done)](EngineResult result) {
                if (self)
                    self->keepOnceAccepted(result, key);
                done(result);
            });
    });
}

void MemoryEngine::estimate(
    const QString &source, const QString &target, const QList<BatchItem> &items, EstimateCallback done)
{
    struct Looking
    {
        std::vector<bool> found;
        qsizetype left = 0;
    };
    auto looking = std::make_shared<Looking>(Looking {std::vector<bool>(std::size_t(items.size())), items.size() + 1});
    QPointer<MemoryEngine> self(this);
    const auto looked = [self, looking, source, target, items, done]() {
        if (--looking->left > 0 || !self)
            return;
        QList<BatchItem> asked;
        QList<qsizetype> where;
        QList<qsizetype> remembered;
        for (qsizetype i = 0; i < items.size(); ++i) {
            if (looking->found[std::size_t(i)]) {
                remembered.append(i);
            } else {
                asked.append(items[i]);
                where.append(i);
            }
        }
        self->engine->estimate(source, target, asked,
            [where, remembered, done, name = self->name()](
                QList<EngineShare> shares, const QList<qsizetype> &unsupported) {
                for (EngineShare &share : shares) {
                    for (qsizetype &item : share.items)
                        item = where[item];
                }
                if (shares.isEmpty())
                    shares.append(EngineShare {name, {}, {}, 0, 0, {}, {}, {}});
                shares.front().items += remembered;
                shares.front().remembered += remembered;
                QList<qsizetype> none;
                for (const qsizetype item : unsupported)
                    none.append(where[item]);
                done(shares, none);
            });
    };
    for (qsizetype i = 0; i < items.size(); ++i) {
        memory->lookup(keyFor(source, target, items[i].text, items[i].context),
            [looking, i, looked](const std::optional<QString> &found) {
                looking->found[std::size_t(i)] = found.has_value();
                looked();
            });
    }
    QTimer::singleShot(0, this, looked);
}

void MemoryEngine::translateBatch(
    const QString &source, const QString &target, const QList<BatchItem> &items, BatchCallback done)
{
    struct Batch
    {
        QList<BatchItem> items;
        std::vector<EngineResult> results;
        std::vector<bool> found;
        qsizetype lookingUp = 0;
        BatchCallback done;
    };
    auto batch = std::make_shared<Batch>(Batch {items, std::vector<EngineResult>(std::size_t(items.size())),
        std::vector<bool>(std::size_t(items.size())), items.size(), std::move(done)});
    QPointer<MemoryEngine> self(this);
    const auto looked = [self, batch, source, target]() {
        if (--batch->lookingUp > 0)
            return;
        if (!self) {
            batch->done(std::vector<EngineResult>(batch->items.size(),
                EngineResult {EngineResult::Status::Unavailable, QString(), u"the service is stopping"_s, {}}));
            return;
        }
        QList<BatchItem> asked;
        QList<qsizetype> where;
        for (qsizetype i = 0; i < batch->items.size(); ++i) {
            if (!batch->found[std::size_t(i)]) {
                asked.append(batch->items[i]);
                where.append(i);
            }
        }
        if (asked.isEmpty()) {
            QTimer::singleShot(0, self, [batch]() { batch->done(batch->results); });
            return;
        }
        self->engine->translateBatch(source, target, asked,
            [self, batch, source, target, asked, where](const std::vector<EngineResult> &results) {
                for (qsizetype i = 0; i < where.size(); ++i) {
                    EngineResult result = results[std::size_t(i)];
                    if (self)
                        self->keepOnceAccepted(result, self->keyFor(source, target, asked[i].text, asked[i].context));
                    batch->results[std::size_t(where[i])] = result;
                }
                batch->done(batch->results);
            });
    };
    if (items.isEmpty()) {
        ++batch->lookingUp;
        looked();
        return;
    }
    for (qsizetype i = 0; i < items.size(); ++i) {
        const MemoryKey key = keyFor(source, target, items[i].text, items[i].context);
        memory->lookup(key, [self, batch, key, i, looked](const std::optional<QString> &found) {
            if (found && self) {
                batch->results[std::size_t(i)] = self->remembered(key, *found);
                batch->found[std::size_t(i)] = true;
            }
            looked();
        });
    }
}

} // namespace tarnix::service
