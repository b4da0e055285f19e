#pragma once

#include <QByteArray>

namespace tarnix::service {

// The first descriptor systemd passes a socket-activated service.
inline constexpr int firstListenDescriptor = 3;

// Whether LISTEN_PID and LISTEN_FDS, as systemd sets them, pass this process
// (`ownPid`) at least one socket (sd_listen_fds(3)).
bool passedSockets(const QByteArray &listenPid, const QByteArray &listenFds, qint64 ownPid);

// The listening socket systemd passed this process (the first, if the unit
// lists several), or -1 when it was started otherwise. The variables are
// removed either way and the passed descriptors marked close-on-exec, so that
// APy, a child, takes none of them as its own.
int takeSystemdSocket();

} // namespace tarnix::service
