#include "service/text/placeholders.h"

#include <algorithm>

#include <QList>

#include "service/text/placeholdergrammar.h"

using namespace Qt::StringLiterals;

namespace tarnix::service {

namespace {

constexpr char16_t tokenOpen = u'\u27E6'; // ⟦
constexpr char16_t tokenClose = u'\u27E7'; // ⟧
constexpr int firstNumber = 201; // above 1, so that a noun after it stays plural

// First names the Apertium pairs copy unchanged from English through Spanish
// into Italian and Portuguese, the ones they know as names first. None starts
// with the letter of an English contraction ('m, 's, 'd, 't): after a quote
// "'Mary'" reads as "'m ary'".
const QStringList &names()
{
    static const QStringList list {u"John"_s, u"Peter"_s, u"Paul"_s, u"Alice"_s, u"Kevin"_s, u"Laura"_s, u"Oscar"_s,
        u"Victor"_s, u"Boris"_s, u"Olga"_s, u"Fred"_s, u"Kate"_s, u"Zoe"_s, u"Nina"_s, u"Hugo"_s, u"Otto"_s, u"Emma"_s,
        u"Jones"_s, u"Elvis"_s, u"Bob"_s, u"Ringo"_s, u"Walter"_s, u"Frank"_s, u"Carl"_s, u"George"_s, u"Henry"_s,
        u"Gary"_s, u"Bruce"_s, u"Chris"_s, u"Andy"_s, u"Eric"_s, u"Xavier"_s, u"Yvonne"_s, u"Quentin"_s};
    return list;
}

bool isLetterOrNumber(QChar c)
{
    return c.isLetterOrNumber();
}

bool isWordChar(QChar c)
{
    return c.isLetterOrNumber() || c == u'_';
}

QChar at(QStringView text, qsizetype index)
{
    return index >= 0 && index < text.size() ? text[index] : QChar();
}

// A run of placeholders with nothing but white space and punctuation between
// them ("%s  %s", "%s:%d: ", "%*s/%s"), with the quotes or brackets right
// around it ("'%s'", "<%s>"): one token keeps that layout, the order of the
// placeholders in it, and quotes an engine would take for a contraction.
struct Group
{
    qsizetype start;
    qsizetype end;
    bool numeric; // every placeholder in it numeric or "%%"
    bool counts; // one of them numeric
};

// Widens `group` over the pairs of quotes and brackets around it, never back
// into the group before it.
void enclose(QStringView text, Group &group, qsizetype floor)
{
    static const QList<std::pair<QChar, QChar>> pairs {{u'\'', u'\''}, {u'"', u'"'}, {u'`', u'\''}, {u'`', u'`'},
        {u'\u2018', u'\u2019'}, {u'\u201C', u'\u201D'}, {u'<', u'>'}, {u'(', u')'}, {u'[', u']'}};
    while (group.start > floor && group.end < text.size()) {
        const std::pair around {text[group.start - 1], text[group.end]};
        if (!pairs.contains(around))
            return;
        --group.start;
        ++group.end;
    }
}

QList<Group> groupsOf(const QString &text)
{
    QList<Group> groups;
    for (const Placeholder &p : findPlaceholders(text)) {
        const bool percent = QStringView(text).sliced(p.start, p.length) == u"%%";
        Group next {p.start, p.start + p.length, p.numeric || percent, p.numeric};
        const qsizetype floor = groups.isEmpty() ? 0 : groups.last().end;
        enclose(text, next, floor);
        const QStringView between = QStringView(text).sliced(floor, next.start - floor);
        if (!groups.isEmpty() && std::none_of(between.begin(), between.end(), isLetterOrNumber)) {
            groups.last().end = next.end;
            groups.last().numeric = groups.last().numeric && next.numeric;
            groups.last().counts = groups.last().counts || next.counts;
            enclose(text, groups.last(), groups.size() > 1 ? groups[groups.size() - 2].end : 0);
        } else {
            groups.append(next);
        }
    }
    return groups;
}

// Picks each token so that the source cannot already hold it.
class TokenMaker
{
public:
    TokenMaker(const QString &source, TokenForm form)
        : source(source)
        , form(form)
    { }

    QString next(const Group &group, qsizetype index)
    {
        const QChar before = at(source, group.start - 1);
        const QChar after = at(source, group.end);
        if (form == TokenForm::Natural && group.numeric && group.counts && !before.isDigit() && !after.isDigit()) {
            while (source.contains(QString::number(number)))
                ++number;
            return QString::number(number++);
        }
        if (form == TokenForm::Natural && !isWordChar(before) && !isWordChar(after)) {
            while (name < names().size() && source.contains(names()[name], Qt::CaseInsensitive))
                ++name;
            if (name < names().size())
                return names()[name++];
        }
        return QChar(tokenOpen) + QString::number(index) + QChar(tokenClose);
    }

private:
    const QString &source;
    TokenForm form;
    int number = firstNumber;
    qsizetype name = 0;
};

// Where `token` stands in `text` as a whole token: a number not inside a
// longer number, a name not inside a longer word.
QList<qsizetype> occurrences(const QString &text, const QString &token)
{
    const bool number = token.front().isDigit();
    const bool name = token.front().isLetter();
    QList<qsizetype> found;
    // Engines may lowercase a name ("john"); the source holds none of them.
    const Qt::CaseSensitivity matchCase = name ? Qt::CaseInsensitive : Qt::CaseSensitive;
    for (qsizetype i = text.indexOf(token, 0, matchCase); i >= 0; i = text.indexOf(token, i + 1, matchCase)) {
        const QChar before = at(text, i - 1);
        const QChar after = at(text, i + token.size());
        if (number && (before.isDigit() || after.isDigit()))
            continue;
        if (name && (isWordChar(before) || isWordChar(after)))
            continue;
        found.append(i);
    }
    return found;
}

} // namespace

MaskedText maskPlaceholders(const QString &text, TokenForm form)
{
    MaskedText masked;
    TokenMaker maker(text, form);
    qsizetype last = 0;
    for (const Group &group : groupsOf(text)) {
        const QString token = maker.next(group, masked.tokens.size());
        masked.text += QStringView(text).sliced(last, group.start - last);
        masked.text += token;
        masked.tokens.append(token);
        masked.originals.append(text.sliced(group.start, group.end - group.start));
        last = group.end;
    }
    masked.text += QStringView(text).sliced(last);
    return masked;
}

std::variant<QString, PlaceholderFault> unmaskPlaceholders(const QString &translated, const MaskedText &masked)
{
    struct Found
    {
        qsizetype at;
        qsizetype token;
    };
    QList<Found> found;
    for (qsizetype i = 0; i < masked.tokens.size(); ++i) {
        const QList<qsizetype> where = occurrences(translated, masked.tokens[i]);
        if (where.size() != 1)
            return PlaceholderFault {(
                where.isEmpty() ? u"the engine lost the placeholder %1"_s : u"the engine repeated the placeholder %1"_s)
                                         .arg(masked.originals[i])};
        found.append(Found {where.first(), i});
    }
    std::sort(found.begin(), found.end(), [](const Found &a, const Found &b) { return a.at < b.at; });
    QString out;
    qsizetype last = 0;
    for (const Found &f : found) {
        if (f.at < last)
            return PlaceholderFault {u"the engine broke the placeholder %1 apart"_s.arg(masked.originals[f.token])};
        out += QStringView(translated).sliced(last, f.at - last);
        out += masked.originals[f.token];
        last = f.at + masked.tokens[f.token].size();
    }
    out += QStringView(translated).sliced(last);
    // A bracket left over is a token the engine broke apart or made up.
    for (qsizetype i = 0; i < translated.size(); ++i) {
        if (translated[i] != QChar(tokenOpen) && translated[i] != QChar(tokenClose))
            continue;
        const bool inToken = std::any_of(found.begin(), found.end(),
            [&](const Found &f) { return i >= f.at && i < f.at + masked.tokens[f.token].size(); });
        if (!inToken)
            return PlaceholderFault {u"the engine broke a placeholder apart"_s};
    }
    return out;
}

} // namespace tarnix::service
