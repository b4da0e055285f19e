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

QList<std::pair<qsizetype, qsizetype>> KeptTerms::find(QStringView text) const
{
    QList<std::pair<qsizetype, qsizetype>> found;
    if (terms.isEmpty())
        return found;
    auto it = pattern.globalMatch(text);
    while (it.hasNext()) {
        const QRegularExpressionMatch match = it.next();
        found.append({match.capturedStart(), match.capturedLength()});
    }
    return found;
}

} // namespace tarnix::service
