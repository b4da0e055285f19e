#pragma once

#include <optional>

#include <QString>

#include "service/text/placeholders.h"

namespace tarnix::service {

// A source text made ready for an engine: its leading and trailing white
// space kept aside (engines trim or pad it, but a resource string must keep
// it), its placeholders masked.
struct PreparedText
{
    QString leading;
    QString trailing;
    MaskedText masked; // empty text: nothing for an engine to translate
};

PreparedText prepareForEngine(const QString &text);

// The final translation from an engine's output: placeholders restored and
// the source's outer white space put back. Empty when a placeholder was lost
// or duplicated.
std::optional<QString> finishTranslation(const PreparedText &prepared, const QString &engineText);

} // namespace tarnix::service
