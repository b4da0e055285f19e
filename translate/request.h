#pragma once

#include <QByteArray>
#include <QNetworkRequest>

class QString;
class QUrl;

namespace tarnix {

// The form body of one request: the fixed fields, then the source and target
// service codes and the source text, filled into the template in one pass.
// Every byte of a value other than A-Z a-z 0-9 - . _ ~ goes out as %XX with
// upper-case hex, so '&', '=' and '+' in the text cannot split or alter a field.
QByteArray encodeFormBody(const QString &sourceService, const QString &targetService, const QString &text);

// A POST request for a form body of bodyLength bytes. Redirects are never
// followed: one request, one exchange.
QNetworkRequest makeServiceRequest(const QUrl &url, qsizetype bodyLength);

} // namespace tarnix
