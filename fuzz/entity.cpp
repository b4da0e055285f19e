// decodeEntity on any body: at most one character, the code point that
// entityCodePoint names, a table entry only for a name, and a number only for
// '#' followed by a decimal number that an independent parser agrees with.
#include <charconv>
#include <cstdint>
#include <cstdlib>

#include <QString>

#include "reply/entities.h"

namespace {

const tarnix::EntityTable &table()
{
    static const tarnix::EntityTable filled = [] {
        tarnix::EntityTable table;
        tarnix::fillEntityTable(table);
        return table;
    }();
    return filled;
}

void expect(bool holds, const char *what)
{
    if (!holds) {
        fprintf(stderr, "decodeEntity: %s\n", what);
        abort();
    }
}

// A number in base 10 with nothing else, sign aside: what std::from_chars reads.
bool parsePlainDecimal(QStringView digits, long long &value)
{
    std::string ascii;
    for (QChar c : digits) {
        if (c.unicode() > 0x7F)
            return false;
        ascii += char(c.unicode());
    }
    if (ascii.empty() || ascii.size() > 18)
        return false;
    const auto [end, error] = std::from_chars(ascii.data(), ascii.data() + ascii.size(), value);
    return error == std::errc() && end == ascii.data() + ascii.size();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString body = QString::fromUtf8(reinterpret_cast<const char *>(data), qsizetype(size));
    const QString decoded = tarnix::decodeEntity(table(), body);
    const int codePoint = tarnix::entityCodePoint(table(), body);

    expect(decoded.isEmpty() == (codePoint < 0), "decodeEntity and entityCodePoint disagree");
    if (!decoded.isEmpty()) {
        expect(codePoint <= 0x10FFFF, "code point out of range");
        if (codePoint <= 0xFFFF) {
            expect(decoded.size() == 1 && decoded[0].unicode() == codePoint, "wrong 16-bit unit");
        } else {
            expect(decoded.size() == 2 && decoded[0].isHighSurrogate() && decoded[1].isLowSurrogate()
                    && QChar::surrogateToUcs4(decoded[0], decoded[1]) == char32_t(codePoint),
                "wrong surrogate pair");
        }
    }

    if (!body.startsWith(u'#')) {
        // A name: exactly the table's entry, nothing trimmed or folded.
        expect(codePoint == table().value(body, -1), "name not decoded as the table says");
        return 0;
    }
    // '#': a plain decimal number (an optional '-' allowed) decodes when it is
    // a code point; a body with any character that no number holds never does.
    long long value = 0;
    if (parsePlainDecimal(QStringView(body).sliced(1), value))
        expect(codePoint == (value >= 0 && value <= 0x10FFFF ? value : -1), "number decoded wrongly");
    for (QChar c : QStringView(body).sliced(1)) {
        if (!c.isDigit() && !c.isSpace() && c != u'+' && c != u'-')
            expect(codePoint < 0, "a body that is no number decoded");
    }
    return 0;
}
