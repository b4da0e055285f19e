#pragma once

#include <optional>

#include <QByteArrayView>
#include <QString>

namespace tarnix::service {

struct HttpRequest;

// Why a request is refused before it is read as a translation request.
struct Refusal
{
    int status = 0; // 400, 403 or 421
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
// still sends that name; so is a request target in absolute form
// ("http://host/") naming another host, which HTTP says stands above the
// Host header. An HTTP/1.1 request without exactly one Host is 400. Header
// names are matched without regard to case.
std::optional<Refusal> refuseRequest(const HttpRequest &request, quint16 port);

// A request target's host and port when it is in absolute form
// ("http://127.0.0.1:7317/" gives "127.0.0.1:7317"); nothing for a path.
std::optional<QByteArrayView> targetAuthority(QByteArrayView target);
// A request target's path without its query: "/" for "/?a=b" and for "http://127.0.0.1:7317/".
QByteArrayView targetPath(QByteArrayView target);

} // namespace tarnix::service
