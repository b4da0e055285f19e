#include "service/text/linestructure.h"

#include <QList>

#include "service/text/completeness.h"

using namespace Qt::StringLiterals;

namespace tarnix::service {

namespace {

bool isBreak(QChar c)
{
    return c == u'\n' || c == QChar::LineSeparator || c == QChar::ParagraphSeparator;
}

bool isEndMark(QChar c)
{
    return QStringView(u".!?:\u2026\u3002\uFF01\uFF1F\uFF1A\u0964\u061F\u06D4\u104B").contains(c);
}

bool isSentenceEnd(QChar c)
{
    return isEndMark(c) && c != u':' && c != u'\uFF1A';
}

// A mark a sentence goes on after.
bool isMidSentence(QChar c)
{
    return QStringView(u",;(-\u2013\u2014\u3001\uFF0C").contains(c);
}

bool writtenWithoutSentenceMarks(QStringView language)
{
    return language == u"th" || language == u"lo" || language == u"km";
}

// The lines of `text`, blank ones included.
QList<QStringView> linesOf(QStringView text)
{
    QList<QStringView> lines;
    qsizetype start = 0;
    for (qsizetype i = 0; i <= text.size(); ++i) {
        if (i == text.size() || isBreak(text[i])) {
            lines.append(text.sliced(start, i - start));
            start = i + 1;
        }
    }
    return lines;
}

bool isBlank(QStringView line)
{
    return line.trimmed().isEmpty();
}

// A table's column: a tab, three blanks or more, or two after a short first
// column ("0  if OK"), between words. Two blanks after a sentence mark are a
// sentence gap (GNU texts put them between sentences), and two inside
// running text a slip of the keys: no column.
bool hasColumnGap(QStringView line)
{
    const QStringView words = line.trimmed();
    qsizetype wordsBefore = 1;
    for (qsizetype i = 1; i + 1 < words.size(); ++i) {
        if (!words[i].isSpace() || words[i - 1].isSpace())
            continue;
        qsizetype end = i;
        while (end < words.size() && words[end].isSpace())
            ++end;
        const bool tab = words.sliced(i, end - i).contains(u'\t');
        if (tab || end - i >= 3 || (end - i == 2 && wordsBefore <= 4 && !isEndMark(words[i - 1])))
            return true;
        ++wordsBefore;
    }
    return false;
}

// An option or a list item starts the line: "-a", "--all", "* ", "• ", "1. ".
bool startsItem(QStringView line)
{
    const QStringView words = line.trimmed();
    if (words.size() < 2)
        return false;
    if (words[0] == u'-')
        return words[1].isLetterOrNumber() || words[1] == u'-' || words[1] == u' ';
    if (QStringView(u"*\u2022\u00B7\u2013\u2014+").contains(words[0]))
        return words[1].isSpace();
    qsizetype digits = 0;
    while (digits < words.size() && words[digits].isDigit())
        ++digits;
    return digits > 0 && digits + 1 < words.size() && (words[digits] == u'.' || words[digits] == u')')
        && words[digits + 1].isSpace();
}

// The last mark of a text, past closing brackets and quotes.
QChar lastMark(QStringView text)
{
    qsizetype end = text.size();
    while (end > 0 && (text[end - 1].isSpace() || QStringView(u")]}\"'\u00BB\u201D\u2019").contains(text[end - 1])))
        --end;
    return end > 0 ? text[end - 1] : QChar();
}

// What of a text's layout must survive translation: its paragraphs
// (between blank lines), its items (option, list and table lines; a wrapped
// item's continuation lines are no item of their own), and per paragraph
// its last mark.
struct Layout
{
    qsizetype items = 0;
    qsizetype lines = 0; // lines that are not blank, and the column gaps in them

    // Lines that cannot be joined to the one before them: the first of a
    // paragraph, an item, and a line after one that ends on a sentence mark
    // or a colon. The others are a wrapped paragraph's, which may wrap anew.
    qsizetype fixedLines = 0;
    QList<QChar> paragraphEnds; // null for a paragraph of one line

    qsizetype openBrackets = 0; // "(" less ")"
};

Layout layoutOf(QStringView text, bool source)
{
    Layout layout;
    qsizetype paragraphStart = 0;
    const auto endParagraph = [&](qsizetype end) {
        const QStringView paragraph = text.sliced(paragraphStart, end - paragraphStart);
        if (!isBlank(paragraph))
            layout.paragraphEnds.append(!source || paragraph.trimmed().contains(u'\n') ? lastMark(paragraph) : QChar());
    };
    qsizetype at = 0;
    QStringView previous; // the line before, empty when it is blank
    for (const QStringView line : linesOf(text)) {
        if (isBlank(line)) {
            endParagraph(at);
            paragraphStart = at + line.size() + 1;
            previous = {};
        } else {
            // An engine is shown a column gap as a line break.
            const bool gap = hasColumnGap(line);
            const bool item = startsItem(line) || gap;
            layout.items += item ? 1 : 0;
            layout.lines += gap ? 2 : 1;
            layout.fixedLines += (previous.isEmpty() || item || isEndMark(lastMark(previous)) ? 1 : 0) + (gap ? 1 : 0);
            previous = line;
        }
        at += line.size() + 1;
    }
    endParagraph(text.size());
    for (const QChar c : text)
        layout.openBrackets += c == u'(' ? 1 : c == u')' ? -1 : 0;
    return layout;
}

} // namespace

std::optional<QString> lostLine(QStringView source, QStringView translation, QStringView target)
{
    const QStringView from = source.trimmed();
    const QStringView to = translation.trimmed();
    // A column gap is a line break to an engine: "  -0, --null     end each
    // output line with NUL" is two lines it may answer one of.
    if (!std::any_of(from.cbegin(), from.cend(), isBreak) && !hasColumnGap(from))
        return std::nullopt;
    const Layout was = layoutOf(from, true);
    const Layout is = layoutOf(to, false);
    if (is.lines < was.fixedLines)
        return u"it has %1 lines and columns where the source has %2 that cannot be joined"_s.arg(is.lines).arg(
            was.fixedLines);
    if (is.items < was.items)
        return u"it has %1 items or table lines where the source has %2"_s.arg(is.items).arg(was.items);
    if (was.openBrackets == 0 && is.openBrackets > 0)
        return u"a bracket it opens is never closed"_s;
    if (isMidSentence(lastMark(to)) && !isMidSentence(lastMark(from)))
        return u"its last line breaks off on \"%1\""_s.arg(lastMark(to));
    if (writtenWithoutSentenceMarks(target))
        return std::nullopt;
    if (is.paragraphEnds.size() == was.paragraphEnds.size()) {
        for (qsizetype i = 0; i < was.paragraphEnds.size(); ++i) {
            if (isEndMark(was.paragraphEnds[i])
                && (!isEndMark(is.paragraphEnds[i])
                    || isSentenceEnd(was.paragraphEnds[i]) != isSentenceEnd(is.paragraphEnds[i])))
                return u"its paragraph %1 ends unfinished where the source's ends on \"%2\""_s.arg(i + 1).arg(
                    was.paragraphEnds[i]);
        }
    }
    return std::nullopt;
}

} // namespace tarnix::service
