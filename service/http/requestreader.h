#pragma once

#include <memory>
#include <optional>

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QPair>
#include <QString>

namespace tarnix::service {

// One request, read whole.
struct HttpRequest
{
    QByteArray method; // as sent: "POST", "GET", …
    QByteArray target; // as sent: "/", "/?a=b", "http://127.0.0.1:7317/"
    int version = 11; // 10 or 11
    // The header section's fields in the order sent; a chunked body's
    // trailer fields are not among them.
    QList<QPair<QByteArray, QByteArray>> headers;
    QByteArray body; // chunked bodies already joined
    bool keepAlive = true; // false: the connection closes after its answer
};

// Reads the requests of one connection from its bytes as they arrive, with
// Boost.Beast's HTTP/1.1 parser (http::request_parser, fed bytes, so it runs
// in the connection's own event loop): request lines, header fields,
// Content-Length and chunked bodies (with extensions and trailers),
// Connection semantics and pipelining are Beast's. On what it hands over the
// service adds its own rules, which refuse what Beast lets through:
// - a request target with a character no URI has (400);
// - more than 100 header fields (431), a head over 64 KiB (431), a body over
//   1 MiB (413);
// - a Transfer-Encoding other than chunked (501), and two Content-Length
//   fields even with one value (400), so that no two readers could frame the
//   body differently.
// A problem ends the connection's requests: nothing after it is read, and
// nothing after a request that closes the connection either. Empty lines
// before a request line are skipped (RFC 9112 2.2).
class RequestReader
{
public:
    struct Problem
    {
        int status = 400;
        QString what; // for the page and the log: names the fault, never a value
    };

    struct Fed
    {
        QList<HttpRequest> requests; // completed by these bytes, oldest first
        std::optional<Problem> problem; // after the requests
    };

    RequestReader();
    ~RequestReader();
    RequestReader(const RequestReader &) = delete;
    RequestReader &operator=(const RequestReader &) = delete;

    Fed feed(QByteArrayView bytes);

    // Bytes of a request that is not complete have arrived.
    bool inRequest() const;
    // A problem or a request that closes the connection was read: the rest is ignored.
    bool finished() const { return done; }

private:
    struct Parser;

    std::optional<Problem> headerRead();

    std::unique_ptr<Parser> parser; // the request being read, once its first byte came
    QByteArray pending; // received and not yet taken by the parser
    QList<QPair<QByteArray, QByteArray>> headers; // of the request being read, once its head is complete
    bool done = false;
};

} // namespace tarnix::service
