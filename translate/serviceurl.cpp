#include "translate/serviceurl.h"

namespace tarnix {

QUrl serviceUrl()
{
    return QUrl(QStringLiteral(TARNIX_SERVICE_URL));
}

} // namespace tarnix
