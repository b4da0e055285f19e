#include "service/text/completeness.h"

#include <cmath>

#include "service/text/linestructure.h"

using namespace Qt::StringLiterals;

namespace tarnix::service {

namespace {

bool isSentenceMark(QChar c)
{
    return QStringView(u".!?\u2026\u3002\uFF01\uFF1F\u0964\u061F\u06D4\u104B").contains(c);
}

bool isFullWidthMark(QChar c)
{
    return QStringView(u"\u3002\uFF01\uFF1F").contains(c);
}

// Han, kana and Hangul carry about what three Latin letters do.
bool isDense(char32_t c)
{
    return (c >= 0x1100 && c <= 0x11FF) || (c >= 0x3040 && c <= 0x30FF) || (c >= 0x3400 && c <= 0x4DBF)
        || (c >= 0x4E00 && c <= 0x9FFF) || (c >= 0xAC00 && c <= 0xD7AF) || (c >= 0xF900 && c <= 0xFAFF)
        || (c >= 0x20000 && c <= 0x3FFFF);
}

constexpr double denseWeight = 3.0;
// Below this weight a text is too short for its length to say anything:
// "OK" is "Aceptar" in Spanish.
constexpr double shortestJudged = 200;
// How much longer or shorter a whole translation may be, by weight.
constexpr double widestRatio = 3.0;

bool writtenWithoutSentenceMarks(QStringView language)
{
    return language == u"th" || language == u"lo" || language == u"km";
}

// Tolerated difference between two counts, the source's `count`.
qsizetype tolerance(qsizetype count, qsizetype slack)
{
    return slack + count / 20;
}

} // namespace

TextShape textShape(QStringView text)
{
    TextShape shape;
    int breaks = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c.isSpace()) {
            if (c == u'\n' || c == QChar::LineSeparator)
                ++breaks;
            else if (c == QChar::ParagraphSeparator)
                breaks += 2;
            continue;
        }
        if (breaks >= 2 && shape.weight > 0)
            ++shape.paragraphBreaks;
        if (breaks >= 1 && shape.weight > 0)
            ++shape.lineBreaks;
        breaks = 0;
        if (isSentenceMark(c)) {
            // A run of marks counts once, where it ends a word (not "3.5",
            // not "example.org"); a full-width mark needs no space after it.
            const bool runGoesOn = i + 1 < text.size() && isSentenceMark(text[i + 1]);
            const bool wordEnds = i + 1 == text.size() || !text[i + 1].isLetterOrNumber() || isFullWidthMark(c);
            if (!runGoesOn && wordEnds)
                ++shape.sentenceEnds;
        }
        char32_t code = c.unicode();
        if (c.isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate()) {
            code = QChar::surrogateToUcs4(c, text[i + 1]);
            ++i;
        }
        shape.weight += isDense(code) ? denseWeight : 1.0;
    }
    return shape;
}

std::optional<QString> incompleteness(QStringView source, QStringView translation, QStringView target)
{
    const TextShape from = textShape(source);
    const TextShape to = textShape(translation);
    // Engines are shown every run of layout white space as one line break
    // (service/text/translationtext.h), and where they move one, the service
    // keeps their white space: a paragraph may come back as a line.
    if (to.lineBreaks < from.paragraphBreaks - tolerance(from.paragraphBreaks, 1))
        return u"it has %1 paragraphs where the source has %2"_s.arg(to.lineBreaks + 1).arg(from.paragraphBreaks + 1);
    if (to.paragraphBreaks > from.lineBreaks + tolerance(from.lineBreaks, 1))
        return u"it has %1 paragraphs where the source has %2"_s.arg(to.paragraphBreaks + 1)
            .arg(from.paragraphBreaks + 1);
    // A table's rows may gain or lose a period each in translation.
    if (!writtenWithoutSentenceMarks(target) && from.weight >= shortestJudged
        && std::abs(to.sentenceEnds - from.sentenceEnds) > tolerance(from.sentenceEnds, 2) + itemLines(source))
        return u"it has %1 sentence ends where the source has %2"_s.arg(to.sentenceEnds).arg(from.sentenceEnds);
    if (from.weight >= shortestJudged) {
        const double ratio = to.weight / from.weight;
        if (ratio < 1 / widestRatio || ratio > widestRatio)
            return u"it is %1 times as long as the source"_s.arg(ratio, 0, 'g', 2);
    }
    return lostLine(source, translation, target);
}

} // namespace tarnix::service
