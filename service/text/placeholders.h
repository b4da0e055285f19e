#pragma once

#include <optional>

#include <QString>
#include <QStringList>

namespace tarnix::service {

// A text whose placeholders are replaced by numbered tokens ("⟦0⟧", "⟦1⟧", …)
// that translation engines copy unchanged; `placeholders[i]` is what token i
// stands for.
struct MaskedText
{
    QString text;
    QStringList placeholders;
};

// Masks what must reach the translation exactly as written: printf
// conversions ("%1".."%99", "%s", "%d", "%1$s", "%%"), brace fields ("{name}",
// "{{name}}", "${name}"), markup tags, character references, and the token
// brackets themselves, so that a source text can never forge a token.
MaskedText maskPlaceholders(const QString &text);

// Puts the placeholders back into an engine's translation. Empty when a token
// is missing, repeated, unknown or broken: such a translation would not match
// its source's placeholders and must not be used.
std::optional<QString> unmaskPlaceholders(const QString &translated, const QStringList &placeholders);

} // namespace tarnix::service
