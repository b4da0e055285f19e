#include "service/engines/router.h"

#include <QStringList>

using namespace Qt::StringLiterals;

namespace tarnix::service {

// One request on its way down the list. Without a callback for a
// translation, it only asks who offers the pair.
struct Router::Attempt
{
    QString source;
    QString target;
    QString text;
    QString context;
    Callback translated;
    OfferCallback offered;
    QStringList failedEngines;
    QStringList failures; // "engine: why", in the order they came
};

Router::Router(std::vector<std::unique_ptr<Engine>> engines, QObject *parent)
    : Engine(parent)
    , chain(std::move(engines))
{
    setObjectName(u"router"_s);
}

Router::~Router() = default;

TokenForm Router::tokenForm(const QString &source, const QString &target) const
{
    return chain.empty() ? TokenForm {} : chain.front()->tokenForm(source, target);
}

void Router::offers(const QString &source, const QString &target, OfferCallback done)
{
    tryFrom(std::make_shared<Attempt>(Attempt {source, target, {}, {}, {}, std::move(done), {}, {}}), 0);
}

void Router::translate(const QString &source, const QString &target, const QString &text, Callback done)
{
    translateInContext(source, target, text, QString(), std::move(done));
}

void Router::translateInContext(
    const QString &source, const QString &target, const QString &text, const QString &context, Callback done)
{
    tryFrom(std::make_shared<Attempt>(Attempt {source, target, text, context, std::move(done), {}, {}, {}}), 0);
}

void Router::tryFrom(const std::shared_ptr<Attempt> &attempt, std::size_t index)
{
    if (index >= chain.size()) {
        finish(attempt);
        return;
    }
    Engine *engine = chain[index].get();
    engine->offers(attempt->source, attempt->target, [this, attempt, index, engine](const PairOffer &offer) {
        const auto failed = [&](const QString &why) {
            attempt->failedEngines.append(engine->name());
            attempt->failures.append(engine->name() + u": "_s + why);
            tryFrom(attempt, index + 1);
        };
        if (offer.answer == PairOffer::Answer::NotOffered) {
            tryFrom(attempt, index + 1);
        } else if (offer.answer == PairOffer::Answer::Unknown) {
            failed(offer.detail);
        } else if (attempt->offered) {
            attempt->offered(offer);
        } else {
            engine->translateInContext(attempt->source, attempt->target, attempt->text, attempt->context,
                [this, attempt, index, engine](const EngineResult &result) {
                    EngineResult named = result;
                    named.engine = engine->name();
                    if (result.status == EngineResult::Status::Translated) {
                        attempt->translated(named);
                        return;
                    }
                    if (result.status == EngineResult::Status::Unavailable) {
                        attempt->failedEngines.append(engine->name());
                        attempt->failures.append(engine->name() + u": "_s + result.detail);
                    }
                    tryFrom(attempt, index + 1);
                });
        }
    });
}

void Router::finish(const std::shared_ptr<Attempt> &attempt)
{
    if (attempt->offered) {
        attempt->offered(attempt->failures.isEmpty()
                ? PairOffer {PairOffer::Answer::NotOffered, {}}
                : PairOffer {PairOffer::Answer::Unknown, attempt->failures.join(u"; "_s)});
        return;
    }
    if (attempt->failures.isEmpty()) {
        attempt->translated(EngineResult {EngineResult::Status::Unsupported, QString(),
            u"No configured engine translates from %1 to %2."_s.arg(attempt->source, attempt->target), {}});
    } else {
        attempt->translated(EngineResult {
            EngineResult::Status::Unavailable,
            QString(),
            attempt->failures.join(u"; "_s),
            attempt->failedEngines.join(u','),
        });
    }
}

} // namespace tarnix::service
