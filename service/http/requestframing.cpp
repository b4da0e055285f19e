#include "service/http/requestframing.h"

#include "service/http/httplimits.h"

using namespace Qt::StringLiterals;

namespace tarnix::service {

namespace {

// A chunk-size or trailer line longer than this is no honest one.
constexpr qsizetype maxLineBytes = 8 * 1024;

bool isTokenChar(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')
        || QByteArrayView("!#$%&'*+-.^_`|~").contains(c);
}

bool allOf(QByteArrayView text, bool (*test)(char))
{
    for (char c : text) {
        if (!test(c))
            return false;
    }
    return true;
}

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

bool isHexDigit(char c)
{
    return isDigit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

RequestFraming::Problem bad(const QString &what)
{
    return {400, what};
}

} // namespace

RequestFraming::Fed RequestFraming::feed(QByteArrayView bytes)
{
    Fed fed;
    qsizetype i = 0;
    while (i < bytes.size() && state != State::Closed) {
        std::optional<Problem> problem;
        bool complete = false;
        switch (state) {
        case State::Idle:
            // Line ends before a request line are tolerated (RFC 9112 2.2).
            if (bytes[i] == '\r' || bytes[i] == '\n') {
                ++i;
                continue;
            }
            state = State::Head;
            head.clear();
            headBytes = 0;
            bodyBytes = 0;
            continue;
        case State::Body:
        case State::ChunkData: {
            const qint64 take = std::min<qint64>(remaining, bytes.size() - i);
            i += take;
            remaining -= take;
            if (remaining == 0 && state == State::Body)
                complete = true;
            else if (remaining == 0)
                state = State::ChunkEnd;
            break;
        }
        default: { // a line: of the head, a chunk size, a chunk's end, a trailer
            const qsizetype newline = bytes.indexOf('\n', i);
            const qsizetype end = newline < 0 ? bytes.size() : newline;
            line += bytes.sliced(i, end - i);
            headBytes += end - i + (newline < 0 ? 0 : 1);
            i = newline < 0 ? end : end + 1;
            if (state == State::Head && headBytes > maxHeadBytes) {
                problem = Problem {431, u"the request's headers are larger than %1 bytes"_s.arg(maxHeadBytes)};
                break;
            }
            if (state != State::Head && (line.size() > maxLineBytes || headBytes > maxHeadBytes)) {
                problem = bad(u"a chunk size or trailer line is too long"_s);
                break;
            }
            if (newline < 0)
                break;
            if (line.endsWith('\r'))
                line.chop(1);
            if (line.contains('\r')) {
                problem = bad(u"a line of the request holds a bare carriage return"_s);
            } else if (state == State::Head) {
                if (!line.isEmpty())
                    head.append(line);
                else
                    problem = headDone();
            } else if (state == State::ChunkSize) {
                problem = chunkSizeLine();
            } else if (state == State::ChunkEnd) {
                if (!line.isEmpty())
                    problem = bad(u"a chunk is longer than its size"_s);
                state = State::ChunkSize;
            } else if (line.isEmpty()) { // the end of the trailers
                complete = true;
            }
            line.clear();
            if (state == State::Idle) // a head without a body
                complete = true;
            break;
        }
        }
        if (problem) {
            fed.problem = problem;
            state = State::Closed;
            return fed;
        }
        if (complete) {
            fed.completed.append(closeAfter);
            // Nothing after a request that closes the connection is read.
            state = closeAfter ? State::Closed : State::Idle;
        }
    }
    return fed;
}

std::optional<RequestFraming::Problem> RequestFraming::headDone()
{
    const bool http10 = head.value(0).endsWith(" HTTP/1.0");
    std::optional<qint64> contentLength;
    std::optional<QByteArray> transferEncoding;
    int hosts = 0;
    bool close = false;
    bool keepAlive = false;
    for (qsizetype n = 1; n < head.size(); ++n) {
        const QByteArray &field = head[n];
        if (field.front() == ' ' || field.front() == '\t')
            return bad(u"a header line is folded onto the next"_s);
        const qsizetype colon = field.indexOf(':');
        if (colon < 0)
            return bad(u"a header line has no colon"_s);
        const QByteArrayView name = QByteArrayView(field).first(colon);
        if (name.isEmpty() || !allOf(name, isTokenChar))
            return bad(u"a header name is empty or holds white space or a character names cannot have"_s);
        const QByteArray value = field.sliced(colon + 1).trimmed();
        if (value.contains('\0'))
            return bad(u"a header value holds a NUL"_s);
        const QByteArray lowerName = name.toByteArray().toLower();
        if (lowerName == "content-length") {
            if (contentLength)
                return bad(u"the request has two Content-Length headers"_s);
            if (value.isEmpty() || value.size() > 18 || !allOf(value, isDigit))
                return bad(u"the Content-Length is not a decimal number"_s);
            contentLength = value.toLongLong();
        } else if (lowerName == "transfer-encoding") {
            if (transferEncoding)
                return bad(u"the request has two Transfer-Encoding headers"_s);
            transferEncoding = value.toLower();
        } else if (lowerName == "host") {
            ++hosts;
        } else if (lowerName == "connection") {
            for (const QByteArray &option : value.toLower().split(',')) {
                close = close || option.trimmed() == "close";
                keepAlive = keepAlive || option.trimmed() == "keep-alive";
            }
        }
    }
    if (hosts > 1 || (hosts == 0 && !http10))
        return bad(hosts ? u"the request has two Host headers"_s : u"the request has no Host header"_s);
    if (contentLength && transferEncoding)
        return bad(u"the request has both Content-Length and Transfer-Encoding"_s);
    closeAfter = close || (http10 && !keepAlive);
    if (transferEncoding) {
        if (*transferEncoding != "chunked")
            return Problem {501, u"the only Transfer-Encoding the service reads is chunked"_s};
        state = State::ChunkSize;
    } else if (contentLength.value_or(0) > 0) {
        remaining = *contentLength;
        state = State::Body;
    } else {
        state = State::Idle;
    }
    return std::nullopt;
}

std::optional<RequestFraming::Problem> RequestFraming::chunkSizeLine()
{
    qsizetype digits = 0;
    while (digits < line.size() && isHexDigit(line[digits]))
        ++digits;
    const QByteArray rest = line.sliced(digits).trimmed();
    if (digits == 0 || digits > 15 || !(rest.isEmpty() || rest.startsWith(';')))
        return bad(u"a chunk size is not a hexadecimal number"_s);
    remaining = line.first(digits).toLongLong(nullptr, 16);
    bodyBytes += remaining;
    if (bodyBytes > maxBodyBytes)
        return Problem {413, u"the body is larger than %1 bytes"_s.arg(maxBodyBytes)};
    state = remaining == 0 ? State::Trailers : State::ChunkData;
    return std::nullopt;
}

} // namespace tarnix::service
