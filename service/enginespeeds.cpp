#include "service/enginespeeds.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>

using namespace Qt::StringLiterals;

namespace tarnix::service {

namespace {

constexpr qint64 saveEveryMs = 5000;

} // namespace

QString defaultEngineSpeedsPath()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) + u"/tarnix/engine-speeds"_s;
}

EngineSpeeds::EngineSpeeds(QString path)
    : path(std::move(path))
{
    QFile file(this->path);
    if (file.open(QIODevice::ReadOnly)) {
        while (!file.atEnd()) {
            const QList<QByteArray> fields = file.readLine().trimmed().split('\t');
            if (fields.size() != 3)
                continue;
            bool charactersOk = false;
            bool secondsOk = false;
            const EngineSpeed speed {fields[0].toDouble(&charactersOk), fields[1].toDouble(&secondsOk)};
            if (charactersOk && secondsOk && speed.characters >= 0 && speed.seconds > 0)
                speeds.insert(QString::fromUtf8(fields[2]), speed);
        }
    }
    sinceSave.start();
}

EngineSpeeds::~EngineSpeeds()
{
    if (changed)
        save();
}

void EngineSpeeds::record(const QString &identity, const EngineSpeed &speed)
{
    speeds.insert(identity, speed);
    changed = true;
    if (sinceSave.elapsed() >= saveEveryMs)
        save();
}

bool EngineSpeeds::save()
{
    sinceSave.start();
    QDir().mkpath(QFileInfo(path).absolutePath());
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    for (auto it = speeds.cbegin(); it != speeds.cend(); ++it) {
        if (it.key().contains(u'\n') || it.key().contains(u'\t'))
            continue;
        file.write(QByteArray::number(it->characters, 'g', 12) + '\t' + QByteArray::number(it->seconds, 'g', 12) + '\t'
            + it.key().toUtf8() + '\n');
    }
    changed = !file.commit();
    return !changed;
}

} // namespace tarnix::service
