// The request body encoder against a strict form decoder: whatever the codes
// and the text hold, the body splits into the nine fields in their order and
// gives back exactly the bytes that went in.
#include <cstdint>
#include <cstdlib>

#include <QByteArray>
#include <QString>
#include <QStringDecoder>

#include "fuzz/formdecoder.h"
#include "fuzz/forminput.h"
#include "translate/request.h"

using namespace Qt::StringLiterals;

namespace {

bool isUnreserved(char c)
{
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '.'
        || c == '_' || c == '~';
}

bool isUpperHex(char c)
{
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F');
}

void expect(bool holds, const char *what)
{
    if (!holds) {
        fprintf(stderr, "form round trip: %s\n", what);
        abort();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const auto [source, target, text] = tarnix::fuzz::formInput(data, size);

    const QByteArray body = tarnix::encodeFormBody(source, target, text);

    for (qsizetype i = 0; i < body.size(); ++i) {
        const char c = body[i];
        if (c == '%') {
            expect(i + 2 < body.size() && isUpperHex(body[i + 1]) && isUpperHex(body[i + 2]),
                "'%' not followed by two upper-case hex digits");
            i += 2;
        } else {
            expect(isUnreserved(c) || c == '&' || c == '=', "a byte other than unreserved, '%', '&', '='");
        }
    }

    const auto fields = tarnix::fuzz::decodeForm(body);
    expect(fields.has_value(), "body does not decode");
    const QList<QPair<QByteArray, QByteArray>> expected = {
        {"js", "n"},
        {"prev", "_t"},
        {"hl", "en"},
        {"ie", "UTF-8"},
        {"layout", "2"},
        {"eotf", "1"},
        {"sl", source.toUtf8()},
        {"tl", target.toUtf8()},
        {"text", text.toUtf8()},
    };
    expect(*fields == expected, "fields differ from what was encoded");
    // Text that UTF-8 can carry (no unpaired surrogate) comes back unit for unit.
    // QString::fromUtf8 would drop a leading U+FEFF as a byte order mark;
    // this decoder keeps it, as the text had it.
    if (QStringView(text).isValidUtf16()) {
        QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::ConvertInitialBom);
        expect(QString(decoder.decode(fields->at(8).second)) == text, "text differs after the round trip");
    }
    return 0;
}
