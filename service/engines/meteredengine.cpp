#include "service/engines/meteredengine.h"

namespace tarnix::service {

namespace {

// Old measurements fade: past this many characters both sums are halved, so
// that an engine that got faster or slower is soon seen so.
constexpr double remembered = 2e6;

bool sent(const EngineResult &result)
{
    return !result.fromMemory && result.status != EngineResult::Status::Unsupported;
}

} // namespace

double estimatedCost(const EnginePrice &price, qsizetype characters, qsizetype requests)
{
    double units = double(characters);
    if (price.unit == EnginePrice::Unit::Tokens)
        units = double(characters) / 4 * 2 + 150.0 * double(requests);
    return units / 1e6 * price.amount;
}

MeteredEngine::MeteredEngine(std::unique_ptr<Engine> engine, std::optional<EnginePrice> price, EngineSpeed speed,
    std::function<void(const EngineSpeed &)> recorded, QObject *parent)
    : Engine(parent)
    , engine(std::move(engine))
    , price(std::move(price))
    , measured(speed)
    , recorded(std::move(recorded))
{
    setObjectName(this->engine->objectName());
}

MeteredEngine::~MeteredEngine() = default;

void MeteredEngine::translate(const QString &source, const QString &target, const QString &text, Callback done)
{
    translateInContext(source, target, text, QString(), std::move(done));
}

void MeteredEngine::translateInContext(
    const QString &source, const QString &target, const QString &text, const QString &context, Callback done)
{
    started();
    engine->translateInContext(
        source, target, text, context, [this, done, characters = text.size()](EngineResult result) {
            if (sent(result))
                result.requests = std::max(result.requests, 1.0);
            ended(result.status == EngineResult::Status::Translated ? characters : 0);
            done(result);
        });
}

void MeteredEngine::translateBatch(
    const QString &source, const QString &target, const QList<BatchItem> &items, BatchCallback done)
{
    started();
    engine->translateBatch(source, target, items, [this, items, done](const std::vector<EngineResult> &results) {
        qsizetype characters = 0;
        for (std::size_t i = 0; i < results.size() && i < std::size_t(items.size()); ++i) {
            if (results[i].status == EngineResult::Status::Translated)
                characters += items[qsizetype(i)].text.size();
        }
        ended(characters);
        done(results);
    });
}

void MeteredEngine::estimate(
    const QString &source, const QString &target, const QList<BatchItem> &items, EstimateCallback done)
{
    engine->estimate(
        source, target, items, [this, done](QList<EngineShare> shares, const QList<qsizetype> &unsupported) {
            for (EngineShare &share : shares) {
                share.engine = name();
                if (measured.measured())
                    share.seconds = double(share.characters) * measured.seconds / measured.characters;
                if (price) {
                    share.cost = estimatedCost(*price, share.characters, share.requests);
                    share.currency = price->currency;
                }
            }
            done(shares, unsupported);
        });
}

void MeteredEngine::started()
{
    if (inFlight++ == 0)
        busy.start();
}

void MeteredEngine::ended(qsizetype translatedCharacters)
{
    measured.characters += double(translatedCharacters);
    if (--inFlight == 0) {
        measured.seconds += double(busy.nsecsElapsed()) / 1e9;
        busy.invalidate();
    }
    if (measured.characters > remembered) {
        measured.characters /= 2;
        measured.seconds /= 2;
    }
    if (inFlight == 0 && recorded)
        recorded(measured);
}

} // namespace tarnix::service
