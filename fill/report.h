#pragma once

#include <QList>
#include <QMap>
#include <QString>

namespace tarnix::fill {

// What one catalog's run came to, for the final table.
struct Counts
{
    QString file;
    QString language;
    int entries = 0; // translatable entries: not obsolete, not the header
    int translated = 0; // already translated before the run
    int toFill = 0; // what the run set out to fill
    int filled = 0;
    int fromMemory = 0; // of filled
    int refused = 0;
    int failed = 0; // no answer, or the file's charset cannot hold the translation
    QMap<QString, int> reasons; // why entries were refused or failed, and how often
};

// The final table: one row per catalog and language, then the reasons.
QString summaryTable(const QList<Counts> &rows, bool dryRun);

// One line of progress: "[#####-----] 120/2000 entries, 35/s, 0:53 left".
QString progressLine(qint64 done, qint64 total, double seconds, int width = 30);

} // namespace tarnix::fill
