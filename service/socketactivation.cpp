#include "service/socketactivation.h"

#include <QtGlobal>
#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <unistd.h>
#endif

namespace tarnix::service {

bool passedSockets(const QByteArray &listenPid, const QByteArray &listenFds, qint64 ownPid)
{
    bool pidOk = false;
    bool fdsOk = false;
    const qint64 pid = listenPid.toLongLong(&pidOk);
    const int count = listenFds.toInt(&fdsOk);
    return pidOk && fdsOk && pid == ownPid && count >= 1;
}

int takeSystemdSocket()
{
#ifdef Q_OS_UNIX
    const QByteArray count = qgetenv("LISTEN_FDS");
    const bool passed = passedSockets(qgetenv("LISTEN_PID"), count, ::getpid());
    qunsetenv("LISTEN_PID");
    qunsetenv("LISTEN_FDS");
    qunsetenv("LISTEN_FDNAMES");
    if (!passed)
        return -1;
    // Only the first is served; any others the unit lists stay out of APy too.
    for (int descriptor = firstListenDescriptor; descriptor < firstListenDescriptor + count.toInt(); ++descriptor)
        ::fcntl(descriptor, F_SETFD, FD_CLOEXEC);
    return firstListenDescriptor;
#else
    return -1;
#endif
}

} // namespace tarnix::service
