#include "service/engines/batchqueue.h"

#include <QTimer>

#include "service/text/placeholders.h"

using namespace Qt::StringLiterals;

namespace tarnix::service {

BatchQueue::BatchQueue(Engine *engine, QObject *parent)
    : Engine(parent)
    , engine(engine)
{ }

void BatchQueue::offers(const QString &source, const QString &target, OfferCallback done)
{
    if (engine)
        engine->offers(source, target, std::move(done));
    else
        Engine::offers(source, target, std::move(done));
}

void BatchQueue::prepareGlossary(const QString &source, const QString &target, std::function<void()> done)
{
    if (engine)
        engine->prepareGlossary(source, target, std::move(done));
    else
        Engine::prepareGlossary(source, target, std::move(done));
}

TokenForm BatchQueue::tokenForm(const QString &source, const QString &target) const
{
    return engine ? engine->tokenForm(source, target) : TokenForm {};
}

TextLimits BatchQueue::textLimits() const
{
    TextLimits limits = engine ? engine->textLimits() : TextLimits {};
    limits.parallel = std::max(limits.parallel, 1);
    return limits;
}

void BatchQueue::translate(const QString &source, const QString &target, const QString &text, Callback done)
{
    translateInContext(source, target, text, QString(), std::move(done));
}

void BatchQueue::translateInContext(
    const QString &source, const QString &target, const QString &text, const QString &context, Callback done)
{
    Waiting &pair = waiting[source + u'|' + target];
    pair.source = source;
    pair.target = target;
    pair.items.append({text, context});
    pair.done.append(std::move(done));
    if (!std::exchange(flushing, true))
        QTimer::singleShot(0, this, &BatchQueue::flush);
}

void BatchQueue::flush()
{
    flushing = false;
    for (Waiting &pair : std::exchange(waiting, {})) {
        if (!engine) {
            for (const Callback &done : pair.done)
                done(EngineResult {EngineResult::Status::Unavailable, QString(), u"the service is stopping"_s, {}});
            continue;
        }
        engine->translateBatch(
            pair.source, pair.target, pair.items, [done = pair.done](const std::vector<EngineResult> &results) {
                for (qsizetype i = 0; i < done.size(); ++i)
                    done[i](results[std::size_t(i)]);
            });
    }
}

} // namespace tarnix::service
