#include "fill/check.h"

#include "fill/accelerator.h"
#include "service/text/placeholdercheck.h"

using namespace Qt::StringLiterals;

namespace tarnix::fill {

QList<Finding> checkEntry(const Entry &entry)
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
        const auto mismatch = service::placeholderMismatch(source, translation);
        if (!mismatch)
            continue;
        if (entry.plural && i == 0 && !service::placeholderMismatch(entry.pluralSource, translation))
            continue;
        const QString form = entry.plural ? u"form %1: "_s.arg(i) : QString();
        findings.append({entry.line, form + *mismatch});
    }
    for (const QString &what : acceleratorMismatches(entry))
        findings.append({entry.line, what});
    return findings;
}

} // namespace tarnix::fill
