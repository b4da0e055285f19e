#include "service/memory/similarity.h"

#include <algorithm>
#include <vector>

namespace tarnix::service {

int similarityScore(QStringView a, QStringView b, int threshold)
{
    if (a.size() < b.size())
        std::swap(a, b); // a is the longer
    const qsizetype longer = a.size();
    if (longer == 0)
        return 100;
    threshold = std::clamp(threshold, 0, 100);
    // score >= threshold  <=>  d <= longer × (100 − threshold) / 100
    const qsizetype allowed = longer * (100 - threshold) / 100;
    if (longer - b.size() > allowed)
        return -1;
    // Only cells within `allowed` of the diagonal can stay within it; the
    // others count as beyond it. One row of the band at a time.
    const qsizetype beyond = allowed + 1;
    std::vector<qsizetype> row(std::size_t(longer) + 1, beyond);
    for (qsizetype j = 0; j <= std::min(longer, allowed); ++j)
        row[std::size_t(j)] = j;
    for (qsizetype i = 1; i <= b.size(); ++i) {
        const qsizetype from = std::max<qsizetype>(1, i - allowed);
        const qsizetype to = std::min(longer, i + allowed);
        qsizetype diagonal = row[std::size_t(from - 1)]; // row i-1, column from-1
        row[std::size_t(from - 1)] = from - 1 == 0 && i <= allowed ? i : beyond;
        qsizetype best = row[std::size_t(from - 1)];
        for (qsizetype j = from; j <= to; ++j) {
            const qsizetype above = row[std::size_t(j)];
            const qsizetype cell =
                std::min({above + 1, row[std::size_t(j - 1)] + 1, diagonal + (b[i - 1] == a[j - 1] ? 0 : 1), beyond});
            diagonal = above;
            row[std::size_t(j)] = cell;
            best = std::min(best, cell);
        }
        if (to < longer)
            row[std::size_t(to + 1)] = beyond;
        if (best > allowed)
            return -1;
    }
    const qsizetype distance = row[std::size_t(longer)];
    if (distance > allowed)
        return -1;
    return int(100 - (distance * 100 + longer - 1) / longer);
}

} // namespace tarnix::service
