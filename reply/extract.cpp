#include "reply/extract.h"

#include <QByteArray>

using namespace Qt::StringLiterals;

namespace tarnix {

namespace {

constexpr QLatin1StringView startMarker = "<span id=result_box"_L1;
constexpr QLatin1StringView endMarker = "<div id=gt-res-tools"_L1;

} // namespace

QStringView cutTranslation(QStringView page)
{
    const qsizetype start = page.indexOf(startMarker);
    QStringView kept = start >= 0 ? page.sliced(start) : page;
    const qsizetype end = kept.indexOf(endMarker);
    return end >= 0 ? kept.first(end) : kept;
}

QString cleanText(QStringView kept, const EntityTable &table)
{
    const qsizetype length = kept.size();
    const QChar *text = kept.data();

    // The result never outgrows the kept text: a decoded reference is at least
    // four units long ("&ne;") and gives at most two.
    QString result(length, Qt::Uninitialized);
    QChar *out = result.data();
    QChar *const outStart = out;

    // Positions of the next ';' and the next '&' after the current '&'. Both
    // only move forward, so the whole pass stays linear however the page is
    // built. A body holding a '&' decodes to nothing (no name or number has
    // one), so such a body is never handed to decodeEntity; that keeps the
    // bodies that are decoded disjoint, and their total length within the text.
    qsizetype nextSemicolon = -1;
    qsizetype nextAmpersand = -1;
    bool inTag = false;

    for (qsizetype i = 0; i < length; ++i) {
        const char16_t c = text[i].unicode();
        if (c == u'<') {
            inTag = true;
        } else if (c == u'>') {
            inTag = false;
        } else if (inTag) {
            // Dropped with its tag.
        } else if (c == u'&') {
            if (nextSemicolon <= i) {
                nextSemicolon = kept.indexOf(u';', i + 1);
                if (nextSemicolon < 0)
                    nextSemicolon = length; // none left: no later '&' searches again
            }
            if (nextSemicolon < length) {
                if (nextAmpersand <= i) {
                    nextAmpersand = kept.indexOf(u'&', i + 1);
                    if (nextAmpersand < 0)
                        nextAmpersand = length;
                }
                if (nextSemicolon < nextAmpersand) {
                    const int codePoint = entityCodePoint(table, kept.sliced(i + 1, nextSemicolon - i - 1));
                    if (codePoint >= 0) {
                        if (codePoint <= 0xFFFF) {
                            *out++ = QChar(char16_t(codePoint));
                        } else {
                            *out++ = QChar::highSurrogate(char32_t(codePoint));
                            *out++ = QChar::lowSurrogate(char32_t(codePoint));
                        }
                        i = nextSemicolon;
                        continue;
                    }
                }
            }
            *out++ = QChar(c);
        } else {
            *out++ = QChar(c);
        }
    }
    result.truncate(out - outStart);
    return result;
}

QString extractTranslation(const QByteArray &page, const EntityTable &table)
{
    const QString text = QString::fromUtf8(page);
    return cleanText(cutTranslation(text), table);
}

} // namespace tarnix
