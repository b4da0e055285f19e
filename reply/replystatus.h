#pragma once

#include <QNetworkReply>

#include "reply/entities.h"

class QVariant;

namespace tarnix {

// Whether a finished reply carries a page worth reading: no network error and
// an HTTP status from 200 to 299. An error page (404, 500, a redirect, a
// proxy's complaint) never becomes a translation.
bool isAcceptedReply(QNetworkReply::NetworkError error, const QVariant &httpStatus);

// The translation a finished reply gives: its extracted page when the reply is
// accepted, the empty string otherwise (the body of a failed reply is not read).
QString translationOfReply(QNetworkReply &reply, const EntityTable &table);

} // namespace tarnix
