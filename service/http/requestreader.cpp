#include "service/http/requestreader.h"

#include <boost/asio/buffer.hpp>
#include <boost/beast/http/error.hpp>
#include <boost/beast/http/parser.hpp>
#include <boost/beast/http/string_body.hpp>

#include "service/http/httplimits.h"

using namespace Qt::StringLiterals;
namespace http = boost::beast::http;

namespace tarnix::service {

struct RequestReader::Parser
{
    http::request_parser<http::string_body> beast;
    bool headerChecked = false;
};

namespace {

// Header fields a request may have; more is no honest client.
constexpr qsizetype maxHeaderFields = 100;

QByteArray bytesOf(boost::beast::string_view view)
{
    return QByteArray(view.data(), qsizetype(view.size()));
}

// A request target's characters: those of a URI's path, query and
// authority (RFC 3986), "%" escapes included.
bool isTargetChar(char c)
{
    if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9'))
        return true;
    return QByteArrayView("-._~!$&'()*+,;=:@/?%[]").contains(c);
}

RequestReader::Problem problemOf(const boost::system::error_code &code)
{
    using http::error;
    const auto is = [&code](http::error which) { return code == which; };
    if (is(error::header_limit))
        return {431, u"the request's head is larger than %1 bytes"_s.arg(maxHeadBytes)};
    if (is(error::body_limit))
        return {413, u"the body is larger than %1 bytes"_s.arg(maxBodyBytes)};
    if (is(error::bad_method))
        return {400, u"the request does not start with an HTTP method"_s};
    if (is(error::bad_target))
        return {400, u"the request line's target is malformed"_s};
    if (is(error::bad_version))
        return {400, u"the request line does not end in HTTP/1.0 or HTTP/1.1"_s};
    if (is(error::bad_field))
        return {400,
            u"a header line has no colon, or its name is empty or holds white space or a character "
            u"names cannot have"_s};
    if (is(error::bad_value))
        return {400, u"a header value holds a control character"_s};
    if (is(error::bad_line_ending))
        return {400, u"a line of the request does not end in CR LF"_s};
    if (is(error::bad_content_length))
        return {400,
            u"the Content-Length is not a decimal number, is given twice with two values, or stands "
            u"beside a chunked Transfer-Encoding"_s};
    if (is(error::bad_transfer_encoding))
        return {400, u"the request has two Transfer-Encoding headers, or one beside a Content-Length"_s};
    if (is(error::bad_chunk))
        return {400, u"a chunk's size is not a hexadecimal number, or a chunk does not end in CR LF"_s};
    if (is(error::bad_chunk_extension))
        return {400, u"a chunk extension is malformed"_s};
    if (is(error::bad_obs_fold))
        return {431, u"a folded header line is too long"_s};
    return {400, QString::fromStdString(code.message())};
}

} // namespace

RequestReader::RequestReader() = default;
RequestReader::~RequestReader() = default;

bool RequestReader::inRequest() const
{
    return parser != nullptr;
}

RequestReader::Fed RequestReader::feed(QByteArrayView bytes)
{
    Fed fed;
    if (done)
        return fed;
    pending.append(bytes);
    qsizetype taken = 0;
    while (!done) {
        if (!parser) {
            // Line ends before a request line are tolerated.
            while (taken < pending.size() && (pending[taken] == '\r' || pending[taken] == '\n'))
                ++taken;
            if (taken == pending.size())
                break;
            parser = std::make_unique<Parser>();
            parser->beast.header_limit(maxHeadBytes);
            parser->beast.body_limit(maxBodyBytes);
        }
        http::request_parser<http::string_body> &beast = parser->beast;
        boost::system::error_code error;
        const std::size_t used = beast.put(
            boost::asio::const_buffer(pending.constData() + taken, std::size_t(pending.size() - taken)), error);
        taken += qsizetype(used);
        if (error == http::error::need_more)
            break;
        if (error) {
            fed.problem = problemOf(error);
            done = true;
            break;
        }
        if (beast.is_header_done() && !parser->headerChecked) {
            // Not eager until here: Beast stops after the head, so the body
            // of a request refused for its head is never read.
            parser->headerChecked = true;
            if (const auto problem = headerRead()) {
                fed.problem = problem;
                done = true;
                break;
            }
            beast.eager(true);
        }
        if (beast.is_done()) {
            const bool keepAlive = beast.keep_alive();
            auto message = beast.release();
            fed.requests.append(HttpRequest {bytesOf(message.method_string()), bytesOf(message.target()),
                int(message.version()), std::move(headers), QByteArray::fromStdString(message.body()), keepAlive});
            headers.clear();
            parser.reset();
            done = !keepAlive;
        } else if (used == 0 || taken == pending.size()) {
            break; // the rest of the body is on its way
        }
    }
    pending.remove(0, done ? pending.size() : taken);
    return fed;
}

std::optional<RequestReader::Problem> RequestReader::headerRead()
{
    const auto &message = parser->beast.get();
    int contentLengths = 0;
    std::optional<QByteArray> transferEncoding;
    for (const auto &field : message) {
        headers.append({bytesOf(field.name_string()), bytesOf(field.value())});
        if (field.name() == http::field::content_length)
            ++contentLengths;
        else if (field.name() == http::field::transfer_encoding)
            transferEncoding = headers.last().second.trimmed().toLower();
    }
    if (headers.size() > maxHeaderFields)
        return Problem {431, u"the request has more than %1 header fields"_s.arg(maxHeaderFields)};
    const boost::beast::string_view target = message.target();
    if (!std::all_of(target.begin(), target.end(), isTargetChar))
        return Problem {400, u"the request target holds a character no URI has"_s};
    if (contentLengths > 1)
        return Problem {400, u"the request has two Content-Length headers"_s};
    if (transferEncoding && *transferEncoding != "chunked")
        return Problem {501, u"the only Transfer-Encoding the service reads is chunked"_s};
    return std::nullopt;
}

} // namespace tarnix::service
