#pragma once

#include <atomic>

#include <QObject>
#include <QString>
#include <QThread>

namespace tarnix::service {

// Copies an SQLite database's write-ahead log into the database file on a
// thread and connection of its own. A checkpoint waits for the disk (fsync):
// done by the connection that commits, it would hold up one answer in a few
// hundred by tens of milliseconds.
class WalCheckpointer
{
public:
    explicit WalCheckpointer(const QString &databasePath);
    ~WalCheckpointer();
    WalCheckpointer(const WalCheckpointer &) = delete;
    WalCheckpointer &operator=(const WalCheckpointer &) = delete;

    // Asks for a checkpoint soon; never waits.
    void request();

private:
    QString path;
    QString connection;
    QThread thread;
    QObject worker; // lives in the thread
    std::atomic_bool pending = false;
};

} // namespace tarnix::service
