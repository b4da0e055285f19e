#include "fill/plan.h"

#include <algorithm>

#include "fill/accelerator.h"
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

QStringList textsToAsk(const Entry &entry)
{
    // A TS numerus message has one source for all its forms: asked once.
    if (entry.plural && !entry.pluralSource.isEmpty() && entry.pluralSource != entry.source)
        return {withoutAccelerator(entry.source, entry.accelerator),
            withoutAccelerator(entry.pluralSource, entry.accelerator)};
    return {withoutAccelerator(entry.source, entry.accelerator)};
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

QStringList formsFromAnswers(const Entry &entry, const QStringList &answers, int pluralForms)
{
    if (answers.isEmpty())
        return {};
    const QString singular = withAcceleratorOf(entry.source, answers.first(), entry.accelerator);
    if (!entry.plural)
        return {singular};
    const QString plural = withAcceleratorOf(
        entry.pluralSource.isEmpty() ? entry.source : entry.pluralSource, answers.last(), entry.accelerator);
    const int count = std::max(1, pluralForms);
    if (count == 1)
        return {plural};
    QStringList forms {singular};
    while (forms.size() < count)
        forms.append(plural);
    // A form a person already wrote stays; the entry as a whole is still
    // marked for review.
    if (!isTranslated(entry)) {
        for (qsizetype i = 0; i < std::min(forms.size(), entry.translations.size()); ++i) {
            if (!entry.translations[i].isEmpty())
                forms[i] = entry.translations[i];
        }
    }
    return forms;
}

QStringList formsByCategory(const Entry &entry, const QStringList &answers, const QStringList &categories)
{
    if (!entry.plural || answers.isEmpty())
        return formsFromAnswers(entry, answers, 1);
    Entry untranslated = entry; // the forms a person wrote are kept by category below
    untranslated.translations.clear();
    const QStringList both = formsFromAnswers(untranslated, answers, 2);
    QStringList forms;
    for (const QString &category : categories)
        forms.append(category == u"one"_s ? both.first() : both.last());
    if (!isTranslated(entry)) {
        for (qsizetype i = 0; i < std::min(forms.size(), entry.translations.size()); ++i) {
            if (!entry.translations[i].isEmpty())
                forms[i] = entry.translations[i];
        }
    }
    return forms;
}

QString catalogLanguage(const Catalog &catalog, const QString &commandLine)
{
    if (!catalog.language.isEmpty())
        return catalog.language;
    const QString fromName = languageFromFileName(catalog.path);
    return fromName.isEmpty() ? commandLine : fromName;
}

} // namespace tarnix::fill
