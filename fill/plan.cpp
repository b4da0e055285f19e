#include "fill/plan.h"

#include <algorithm>
#include <utility>

#include "fill/accelerator.h"
#include "fill/icumessage.h"
#include "fill/languages.h"

using namespace Qt::StringLiterals;

namespace tarnix::fill {

bool isTranslated(const Entry &entry)
{
    return !entry.translations.isEmpty()
        && std::none_of(
            entry.translations.cbegin(), entry.translations.cend(), [](const QString &form) { return form.isEmpty(); });
}

bool needsFill(const Entry &entry, bool refillFuzzy)
{
    if (entry.obsolete || entry.source.isEmpty())
        return false;
    return !isTranslated(entry) || (refillFuzzy && entry.fuzzy);
}

bool isIcuMessage(const Entry &entry)
{
    return entry.flags.contains(icuFormatFlag);
}

namespace {

// The entry's sources to translate: a TS numerus message has one source for
// all its forms, asked once.
QStringList sourcesOf(const Entry &entry)
{
    if (entry.plural && !entry.pluralSource.isEmpty() && entry.pluralSource != entry.source)
        return {withoutAccelerator(entry.source, entry.accelerator),
            withoutAccelerator(entry.pluralSource, entry.accelerator)};
    return {withoutAccelerator(entry.source, entry.accelerator)};
}

} // namespace

QStringList textsToAsk(const Entry &entry, const QString &language)
{
    if (!isIcuMessage(entry))
        return sourcesOf(entry);
    QStringList texts;
    for (const QString &source : sourcesOf(entry))
        texts += icuTexts(parseIcuMessage(source), language);
    return texts;
}

QString contextOf(const Entry &entry)
{
    QStringList lines;
    if (!entry.context.isEmpty())
        lines.append(entry.context);
    for (const QString &note : entry.notes) {
        if (!note.trimmed().isEmpty())
            lines.append(note.trimmed());
    }
    QString context = lines.join(u'\n');
    if (context.size() > maxContext)
        context.truncate(maxContext);
    return context;
}

namespace {

// The answers for the singular and the plural, each with the label's
// accelerator back.
std::pair<QString, QString> singularAndPlural(const Entry &entry, const QStringList &answers)
{
    return {withAcceleratorOf(entry.source, answers.first(), entry.accelerator),
        withAcceleratorOf(
            entry.pluralSource.isEmpty() ? entry.source : entry.pluralSource, answers.last(), entry.accelerator)};
}

// A form a person already wrote stays; the entry as a whole is still marked
// for review.
QStringList keepingWritten(const Entry &entry, QStringList forms)
{
    if (!isTranslated(entry)) {
        for (qsizetype i = 0; i < std::min(forms.size(), entry.translations.size()); ++i) {
            if (!entry.translations[i].isEmpty())
                forms[i] = entry.translations[i];
        }
    }
    return forms;
}

} // namespace

QStringList formsFromAnswers(const Entry &entry, const QStringList &answers, int pluralForms)
{
    if (answers.isEmpty())
        return {};
    const auto [singular, plural] = singularAndPlural(entry, answers);
    if (!entry.plural)
        return {singular};
    const int count = std::max(1, pluralForms);
    if (count == 1)
        return {plural};
    QStringList forms {singular};
    while (forms.size() < count)
        forms.append(plural);
    return keepingWritten(entry, forms);
}

QStringList formsByCategory(const Entry &entry, const QStringList &answers, const QStringList &categories)
{
    if (answers.isEmpty())
        return {};
    const auto [singular, plural] = singularAndPlural(entry, answers);
    if (!entry.plural)
        return {singular};
    QStringList forms;
    for (const QString &category : categories)
        forms.append(category == u"one" ? singular : plural);
    return keepingWritten(entry, forms);
}

EntryFill fillFromAnswers(const Entry &entry, const QStringList &answers, const FillTarget &target)
{
    QStringList translated = answers;
    if (isIcuMessage(entry)) {
        // Each source's message rebuilt from its own share of the answers.
        translated.clear();
        qsizetype used = 0;
        for (const QString &source : sourcesOf(entry)) {
            const IcuMessage message = parseIcuMessage(source);
            const qsizetype count = icuTexts(message, target.language).size();
            const IcuRebuilt rebuilt = rebuildIcuMessage(message, target.language, answers.mid(used, count));
            if (!rebuilt.error.isEmpty())
                return {{}, rebuilt.error};
            translated.append(rebuilt.message);
            used += count;
        }
    }
    if (entry.plural && !target.categories.isEmpty())
        return {formsByCategory(entry, translated, target.categories), {}};
    return {formsFromAnswers(entry, translated, target.pluralForms), {}};
}

QString catalogLanguage(const Catalog &catalog, const QString &commandLine)
{
    if (!catalog.language.isEmpty())
        return catalog.language;
    const QString fromName = languageFromFileName(catalog.path);
    return fromName.isEmpty() ? commandLine : fromName;
}

} // namespace tarnix::fill
