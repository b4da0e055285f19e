#include "service/text/placeholdercheck.h"

#include <algorithm>
#include <iterator>
#include <numeric>

#include <QHash>
#include <QRegularExpression>
#include <QStringList>

#include "service/text/directives.h"
#include "service/text/personreading.h"

using namespace Qt::StringLiterals;

namespace tarnix::service {

namespace {

using Role = Placeholder::Role;
using Kind = Placeholder::Kind;
using Difference = PlaceholderDifference;

Directive directive(const Placeholder &p, QStringView text, qsizetype offset)
{
    static const QRegularExpression positions(u"[1-9][0-9]*\\$"_s);
    const QString whole = text.sliced(p.start, p.length).toString();
    const QString key =
        p.argument > 0 ? u'%' + QString::number(p.argument) + u'$' + whole.sliced(1).remove(positions) : whole;
    return {whole, key, p.kind, offset + p.start, p.role == Role::Sequential && p.kind != Kind::Printf, p.numeric};
}

// What `from` holds beyond `other` by key, counting repeats, in the order of `from`.
QList<Directive> beyond(const QList<Directive> &from, const QList<Directive> &other)
{
    QHash<QString, qsizetype> left;
    for (const Directive &item : other)
        ++left[item.key];
    QList<Directive> extra;
    for (const Directive &item : from) {
        if (left.value(item.key) > 0)
            --left[item.key];
        else
            extra.append(item);
    }
    return extra;
}

// Directives a lost one may have become: the argument-taking kinds among
// themselves, URLs and addresses among themselves, the rest each its own.
int family(Kind kind)
{
    switch (kind) {
    case Kind::Printf:
    case Kind::Percent:
    case Kind::Python:
    case Kind::Ruby:
    case Kind::Qt:
    case Kind::Strftime:
    case Kind::Icu:
    case Kind::DoubleBrace:
    case Kind::Brace:
        return -1;
    case Kind::Mail:
        return int(Kind::Url);
    default:
        return int(kind);
    }
}

// Edits from one text to the other (Levenshtein): which added directive a
// lost one most likely became.
qsizetype distance(QStringView a, QStringView b)
{
    QList<qsizetype> row(b.size() + 1);
    std::iota(row.begin(), row.end(), 0);
    for (qsizetype i = 1; i <= a.size(); ++i) {
        qsizetype diagonal = row[0];
        row[0] = i;
        for (qsizetype j = 1; j <= b.size(); ++j) {
            const qsizetype above = row[j];
            row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (a[i - 1] == b[j - 1] ? 0 : 1)});
            diagonal = above;
        }
    }
    return row[b.size()];
}

int argumentOf(const Directive &d)
{
    return d.kind == Kind::Printf && d.key.contains(u'$') ? d.key.sliced(1, d.key.indexOf(u'$') - 1).toInt() : 0;
}

// printf conversions that all agree but for the arguments they take: one
// difference, the first argument whose conversion moved.
std::optional<Difference> reordered(QList<Directive> &lost, QList<Directive> &added)
{
    const auto numbered = [](const Directive &d) { return argumentOf(d) > 0; };
    const auto conversions = [&numbered](const QList<Directive> &list) {
        QStringList found;
        for (const Directive &d : list) {
            if (numbered(d))
                found.append(d.key.sliced(d.key.indexOf(u'$') + 1));
        }
        found.sort();
        return found;
    };
    const QStringList from = conversions(lost);
    if (from.isEmpty() || from != conversions(added))
        return std::nullopt;
    const auto byArgument = [&](const Directive &a, const Directive &b) {
        return numbered(a) && (!numbered(b) || argumentOf(a) < argumentOf(b));
    };
    const Directive first = *std::min_element(lost.begin(), lost.end(), byArgument);
    // What the translation gives that argument to, else its first conversion that moved.
    auto there = std::find_if(
        added.begin(), added.end(), [&first](const Directive &d) { return argumentOf(d) == argumentOf(first); });
    if (there == added.end())
        there = std::find_if(added.begin(), added.end(), numbered);
    const QString instead = there->text;
    lost.removeIf(numbered);
    added.removeIf(numbered);
    return Difference {Difference::Kind::Reordered, first.text, instead, first.numeric};
}

} // namespace

QList<Directive> directivesOf(QStringView text)
{
    QList<Directive> found;
    for (const Placeholder &p : findPlaceholders(text)) {
        if (p.kind == Kind::Quoted) {
            const QStringView inner = text.sliced(p.start + 1, p.length - 2);
            for (const Placeholder &q : findPlaceholders(inner)) {
                if (q.role != Role::Kept)
                    found.append(directive(q, inner, p.start + 1));
            }
        } else if (p.role != Role::Kept) {
            found.append(directive(p, text, 0));
        }
    }
    return found;
}

namespace {

// A person translates the texts of a MessageFormat argument's branches
// ("{0,choice,1#{0} build|1<{0} builds}", "{n, plural, one {# file} other
// {# files}}"): the argument agrees when its name, type and selectors do,
// and the directives inside each branch are compared as the text's own.
void readBranches(QList<Directive> &directives)
{
    static const QRegularExpression head(u"^\\{\\s*(\\w+)\\s*,\\s*(plural|selectordinal|select|choice)\\s*,"_s);
    QList<Directive> inner;
    for (Directive &d : directives) {
        const QRegularExpressionMatch match = d.kind == Kind::Icu ? head.match(d.text) : QRegularExpressionMatch();
        if (!match.hasMatch())
            continue;
        const QStringView rest =
            QStringView(d.text).sliced(match.capturedEnd(), d.text.size() - match.capturedEnd() - 1);
        QStringList selectors;
        const auto addBody = [&](qsizetype from, qsizetype to) {
            for (Directive b : directivesOf(rest.sliced(from, to - from))) {
                b.at += d.at + match.capturedEnd() + from;
                inner.append(b);
            }
        };
        int depth = 0;
        qsizetype part = 0; // the start of a choice's part, or of a plural's selector
        qsizetype body = -1;
        const bool choice = match.captured(2) == u"choice";
        for (qsizetype i = 0; i <= rest.size(); ++i) {
            const QChar c = i < rest.size() ? rest[i] : QChar(u'|');
            if (choice && depth == 0 && c == u'|') { // "1#text|1<text"
                const QStringView piece = rest.sliced(part, i - part);
                const qsizetype mark = piece.indexOf(QRegularExpression(u"[#<\u2264]"_s));
                selectors.append(piece.first(mark < 0 ? piece.size() : mark + 1).trimmed().toString());
                if (mark >= 0)
                    addBody(part + mark + 1, i);
                part = i + 1;
            } else if (!choice && c == u'{' && depth++ == 0) {
                selectors.append(rest.sliced(part, i - part).trimmed().toString());
                body = i + 1;
            } else if (!choice && c == u'}' && --depth == 0) {
                addBody(body, i);
                part = i + 1;
            } else if (choice && (c == u'{' || c == u'}')) {
                depth += c == u'{' ? 1 : -1;
            }
        }
        d.key = u'{' + match.captured(1) + u',' + match.captured(2) + u',' + selectors.join(u'|') + u'}';
    }
    directives += inner;
}

} // namespace

QList<PlaceholderDifference> placeholderDifferences(QStringView source, QStringView translation, Reading reading)
{
    const bool person = reading == Reading::Human;
    if (person && isPrintedWord(source))
        return {};
    QList<Directive> expected = directivesOf(source);
    QList<Directive> got = directivesOf(translation);
    if (person) {
        readBranches(expected);
        readBranches(got);
        readAsPerson(expected, got, source, translation);
    }
    QList<Directive> lost = beyond(expected, got);
    QList<Directive> added = beyond(got, expected);
    QList<Difference> differences;
    if (const auto moved = reordered(lost, added))
        differences.append(*moved);
    // A person may put the team's address in place of the project's, or add
    // one, and name an option or a variable the source leaves implicit.
    const auto mayReplace = [person](Kind kind) { return person && family(kind) == int(Kind::Url); };
    const auto mayAdd = [&](Kind kind) {
        return mayReplace(kind) || (person && (kind == Kind::Option || kind == Kind::Identifier));
    };
    for (const Directive &missing : lost) {
        auto instead = added.end();
        for (auto candidate = added.begin(); candidate != added.end(); ++candidate) {
            if (family(candidate->kind) == family(missing.kind)
                && (instead == added.end()
                    || distance(candidate->text, missing.text) < distance(instead->text, missing.text)))
                instead = candidate;
        }
        if (instead == added.end()) {
            differences.append({Difference::Kind::Missing, missing.text, QString(), missing.numeric});
            continue;
        }
        if (!mayReplace(missing.kind))
            differences.append({Difference::Kind::Changed, missing.text, instead->text, missing.numeric});
        added.erase(instead);
    }
    for (const Directive &extra : added) {
        if (!mayAdd(extra.kind))
            differences.append({Difference::Kind::Added, QString(), extra.text, extra.numeric});
    }
    if (!differences.isEmpty())
        return differences;
    QStringList expectedOrder, gotOrder;
    for (const Directive &d : expected) {
        if (d.ordered)
            expectedOrder.append(d.text);
    }
    for (const Directive &d : got) {
        if (d.ordered)
            gotOrder.append(d.text);
    }
    const auto differ = std::mismatch(expectedOrder.begin(), expectedOrder.end(), gotOrder.begin(), gotOrder.end());
    if (differ.first != expectedOrder.end() && differ.second != gotOrder.end())
        differences.append({Difference::Kind::Reordered, *differ.first, *differ.second, false});
    return differences;
}

std::optional<QString> placeholderMismatch(QStringView source, QStringView translation)
{
    const QList<Difference> differences = placeholderDifferences(source, translation, Reading::Machine);
    if (differences.isEmpty())
        return std::nullopt;
    const Difference &first = differences.first();
    switch (first.kind) {
    case Difference::Kind::Missing:
        return u"the placeholder %1 is missing"_s.arg(first.source);
    case Difference::Kind::Changed:
        return u"the placeholder %1 became %2"_s.arg(first.source, first.translation);
    case Difference::Kind::Added:
        return u"the placeholder %1 is not in the source"_s.arg(first.translation);
    case Difference::Kind::Reordered:
        break;
    }
    return u"the placeholders %1 and %2 changed order"_s.arg(first.source, first.translation);
}

} // namespace tarnix::service
