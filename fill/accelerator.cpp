#include "fill/accelerator.h"

#include <algorithm>
#include <functional>
#include <optional>

#include <QRegularExpression>

#include "fill/formats/catalog.h"
#include "service/text/placeholdergrammar.h"

using namespace Qt::StringLiterals;

namespace tarnix::fill {

namespace {

using service::Placeholder;

bool isWordCharacter(QChar c)
{
    return c.isLetterOrNumber() || c.isMark();
}

// Whether position i lies inside a placeholder: any, or only a directive
// (identifiers and quoted code are words an accelerator may sit in).
bool inside(const QList<Placeholder> &placeholders, qsizetype i, bool directivesOnly)
{
    return std::any_of(placeholders.cbegin(), placeholders.cend(), [=](const Placeholder &p) {
        return (!directivesOnly || p.role != Placeholder::Role::Kept) && p.start <= i && i < p.start + p.length;
    });
}

// Whether the lone marker at i reads as an accelerator in the word around
// it; `message` says the text holds directives or lines, as messages do and
// labels seldom.
bool marksItsWord(QStringView text, qsizetype i, QChar marker, bool message)
{
    qsizetype start = i;
    while (start > 0 && (isWordCharacter(text[start - 1]) || text[start - 1] == marker))
        --start;
    qsizetype end = i + 1;
    while (end < text.size() && (isWordCharacter(text[end]) || text[end] == marker))
        ++end;
    const QStringView before = text.sliced(start, i - start);
    const QStringView after = text.sliced(i + 1, end - i - 1);
    const auto hasLower = [](QStringView s) {
        return std::any_of(s.begin(), s.end(), [](QChar c) { return c.isLower(); });
    };
    const auto hasUpper = [](QStringView s) {
        return std::any_of(s.begin(), s.end(), [](QChar c) { return c.isUpper(); });
    };
    const bool within = !before.isEmpty();
    // An abbreviation or a constant in capitals: "R&D", "AT&T", "LC_ALL".
    if (within && !hasLower(before) && !hasLower(after))
        return false;
    if (marker != u'_')
        return true;
    // An underscore also joins the words of identifiers: a call ("_exit()"),
    // and inside a word anything but a capitalised plain word in a label
    // ("Pr_eferences", "E_xit"; not "file_name", "My_Var", nor "Line_index"
    // in "Line_index exceeds %s").
    if (end < text.size() && text[end] == u'(')
        return false;
    return !within || (!message && before.front().isUpper() && !hasUpper(before.sliced(1)) && !hasUpper(after));
}

// How many markers of text stand alone, not doubled.
qsizetype loneMarkers(QStringView text, QChar marker)
{
    qsizetype count = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] != marker)
            continue;
        if (i + 1 < text.size() && text[i + 1] == marker)
            ++i;
        else
            ++count;
    }
    return count;
}

// The marks of a text known to be a label, as the toolkit reads them: every
// lone marker before a letter or digit outside directives, in any word
// ("sy_mbolů", "ق_ص" as much as "_Open").
QList<qsizetype> labelMarks(QStringView text, QChar marker)
{
    QList<qsizetype> marks;
    const QList<Placeholder> placeholders = service::findPlaceholders(text);
    for (qsizetype i = 0; i + 1 < text.size(); ++i) {
        if (text[i] != marker)
            continue;
        if (text[i + 1] == marker)
            ++i;
        else if (text[i + 1].isLetterOrNumber() && !inside(placeholders, i, true))
            marks.append(i);
    }
    return marks;
}

// Scripts typed through an input method: a key is no letter of theirs.
bool typedThroughInputMethod(QChar c)
{
    switch (c.script()) {
    case QChar::Script_Han:
    case QChar::Script_Hiragana:
    case QChar::Script_Katakana:
    case QChar::Script_Hangul:
    case QChar::Script_Bopomofo:
        return true;
    default:
        return false;
    }
}

// `text` with its markers doubled outside directives: the label that
// shows it. `positions` gets the label position of each character of text.
QString doubledMarkers(QStringView text, QChar marker, QList<qsizetype> &positions)
{
    const QList<Placeholder> placeholders = service::findPlaceholders(text);
    QString label;
    for (qsizetype i = 0; i < text.size(); ++i) {
        positions.append(label.size());
        label += text[i];
        if (text[i] == marker && !inside(placeholders, i, true))
            label += marker;
    }
    return label;
}

} // namespace

QList<qsizetype> acceleratorMarks(QStringView text, QChar marker)
{
    QList<qsizetype> marks;
    if (marker.isNull() || !text.contains(marker))
        return marks;
    // GTK reads every lone underscore of a label as a mnemonic, so a text
    // with two ("_POSIX_C_SOURCE", "Set LC_ALL for _Save") is no label.
    if (marker == u'_' && loneMarkers(text, marker) > 1)
        return marks;
    const QList<Placeholder> placeholders = service::findPlaceholders(text);
    const bool message = text.contains(u'\n')
        || std::any_of(placeholders.cbegin(), placeholders.cend(),
            [](const Placeholder &p) { return p.role != Placeholder::Role::Kept; });
    for (qsizetype i = 0; i + 1 < text.size(); ++i) {
        if (text[i] != marker)
            continue;
        if (text[i + 1] == marker) {
            ++i; // the marker itself
            continue;
        }
        if (!text[i + 1].isLetterOrNumber() || inside(placeholders, i, true) || !marksItsWord(text, i, marker, message))
            continue;
        // A directive the marker seems to break: "--&help" is "--help".
        const QString joined = text.first(i).toString() + text.sliced(i + 1).toString();
        if (inside(service::findPlaceholders(joined), i, true))
            continue;
        marks.append(i);
    }
    return marks;
}

QString withoutAccelerator(QStringView text, QChar marker)
{
    const QList<qsizetype> marks = acceleratorMarks(text, marker);
    if (marks.size() != 1)
        return text.toString();
    const QList<Placeholder> placeholders = service::findPlaceholders(text);
    QString label;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (i == marks.first())
            continue;
        label += text[i];
        if (text[i] == marker && i + 1 < text.size() && text[i + 1] == marker && !inside(placeholders, i, true))
            ++i;
    }
    return label;
}

QString withAcceleratorOf(QStringView source, QStringView translation, QChar marker)
{
    const QList<qsizetype> marks = acceleratorMarks(source, marker);
    if (marks.size() != 1)
        return translation.toString();
    const QChar key = source[marks.first() + 1];
    QList<qsizetype> positions;
    const QString label = doubledMarkers(translation, marker, positions);
    const QList<Placeholder> placeholders = service::findPlaceholders(translation);
    // A mark before the character at i of the translation, if it reads back
    // as the label's one accelerator.
    const auto markedAt = [&](qsizetype i) -> std::optional<QString> {
        if (!translation[i].isLetterOrNumber() || inside(placeholders, i, false)
            || (i > 0 && translation[i - 1] == marker))
            return std::nullopt;
        QString marked = label;
        marked.insert(positions[i], marker);
        if (acceleratorMarks(marked, marker) != QList<qsizetype> {positions[i]})
            return std::nullopt;
        return marked;
    };
    const auto sameKey = [&](qsizetype i) { return translation[i].toCaseFolded() == key.toCaseFolded(); };
    const auto wordStart = [&](qsizetype i) { return i == 0 || !isWordCharacter(translation[i - 1]); };
    const bool inputMethod = std::any_of(translation.begin(), translation.end(), typedThroughInputMethod);
    const std::function<bool(qsizetype)> preferences[] = {
        [&](qsizetype i) { return sameKey(i) && wordStart(i); },
        sameKey,
        [&](qsizetype) { return !inputMethod; },
    };
    for (const auto &preferred : preferences) {
        for (qsizetype i = 0; i < translation.size(); ++i) {
            if (!preferred(i))
                continue;
            if (const auto marked = markedAt(i))
                return *marked;
        }
    }
    // "打开(&O)...": the key in brackets, before closing dots and colons.
    qsizetype end = label.size();
    while (end > 0 && u" .:\u2026\uFF1A"_s.contains(label[end - 1]))
        --end;
    return label.first(end) + u'(' + marker + key.toUpper() + u')' + label.sliced(end);
}

QStringList acceleratorMismatches(const Entry &entry)
{
    QStringList found;
    if (entry.accelerator.isNull() || entry.obsolete)
        return found;
    for (qsizetype i = 0; i < entry.translations.size(); ++i) {
        const QString &translation = entry.translations[i];
        const QString &source = entry.plural && i > 0 ? entry.pluralSource : entry.source;
        const QList<qsizetype> expected = acceleratorMarks(source, entry.accelerator);
        if (translation.isEmpty() || expected.size() != 1)
            continue;
        const QList<qsizetype> marks = labelMarks(translation, entry.accelerator);
        if (marks.size() == 1)
            continue;
        QStringList instead;
        for (qsizetype mark : marks)
            instead.append(translation.mid(mark, 2));
        const QString form = entry.plural ? u"form %1: "_s.arg(i) : QString();
        found.append(form
            + u"the accelerator %1 %2"_s.arg(source.mid(expected.first(), 2),
                marks.isEmpty()
                    ? u"has no mark in the translation"_s
                    : u"is marked %1 times in the translation (%2)"_s.arg(marks.size()).arg(instead.join(u", "_s))));
    }
    return found;
}

QChar poAcceleratorMarker(const QString &header, const QList<Entry> &entries)
{
    static const QRegularExpression declared(u"^X-Accelerator-Marker:[ \\t]*(.*)$"_s,
        QRegularExpression::MultilineOption | QRegularExpression::CaseInsensitiveOption);
    if (const auto match = declared.match(header); match.hasMatch()) {
        const QString value = match.captured(1).trimmed();
        return value.isEmpty() ? QChar() : value.front();
    }
    static const QRegularExpression kdeOrQt(
        u"^(X-Generator:[ \\t]*(Lokalize|KBabel)|X-Qt-Contexts:)"_s, QRegularExpression::MultilineOption);
    if (kdeOrQt.match(header).hasMatch())
        return u'&';
    qsizetype ampersands = 0;
    qsizetype underscores = 0;
    for (const Entry &entry : entries) {
        for (const QString &flag : entry.flags) {
            if (flag.startsWith(u"kde-"_s) || flag.startsWith(u"qt-"_s))
                return u'&';
        }
        ampersands += acceleratorMarks(entry.source, u'&').size() == 1;
        underscores += acceleratorMarks(entry.source, u'_').size() == 1;
    }
    return ampersands > underscores ? u'&' : u'_';
}

} // namespace tarnix::fill
