#include "service/memory/trigrams.h"

#include <algorithm>
#include <limits>

#include <QSet>

namespace tarnix::service {

QStringList textTrigrams(QStringView text)
{
    // By characters, not UTF-16 units (one beyond U+FFFF is one of the
    // index's three), each lower-cased alone as the index folds them: a
    // piece is then always a single one of the index's pieces.
    QList<char32_t> characters;
    characters.reserve(text.size());
    for (const char32_t c : text.toUcs4())
        characters.append(QChar::toLower(c));
    QStringList pieces;
    for (qsizetype i = 0; i + 3 <= characters.size(); ++i) {
        const QString piece = QString::fromUcs4(characters.constData() + i, 3);
        if (!pieces.contains(piece))
            pieces.append(piece);
    }
    return pieces;
}

qsizetype wordTrigramCount(QStringView text)
{
    QSet<QString> pieces;
    QList<char32_t> word {U' ', U' '};
    const auto endWord = [&]() {
        if (word.size() == 2)
            return;
        word.append(U' ');
        for (qsizetype i = 0; i + 3 <= word.size(); ++i)
            pieces.insert(QString::fromUcs4(word.constData() + i, 3));
        word.resize(2);
    };
    for (const char32_t c : text.toString().toLower().toUcs4()) {
        if (QChar::isLetterOrNumber(c))
            word.append(c);
        else
            endWord();
    }
    endWord();
    return pieces.size();
}

void TrigramRarity::add(QStringView text)
{
    ++sampled;
    for (const QString &piece : textTrigrams(text))
        ++counts[piece];
}

QStringList TrigramRarity::rarest(QStringView text, int most) const
{
    // A piece the sample never saw may be in no row at all (a typo, a new
    // word): those come after the pieces seen, rarest first.
    QStringList pieces = textTrigrams(text);
    const auto rank = [this](const QString &piece) {
        const int count = counts.value(piece);
        return count > 0 ? count : std::numeric_limits<int>::max();
    };
    std::stable_sort(
        pieces.begin(), pieces.end(), [&rank](const QString &a, const QString &b) { return rank(a) < rank(b); });
    return pieces.mid(0, most);
}

} // namespace tarnix::service
