#pragma once

#include <QString>

namespace tarnix {

// The rich text the info panel shows at start-up, with the configured links.
QString aboutText();

} // namespace tarnix
