#pragma once

#include <QByteArray>
#include <QUrl>

class QNetworkAccessManager;

// One blocking HTTP exchange for tests: status 0 means no answer at all.
struct HttpAnswer
{
    int status = 0;
    QByteArray contentType;
    QByteArray body;
};

HttpAnswer httpExchange(QNetworkAccessManager &net, const QUrl &url, const QByteArray &method, const QByteArray &body,
    const QByteArray &contentType = QByteArrayLiteral("application/x-www-form-urlencoded"));

// The form body the program sends for one translation; `text` is sent as is,
// so tests can also send it already encoded or broken.
QByteArray programForm(const QByteArray &source, const QByteArray &target, const QByteArray &encodedText);
