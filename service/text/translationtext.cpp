#include "service/text/translationtext.h"

#include <algorithm>
#include <utility>

#include "service/text/placeholdercheck.h"
#include "service/text/placeholdergrammar.h"

using namespace Qt::StringLiterals;

namespace tarnix::service {

namespace {

// Where the first letter of `text` stands outside its placeholders; -1 if none.
qsizetype firstLetter(QStringView text)
{
    const QList<Placeholder> placeholders = findPlaceholders(text);
    auto next = placeholders.cbegin();
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (next != placeholders.cend() && i == next->start) {
            i += next->length - 1;
            ++next;
        } else if (text[i].isLetter()) {
            return i;
        }
    }
    return -1;
}

// GNU messages start lowercase on purpose (they follow "program: "); engines
// capitalise a sentence's first word. An acronym ("GNOME") stays as it is.
void keepLowercaseStart(QStringView source, QString &translation)
{
    const qsizetype sourceLetter = firstLetter(source);
    if (sourceLetter < 0 || !source[sourceLetter].isLower())
        return;
    const qsizetype letter = firstLetter(translation);
    if (letter < 0 || !translation[letter].isUpper())
        return;
    if (letter + 1 < translation.size() && translation[letter + 1].isUpper())
        return;
    translation[letter] = translation[letter].toLower();
}

// Runs of white space that carry layout: two or more characters, or a tab or
// a line break.
QList<std::pair<qsizetype, qsizetype>> layoutRuns(QStringView text)
{
    QList<std::pair<qsizetype, qsizetype>> runs;
    for (qsizetype i = 0; i < text.size();) {
        qsizetype end = i;
        bool special = false;
        for (; end < text.size() && text[end].isSpace(); ++end)
            special = special || text[end] != u' ';
        if (end - i >= 2 || special)
            runs.append({i, end - i});
        i = std::max(end, i + 1);
    }
    return runs;
}

// `text` with each run replaced, built in one pass.
template <typename Replacement>
void replaceRuns(QString &text, const QList<std::pair<qsizetype, qsizetype>> &runs, Replacement replacement)
{
    QString out;
    out.reserve(text.size());
    qsizetype last = 0;
    for (qsizetype i = 0; i < runs.size(); ++i) {
        out += QStringView(text).sliced(last, runs[i].first - last);
        out += replacement(i);
        last = runs[i].first + runs[i].second;
    }
    out += QStringView(text).sliced(last);
    text = out;
}

} // namespace

PreparedText prepareForEngine(const QString &text, TokenForm form, const KeptTerms &terms)
{
    // White space at the ends, and line breaks and tabs written as escapes
    // ("…options.\\n"), are layout: kept aside, never shown to an engine.
    const auto escapeAt = [&text](qsizetype i) {
        return i >= 0 && i + 1 < text.size() && text[i] == u'\\' && QStringView(u"ntr").contains(text[i + 1]);
    };
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && (text[begin].isSpace() || escapeAt(begin)))
        begin += text[begin].isSpace() ? 1 : 2;
    while (end > begin && (text[end - 1].isSpace() || (end - 2 >= begin && escapeAt(end - 2))))
        end -= text[end - 1].isSpace() ? 1 : 2;
    PreparedText prepared {
        text, text.first(begin), text.sliced(end), {}, maskPlaceholders(text.sliced(begin, end - begin), form, terms)};
    // Engines drop and join blanks around the words they move or leave out,
    // but keep line breaks: each layout run goes to the engine as one line
    // break and comes back as it was.
    const auto runs = layoutRuns(prepared.masked.text);
    for (const auto &[start, length] : runs)
        prepared.layout.append(prepared.masked.text.sliced(start, length));
    replaceRuns(prepared.masked.text, runs, [](qsizetype) { return u"\n"_s; });
    return prepared;
}

std::variant<QString, PlaceholderFault> finishTranslation(const PreparedText &prepared, const QString &engineText)
{
    QString text = engineText.trimmed();
    const auto runs = layoutRuns(text);
    const auto isBreak = [&text](const std::pair<qsizetype, qsizetype> &run) {
        return QStringView(text).sliced(run.first, run.second).contains(u'\n');
    };
    if (std::count_if(runs.begin(), runs.end(), isBreak) == prepared.layout.size()) {
        // Other runs are blanks the engine joined: one space each.
        qsizetype next = 0;
        replaceRuns(text, runs, [&](qsizetype i) { return isBreak(runs[i]) ? prepared.layout[next++] : u" "_s; });
    }
    auto restored = unmaskPlaceholders(text, prepared.masked);
    auto *translation = std::get_if<QString>(&restored);
    if (!translation)
        return restored;
    keepLowercaseStart(prepared.source, *translation);
    const QString result = prepared.leading + *translation + prepared.trailing;
    if (const auto mismatch = placeholderMismatch(prepared.source, result))
        return PlaceholderFault {*mismatch};
    return result;
}

} // namespace tarnix::service
