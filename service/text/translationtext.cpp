#include "service/text/translationtext.h"

#include <algorithm>
#include <utility>

#include "service/text/placeholdercheck.h"
#include "service/text/placeholdergrammar.h"

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

// Runs of white space that carry layout: two or more characters, or a tab
// or a line break.
QList<std::pair<qsizetype, qsizetype>> layoutRuns(QStringView text)
{
    QList<std::pair<qsizetype, qsizetype>> runs;
    for (qsizetype i = 0; i < text.size();) {
        qsizetype end = i;
        bool layout = false;
        for (; end < text.size() && text[end].isSpace(); ++end)
            layout = layout || text[end] != u' ';
        if (end - i >= 2 || layout)
            runs.append({i, end - i});
        i = std::max(end, i + 1);
    }
    return runs;
}

// Engines pad or join the source's column gaps and sentence gaps; where the
// translation has as many such runs as the source, they become the source's.
void keepLayout(QStringView source, QString &translation)
{
    const auto wanted = layoutRuns(source);
    const auto found = layoutRuns(translation);
    if (wanted.size() != found.size())
        return;
    for (qsizetype i = found.size() - 1; i >= 0; --i)
        translation.replace(found[i].first, found[i].second, source.sliced(wanted[i].first, wanted[i].second).toString());
}

} // namespace

PreparedText prepareForEngine(const QString &text, TokenForm form)
{
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && text.at(begin).isSpace())
        ++begin;
    while (end > begin && text.at(end - 1).isSpace())
        --end;
    return PreparedText {
        text, text.first(begin), text.sliced(end), maskPlaceholders(text.sliced(begin, end - begin), form)};
}

std::variant<QString, PlaceholderFault> finishTranslation(const PreparedText &prepared, const QString &engineText)
{
    auto restored = unmaskPlaceholders(engineText.trimmed(), prepared.masked);
    auto *text = std::get_if<QString>(&restored);
    if (!text)
        return restored;
    keepLowercaseStart(prepared.source, *text);
    keepLayout(QStringView(prepared.source).sliced(prepared.leading.size(),
                   prepared.source.size() - prepared.leading.size() - prepared.trailing.size()),
        *text);
    const QString translation = prepared.leading + *text + prepared.trailing;
    if (const auto mismatch = placeholderMismatch(prepared.source, translation))
        return PlaceholderFault {*mismatch};
    return translation;
}

} // namespace tarnix::service
