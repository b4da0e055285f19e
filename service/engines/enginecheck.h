#pragma once

#include <chrono>
#include <functional>

#include <QStringList>

namespace tarnix::service {

class Router;

// Asks every engine of `router` once whether it answers (Engine::check), all
// at once, and calls `done` with one line per engine that does not, naming
// it, its address and what to check, once all have answered or `patience`
// has passed. An engine still silent then is named as such; what it says
// later goes to the log by itself.
void checkEngines(Router &router, std::chrono::milliseconds patience, std::function<void(const QStringList &)> done);

} // namespace tarnix::service
