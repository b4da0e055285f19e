#include "ui/abouttext.h"

#include <QStringList>

using namespace Qt::StringLiterals;

namespace tarnix {

QString aboutText()
{
    const QString publisher = QStringLiteral(TARNIX_PUBLISHER_URL);
    const QString translator = QStringLiteral(TARNIX_TRANSLATOR_SITE_URL);
    const QString product = QStringLiteral(TARNIX_PRODUCT_URL);
    const QStringList pieces {
        u" <a href='"_s + publisher + u"'>Tarnix developers</a>."_s,
        QString(),
        QStringLiteral("\n"),
        u"<b><font color=purple>Tarnix</font></b>'s function depends on the underlying translation services "
        u"provided by 3rd parties which is <a href='"_s
            + translator + u"'>google translate</a> for this version."_s,
        QStringLiteral("We don't own or be responsible for any copyright content it provides."),
        u"If their services fail or change, this software must be upgraded from <a href='"_s + product
            + u"'>official site</a> to continue work."_s,
    };
    return pieces.join(u' ');
}

} // namespace tarnix
