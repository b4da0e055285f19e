// The service's request framing, fed any bytes: the same bytes cut into
// pieces at any points give the same outcome as fed at once (the problem,
// and the requests completed with whether each closes), so what a client's
// packets happen to be never changes how a request is read; and nothing is
// completed after a problem or after a request that closes the connection.
#include <cstdio>
#include <cstdlib>

#include <fuzzer/FuzzedDataProvider.h>

#include "service/http/requestframing.h"

using namespace tarnix::service;

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
    QList<bool> completed;
    int status = 0;
    QString what;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    FuzzedDataProvider provider(data, size);
    const int cuts = provider.ConsumeIntegralInRange(0, 8);
    std::vector<size_t> at;
    for (int i = 0; i < cuts; ++i)
        at.push_back(provider.ConsumeIntegral<uint16_t>());
    const std::string bytes = provider.ConsumeRemainingBytesAsString();

    Outcome whole;
    RequestFraming once;
    const RequestFraming::Fed fed = once.feed(QByteArrayView(bytes.data(), qsizetype(bytes.size())));
    whole.completed = fed.completed;
    if (fed.problem) {
        whole.status = fed.problem->status;
        whole.what = fed.problem->what;
    }
    expect(!whole.completed.contains(true) || whole.completed.indexOf(true) == whole.completed.size() - 1,
        "a request completed after one that closes");

    Outcome pieces;
    RequestFraming piecewise;
    std::sort(at.begin(), at.end());
    size_t start = 0;
    at.push_back(bytes.size());
    for (size_t end : at) {
        end = std::min(end, bytes.size());
        if (end < start)
            continue;
        const RequestFraming::Fed part = piecewise.feed(QByteArrayView(bytes.data() + start, qsizetype(end - start)));
        expect(pieces.status == 0 || part.completed.isEmpty(), "a request completed after a problem");
        pieces.completed += part.completed;
        if (part.problem && pieces.status == 0) {
            pieces.status = part.problem->status;
            pieces.what = part.problem->what;
        }
        start = end;
    }
    expect(pieces.completed == whole.completed, "pieces complete other requests than the whole");
    expect(pieces.status == whole.status && pieces.what == whole.what, "pieces find another problem than the whole");
    return 0;
}
