#pragma once

#include <optional>

#include <QString>

namespace tarnix::service {

// Why `translation` of a text of several lines (or of table columns, which
// engines are shown as lines) has lost one of them, or nothing. Engines are shown every line of a text (help texts,
// option tables) and a model may answer all but the last; the lengths and sentence counts of a long text
// (completeness.h) do not see one short line go.
//
// A hard-wrapped paragraph may come back wrapped otherwise, so lines are
// not counted as such. What must survive is structure: the paragraphs
// between blank lines, the list items and option lines of each paragraph
// ("  -a, --all   ...", "* ..."), whether each paragraph ends on a sentence
// mark, and, within a tolerance, each paragraph's sentence ends. A dropped
// last line loses one of these: an item, a paragraph, or the end of the
// sentence it finished. `target` is the target's service code: a language
// written without sentence marks (Thai) is judged on its structure alone.
// The option, list and table lines of a text that start an item.
qsizetype itemLines(QStringView text);

std::optional<QString> lostLine(QStringView source, QStringView translation, QStringView target);

} // namespace tarnix::service
