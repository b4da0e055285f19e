#pragma once

#include <optional>

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QPair>
#include <QString>

namespace tarnix::service {

// Why a request is refused before it is read as a translation request.
struct Refusal
{
    int status = 0; // 403 or 421
    QString reason; // the status's reason phrase
    QString message; // for the page
    QString logNote; // for the log line: which header, and its value
};

// Only the program and other local tools may use the service. A browser
// marks every request a page makes: any Origin header, or a Sec-Fetch-Site
// other than "none" (which a browser sends only for an address the user
// typed) is refused with 403, so no web page can spend the user's engines. A
// Host that is not 127.0.0.1, localhost or [::1] (with no port or the
// service's `port`) is 421: a page that rebinds its own name to 127.0.0.1
// still sends that name. Header names are matched without regard to case.
std::optional<Refusal> refuseRequest(const QList<QPair<QByteArray, QByteArray>> &headers, quint16 port);

enum class RequestLineCheck {
    Incomplete, // could still become an HTTP request line
    Http, // "METHOD target HTTP/1.x", complete
    NotHttp, // cannot be one: answered 400 and closed
};

// The start of a request as received so far: its first line, up to the
// line feed if one arrived, judged as an HTTP/1.x request line. A line longer
// than 8 KiB is not one.
RequestLineCheck checkRequestLine(QByteArrayView received);

} // namespace tarnix::service
