#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include <fuzzer/FuzzedDataProvider.h>

#include <QString>

namespace tarnix::fuzz {

// What the program puts into one form body: two codes (short, read as UTF-8)
// and the text as raw 16-bit units, so that unpaired surrogates come up too.
struct FormInput
{
    QString source;
    QString target;
    QString text;
};

inline FormInput formInput(const uint8_t *data, size_t size)
{
    FuzzedDataProvider provider(data, size);
    const std::string sourceBytes = provider.ConsumeRandomLengthString(16);
    const std::string targetBytes = provider.ConsumeRandomLengthString(16);
    const std::vector<uint8_t> rest = provider.ConsumeRemainingBytes<uint8_t>();
    FormInput input {QString::fromUtf8(sourceBytes.data(), qsizetype(sourceBytes.size())),
        QString::fromUtf8(targetBytes.data(), qsizetype(targetBytes.size())),
        QString(qsizetype(rest.size() / 2), Qt::Uninitialized)};
    for (qsizetype i = 0; i < input.text.size(); ++i)
        input.text[i] = QChar(char16_t(rest[size_t(2 * i)] | rest[size_t(2 * i + 1)] << 8));
    return input;
}

} // namespace tarnix::fuzz
