#include "service/text/placeholdercheck.h"

#include <algorithm>

#include <QHash>
#include <QStringList>

#include "service/text/placeholdergrammar.h"

using namespace Qt::StringLiterals;

namespace tarnix::service {

namespace {

struct Directives
{
    QStringList all;
    QStringList sequential;
};

Directives directivesOf(QStringView text)
{
    Directives found;
    for (const Placeholder &p : findPlaceholders(text)) {
        if (p.role == Placeholder::Role::Kept)
            continue;
        const QString directive = text.sliced(p.start, p.length).toString();
        found.all.append(directive);
        if (p.role == Placeholder::Role::Sequential)
            found.sequential.append(directive);
    }
    return found;
}

// What `from` holds beyond `other`, counting repeats, in the order of `from`.
QStringList beyond(const QStringList &from, const QStringList &other)
{
    QHash<QString, qsizetype> left;
    for (const QString &item : other)
        ++left[item];
    QStringList extra;
    for (const QString &item : from) {
        if (left.value(item) > 0)
            --left[item];
        else
            extra.append(item);
    }
    return extra;
}

} // namespace

std::optional<QString> placeholderMismatch(QStringView source, QStringView translation)
{
    const Directives expected = directivesOf(source);
    const Directives got = directivesOf(translation);
    const QStringList lost = beyond(expected.all, got.all);
    const QStringList added = beyond(got.all, expected.all);
    if (!lost.isEmpty() && !added.isEmpty())
        return u"the placeholder %1 became %2"_s.arg(lost.first(), added.first());
    if (!lost.isEmpty())
        return u"the placeholder %1 is missing"_s.arg(lost.first());
    if (!added.isEmpty())
        return u"the placeholder %1 is not in the source"_s.arg(added.first());
    const auto differ = std::mismatch(expected.sequential.begin(), expected.sequential.end(), got.sequential.begin());
    if (differ.first != expected.sequential.end())
        return u"the placeholders %1 and %2 changed order"_s.arg(*differ.first, *differ.second);
    return std::nullopt;
}

} // namespace tarnix::service
