#pragma once

#include <variant>

#include <QString>
#include <QStringList>

namespace tarnix::service {

// How masked placeholders look to an engine.
enum class TokenForm : unsigned char {
    // "⟦0⟧", "⟦1⟧", …: for engines that copy unfamiliar symbols untouched.
    Bracketed = 0,
    // A number ("201") for a placeholder that stands for a number, so that
    // the engine moves it with its noun ("201 days ago" -> "hace 201 días"),
    // and a first name it leaves untranslated ("John") for one that stands
    // for a word; "⟦n⟧" where neither fits. For engines that parse the text.
    Natural,
};

// A text whose placeholders (service/text/placeholdergrammar.h) are replaced
// by tokens. A natural token stands for the placeholders next to each other,
// or apart only by white space and punctuation, with the quotes or brackets
// around them: that layout and their order stay as they were.
struct MaskedText
{
    QString text;
    QStringList tokens; // as they stand in `text`
    QStringList originals; // what each token stands for
};

// Why a translation's placeholders cannot be trusted, naming the placeholder.
struct PlaceholderFault
{
    QString what;
};

class KeptTerms;

// Masks the placeholders of `text`, and the kept terms that stand outside them.
MaskedText maskPlaceholders(const QString &text, TokenForm form, const KeptTerms &terms);

// Puts the placeholders back into an engine's translation; a fault when a
// token is missing, repeated or broken apart.
std::variant<QString, PlaceholderFault> unmaskPlaceholders(const QString &translated, const MaskedText &masked);

} // namespace tarnix::service
