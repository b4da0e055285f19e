#pragma once

#include <QList>
#include <QString>
#include <QStringView>

#include "service/text/placeholdergrammar.h"

namespace tarnix::service {

// A placeholder the check compares, as placeholdercheck.cpp and the reading
// of a person's translation (personreading.h) see it.
struct Directive
{
    QString text;
    QString key; // what must agree: the text; a printf conversion as "%<argument>$<conversion>"
    Placeholder::Kind kind;
    qsizetype at; // where it starts in its text
    bool ordered; // "{}": takes the next argument, so keeps its place among the others
    bool numeric;
};

// The directives of `text` (identifiers and quoted code aside), with the
// directives inside its quoted code.
QList<Directive> directivesOf(QStringView text);

} // namespace tarnix::service
