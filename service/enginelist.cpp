#include "service/enginelist.h"

#include <vector>

#include <QStringList>

#include "service/engines/apertiumengine.h"
#include "service/engines/deeplengine.h"
#include "service/engines/languagemodelengine.h"
#include "service/engines/libretranslateengine.h"
#include "service/engines/meteredengine.h"
#include "service/engines/router.h"
#include "service/enginespeeds.h"
#include "service/memory/memoryengine.h"

using namespace Qt::StringLiterals;

namespace tarnix::service {

namespace {

std::unique_ptr<Engine> makeEngine(const EngineConfig &config, const QUrl &ownApy, ApyProcess *ownApyProcess)
{
    std::unique_ptr<Engine> engine;
    switch (config.kind) {
    case EngineConfig::Kind::Apertium: {
        auto apertium = std::make_unique<ApertiumEngine>(config.url.isEmpty() ? ownApy : config.url,
            config.url.isEmpty() ? ApertiumEngine::Apy::Started : ApertiumEngine::Apy::Given, config.limit,
            config.timeout);
        if (config.url.isEmpty() && ownApyProcess)
            apertium->followApy(ownApyProcess);
        engine = std::move(apertium);
        break;
    }
    case EngineConfig::Kind::LibreTranslate:
        engine = std::make_unique<LibreTranslateEngine>(config.url, config.key, config.timeout, config.limit);
        break;
    case EngineConfig::Kind::DeepL:
        engine = std::make_unique<DeepLEngine>(config.url, config.key, config.timeout, config.limit);
        break;
    case EngineConfig::Kind::LanguageModel:
        engine =
            std::make_unique<LanguageModelEngine>(config.url, config.model, config.key, config.timeout, config.limit);
        break;
    }
    engine->setObjectName(config.name);
    return engine;
}

} // namespace

bool needsOwnApy(const QList<EngineConfig> &engines)
{
    return std::any_of(engines.cbegin(), engines.cend(),
        [](const EngineConfig &engine) { return engine.kind == EngineConfig::Kind::Apertium && engine.url.isEmpty(); });
}

std::unique_ptr<Router> makeRouter(const QList<EngineConfig> &engines, const QUrl &ownApy, MemoryWorker *memory,
    ApyProcess *ownApyProcess, EngineSpeeds *speeds, const GlossarySettings &glossary)
{
    std::vector<std::unique_ptr<Engine>> built;
    for (const EngineConfig &config : engines) {
        std::unique_ptr<Engine> engine = makeEngine(config, ownApy, ownApyProcess);
        if (auto *model = qobject_cast<LanguageModelEngine *>(engine.get()))
            model->setGlossary(glossary);
        if (auto *deepL = qobject_cast<DeepLEngine *>(engine.get()))
            deepL->setGlossary(glossary);
        const QString identity = engine->identity();
        engine = std::make_unique<MeteredEngine>(std::move(engine), config.price,
            speeds ? speeds->speedOf(identity) : EngineSpeed {}, [speeds, identity](const EngineSpeed &speed) {
                if (speeds)
                    speeds->record(identity, speed);
            });
        if (memory)
            engine = std::make_unique<MemoryEngine>(std::move(engine), memory);
        built.push_back(std::move(engine));
    }
    return std::make_unique<Router>(std::move(built));
}

QString describeEngines(const QList<EngineConfig> &engines, const QUrl &ownApy)
{
    QStringList parts;
    for (const EngineConfig &engine : engines) {
        switch (engine.kind) {
        case EngineConfig::Kind::Apertium:
            parts.append(u"%1 (APy at %2)"_s.arg(engine.name, (engine.url.isEmpty() ? ownApy : engine.url).toString()));
            break;
        case EngineConfig::Kind::LanguageModel:
            parts.append(u"%1 (%2 at %3)"_s.arg(engine.name, engine.model, engine.url.toString()));
            break;
        case EngineConfig::Kind::LibreTranslate:
            parts.append(u"%1 (LibreTranslate at %2)"_s.arg(engine.name, engine.url.toString()));
            break;
        case EngineConfig::Kind::DeepL:
            parts.append(u"%1 (DeepL)"_s.arg(engine.name));
            break;
        }
    }
    return parts.join(u", "_s);
}

} // namespace tarnix::service
