#pragma once

#include <QByteArray>
#include <QNetworkRequest>
#include <QString>
#include <QUrl>

namespace tarnix {

// The form body of one request: the fixed fields, then the source and target
// service codes and the source text, filled into the template in one pass.
// Every byte of a value other than A-Z a-z 0-9 - . _ ~ goes out as %XX with
// upper-case hex, so '&', '=' and '+' in the text cannot split or alter a field.
// A context (what the text is, for engines that use it) goes in one more field
// after the text; the window never sends one, and then the body is unchanged.
QByteArray encodeFormBody(const QString &sourceService, const QString &targetService, const QString &text,
    const QString &context = QString());

// Where requests go at a service's address: always its root path, whatever
// path, query or fragment the address holds.
QUrl serviceRequestUrl(QUrl service);

// A POST request for a form body of bodyLength bytes. Redirects are never
// followed: one request, one exchange.
QNetworkRequest makeServiceRequest(const QUrl &url, qsizetype bodyLength);

} // namespace tarnix
