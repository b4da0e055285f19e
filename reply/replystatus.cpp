#include "reply/replystatus.h"

#include <QVariant>

#include "reply/extract.h"

namespace tarnix {

bool isAcceptedReply(QNetworkReply::NetworkError error, const QVariant &httpStatus)
{
    if (error != QNetworkReply::NoError)
        return false;
    bool ok = false;
    const int status = httpStatus.toInt(&ok);
    return ok && status >= 200 && status <= 299;
}

QString translationOfReply(QNetworkReply &reply, const EntityTable &table)
{
    // The body of an aborted reply is not even open: check before reading.
    if (!isAcceptedReply(reply.error(), reply.attribute(QNetworkRequest::HttpStatusCodeAttribute)))
        return {};
    return extractTranslation(reply.readAll(), table);
}

} // namespace tarnix
