#pragma once

#include <QByteArray>
#include <QElapsedTimer>
#include <QNetworkAccessManager>
#include <QObject>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <QUrl>

namespace tarnix::service {

// The program and arguments that run Debian's APy bound to 127.0.0.1 only.
// APy itself listens on every interface; a short launcher, run by the same
// Python that `apyScript` (the apertium-apy script) names in its first line,
// narrows Tornado's bind to loopback before APy's own main() runs.
struct ApyCommand
{
    QString program;
    QStringList arguments;
};
ApyCommand apyCommand(const QString &apyScript, quint16 port, const QString &modesPath);

// The interpreter named by a script's "#!" line, or empty.
QString scriptInterpreter(const QByteArray &firstLine);

// A child APy on a free loopback port: started by start(), ready() once it
// answers, stopped with this object (or with the service, should that die).
// Once it has answered it is supervised: an APy that exits, or that restart()
// stops, is started again after a pause that doubles from 1 s up to 30 s
// (back to 1 s after 30 s of good running), each time on a fresh port. The
// log (qWarning) says what happened.
class ApyProcess : public QObject
{
    Q_OBJECT

public:
    explicit ApyProcess(QObject *parent = nullptr);
    ~ApyProcess() override;

    // Where Debian installs the language pairs' modes.
    static QString defaultModesPath();

    void start(const QString &modesPath = defaultModesPath());
    // Kills the running APy, which is then started again; `why` goes to the log.
    void restart(const QString &why);
    QUrl url() const { return apyUrl; }
    QString modes() const { return modesPath; }
    qint64 processId() const { return pid; }

signals:
    // APy answers at `url`: after start(), and again after each restart.
    void ready(const QUrl &url);
    // The APy that answered is gone; ready() follows once another one answers.
    void down(const QString &why);
    // The first APy never answered; nothing is started again.
    void failed(const QString &why);

private:
    void launch();
    void probe();
    void ended(const QString &why);
    void stop();

    QProcess process;
    QNetworkAccessManager net;
    QTimer probeTimer;
    QTimer restartTimer;
    QElapsedTimer answering; // since the running APy first answered
    QUrl apyUrl;
    QString apyScript;
    QString modesPath;
    QString stopReason; // why restart() killed it, for the log
    QByteArray outputTail; // APy's last words, shown if it fails to start
    qint64 pid = 0;
    int probesLeft = 0;
    int pauseMs = 1000;
    bool announced = false;
    bool supervised = false; // it answered once: restart it whenever it ends
};

} // namespace tarnix::service
