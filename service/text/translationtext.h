#pragma once

#include <variant>

#include <QString>
#include <QStringList>

#include "service/text/keptterms.h"
#include "service/text/placeholders.h"

namespace tarnix::service {

// A source text made ready for an engine: its leading and trailing white
// space kept aside (engines trim or pad it, but a resource string must keep
// it), its placeholders masked, its column and sentence gaps as line breaks.
struct PreparedText
{
    QString source;
    QString leading;
    QString trailing;
    QStringList layout; // the runs of white space that stand as line breaks in `masked`
    MaskedText masked; // empty text: nothing for an engine to translate
};

PreparedText prepareForEngine(const QString &text, TokenForm form = TokenForm::Bracketed, const KeptTerms &terms = {});

// The final translation from an engine's output: placeholders restored, the
// source's outer white space put back, a lowercase start kept lowercase. A
// fault when the result's directives are not the source's
// (service/text/placeholdercheck.h): such a translation is never answered.
std::variant<QString, PlaceholderFault> finishTranslation(const PreparedText &prepared, const QString &engineText);

} // namespace tarnix::service
