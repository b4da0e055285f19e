#include "service/engines/engine.h"

#include <algorithm>
#include <memory>

#include <QTimer>

namespace tarnix::service {

void Engine::offers(const QString &, const QString &, OfferCallback done)
{
    QTimer::singleShot(0, this, [done = std::move(done)]() { done(PairOffer {}); });
}

void Engine::check(CheckCallback done)
{
    QTimer::singleShot(0, this, [done = std::move(done)]() { done(QString()); });
}

void Engine::prepareGlossary(const QString &, const QString &, std::function<void()> done)
{
    QTimer::singleShot(0, this, std::move(done));
}

void Engine::translateBatch(
    const QString &source, const QString &target, const QList<BatchItem> &items, BatchCallback done)
{
    struct Collected
    {
        std::vector<EngineResult> results;
        qsizetype left = 0;
        BatchCallback done;
    };
    auto collected = std::make_shared<Collected>(
        Collected {std::vector<EngineResult>(std::size_t(items.size())), items.size(), std::move(done)});
    if (items.isEmpty()) {
        QTimer::singleShot(0, this, [collected]() { collected->done({}); });
        return;
    }
    for (qsizetype i = 0; i < items.size(); ++i) {
        translateInContext(source, target, items[i].text, items[i].context, [collected, i](EngineResult result) {
            if (!result.fromMemory && result.status != EngineResult::Status::Unsupported)
                result.requests = std::max(result.requests, 1.0);
            collected->results[std::size_t(i)] = std::move(result);
            if (--collected->left == 0)
                collected->done(collected->results);
        });
    }
}

void Engine::estimate(const QString &, const QString &, const QList<BatchItem> &items, EstimateCallback done)
{
    EngineShare share;
    share.engine = name();
    for (qsizetype i = 0; i < items.size(); ++i) {
        share.items.append(i);
        share.characters += items[i].text.size();
    }
    share.requests = requestGroups(items).size();
    QTimer::singleShot(0, this, [share, done = std::move(done)]() { done({share}, {}); });
}

QList<QList<qsizetype>> Engine::requestGroups(const QList<BatchItem> &items) const
{
    QList<QList<qsizetype>> groups;
    for (qsizetype i = 0; i < items.size(); ++i)
        groups.append(QList<qsizetype> {i});
    return groups;
}

void Engine::refuseLater(Callback done, const QString &why)
{
    QTimer::singleShot(0, this, [done = std::move(done), why]() {
        done(EngineResult {EngineResult::Status::Unsupported, QString(), why, {}});
    });
}

} // namespace tarnix::service
