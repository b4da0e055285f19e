#include "fill/report.h"

#include <algorithm>
#include <cmath>

#include <QStringList>

using namespace Qt::StringLiterals;

namespace tarnix::fill {

QString alignedTable(const QList<QStringList> &table, qsizetype leftColumns)
{
    QList<qsizetype> widths;
    for (const QStringList &line : table) {
        widths.resize(std::max(widths.size(), line.size()), 0);
        for (qsizetype i = 0; i < line.size(); ++i)
            widths[i] = std::max(widths[i], line[i].size());
    }
    QString out;
    for (const QStringList &line : table) {
        QStringList cells;
        for (qsizetype i = 0; i < line.size(); ++i)
            cells.append(i < leftColumns ? line[i].leftJustified(widths[i]) : line[i].rightJustified(widths[i]));
        out += cells.join(u"  "_s).trimmed() + u'\n';
    }
    return out;
}

QString summaryTable(const QList<Counts> &rows, bool dryRun)
{
    const bool unasked =
        !dryRun && std::any_of(rows.cbegin(), rows.cend(), [](const Counts &row) { return notAsked(row) > 0; });
    const bool people = !dryRun
        && std::any_of(rows.cbegin(), rows.cend(), [](const Counts &row) { return row.people + row.close > 0; });
    QStringList header {
        u"file"_s, u"language"_s, u"entries"_s, u"translated"_s, u"review"_s, dryRun ? u"to fill"_s : u"filled"_s};
    if (people)
        header << u"people"_s << u"close"_s;
    header << u"memory"_s;
    if (people)
        header << u"engine"_s;
    header << u"refused"_s << u"failed"_s;
    if (unasked)
        header.append(u"not asked"_s);
    QList<QStringList> table {header};
    for (const Counts &row : rows) {
        QStringList line {row.file, row.language};
        QList<int> numbers {row.entries, row.translated, row.review, dryRun ? row.toFill : row.filled};
        if (people)
            numbers << row.people << row.close;
        numbers << row.fromMemory;
        if (people)
            numbers << row.filled - row.people - row.close - row.fromMemory;
        numbers << row.refused << row.failed;
        for (int n : std::as_const(numbers))
            line.append(QString::number(n));
        if (unasked)
            line.append(QString::number(notAsked(row)));
        table.append(line);
    }
    QString out = alignedTable(table, 2);
    for (const Counts &row : rows) {
        for (auto it = row.reasons.cbegin(); it != row.reasons.cend(); ++it)
            out += u"%1 (%2): %3 x %4\n"_s.arg(row.file, row.language).arg(it.value()).arg(it.key());
    }
    return out;
}

QString plannedEntry(const QString &file, int line, const QString &language, const QString &source)
{
    constexpr qsizetype width = 70;
    QString text = source;
    text.replace(u'\\', u"\\\\"_s).replace(u'\n', u"\\n"_s).replace(u'\t', u"\\t"_s);
    if (text.size() > width)
        text = text.left(width - 1) + u'…';
    const QString where =
        language.isEmpty() ? u"%1:%2"_s.arg(file).arg(line) : u"%1:%2 [%3]"_s.arg(file).arg(line).arg(language);
    return where + u": "_s + text;
}

QString progressLine(qint64 done, qint64 total, double seconds, int width)
{
    const double share = total > 0 ? double(done) / double(total) : 1.0;
    const int filled = int(std::lround(share * width));
    QString line = u'[' + QString(filled, u'#') + QString(width - filled, u'-') + u"] "_s
        + u"%1/%2 entries"_s.arg(done).arg(total);
    if (seconds > 0.5 && done > 0) {
        const double rate = double(done) / seconds;
        const qint64 left = qint64(std::lround(double(total - done) / rate));
        line += u", %1/s, %2:%3 left"_s.arg(rate, 0, 'f', rate < 10 ? 1 : 0)
                    .arg(left / 60)
                    .arg(left % 60, 2, 10, QChar(u'0'));
    }
    return line;
}

} // namespace tarnix::fill
