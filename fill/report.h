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
    int translated = 0; // translated and reviewed before the run
    int review = 0; // translated but marked as needing review (fuzzy, unfinished) before the run
    int toFill = 0; // what the run set out to fill
    int filled = 0;
    int fromMemory = 0; // of filled: the memory's machine translations
    int refused = 0;
    int failed = 0; // no answer, or the file's charset cannot hold the translation
    QMap<QString, int> reasons; // why entries were refused or failed, and how often
    int people = 0; // of filled: people's translations of the text itself
    int close = 0; // of filled: people's translations of a close text (a close match)
};

// The entries of toFill the run never had an answer for (it was interrupted).
inline int notAsked(const Counts &row)
{
    return row.toFill - row.filled - row.refused - row.failed;
}

// Rows of cells in columns as wide as their widest cell, two spaces apart:
// the first `leftColumns` aligned left (names), the rest right (numbers).
QString alignedTable(const QList<QStringList> &table, qsizetype leftColumns);

// The final table: one row per catalog and language, then the reasons. A
// "not asked" column appears when an interrupted run left entries unasked;
// "people", "close" and "engine" columns when people's translations filled
// some (the filled entries then split into people's, close matches, the
// memory's machine translations and the engines' new ones).
QString summaryTable(const QList<Counts> &rows, bool dryRun);

// One entry --dry-run would fill: "po/es.po:12: Open %s", the source on one
// line and cut to about 70 characters; a template's entry names the
// language it would be filled into: "po/app.pot:12 [es]: Open %s".
QString plannedEntry(const QString &file, int line, const QString &language, const QString &source);

// One line of progress: "[#####-----] 120/2000 entries, 35/s, 0:53 left".
QString progressLine(qint64 done, qint64 total, double seconds, int width = 30);

} // namespace tarnix::fill
