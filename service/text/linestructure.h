#pragma once

#include <optional>

#include <QString>

namespace tarnix::service {

// The option, list and table lines of a text that start an item ("  -a,
// --all   ...", "* ...", "  a    named character").
qsizetype itemLines(QStringView text);

// Why `translation` of a text of several lines (or of columns, or of
// sentences after a two-blank gap: engines are shown each as a line) has
// lost one of them, or nothing. Engines are shown every line of a text
// (help texts, option tables) and a model may answer all but the last; the
// lengths and sentence counts of a long text (completeness.h) do not see
// one short line go.
//
// An answer that lost a line comes back bare (the service cannot lay it
// out again), with fewer lines than the source shows; or it ends on an
// option without its text. People's translations re-wrap paragraphs, join
// them, leave periods out and pad columns anew, so the weaker signs (fewer
// paragraph starts or items, fewer lines than a plain paragraph at the
// source's width, fewer sentences, a missing end mark) count only in an
// answer lighter than the source, as one that lost a line's words is.
// `target` is the target's service code: a language written without
// sentence marks (Thai) is not judged on them, and one written densely
// (Chinese, Japanese, Korean) not on a paragraph's lines.
std::optional<QString> lostLine(QStringView source, QStringView translation, QStringView target);

} // namespace tarnix::service
