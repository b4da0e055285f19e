#pragma once

#include <optional>

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QString>

namespace tarnix::service {

// Follows the framing of the requests on one connection as their bytes
// arrive, before Qt's HTTP parser reads them: where each head and body ends,
// and whether the client wants the connection closed after the answer.
// Qt's parser drops the headers after a malformed line and answers the rest
// of the bytes as another request; a request whose framing is in doubt is
// how request smuggling starts. So a head or body that HTTP/1.1 (RFC 9112)
// says to refuse is refused here, whole, before Qt sees it:
// - a header line without a colon, with white space before its colon, a
//   folded (continued) line, a bare CR, a NUL;
// - a Content-Length that is not a plain decimal number, two of them, or one
//   beside Transfer-Encoding; a Transfer-Encoding other than chunked (501);
// - a chunk size that is not a hexadecimal number, a chunk without its line end;
// - an HTTP/1.1 request without exactly one Host header;
// - a head over 64 KiB (431), a chunked body over the largest the service
//   reads (413; one with a Content-Length is cut off by ClientListener once
//   it passes the limit, so that the client reads the answer rather than a
//   reset of a connection it is still sending on).
class RequestFraming
{
public:
    struct Problem
    {
        int status = 400;
        QString what; // for the page and the log: names the fault, never a value
    };

    struct Fed
    {
        std::optional<Problem> problem; // nothing after it is read
        // One entry per request completed by these bytes, oldest first:
        // whether its answer closes the connection.
        QList<bool> completed;
    };

    Fed feed(QByteArrayView bytes);

    // A request has started and is not complete.
    bool inRequest() const { return state != State::Idle; }

private:
    enum class State { Idle, Head, Body, ChunkSize, ChunkData, ChunkEnd, Trailers, Closed };

    std::optional<Problem> headDone();
    std::optional<Problem> chunkSizeLine();

    State state = State::Idle;
    QByteArray line; // the line being received (head, chunk size, trailers)
    QList<QByteArray> head; // the head's lines so far
    qsizetype headBytes = 0;
    qint64 remaining = 0; // body or chunk bytes still to come
    qint64 bodyBytes = 0;
    bool closeAfter = false;
};

} // namespace tarnix::service
