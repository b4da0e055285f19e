#pragma once

#include <optional>
#include <variant>

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

namespace tarnix::service {

// The fields of a translation request that the service uses. The other fields
// the program sends (js, prev, hl, ie, layout, eotf) are accepted and ignored.
struct TranslationForm
{
    QString source; // sl
    QString target; // tl
    QString text;
    QString context; // optional: what the text is (a message context, a note), for engines that use it
};

// Why a form was refused; the message goes into the error page.
struct FormError
{
    QString message;
};

// Percent-decoding of one form key or value: "+" is a space, "%XX" the byte
// XX. Empty when an escape is not two hexadecimal digits.
std::optional<QByteArray> decodeFormComponent(QByteArrayView component);

// Parses an application/x-www-form-urlencoded body. sl, tl and text are
// required, sl and tl must not be empty, and every value must be valid UTF-8;
// sl, tl, text or context given twice is refused rather than guessed at.
std::variant<TranslationForm, FormError> parseTranslationForm(QByteArrayView body);

} // namespace tarnix::service
