#pragma once

#include <QString>

namespace tarnix::service {

// A field from a client as the log may show it: control characters (NUL
// included, which would end the line where stderr is read as C strings),
// bidirectional and other format controls, line and paragraph separators and
// lone surrogates written as escapes ("\x1b", "\u202e"), and the backslash
// doubled so that an escape cannot be forged. A terminal that shows the log
// is never driven by what a client sent, and one entry stays one line.
QString escapeForLog(QStringView field);

} // namespace tarnix::service
