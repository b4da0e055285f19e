#pragma once

#include <QHash>
#include <QString>
#include <QStringList>
#include <QStringView>

namespace tarnix::service {

// The three-character pieces of a text as the SQLite index of people's texts
// holds them (characters lower-cased one by one), each once, in the order
// they first occur.
QStringList textTrigrams(QStringView text);

// How many distinct three-character pieces pg_trgm makes of a text: those of
// each word (a run of letters and digits, lower-cased) with two spaces before
// it and one after. The server's locale decides what a letter is and how it
// lower-cases; this count follows Unicode's.
qsizetype wordTrigramCount(QStringView text);

// How many texts of a sample of people's hold each piece, so that a close-
// match query asks for a text's rare pieces: a common one ("the", "ing")
// would bring every other row as a candidate.
class TrigramRarity
{
public:
    void add(QStringView text);
    qsizetype texts() const { return sampled; }
    // Up to `most` distinct pieces of `text`, the rarest in the sample first,
    // those it never saw last (ties in the order of the text).
    QStringList rarest(QStringView text, int most) const;

private:
    QHash<QString, int> counts;
    qsizetype sampled = 0;
};

} // namespace tarnix::service
