#include "service/text/textpieces.h"

#include <algorithm>

#include "service/text/placeholdergrammar.h"

using namespace Qt::StringLiterals;

namespace tarnix::service {

namespace {

// Where a text may be cut: a run of white space, or the point right after a
// full-width sentence end (Chinese and Japanese put no space after one).
struct Cut
{
    qsizetype start = 0; // the separator's first unit
    qsizetype end = 0; // the next piece's first unit
    int rank = 0; // higher is a better place to cut
};

enum Rank { Word = 1, Sentence = 2, Line = 3, Paragraph = 4 };

bool isSentenceEnd(QChar c)
{
    return QStringView(u".!?\u2026\u0964\u061F\u06D4").contains(c);
}

bool isFullWidthSentenceEnd(QChar c)
{
    return QStringView(u"\u3002\uFF01\uFF1F").contains(c);
}

bool isCloser(QChar c)
{
    return QStringView(u"\"')]}\u201D\u2019\u00BB\u300D\u300F\uFF09").contains(c);
}

// A sentence ends before `at` (closing quotes and brackets aside) and the
// next one does not start lowercase ("e.g. the" goes on).
bool endsSentence(QStringView text, qsizetype at, qsizetype next)
{
    qsizetype i = at;
    while (i > 0 && isCloser(text[i - 1]))
        --i;
    if (i == 0 || !(isSentenceEnd(text[i - 1]) || isFullWidthSentenceEnd(text[i - 1])))
        return false;
    return next >= text.size() || !text[next].isLower();
}

QList<Cut> findCuts(QStringView text)
{
    QList<Cut> cuts;
    for (qsizetype i = 0; i < text.size();) {
        if (!text[i].isSpace()) {
            if (isFullWidthSentenceEnd(text[i]) && i + 1 < text.size() && !text[i + 1].isSpace()
                && !isCloser(text[i + 1]))
                cuts.append({i + 1, i + 1, Sentence});
            ++i;
            continue;
        }
        qsizetype end = i;
        int breaks = 0;
        for (; end < text.size() && text[end].isSpace(); ++end) {
            if (text[end] == u'\n' || text[end] == QChar::LineSeparator)
                ++breaks;
            else if (text[end] == QChar::ParagraphSeparator)
                breaks += 2;
        }
        if (i > 0 && end < text.size()) {
            const int rank = breaks >= 2     ? Paragraph
                : breaks == 1                ? Line
                : endsSentence(text, i, end) ? Sentence
                                             : Word;
            cuts.append({i, end, rank});
        }
        i = end;
    }
    return cuts;
}

// Drops the cuts that fall inside a placeholder (an ICU argument's branches
// or a tag's attributes hold white space and sentence ends of their own) or
// inside a kept term of several words.
QList<Cut> outsidePlaceholders(QList<Cut> cuts, QStringView text, const KeptTerms &terms)
{
    QList<std::pair<qsizetype, qsizetype>> spans = terms.find(text); // start and end
    for (auto &span : spans)
        span.second += span.first;
    for (const Placeholder &placeholder : findPlaceholders(text))
        spans.append({placeholder.start, placeholder.start + placeholder.length});
    std::sort(spans.begin(), spans.end());
    QList<Cut> kept;
    kept.reserve(cuts.size());
    qsizetype coveredTo = 0; // the end of the spans that start before the cut
    auto span = spans.cbegin();
    for (const Cut &cut : cuts) {
        for (; span != spans.cend() && span->first < cut.start; ++span)
            coveredTo = std::max(coveredTo, span->second);
        if (cut.start >= coveredTo)
            kept.append(cut);
    }
    return kept;
}

// A hard cut for a piece with no white space to cut at: never between the
// two units of a surrogate pair.
qsizetype hardCut(QStringView text, qsizetype at)
{
    if (at < text.size() && text[at].isLowSurrogate() && at > 0 && text[at - 1].isHighSurrogate())
        --at;
    return at;
}

} // namespace

TextPieces splitText(const QString &text, qsizetype longest, const KeptTerms &terms)
{
    TextPieces result;
    longest = std::max<qsizetype>(longest, 2);
    if (text.size() <= longest) {
        result.pieces.append(text);
        return result;
    }
    const QList<Cut> cuts = outsidePlaceholders(findCuts(text), text, terms);
    auto next = cuts.cbegin();
    qsizetype start = 0;
    while (text.size() - start > longest) {
        // The best cut that leaves this piece within `longest`: the highest
        // rank, and the latest of that rank; one in the piece's second half
        // is preferred, so that a paragraph break near its start does not
        // make a piece of a few words.
        while (next != cuts.cend() && next->start <= start)
            ++next;
        const Cut *best = nullptr;
        const Cut *bestLate = nullptr;
        for (auto it = next; it != cuts.cend() && it->start - start <= longest; ++it) {
            if (!best || it->rank >= best->rank)
                best = &*it;
            if (it->start - start >= longest / 2 && (!bestLate || it->rank >= bestLate->rank))
                bestLate = &*it;
        }
        if (bestLate && bestLate->rank >= std::min<int>(best->rank, Sentence))
            best = bestLate;
        if (best) {
            result.pieces.append(text.sliced(start, best->start - start));
            result.separators.append(text.sliced(best->start, best->end - best->start));
            start = best->end;
        } else {
            const qsizetype end = hardCut(text, start + longest);
            result.pieces.append(text.sliced(start, end - start));
            result.separators.append(QString());
            start = end;
        }
    }
    result.pieces.append(text.sliced(start));
    return result;
}

QString joinPieces(const QStringList &translated, const QStringList &separators)
{
    QString joined;
    for (qsizetype i = 0; i < translated.size(); ++i) {
        if (i > 0)
            joined += separators.value(i - 1);
        joined += translated[i];
    }
    return joined;
}

} // namespace tarnix::service
