#pragma once

#include <functional>

#include <QProcess>
#include <QString>
#include <QUrl>

namespace tarnix::fill {

// A tarnix-service this run started because nothing answered at the
// service's address, stopped (SIGTERM, so that it stops its APy too) when
// the run ends.
class OwnService
{
public:
    ~OwnService();
    // Starts `program` on the address's loopback port and waits until it
    // answers or `cancelled` says to stop waiting (Ctrl-C); empty on
    // success, else why not.
    QString start(const QString &program, const QUrl &address, const std::function<bool()> &cancelled);
    void stop();
    bool running() const { return process.state() != QProcess::NotRunning; }

private:
    QProcess process;
    QByteArray lastOutput; // the end of its log, to say why it did not start
};

// The tarnix-service beside this program (installed, or in the build tree).
QString serviceProgram();

} // namespace tarnix::fill
