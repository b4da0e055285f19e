#pragma once

#include <QString>
#include <QStringView>

#include "reply/entities.h"

namespace tarnix::test {

// The cleaning pass written the slow, obvious way: for every '&' outside a
// tag the rest of the text is searched again for ';'. The real pass, which
// finds each ';' once, must give exactly this.
inline QString cleanSlowly(QStringView kept, const EntityTable &table)
{
    QString result;
    bool inTag = false;
    for (qsizetype i = 0; i < kept.size(); ++i) {
        const QChar c = kept[i];
        if (c == u'<') {
            inTag = true;
        } else if (c == u'>') {
            inTag = false;
        } else if (inTag) {
            // Dropped with its tag.
        } else if (c == u'&') {
            const qsizetype j = kept.indexOf(u';', i + 1);
            const QString decoded = j >= 0 ? decodeEntity(table, kept.sliced(i + 1, j - i - 1)) : QString();
            if (!decoded.isEmpty()) {
                result += decoded;
                i = j;
            } else {
                result += c;
            }
        } else {
            result += c;
        }
    }
    return result;
}

} // namespace tarnix::test
