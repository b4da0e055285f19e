#include "fuzz/formdecoder.h"

#include <QByteArrayView>

namespace tarnix::fuzz {

namespace {

int hexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

// Written byte by byte rather than with QByteArray::fromPercentEncoding,
// which accepts a stray '%': the decoder here is the strict one a service
// should be.
std::optional<QByteArray> percentDecode(QByteArrayView text)
{
    QByteArray out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '+') {
            out += ' ';
        } else if (c == '%') {
            if (i + 2 >= text.size())
                return std::nullopt;
            const int high = hexValue(text[i + 1]);
            const int low = hexValue(text[i + 2]);
            if (high < 0 || low < 0)
                return std::nullopt;
            out += char(high * 16 + low);
            i += 2;
        } else {
            out += c;
        }
    }
    return out;
}

} // namespace

std::optional<QList<QPair<QByteArray, QByteArray>>> decodeForm(QByteArrayView body)
{
    QList<QPair<QByteArray, QByteArray>> fields;
    qsizetype from = 0;
    while (from <= body.size()) {
        qsizetype to = body.indexOf('&', from);
        if (to < 0)
            to = body.size();
        const QByteArrayView field = body.sliced(from, to - from);
        const qsizetype equals = field.indexOf('=');
        if (equals < 0)
            return std::nullopt;
        const auto key = percentDecode(field.first(equals));
        const auto value = percentDecode(field.sliced(equals + 1));
        if (!key || !value)
            return std::nullopt;
        fields.append({*key, *value});
        from = to + 1;
    }
    return fields;
}

} // namespace tarnix::fuzz
