#include "service/http/logescape.h"

using namespace Qt::StringLiterals;

namespace tarnix::service {

QString escapeForLog(QStringView field)
{
    QString shown;
    shown.reserve(field.size());
    for (qsizetype i = 0; i < field.size(); ++i) {
        const QChar c = field[i];
        const bool pair = c.isHighSurrogate() && i + 1 < field.size() && field[i + 1].isLowSurrogate();
        if (pair) {
            // Outside the BMP only tags (U+E0000…) are format controls.
            const char32_t code = QChar::surrogateToUcs4(c, field[i + 1]);
            if (QChar::category(code) == QChar::Other_Format) {
                shown += u"\\U%1"_s.arg(uint(code), 8, 16, QChar(u'0'));
            } else {
                shown += c;
                shown += field[i + 1];
            }
            ++i;
            continue;
        }
        switch (c.category()) {
        case QChar::Other_Control:
        case QChar::Other_Format:
        case QChar::Other_Surrogate:
        case QChar::Separator_Line:
        case QChar::Separator_Paragraph:
            shown += c.unicode() < 0x100 ? u"\\x%1"_s.arg(uint(c.unicode()), 2, 16, QChar(u'0'))
                                         : u"\\u%1"_s.arg(uint(c.unicode()), 4, 16, QChar(u'0'));
            break;
        default:
            if (c == u'\\')
                shown += u'\\';
            shown += c;
        }
    }
    return shown;
}

} // namespace tarnix::service
