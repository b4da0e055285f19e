#pragma once

#include <QUrl>

namespace tarnix {

// The translation service's address, fixed when the program is built.
// Kept alone in its own object file: a test program may define this function
// itself, and then the linker never takes the library's definition.
QUrl serviceUrl();

} // namespace tarnix
