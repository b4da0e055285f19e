#pragma once

#include <QElapsedTimer>
#include <QHash>
#include <QString>

#include "service/engines/meteredengine.h"

namespace tarnix::service {

// $XDG_DATA_HOME/tarnix/engine-speeds (~/.local/share without XDG_DATA_HOME).
QString defaultEngineSpeedsPath();

// The measured speed of every engine, by its identity, kept in a small file
// across runs, so that a service started for one run of tarnix-fill can
// estimate from what earlier runs measured. One line per engine:
// characters, a tab, seconds, a tab, the identity (which is never a secret).
// A file that cannot be read is a file without speeds: they are measured again.
class EngineSpeeds
{
public:
    explicit EngineSpeeds(QString path);
    ~EngineSpeeds(); // writes what changed
    EngineSpeeds(const EngineSpeeds &) = delete;
    EngineSpeeds &operator=(const EngineSpeeds &) = delete;

    EngineSpeed speedOf(const QString &identity) const { return speeds.value(identity); }
    // Kept now; written at most every few seconds, and at the end.
    void record(const QString &identity, const EngineSpeed &speed);
    bool save();

private:
    QString path;
    QHash<QString, EngineSpeed> speeds;
    bool changed = false;
    QElapsedTimer sinceSave;
};

} // namespace tarnix::service
