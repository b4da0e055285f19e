#include "service/memory/memoryengine.h"

#include <QPointer>
#include <QTimer>

#include "service/memory/translationmemory.h"

namespace tarnix::service {

MemoryEngine::MemoryEngine(std::unique_ptr<Engine> engine, TranslationMemory *memory, QObject *parent)
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
    if (std::optional<QString> remembered = memory->lookup(key)) {
        QTimer::singleShot(0, this, [self, key = std::move(key), remembered, done = std::move(done)]() {
            EngineResult result;
            result.status = EngineResult::Status::Translated;
            result.text = *remembered;
            result.fromMemory = true;
            if (self)
                result.engine = self->name();
            // An entry the HTTP side's checks now refuse is not served again.
            result.checked = [self, key](bool accepted) -> std::optional<QString> {
                if (self && !accepted)
                    self->memory->remove(key);
                return std::nullopt;
            };
            done(result);
        });
        return;
    }
    engine->translateInContext(
        source, target, text, context, [self, key = std::move(key), done = std::move(done)](EngineResult result) {
            if (result.status == EngineResult::Status::Translated) {
                result.checked = [self, key, translation = result.text](bool accepted) -> std::optional<QString> {
                    if (self && accepted)
                        return self->memory->store(key, translation);
                    return std::nullopt;
                };
            }
            done(result);
        });
}

} // namespace tarnix::service
