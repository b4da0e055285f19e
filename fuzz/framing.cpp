// The service's request reader (Boost.Beast's parser and the service's own
// rules on what it hands over), fed any bytes at once and cut into up to nine
// pieces at any points: the same requests read (method, target, headers, body,
// whether each closes), so what a client's packets happen to be never changes
// how a request is read; nothing read after a problem or after a request that
// closes the connection; a problem found in pieces is found at once too, with
// the same status. The one difference allowed: once part of a head has come,
// Beast looks at it again only when the head's blank line has arrived, so a
// malformed head in pieces may still be waiting (to be refused when its end
// comes, or 408 when it never does) where the whole is refused at once.
// Half the inputs start with one to four well-formed requests built from the
// data (bodies with Content-Length or in chunks with extensions and trailers,
// HEAD and HTTP/1.0 among them): those are read back exactly, one each,
// whatever the cuts and whatever bytes follow them.
#include <cstdio>
#include <cstdlib>

#include <fuzzer/FuzzedDataProvider.h>

#include "service/http/requestreader.h"

using namespace Qt::StringLiterals;
using namespace tarnix::service;

namespace tarnix::service {

// Found by QList's comparison.
bool operator==(const HttpRequest &a, const HttpRequest &b)
{
    return a.method == b.method && a.target == b.target && a.version == b.version && a.headers == b.headers
        && a.body == b.body && a.keepAlive == b.keepAlive;
}

} // namespace tarnix::service

namespace {

void expect(bool holds, const char *what)
{
    if (!holds) {
        fprintf(stderr, "framing: %s\n", what);
        abort();
    }
}

struct Outcome
{
    QList<HttpRequest> requests;
    int status = 0;
    QString what;
    bool waiting = false; // part of a request has come, not all of it
};

Outcome read(const std::string &bytes, std::vector<size_t> cuts)
{
    Outcome outcome;
    RequestReader reader;
    std::sort(cuts.begin(), cuts.end());
    cuts.push_back(bytes.size());
    size_t start = 0;
    for (size_t end : cuts) {
        end = std::min(end, bytes.size());
        if (end < start)
            continue;
        const RequestReader::Fed fed = reader.feed(QByteArrayView(bytes.data() + start, qsizetype(end - start)));
        expect(outcome.status == 0 || fed.requests.isEmpty(), "a request read after a problem");
        for (const HttpRequest &request : fed.requests) {
            expect(outcome.requests.isEmpty() || outcome.requests.last().keepAlive,
                "a request read after one that closes");
            outcome.requests.append(request);
        }
        if (fed.problem && outcome.status == 0) {
            outcome.status = fed.problem->status;
            outcome.what = fed.problem->what;
        }
        start = end;
    }
    outcome.waiting = reader.inRequest() && !reader.finished();
    return outcome;
}

QByteArray printable(FuzzedDataProvider &provider, size_t most)
{
    QByteArray text;
    for (const char c : provider.ConsumeRandomLengthString(most))
        text += char(0x21 + (static_cast<unsigned char>(c) % 94)); // no white space at the ends
    return text;
}

// A well-formed request from the data, and what the reader must hand over for it.
std::string wellFormed(FuzzedDataProvider &provider, HttpRequest &expected, bool last)
{
    static const char *methods[] = {"POST", "GET", "HEAD", "PUT"};
    expected.method = methods[provider.ConsumeIntegralInRange(0, 3)];
    expected.target = "/?n=" + printable(provider, 8).toPercentEncoding();
    expected.version = provider.ConsumeBool() ? 11 : 10;
    expected.keepAlive = !(last && provider.ConsumeBool());
    expected.headers = {{"Host"_ba, "127.0.0.1"_ba}};
    if (expected.version == 10 && expected.keepAlive)
        expected.headers.append({"Connection"_ba, "keep-alive"_ba});
    else if (!expected.keepAlive && expected.version == 11)
        expected.headers.append({"Connection"_ba, "close"_ba});
    for (int n = provider.ConsumeIntegralInRange(0, 4); n > 0; --n)
        expected.headers.append({"X-" + QByteArray::number(n), printable(provider, 40)});
    expected.body = QByteArray::fromStdString(provider.ConsumeRandomLengthString(300));
    const bool chunked = expected.version == 11 && provider.ConsumeBool();
    expected.headers.append(chunked
            ? QPair<QByteArray, QByteArray> {"Transfer-Encoding", "chunked"}
            : QPair<QByteArray, QByteArray> {"Content-Length", QByteArray::number(expected.body.size())});
    QByteArray bytes = expected.method + ' ' + expected.target + (expected.version == 11 ? " HTTP/1.1" : " HTTP/1.0");
    for (const auto &[name, value] : expected.headers)
        bytes += "\r\n" + name + ": " + value;
    bytes += "\r\n\r\n";
    if (!chunked)
        return (bytes + expected.body).toStdString();
    for (qsizetype at = 0; at < expected.body.size();) {
        const qsizetype size = std::min(expected.body.size() - at, qsizetype(provider.ConsumeIntegralInRange(1, 64)));
        bytes += QByteArray::number(size, 16) + (provider.ConsumeBool() ? ";ext=1" : "") + "\r\n"
            + expected.body.sliced(at, size) + "\r\n";
        at += size;
    }
    return (bytes + "0\r\n" + (provider.ConsumeBool() ? "X-Trailer: 1\r\n" : "") + "\r\n").toStdString();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    FuzzedDataProvider provider(data, size);
    std::vector<size_t> cuts;
    for (int i = provider.ConsumeIntegralInRange(0, 8); i > 0; --i)
        cuts.push_back(provider.ConsumeIntegral<uint16_t>());
    QList<HttpRequest> expected;
    std::string bytes;
    if (provider.ConsumeBool()) {
        const int count = provider.ConsumeIntegralInRange(1, 4);
        for (int i = 0; i < count; ++i) {
            expected.append(HttpRequest {});
            bytes += wellFormed(provider, expected.last(), i == count - 1);
        }
    }
    bytes += provider.ConsumeRemainingBytesAsString();

    const Outcome whole = read(bytes, {});
    const Outcome pieces = read(bytes, cuts);
    expect(pieces.requests == whole.requests, "pieces read other requests than the whole");
    expect((pieces.status == whole.status && pieces.what == whole.what) || (pieces.status == 0 && pieces.waiting),
        "pieces find another problem than the whole");
    expect(whole.requests.size() >= expected.size(), "a well-formed request was not read");
    for (qsizetype i = 0; i < expected.size(); ++i)
        expect(whole.requests[i] == expected[i], "a well-formed request was read otherwise than sent");
    return 0;
}
