#pragma once

#include <chrono>

#include <QtGlobal>

namespace tarnix::service {

// The largest request body the service reads as a translation request.
inline constexpr qsizetype maxBodyBytes = 1024 * 1024;
// The largest request line and headers the service reads.
inline constexpr qsizetype maxHeadBytes = 64 * 1024;

// How long and how many clients the HTTP side keeps. The configuration
// file's [http] section sets them; tests set them directly.
struct HttpLimits
{
    // A request's headers and body must be complete this long after its first byte.
    std::chrono::milliseconds requestTimeout {30000};
    // A connection with no request in progress and no answer owed is closed after this.
    std::chrono::milliseconds keepAliveTimeout {60000};
    // Open client connections at most; beyond it the oldest idle one is closed first.
    int maxConnections = 256;
    // A service started by systemd's socket exits after this long without a
    // client (0: never). A service started by hand keeps running.
    std::chrono::milliseconds idleExit {std::chrono::minutes(10)};
};

} // namespace tarnix::service
