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

void MemoryEngine::translateInContext(
    const QString &source, const QString &target, const QString &text, const QString &context, Callback done)
{
    MemoryKey key {engine->identity(), source, target, text, engine->usesContext() ? context : QString()};
    QPointer<MemoryEngine> self(this);
    memory->lookup(key, [self, key, context, done = std::move(done)](const std::optional<QString> &remembered) mutable {
        if (!self) {
            done(EngineResult {EngineResult::Status::Unavailable, QString(), u"the service is stopping"_s, {}});
            return;
        }
        if (remembered) {
            EngineResult result;
            result.status = EngineResult::Status::Translated;
            result.text = *remembered;
            result.fromMemory = true;
            result.engine = self->name();
            // An entry the HTTP side's checks now refuse is not served again.
            result.checked = [self, key](bool accepted, const EngineResult::Kept &kept) {
                if (self && !accepted)
                    self->memory->remove(key);
                if (kept)
                    kept(std::nullopt);
            };
            // Never from within the call: the memory may answer at once.
            QTimer::singleShot(0, self, [result, done = std::move(done)]() { done(result); });
            return;
        }
        self->engine->translateInContext(
            key.source, key.target, key.text, context, [self, key, done = std::move(done)](EngineResult result) {
                if (result.status == EngineResult::Status::Translated) {
                    result.checked = [self, key, translation = result.text](
                                         bool accepted, const EngineResult::Kept &kept) {
                        if (self && accepted)
                            self->memory->store(key, translation, kept);
                        else if (kept)
                            kept(std::nullopt);
                    };
                }
                done(result);
            });
    });
}

} // namespace tarnix::service
