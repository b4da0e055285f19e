#include "service/text/keptterms.h"

#include <algorithm>

using namespace Qt::StringLiterals;

namespace tarnix::service {

KeptTerms::KeptTerms(const QStringList &list)
{
    for (const QString &term : list) {
        const QString trimmed = term.trimmed();
        if (!trimmed.isEmpty() && !terms.contains(trimmed))
            terms.append(trimmed);
    }
    // Alternatives are tried in order: longer terms first, so that "GNOME
    // Shell" is not cut short by "GNOME".
    QStringList escaped;
    for (const QString &term : terms)
        escaped.append(QRegularExpression::escape(term));
    std::stable_sort(
        escaped.begin(), escaped.end(), [](const QString &a, const QString &b) { return a.size() > b.size(); });
    pattern = QRegularExpression(uR"((?<![\p{L}\p{N}_])(?:)"_s + escaped.join(u'|') + uR"()(?![\p{L}\p{N}_]))"_s);
}

KeptTerms KeptTerms::withGlossary(const Glossary &glossary) const
{
    KeptTerms both = *this;
    both.swapped = glossary;
    return both;
}

QList<std::pair<qsizetype, qsizetype>> KeptTerms::find(QStringView text) const
{
    QList<std::pair<qsizetype, qsizetype>> found;
    for (const Found &term : findWithTranslations(text))
        found.append({term.start, term.length});
    return found;
}

QList<KeptTerms::Found> KeptTerms::findWithTranslations(QStringView text) const
{
    QList<Found> found;
    if (!terms.isEmpty()) {
        auto it = pattern.globalMatch(text);
        while (it.hasNext()) {
            const QRegularExpressionMatch match = it.next();
            found.append({match.capturedStart(), match.capturedLength(), {}});
        }
    }
    for (const GlossaryMatch &match : swapped.find(text)) {
        if (!match.exact)
            continue;
        // "Files" at a sentence's start: "Archivos", though the glossary writes "archivos".
        QString translation = swapped.entries()[match.entry].target;
        if (text[match.start].isUpper() && translation[0].isLower())
            translation[0] = translation[0].toUpper();
        found.append({match.start, match.length, translation});
    }
    // Where a kept term and a glossary term overlap, the earlier and then the longer one stands.
    std::stable_sort(found.begin(), found.end(),
        [](const Found &a, const Found &b) { return a.start != b.start ? a.start < b.start : a.length > b.length; });
    QList<Found> apart;
    for (const Found &term : found) {
        if (apart.isEmpty() || term.start >= apart.last().start + apart.last().length)
            apart.append(term);
    }
    return apart;
}

} // namespace tarnix::service
