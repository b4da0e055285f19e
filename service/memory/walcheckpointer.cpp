#include "service/memory/walcheckpointer.h"

#include <QSqlDatabase>
#include <QSqlQuery>

using namespace Qt::StringLiterals;

namespace tarnix::service {

WalCheckpointer::WalCheckpointer(const QString &databasePath)
    : path(databasePath)
    , connection(u"tarnix-checkpoint-%1"_s.arg(quintptr(this), 0, 16))
{
    thread.setObjectName(u"tarnix-checkpoint"_s);
    worker.moveToThread(&thread);
    // A connection belongs to the thread that made it: it is closed there too.
    QObject::connect(
        &thread, &QThread::finished, &worker,
        [this]() {
            QSqlDatabase::database(connection, false).close();
            QSqlDatabase::removeDatabase(connection);
        },
        Qt::DirectConnection);
    thread.start(QThread::LowPriority);
}

WalCheckpointer::~WalCheckpointer()
{
    thread.quit();
    thread.wait();
}

void WalCheckpointer::request()
{
    if (pending.exchange(true))
        return;
    QMetaObject::invokeMethod(&worker, [this]() {
        pending = false;
        if (!QSqlDatabase::contains(connection))
            QSqlDatabase::addDatabase(u"QSQLITE"_s, connection).setDatabaseName(path);
        QSqlDatabase db = QSqlDatabase::database(connection, false);
        // PASSIVE: copies what no reader still needs, never waits for a lock.
        if (db.isOpen() || db.open())
            QSqlQuery(db).exec(u"PRAGMA wal_checkpoint(PASSIVE)"_s);
    });
}

} // namespace tarnix::service
