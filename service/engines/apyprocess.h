#pragma once

#include <QByteArray>
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
class ApyProcess : public QObject
{
    Q_OBJECT

public:
    explicit ApyProcess(QObject *parent = nullptr);
    ~ApyProcess() override;

    // Where Debian installs the language pairs' modes.
    static QString defaultModesPath();

    void start(const QString &modesPath = defaultModesPath());
    QUrl url() const { return apyUrl; }

signals:
    void ready(const QUrl &url);
    void failed(const QString &why);

private:
    void probe();
    void fail(const QString &why);
    void stop();

    QProcess process;
    QNetworkAccessManager net;
    QTimer probeTimer;
    QUrl apyUrl;
    QByteArray outputTail; // APy's last words, shown if it fails to start
    int probesLeft = 0;
    bool announced = false;
};

} // namespace tarnix::service
