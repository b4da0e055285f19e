#pragma once

#include <QList>
#include <QStringView>

#include "service/text/directives.h"

namespace tarnix::service {

// What a person's translation may do that an engine's answer may not
// (Reading::Human in placeholdercheck.h), applied to both lists before they
// are compared: metavariables leave both ("-SIGNAL", "<N>", "<newline>",
// "{PREFIX}" while the translation keeps as many braces of capitals, a
// capital identifier that is no environment variable), an option is compared
// by its name unless the source's value is a literal, a list of values the
// translation names word by word counts as kept, "${NAME}" is "$NAME", and a
// printf conversion glued to a word in the translation of a message that has
// none is text ("%EXP_RAT%").
void readAsPerson(
    QList<Directive> &source, QList<Directive> &translation, QStringView sourceText, QStringView translationText);

// A message that is nothing but a tag or a shell name ("<tag>", "$default"):
// a word the program prints, which a person may translate.
bool isPrintedWord(QStringView source);

} // namespace tarnix::service
