#pragma once

#include <memory>

#include <QList>
#include <QUrl>

#include "service/config.h"

namespace tarnix::service {

class ApyProcess;
class EngineSpeeds;
class Router;
class MemoryWorker;

// Whether an engine of the list is Apertium without an address: the service
// then starts an APy of its own before it builds the engines.
bool needsOwnApy(const QList<EngineConfig> &engines);

// The router over the configured engines, each built from its section;
// `ownApy` is the address of the APy the service started, if any, and
// `ownApyProcess` the process that supervises it (Apertium then waits for
// it through its restarts). With a memory, each engine answers from it what
// it translated before. Each engine's speed is measured, starting from what
// `speeds` kept of earlier runs and kept there.
std::unique_ptr<Router> makeRouter(const QList<EngineConfig> &engines, const QUrl &ownApy = {},
    MemoryWorker *memory = nullptr, ApyProcess *ownApyProcess = nullptr, EngineSpeeds *speeds = nullptr,
    const GlossarySettings &glossary = {});

// "apertium (APy at http://127.0.0.1:2737), ollama (qwen2.5:7b at http://…)",
// for the start-up line.
QString describeEngines(const QList<EngineConfig> &engines, const QUrl &ownApy = {});

} // namespace tarnix::service
