#include "fill/check.h"

#include <algorithm>

#include "fill/accelerator.h"
#include "service/text/placeholdercheck.h"

using namespace Qt::StringLiterals;

namespace tarnix::fill {

namespace {

using Difference = service::PlaceholderDifference;

Finding findingOf(const Difference &difference, int line, const QString &form)
{
    switch (difference.kind) {
    case Difference::Kind::Missing:
        return {line, difference.source, QString(),
            form + u"%1: the translation does not have it"_s.arg(difference.source)};
    case Difference::Kind::Changed:
        return {line, difference.source, difference.translation,
            form + u"%1: the translation has %2 instead"_s.arg(difference.source, difference.translation)};
    case Difference::Kind::Added:
        return {line, difference.translation, difference.translation,
            form + u"%1: the translation has it, the source does not"_s.arg(difference.translation)};
    case Difference::Kind::Reordered:
        break;
    }
    return {line, difference.source, difference.translation,
        form
            + u"%1: the translation has %2 in its place; only numbered placeholders (%3, {0}) change order"_s.arg(
                difference.source, difference.translation, u"%1$s"_s)};
}

} // namespace

QList<Finding> checkEntry(const Entry &entry, const QString &language)
{
    QList<Finding> findings;
    if (entry.obsolete || entry.source.isEmpty())
        return findings;
    for (qsizetype i = 0; i < entry.translations.size(); ++i) {
        const QString &translation = entry.translations[i];
        if (translation.isEmpty())
            continue;
        // Forms after the first are for numbers other than one: the plural's.
        const QString &source = entry.plural && i > 0 ? entry.pluralSource : entry.source;
        auto differences = service::placeholderDifferences(source, translation, service::Reading::Human);
        // Form 0 may say "one" for its number where it stands for one value
        // alone; msgfmt -c checks that against the header's rule.
        if (entry.plural && i == 0)
            differences.removeIf([](const Difference &d) { return d.kind == Difference::Kind::Missing && d.numeric; });
        if (differences.isEmpty())
            continue;
        if (entry.plural && i == 0
            && service::placeholderDifferences(entry.pluralSource, translation, service::Reading::Human).isEmpty())
            continue;
        const QString form = entry.plural ? u"form %1: "_s.arg(i) : QString();
        for (const Difference &difference : differences) {
            const Finding finding = findingOf(difference, entry.line, form);
            // The same change made in several places of a message is one finding.
            if (std::none_of(
                    findings.begin(), findings.end(), [&](const Finding &f) { return f.what == finding.what; }))
                findings.append(finding);
        }
    }
    for (const QString &what : acceleratorMismatches(entry))
        findings.append({entry.line, {}, {}, what});
    return findings;
}

} // namespace tarnix::fill
