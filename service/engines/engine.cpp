#include "service/engines/engine.h"

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

void Engine::refuseLater(Callback done, const QString &why)
{
    QTimer::singleShot(0, this, [done = std::move(done), why]() {
        done(EngineResult {EngineResult::Status::Unsupported, QString(), why, {}});
    });
}

} // namespace tarnix::service
