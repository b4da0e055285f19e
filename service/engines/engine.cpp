#include "service/engines/engine.h"

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
        translateInContext(source, target, items[i].text, items[i].context, [collected, i](const EngineResult &result) {
            collected->results[std::size_t(i)] = result;
            if (--collected->left == 0)
                collected->done(collected->results);
        });
    }
}

void Engine::refuseLater(Callback done, const QString &why)
{
    QTimer::singleShot(0, this, [done = std::move(done), why]() {
        done(EngineResult {EngineResult::Status::Unsupported, QString(), why, {}});
    });
}

} // namespace tarnix::service
