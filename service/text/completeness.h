#pragma once

#include <optional>

#include <QString>

namespace tarnix::service {

// What can be counted in a text without understanding it.
struct TextShape
{
    qsizetype paragraphBreaks = 0; // runs of white space holding two or more line breaks
    qsizetype lineBreaks = 0; // runs of white space holding any line break (paragraph breaks too)
    qsizetype sentenceEnds = 0; // sentence-end marks ("?!" and "..." count once) at a word's end
    double weight = 0; // letters and signs, a Chinese, Japanese or Korean one as several
};

TextShape textShape(QStringView text);

// Why `translation` cannot be the whole of `source`, or nothing: it does not
// trust how the text was cut or put back together, only what both hold.
// Paragraph breaks must match within a tolerance (a paragraph break may
// come back as a single line break, as engines are shown it); once the
// source is long enough to judge, so must sentence ends (engines join or
// split the odd sentence, a table's rows may each gain or lose a period),
// and the lengths, weighed for their scripts, must be within bounds.
// `target` is the target's service code: a language written without
// sentence marks (Thai) is not counted for them. A text of several lines
// must not have lost one of its lines either (linestructure.h).
std::optional<QString> incompleteness(QStringView source, QStringView translation, QStringView target);

} // namespace tarnix::service
