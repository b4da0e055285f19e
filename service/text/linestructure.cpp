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

// The columns a line is indented by, a tab to the next multiple of eight.
qsizetype indentOf(QStringView line)
{
    qsizetype columns = 0;
    for (const QChar c : line) {
        if (c == u'\t')
            columns = (columns / 8 + 1) * 8;
        else if (c.isSpace())
            ++columns;
        else
            break;
    }
    return columns;
}

// A line that starts an item of a list or table: an option or a list mark
// ("-a", "* ", "1. "), or a row of a table ("  a    named character",
// "    %<  lines from FILE1"), indented less than eight columns. A wrapped
// item's continuation lines are indented further, and a paragraph's that
// happens to start on an option ("(i.e.\n--less-than=2 ...") follows a
// line that ends no sentence: neither starts an item.
bool isItem(QStringView line, QStringView previous)
{
    const qsizetype indent = indentOf(line);
    if (indent >= 8)
        return false;
    const bool gap = hasColumnGap(line);
    if (startsItem(line))
        return indent > 0 || gap || previous.isEmpty() || isEndMark(lastMark(previous));
    return indent > 0 && gap;
}

// Whether a text is laid out beyond lines of words: blank lines inside it,
// indented lines, tabs or column gaps. A sentence gap ("end.  Next") is
// not layout: translators write one blank there.
bool isLaidOut(QStringView text)
{
    for (const QStringView line : linesOf(text)) {
        if (isBlank(line) || line.front().isSpace() || line.contains(u'\t') || hasColumnGap(line))
            return true;
    }
    return false;
}

// A run of white space an engine is shown as a line break: two characters
// or more, or a line break or tab (service/text/translationtext.cpp).
bool isLayoutRun(QStringView run)
{
    return run.size() >= 2 || std::any_of(run.cbegin(), run.cend(), [](QChar c) { return c != u' '; });
}

// The lines an engine is shown for a text.
qsizetype linesShown(QStringView text)
{
    qsizetype lines = 1;
    for (qsizetype i = 0; i < text.size(); ++i) {
        qsizetype end = i;
        while (end < text.size() && text[end].isSpace())
            ++end;
        lines += isLayoutRun(text.sliced(i, end - i)) ? 1 : 0;
        i = end;
    }
    return lines;
}

// The last line an engine is shown of a text: what follows its last layout
// run.
QStringView lastLineShown(QStringView text)
{
    for (qsizetype end = text.size(); end > 0; --end) {
        if (!text[end - 1].isSpace())
            continue;
        qsizetype start = end - 1;
        while (start > 0 && text[start - 1].isSpace())
            --start;
        if (isLayoutRun(text.sliced(start, end - start)))
            return text.sliced(end);
        end = start + 1;
    }
    return text;
}

// An option or list mark with at most two words after it ("-P", "--file
// FILE"): what a table's row is when its description went missing.
bool isBareItem(QStringView line)
{
    const QStringView words = line.trimmed();
    return startsItem(words) && words.split(u' ', Qt::SkipEmptyParts).size() <= 3 && !isEndMark(lastMark(words))
        && !words.endsWith(u')');
}

// The characters of the longest of `lines`.
qsizetype widestLine(const QList<QStringView> &lines)
{
    qsizetype widest = 1;
    for (const QStringView line : lines)
        widest = std::max(widest, line.trimmed().size());
    return widest;
}

// How many `lines` would be wrapped at `width` characters.
qsizetype linesAtWidth(const QList<QStringView> &lines, qsizetype width)
{
    qsizetype wrapped = 0;
    for (const QStringView line : lines)
        wrapped += (line.trimmed().size() + width - 1) / width;
    return wrapped;
}

// Chinese, Japanese and Korean put a line's words into fewer columns, and
// their translations of a wrapped paragraph often take fewer lines.
bool writtenDensely(QStringView language)
{
    return language.startsWith(u"zh") || language.startsWith(u"ja") || language.startsWith(u"ko");
}

// What of a text's layout must survive translation: its paragraphs
// (between blank lines) and its items (option, list and table lines; a
// wrapped item's continuation lines are no item of their own).
struct Layout
{
    qsizetype items = 0;
    qsizetype lines = 0; // lines that are not blank
    // Lines that start something: the first of a paragraph and an item. The
    // others are a wrapped paragraph's or item's, which may wrap anew.
    qsizetype startingLines = 0;
    qsizetype openBrackets = 0; // "(" less ")"
    QList<QStringView> lastBlock; // the lines of the last paragraph or item
};

Layout layoutOf(QStringView text)
{
    Layout layout;
    QStringView previous; // the line before, empty when it is blank
    for (const QStringView line : linesOf(text)) {
        if (isBlank(line)) {
            previous = {};
            continue;
        }
        const bool item = isItem(line, previous);
        layout.items += item ? 1 : 0;
        layout.lines += 1;
        layout.startingLines += previous.isEmpty() || item ? 1 : 0;
        if (previous.isEmpty() || item)
            layout.lastBlock.clear();
        layout.lastBlock.append(line);
        previous = line;
    }
    for (const QChar c : text)
        layout.openBrackets += c == u'(' ? 1 : c == u')' ? -1 : 0;
    return layout;
}

bool endsUnfinished(QChar source, QChar translation)
{
    return isEndMark(source) && (!isEndMark(translation) || isSentenceEnd(source) != isSentenceEnd(translation));
}

} // namespace

qsizetype itemLines(QStringView text)
{
    return layoutOf(text).items;
}

std::optional<QString> lostLine(QStringView source, QStringView translation, QStringView target)
{
    const QStringView from = source.trimmed();
    const QStringView to = translation.trimmed();
    // A line break, a column gap or a sentence gap is a line break to an
    // engine: "  -0, --null     end each output line with NUL" is two lines
    // it may answer one of, "Failed.  Try again." too.
    if (linesShown(from) < 2)
        return std::nullopt;
    const TextShape fromShape = textShape(from);
    const TextShape toShape = textShape(to);
    const bool lighter = toShape.weight < fromShape.weight;
    // An engine that answers fewer lines than it was shown leaves the
    // service no way to lay its answer out again: it comes back as bare
    // lines, and a line fewer than the source shows is a line lost. A
    // source of one line counts in a lighter answer only: translators pad
    // its columns anew ("alineación : 2**%u" for "alignment  : 2**%u").
    const bool bare = isLaidOut(from) && !isLaidOut(to);
    if (bare && (from.contains(u'\n') || lighter) && linesShown(to) < linesShown(from))
        return u"it has %1 lines where the source shows %2"_s.arg(linesShown(to)).arg(linesShown(from));
    if (isBareItem(lastLineShown(to)) && !isBareItem(lastLineShown(from)))
        return u"its last line \"%1\" is an item without its text"_s.arg(lastLineShown(to));
    const Layout was = layoutOf(from);
    const Layout is = layoutOf(to);
    if (was.openBrackets == 0 && is.openBrackets > 0)
        return u"a bracket it opens is never closed"_s;
    if (isMidSentence(lastMark(to)) && !isMidSentence(lastMark(from)))
        return u"its last line breaks off on \"%1\""_s.arg(lastMark(to));
    // The rest is what people's translations differ in too: a paragraph
    // joined, an item or a period left out, a sentence split in two. A line
    // lost takes its words along, so these count in an answer lighter than
    // the source (most languages run longer than English; one that runs
    // shorter is judged on the signs alone). A missing end mark counts up to
    // a fifth heavier, except in a table, whose rows translators often
    // leave without a period (measured over Debian's catalogs by
    // bench/fill/lines).
    if (lighter && !bare && is.startingLines < was.startingLines)
        return u"it has %1 paragraphs and items where the source has %2"_s.arg(is.startingLines).arg(was.startingLines);
    if (lighter && !bare && is.items < was.items)
        return u"it has %1 items or table lines where the source has %2"_s.arg(is.items).arg(was.items);
    // Translators keep or add the lines of a wrapped paragraph or item, or
    // write them wider than the source's: a plain text's lines, and with
    // its paragraphs and items kept, those of a laid-out text's last one.
    if (!writtenDensely(target)) {
        if (!isLaidOut(from)) {
            const qsizetype lines = linesAtWidth(linesOf(to), widestLine(linesOf(from)) * 5 / 4);
            if (lines < was.lines)
                return u"it has %1 lines where the source has %2"_s.arg(lines).arg(was.lines);
        } else if (!bare && is.items == was.items && is.startingLines == was.startingLines) {
            const qsizetype lines = linesAtWidth(is.lastBlock, widestLine(was.lastBlock));
            if (lines < was.lastBlock.size())
                return u"its last paragraph or item has %1 lines where the source's has %2"_s.arg(lines).arg(
                    was.lastBlock.size());
        }
    }
    if (writtenWithoutSentenceMarks(target))
        return std::nullopt;
    // Sentences, the last one counted whether or not it ends on a mark.
    const qsizetype fromSentences = fromShape.sentenceEnds + (isSentenceEnd(lastMark(from)) ? 0 : 1);
    const qsizetype toSentences = toShape.sentenceEnds + (isSentenceEnd(lastMark(to)) ? 0 : 1);
    if (lighter && toSentences < fromSentences)
        return u"it has %1 sentences where the source has %2"_s.arg(toSentences).arg(fromSentences);
    const double heaviest = was.items == 0 ? 1.2 : 1.0;
    if (toShape.weight < heaviest * fromShape.weight && endsUnfinished(lastMark(from), lastMark(to)))
        return u"it ends unfinished where the source ends on \"%1\""_s.arg(lastMark(from));
    return std::nullopt;
}

} // namespace tarnix::service
