#include "fill/check.h"

#include <algorithm>

#include "fill/accelerator.h"
#include "fill/icumessage.h"
#include "fill/plan.h"
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

QString braced(const IcuArgument &argument)
{
    return argument.type.isEmpty() ? u'{' + argument.name + u'}' : u"{%1, %2}"_s.arg(argument.name, argument.type);
}

// Plural keywords of CLDR: any of them may stand in a plural of any language.
bool isPluralSelector(const QString &selector)
{
    static const QStringList categories {u"zero"_s, u"one"_s, u"two"_s, u"few"_s, u"many"_s, u"other"_s};
    return selector.startsWith(u'=') || categories.contains(selector);
}

// What a translation of an ICU message changed of its syntax: a message ICU
// cannot read, arguments lost, renamed or of another type, the selectors of
// a select changed, keywords translated, and plural categories the
// language has and the translation lacks.
QList<Finding> icuFindings(
    const QString &source, const QString &translation, const QString &language, int line, const QString &form)
{
    QList<Finding> findings;
    const auto add = [&](const QString &token, const QString &instead, const QString &what) {
        if (std::none_of(findings.begin(), findings.end(), [&](const Finding &f) { return f.what == form + what; }))
            findings.append({line, token, instead, form + what});
    };
    const IcuArguments original = icuArguments(source);
    if (!original.error.isEmpty())
        return findings; // nothing to compare with: the source is no ICU message either
    const IcuArguments translated = icuArguments(translation);
    if (translated.missingOther) {
        add(u"other"_s, {}, u"other: the translation does not have it (%1)"_s.arg(translated.error));
        return findings;
    }
    if (!translated.error.isEmpty()) {
        add({}, {}, u"the translation is no ICU message ICU can read (%1)"_s.arg(translated.error));
        return findings;
    }
    const auto named = [](const QList<IcuArgument> &in, const QString &name) {
        const auto found =
            std::find_if(in.cbegin(), in.cend(), [&](const IcuArgument &argument) { return argument.name == name; });
        return found == in.cend() ? nullptr : &*found;
    };
    QList<IcuArgument> missing, added;
    for (const IcuArgument &argument : original.arguments) {
        if (!named(translated.arguments, argument.name) && !named(missing, argument.name))
            missing.append(argument);
    }
    for (const IcuArgument &argument : translated.arguments) {
        if (!named(original.arguments, argument.name) && !named(added, argument.name))
            added.append(argument);
    }
    // One name lost and one gained: the name was translated.
    if (missing.size() == 1 && added.size() == 1) {
        add(braced(missing.first()), braced(added.first()),
            u"%1: the translation has %2 instead"_s.arg(braced(missing.first()), braced(added.first())));
    } else {
        for (const IcuArgument &argument : missing)
            add(braced(argument), {}, u"%1: the translation does not have it"_s.arg(braced(argument)));
        for (const IcuArgument &argument : added)
            add(braced(argument), braced(argument),
                u"%1: the translation has it, the source does not"_s.arg(braced(argument)));
    }
    for (const IcuArgument &argument : translated.arguments) {
        const IcuArgument *from = named(original.arguments, argument.name);
        if (!from)
            continue;
        if (from->type != argument.type) {
            add(braced(*from), braced(argument),
                u"%1: the translation has %2 instead"_s.arg(braced(*from), braced(argument)));
            continue;
        }
        if (argument.type == u"select") {
            QStringList lost, gained;
            for (const QString &selector : from->selectors) {
                if (!argument.selectors.contains(selector))
                    lost.append(selector);
            }
            for (const QString &selector : argument.selectors) {
                if (!from->selectors.contains(selector))
                    gained.append(selector);
            }
            for (qsizetype i = 0; i < std::max(lost.size(), gained.size()); ++i) {
                if (i < lost.size() && i < gained.size())
                    add(lost[i], gained[i], u"%1: the translation has %2 instead"_s.arg(lost[i], gained[i]));
                else if (i < lost.size())
                    add(lost[i], {}, u"%1: the translation does not have it"_s.arg(lost[i]));
                else
                    add(gained[i], gained[i], u"%1: the translation has it, the source does not"_s.arg(gained[i]));
            }
            continue;
        }
        if (argument.type != u"plural" && argument.type != u"selectordinal")
            continue;
        QStringList foreign;
        for (const QString &selector : argument.selectors) {
            if (!isPluralSelector(selector))
                foreign.append(selector);
        }
        QStringList lost;
        for (const QString &selector : from->selectors) {
            if (!argument.selectors.contains(selector) && !selector.startsWith(u'='))
                lost.append(selector);
        }
        for (qsizetype i = 0; i < foreign.size(); ++i) {
            if (i < lost.size())
                add(lost[i], foreign[i], u"%1: the translation has %2 instead"_s.arg(lost[i], foreign[i]));
            else
                add(foreign[i], foreign[i],
                    u"%1: the translation has it, which is no plural category"_s.arg(foreign[i]));
        }
        if (language.isEmpty())
            continue;
        QStringList lacking;
        for (const QString &category : icuCategories(language, argument.type == u"selectordinal")) {
            if (!argument.selectors.contains(category))
                lacking.append(category);
        }
        if (!lacking.isEmpty())
            add(braced(argument), {},
                u"%1: the translation has no branch for %2, which %3 needs"_s.arg(
                    braced(argument), lacking.join(u", "_s), language));
    }
    return findings;
}

} // namespace

QList<Finding> checkEntry(const Entry &entry, const QString &language, const QStringList &categories)
{
    QList<Finding> findings;
    if (entry.obsolete || entry.source.isEmpty())
        return findings;
    for (qsizetype i = 0; i < entry.translations.size(); ++i) {
        const QString &translation = entry.translations[i];
        if (translation.isEmpty())
            continue;
        // Forms after the first (other categories than "one") are for
        // numbers other than one: the plural's.
        const bool first = categories.isEmpty() ? i == 0 : categories.value(i) == u"one";
        const QString &source = entry.plural && !first ? entry.pluralSource : entry.source;
        const QString form = !entry.plural ? QString()
            : categories.isEmpty()         ? u"form %1: "_s.arg(i)
                                           : u"form %1: "_s.arg(categories.value(i));
        if (isIcuMessage(entry)) {
            // ICU's parser reads the syntax; the grammar would take each plural for one placeholder.
            findings += icuFindings(source, translation, language, entry.line, form);
            continue;
        }
        auto differences = service::placeholderDifferences(source, translation, service::Reading::Human);
        // Form 0 may say "one" for its number where it stands for one value
        // alone; msgfmt -c checks that against the header's rule.
        if (entry.plural && first)
            differences.removeIf([](const Difference &d) { return d.kind == Difference::Kind::Missing && d.numeric; });
        if (differences.isEmpty())
            continue;
        if (entry.plural && first
            && service::placeholderDifferences(entry.pluralSource, translation, service::Reading::Human).isEmpty())
            continue;
        for (const Difference &difference : differences) {
            const Finding finding = findingOf(difference, entry.line, form);
            // The same change made in several places of a message is one finding.
            if (std::none_of(
                    findings.begin(), findings.end(), [&](const Finding &f) { return f.what == finding.what; }))
                findings.append(finding);
        }
    }
    // A plural translated in some of the language's categories and not in
    // others: the format falls back to another form (Android to "other")
    // where the language needs its own.
    const bool begun = std::any_of(
        entry.translations.cbegin(), entry.translations.cend(), [](const QString &form) { return !form.isEmpty(); });
    if (entry.plural && !isIcuMessage(entry) && begun && entry.translations.size() == categories.size()) {
        for (qsizetype i = 0; i < categories.size(); ++i) {
            if (entry.translations[i].isEmpty())
                findings.append({entry.line, categories[i], {},
                    u"form %1: the translation has none, which %2 needs"_s.arg(categories[i], language)});
        }
    }
    for (const QString &what : acceleratorMismatches(entry))
        findings.append({entry.line, {}, {}, what});
    return findings;
}

} // namespace tarnix::fill
