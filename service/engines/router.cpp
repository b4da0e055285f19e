#include "service/engines/router.h"

#include <algorithm>
#include <memory>

#include <QPointer>
#include <QStringList>

using namespace Qt::StringLiterals;

namespace tarnix::service {

namespace {

// "libretranslate at http://127.0.0.1:5000: Connection refused": which
// engine, where it was asked, and why it did not translate.
QString failure(const Engine &engine, const QString &why)
{
    const QString address = engine.address();
    return engine.name() + (address.isEmpty() ? QString() : u" at "_s + address) + u": "_s + why;
}

} // namespace

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
    // The text holds the glossary's terms as written: the engine that
    // translates the pair takes the glossary itself (Router::takesGlossary()).
    bool glossaryUnmasked = false;
};

Router::Router(std::vector<std::unique_ptr<Engine>> engines, QObject *parent)
    : Engine(parent)
    , chain(std::move(engines))
{
    setObjectName(u"router"_s);
}

Router::~Router() = default;

namespace {

QString pairKey(const QString &source, const QString &target)
{
    return source + u'|' + target;
}

} // namespace

TokenForm Router::tokenForm(const QString &source, const QString &target) const
{
    const std::size_t index = translating.value(pairKey(source, target), 0);
    return index < chain.size() ? chain[index]->tokenForm(source, target) : TokenForm {};
}

bool Router::takesGlossary(const QString &source, const QString &target) const
{
    const std::size_t index = translating.value(pairKey(source, target), 0);
    return index < chain.size() && chain[index]->takesGlossary(source, target);
}

void Router::prepareGlossary(const QString &source, const QString &target, std::function<void()> done)
{
    // The glossary of the engine that will translate the pair, which is not
    // the first engine where that one does not offer it.
    QPointer<Router> self(this);
    firstOffering(source, target, 0, [self, source, target, done = std::move(done)](std::size_t index) mutable {
        if (!self) {
            done();
            return;
        }
        self->translating.insert(pairKey(source, target), index);
        if (index < self->chain.size())
            self->chain[index]->prepareGlossary(source, target, std::move(done));
        else
            self->Engine::prepareGlossary(source, target, std::move(done));
    });
}

TextLimits Router::textLimits() const
{
    if (chain.empty())
        return {};
    TextLimits smallest = chain.front()->textLimits();
    for (const auto &engine : chain) {
        smallest.longestText = std::min(smallest.longestText, engine->textLimits().longestText);
        smallest.parallel = std::min(smallest.parallel, engine->textLimits().parallel);
    }
    smallest.parallel = std::max(smallest.parallel, 1);
    return smallest;
}

void Router::offers(const QString &source, const QString &target, OfferCallback done)
{
    tryFrom(std::make_shared<Attempt>(Attempt {source, target, {}, {}, {}, std::move(done), {}, {}, false}), 0);
}

void Router::translate(const QString &source, const QString &target, const QString &text, Callback done)
{
    translateInContext(source, target, text, QString(), std::move(done));
}

void Router::translateInContext(
    const QString &source, const QString &target, const QString &text, const QString &context, Callback done)
{
    tryFrom(std::make_shared<Attempt>(
                Attempt {source, target, text, context, std::move(done), {}, {}, {}, takesGlossary(source, target)}),
        0);
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
            attempt->failures.append(failure(*engine, why));
            if (!handOver(attempt, index))
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
                        named.askAgain = askAgain(engine, *attempt);
                        attempt->translated(named);
                        return;
                    }
                    if (result.status == EngineResult::Status::Unavailable) {
                        attempt->failedEngines.append(engine->name());
                        attempt->failures.append(failure(*engine, result.detail));
                    }
                    if (!handOver(attempt, index))
                        tryFrom(attempt, index + 1);
                });
        }
    });
}

void Router::firstOffering(
    const QString &source, const QString &target, std::size_t index, std::function<void(std::size_t)> found)
{
    if (index >= chain.size()) {
        found(index);
        return;
    }
    chain[index]->offers(
        source, target, [this, source, target, index, found = std::move(found)](const PairOffer &offer) mutable {
            if (offer.answer == PairOffer::Answer::Offered)
                found(index);
            else
                firstOffering(source, target, index + 1, std::move(found));
        });
}

void Router::estimate(
    const QString &source, const QString &target, const QList<BatchItem> &items, EstimateCallback done)
{
    QPointer<Router> self(this);
    firstOffering(source, target, 0, [self, source, target, items, done](std::size_t index) {
        if (!self)
            return;
        if (index < self->chain.size()) {
            self->chain[index]->estimate(source, target, items, done);
            return;
        }
        QList<qsizetype> unsupported;
        for (qsizetype i = 0; i < items.size(); ++i)
            unsupported.append(i);
        done({}, unsupported);
    });
}

void Router::translateBatch(
    const QString &source, const QString &target, const QList<BatchItem> &items, BatchCallback done)
{
    QPointer<Router> self(this);
    firstOffering(source, target, 0, [self, source, target, items, done](std::size_t index) {
        if (!self)
            return;
        if (index >= self->chain.size()) {
            // Nobody offers it, or an engine could not be asked: each item
            // alone, for the refusal a single request gets.
            self->Engine::translateBatch(source, target, items, done);
            return;
        }
        Engine *engine = self->chain[index].get();
        engine->translateBatch(source, target, items,
            [self, source, target, items, done, index, engine = QPointer<Engine>(engine)](
                const std::vector<EngineResult> &results) {
                struct Collected
                {
                    std::vector<EngineResult> results;
                    qsizetype left = 1;
                    BatchCallback done;
                    void one()
                    {
                        if (--left == 0)
                            done(results);
                    }
                };
                auto collected = std::make_shared<Collected>(Collected {results, 1, done});
                const bool unmasked = self && self->takesGlossary(source, target);
                for (qsizetype i = 0; i < items.size(); ++i) {
                    EngineResult &result = collected->results[std::size_t(i)];
                    const auto attempt = std::make_shared<Attempt>(
                        Attempt {source, target, items[i].text, items[i].context, {}, {}, {}, {}, unmasked});
                    if (result.status == EngineResult::Status::Translated) {
                        result.engine = engine ? engine->name() : QString();
                        if (engine)
                            result.askAgain = askAgain(engine, *attempt);
                        continue;
                    }
                    if (!self || !engine)
                        continue;
                    if (result.status == EngineResult::Status::Unavailable) {
                        attempt->failedEngines.append(engine->name());
                        attempt->failures.append(failure(*engine, result.detail));
                    }
                    ++collected->left;
                    attempt->translated = [collected, i](const EngineResult &later) {
                        collected->results[std::size_t(i)] = later;
                        collected->one();
                    };
                    if (!self->handOver(attempt, index))
                        self->tryFrom(attempt, index + 1);
                }
                collected->one();
            });
    });
}

std::function<void(const QString &, Engine::Callback)> Router::askAgain(Engine *engine, const Attempt &attempt)
{
    return [engine = QPointer<Engine>(engine), source = attempt.source, target = attempt.target,
               context = attempt.context](const QString &text, Callback done) {
        if (!engine) {
            done(EngineResult {EngineResult::Status::Unavailable, QString(), u"the service is stopping"_s, {}});
            return;
        }
        engine->translateInContext(
            source, target, text, context, [name = engine->name(), done = std::move(done)](EngineResult again) {
                again.engine = name;
                done(again);
            });
    };
}

bool Router::handOver(const std::shared_ptr<Attempt> &attempt, std::size_t index)
{
    if (!attempt->glossaryUnmasked || index >= chain.size()
        || !chain[index]->takesGlossary(attempt->source, attempt->target))
        return false;
    const auto rest = chain.begin() + std::ptrdiff_t(std::min(index + 1, chain.size()));
    if (std::all_of(rest, chain.end(), [&attempt](const std::unique_ptr<Engine> &engine) {
            return engine->takesGlossary(attempt->source, attempt->target);
        }))
        return false;
    EngineResult result = unanswered(*attempt);
    Attempt onwards = *attempt;
    onwards.translated = nullptr;
    result.fallBack = [self = QPointer<Router>(this), onwards, index](const QString &text, Callback done) {
        if (!self) {
            done(EngineResult {EngineResult::Status::Unavailable, QString(), u"the service is stopping"_s, {}});
            return;
        }
        auto masked = std::make_shared<Attempt>(onwards);
        masked->text = text;
        masked->glossaryUnmasked = false;
        masked->translated = std::move(done);
        self->tryFrom(masked, index + 1);
    };
    attempt->translated(result);
    return true;
}

EngineResult Router::unanswered(const Attempt &attempt)
{
    if (attempt.failures.isEmpty()) {
        return EngineResult {EngineResult::Status::Unsupported, QString(),
            u"No configured engine translates from %1 to %2: add one that has both languages to service.conf "
            u"(a language model, LibreTranslate or DeepL), or check the codes."_s.arg(attempt.source, attempt.target),
            {}};
    }
    return EngineResult {
        EngineResult::Status::Unavailable,
        QString(),
        attempt.failures.join(u"; "_s),
        attempt.failedEngines.join(u','),
    };
}

void Router::finish(const std::shared_ptr<Attempt> &attempt)
{
    if (attempt->offered) {
        attempt->offered(attempt->failures.isEmpty()
                ? PairOffer {PairOffer::Answer::NotOffered, {}}
                : PairOffer {PairOffer::Answer::Unknown, attempt->failures.join(u"; "_s)});
        return;
    }
    attempt->translated(unanswered(*attempt));
}

} // namespace tarnix::service
