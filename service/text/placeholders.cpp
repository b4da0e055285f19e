#include "service/text/placeholders.h"

#include <algorithm>
#include <optional>

#include <QHash>
#include <QList>
#include <QSet>

#include "service/text/keptterms.h"
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

// A placeholder, or for natural tokens a run of placeholders with nothing but
// white space and punctuation between them ("%s  %s", "%s:%d: ", "%*s/%s"),
// with the quotes or brackets right around it ("'%s'", "<%s>"): one token
// keeps that layout, the order of the placeholders in it, and quotes an
// engine would take for a contraction.
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

// The grammar's placeholders and, where none stands, the kept terms.
QList<Placeholder> placeholdersAndTerms(const QString &text, const KeptTerms &terms)
{
    QList<Placeholder> found = findPlaceholders(text);
    if (terms.isEmpty())
        return found;
    auto next = found.begin();
    for (const auto &[start, length] : terms.find(text)) {
        while (next != found.end() && next->start + next->length <= start)
            ++next;
        if (next == found.end() || next->start >= start + length)
            next =
                found.insert(next, Placeholder {start, length, Placeholder::Role::Kept, false, Placeholder::Kind::Term})
                + 1;
    }
    return found;
}

// Natural tokens stand for groups; bracketed ones, which engines copy as they
// are, for single placeholders.
QList<Group> groupsOf(const QString &text, TokenForm form, const KeptTerms &terms)
{
    QList<Group> groups;
    for (const Placeholder &p : placeholdersAndTerms(text, terms)) {
        const bool percent = QStringView(text).sliced(p.start, p.length) == u"%%";
        Group next {p.start, p.start + p.length, p.numeric || percent, p.numeric};
        if (form == TokenForm::Bracketed) {
            groups.append(next);
            continue;
        }
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

// The maximal runs of word characters in `text`.
template <typename Visit> void forEachWord(QStringView text, Visit visit)
{
    for (qsizetype i = 0; i < text.size();) {
        qsizetype end = i;
        while (end < text.size() && isWordChar(text[end]))
            ++end;
        if (end > i)
            visit(i, end);
        i = std::max(end, i + 1);
    }
}

// Picks each token so that the source cannot already hold it: no number token
// is a run of digits of the source, no name token one of its words.
class TokenMaker
{
public:
    TokenMaker(const QString &source, TokenForm form)
        : source(source)
        , form(form)
    {
        forEachWord(source, [this, &source](qsizetype start, qsizetype end) {
            const QStringView word = QStringView(source).sliced(start, end - start);
            words.insert(word.toString().toLower());
            for (qsizetype i = 0; i < word.size(); ++i) {
                qsizetype digits = i;
                while (digits < word.size() && word[digits].isDigit())
                    ++digits;
                if (digits > i)
                    numbers.insert(word.sliced(i, digits - i).toString());
                i = digits;
            }
        });
    }

    QString next(const Group &group, qsizetype index)
    {
        const QChar before = at(source, group.start - 1);
        const QChar after = at(source, group.end);
        if (form == TokenForm::Natural && group.numeric && group.counts && !before.isDigit() && !after.isDigit()) {
            while (numbers.contains(QString::number(number)))
                ++number;
            return QString::number(number++);
        }
        if (form == TokenForm::Natural && !isWordChar(before) && !isWordChar(after)) {
            while (name < names().size() && words.contains(names()[name].toLower()))
                ++name;
            if (name < names().size())
                return names()[name++];
        }
        return QChar(tokenOpen) + QString::number(index) + QChar(tokenClose);
    }

private:
    const QString &source;
    TokenForm form;
    QSet<QString> words; // lowercase
    QSet<QString> numbers;
    int number = firstNumber;
    qsizetype name = 0;
};

struct Found
{
    qsizetype at;
    qsizetype length;
    qsizetype token;
};

// Every token in an engine's text, left to right, in one pass: a bracketed
// token, a name as a whole word (engines may lowercase it, "john"), a number
// as a whole run of digits, even inside a word the engine glued it to. Empty
// when a bracket stands outside a known token.
std::optional<QList<Found>> findTokens(const QString &text, const MaskedText &masked)
{
    QHash<QString, qsizetype> tokens;
    for (qsizetype i = 0; i < masked.tokens.size(); ++i)
        tokens.insert(masked.tokens[i].toLower(), i);
    const auto lookUp = [&tokens](QStringView candidate) { return tokens.value(candidate.toString().toLower(), -1); };
    QList<Found> found;
    for (qsizetype i = 0; i < text.size();) {
        if (text[i] == QChar(tokenOpen)) {
            qsizetype end = i + 1;
            while (end < text.size() && text[end].isDigit())
                ++end;
            const qsizetype token = end < text.size() && text[end] == QChar(tokenClose)
                ? lookUp(QStringView(text).sliced(i, end + 1 - i))
                : -1;
            if (token < 0)
                return std::nullopt;
            found.append(Found {i, end + 1 - i, token});
            i = end + 1;
        } else if (text[i] == QChar(tokenClose)) {
            return std::nullopt;
        } else if (isWordChar(text[i])) {
            qsizetype end = i;
            while (end < text.size() && isWordChar(text[end]))
                ++end;
            const qsizetype name = lookUp(QStringView(text).sliced(i, end - i));
            if (name >= 0 && masked.tokens[name].front().isLetter()) {
                found.append(Found {i, end - i, name});
            } else {
                for (qsizetype digit = i; digit < end; ++digit) {
                    qsizetype digitsEnd = digit;
                    while (digitsEnd < end && text[digitsEnd].isDigit())
                        ++digitsEnd;
                    const qsizetype number =
                        digitsEnd > digit ? lookUp(QStringView(text).sliced(digit, digitsEnd - digit)) : -1;
                    if (number >= 0)
                        found.append(Found {digit, digitsEnd - digit, number});
                    digit = digitsEnd;
                }
            }
            i = end;
        } else {
            ++i;
        }
    }
    return found;
}

} // namespace

MaskedText maskPlaceholders(const QString &text, TokenForm form, const KeptTerms &terms)
{
    MaskedText masked;
    TokenMaker maker(text, form);
    qsizetype last = 0;
    QList<KeptTerms::Found> swaps = terms.findWithTranslations(text);
    swaps.removeIf([](const KeptTerms::Found &term) { return term.translation.isNull(); });
    for (const Group &group : groupsOf(text, form, terms)) {
        const QString token = maker.next(group, masked.tokens.size());
        masked.text += QStringView(text).sliced(last, group.start - last);
        masked.text += token;
        masked.tokens.append(token);
        // A glossary term comes back as the team's translation of it.
        QString original;
        qsizetype at = group.start;
        for (const KeptTerms::Found &swap : swaps) {
            if (swap.start >= group.start && swap.start + swap.length <= group.end) {
                original += text.sliced(at, swap.start - at) + swap.translation;
                at = swap.start + swap.length;
            }
        }
        masked.originals.append(original + text.sliced(at, group.end - at));
        last = group.end;
    }
    masked.text += QStringView(text).sliced(last);
    return masked;
}

std::variant<QString, PlaceholderFault> unmaskPlaceholders(const QString &translated, const MaskedText &masked)
{
    const auto found = findTokens(translated, masked);
    if (!found)
        return PlaceholderFault {u"the engine broke a placeholder apart"_s};
    QList<int> seen(masked.tokens.size(), 0);
    for (const Found &token : *found)
        ++seen[token.token];
    for (qsizetype i = 0; i < seen.size(); ++i) {
        if (seen[i] != 1)
            return PlaceholderFault {
                (seen[i] ? u"the engine repeated the placeholder %1"_s : u"the engine lost the placeholder %1"_s)
                    .arg(masked.originals[i])};
    }
    QString out;
    qsizetype last = 0;
    for (const Found &token : *found) {
        out += QStringView(translated).sliced(last, token.at - last);
        out += masked.originals[token.token];
        last = token.at + token.length;
    }
    out += QStringView(translated).sliced(last);
    return out;
}

} // namespace tarnix::service
