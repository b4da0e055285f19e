#include "service/memory/trigrams.h"

#include <algorithm>

namespace tarnix::service {

QStringList textTrigrams(QStringView text)
{
    QStringList pieces;
    for (qsizetype i = 0; i + 3 <= text.size(); ++i) {
        const QString piece = text.mid(i, 3).toString().toLower();
        if (!pieces.contains(piece))
            pieces.append(piece);
    }
    return pieces;
}

void TrigramRarity::add(QStringView text)
{
    ++sampled;
    for (const QString &piece : textTrigrams(text))
        ++counts[piece];
}

QStringList TrigramRarity::rarest(QStringView text, int most) const
{
    QStringList pieces = textTrigrams(text);
    std::stable_sort(pieces.begin(), pieces.end(),
        [this](const QString &a, const QString &b) { return counts.value(a) < counts.value(b); });
    return pieces.mid(0, most);
}

} // namespace tarnix::service
