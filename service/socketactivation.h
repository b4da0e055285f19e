#pragma once

#include <QByteArray>

namespace tarnix::service {

// The first descriptor systemd passes a socket-activated service.
inline constexpr int firstListenDescriptor = 3;

// Whether LISTEN_PID and LISTEN_FDS, as systemd sets them, pass this process
// (`ownPid`) at least one socket (sd_listen_fds(3)).
bool passedSockets(const QByteArray &listenPid, const QByteArray &listenFds, qint64 ownPid);

// The listening socket systemd passed this process, or -1 when it was started
// otherwise. The variables are removed and the descriptor marked close-on-exec
// either way, so that APy, a child, takes neither as its own.
int takeSystemdSocket();

} // namespace tarnix::service
