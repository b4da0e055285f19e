// The program's form body and the service's form parser. Any bytes: an
// accepted form has its three fields, none empty, and every '%' starts an
// escape. Codes and text as any 16-bit strings, encoded by the program: only
// unreserved bytes, '&', '=' and upper-case escapes on the wire, and the
// service reads back exactly what was sent (what UTF-8 can carry).
#include <cstdio>
#include <cstdlib>

#include <fuzzer/FuzzedDataProvider.h>

#include <QString>

#include "service/http/form.h"
#include "translate/request.h"

using namespace tarnix::service;

namespace {

void expect(bool holds, const char *what)
{
    if (!holds) {
        fprintf(stderr, "form: %s\n", what);
        abort();
    }
}

// Every '%' of the body starts an escape of two hex digits (upper-case only if asked).
bool escapesWellFormed(QByteArrayView body, QByteArrayView hexDigits)
{
    for (qsizetype i = 0; i < body.size(); ++i) {
        if (body[i] == '%') {
            if (i + 2 >= body.size() || !hexDigits.contains(body[i + 1]) || !hexDigits.contains(body[i + 2]))
                return false;
            i += 2;
        }
    }
    return true;
}

QString anyUnits(const std::vector<uint8_t> &bytes)
{
    QString units(qsizetype(bytes.size() / 2), Qt::Uninitialized);
    for (qsizetype i = 0; i < units.size(); ++i)
        units[i] = QChar(char16_t(bytes[size_t(2 * i)] | bytes[size_t(2 * i + 1)] << 8));
    return units;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArrayView raw(reinterpret_cast<const char *>(data), qsizetype(size));
    const auto parsed = parseTranslationForm(raw);
    if (const auto *form = std::get_if<TranslationForm>(&parsed)) {
        expect(!form->source.isEmpty() && !form->target.isEmpty() && !form->text.isEmpty(), "accepted an empty field");
        expect(QStringView(form->text).isValidUtf16(), "text is not valid UTF-16");
        expect(escapesWellFormed(raw, "0123456789ABCDEFabcdef"), "accepted a malformed escape");
    } else {
        expect(!std::get<FormError>(parsed).message.isEmpty(), "refused without a message");
    }

    FuzzedDataProvider provider(data, size);
    const std::string sourceBytes = provider.ConsumeRandomLengthString(16);
    const std::string targetBytes = provider.ConsumeRandomLengthString(16);
    const QString source = QString::fromStdString(sourceBytes);
    const QString target = QString::fromStdString(targetBytes);
    const QString text = anyUnits(provider.ConsumeRemainingBytes<uint8_t>());
    const QByteArray body = tarnix::encodeFormBody(source, target, text);
    expect(escapesWellFormed(body, "0123456789ABCDEF"), "'%' not followed by two upper-case hex digits");
    for (const char c : body)
        expect(QByteArrayView("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789-._~%&=").contains(c),
            "a byte other than unreserved, '%', '&', '='");

    // UTF-8 cannot carry an unpaired surrogate: such a text arrives altered.
    if (!QStringView(text).isValidUtf16())
        return 0;
    const auto back = parseTranslationForm(body);
    const auto *form = std::get_if<TranslationForm>(&back);
    if (source.isEmpty() || target.isEmpty() || text.isEmpty()) {
        expect(!form, "accepted an empty code or text");
        return 0;
    }
    expect(form, "refused a body the program wrote");
    expect(form->source == source && form->target == target && form->text == text, "changed on the way");
    return 0;
}
