// The service's form parser on any body, and on every body the program's
// encoder writes: it must never crash, must accept only what decodes, and must
// give back exactly the codes and the text the program sent.
#include <cstdint>
#include <cstdlib>
#include <variant>

#include <QByteArray>
#include <QString>

#include "fuzz/forminput.h"
#include "service/http/form.h"
#include "translate/request.h"

namespace {

void expect(bool holds, const char *what)
{
    if (!holds) {
        fprintf(stderr, "service form: %s\n", what);
        abort();
    }
}

// Any bytes: an accepted form has its three fields, none empty, and a body
// in which every '%' starts an escape.
void parseAnyBody(const uint8_t *data, size_t size)
{
    const QByteArrayView body(reinterpret_cast<const char *>(data), qsizetype(size));
    const auto parsed = tarnix::service::parseTranslationForm(body);
    const auto *form = std::get_if<tarnix::service::TranslationForm>(&parsed);
    if (!form) {
        expect(!std::get<tarnix::service::FormError>(parsed).message.isEmpty(), "refused without a message");
        return;
    }
    expect(!form->source.isEmpty() && !form->target.isEmpty() && !form->text.isEmpty(), "accepted an empty field");
    expect(QStringView(form->text).isValidUtf16(), "text is not valid UTF-16");
    for (qsizetype i = 0; i < body.size(); ++i) {
        if (body[i] == '%')
            expect(i + 2 < body.size() && QByteArrayView("0123456789ABCDEFabcdef").contains(body[i + 1])
                    && QByteArrayView("0123456789ABCDEFabcdef").contains(body[i + 2]),
                "accepted a malformed escape");
    }
}

// What the program sends: codes and text as any 16-bit strings.
void roundTrip(const uint8_t *data, size_t size)
{
    const auto [source, target, text] = tarnix::fuzz::formInput(data, size);

    const auto parsed = tarnix::service::parseTranslationForm(tarnix::encodeFormBody(source, target, text));
    const auto *form = std::get_if<tarnix::service::TranslationForm>(&parsed);
    // UTF-8 cannot carry an unpaired surrogate: such a text arrives altered.
    if (!QStringView(text).isValidUtf16() || !QStringView(source).isValidUtf16() || !QStringView(target).isValidUtf16())
        return;
    if (source.isEmpty() || target.isEmpty() || text.isEmpty()) {
        expect(!form, "accepted an empty code or text");
        return;
    }
    expect(form, "refused a body the program wrote");
    expect(form->source == source, "source code changed on the way");
    expect(form->target == target, "target code changed on the way");
    expect(form->text == text, "text changed on the way");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    parseAnyBody(data, size);
    roundTrip(data, size);
    return 0;
}
