#pragma once

#include <optional>

#include <QString>
#include <QStringView>

namespace tarnix::service {

// The last word on a translation, trusting nothing of the masking: the
// directives of `translation` (found with the same grammar, identifiers and
// quoted code aside) must be those of `source` as a multiset, and the ones
// that take the next argument ("%s", "%*d", "{}") must keep their order;
// numbered and named ones ("%2$s", "%1", "{name}") may move. Empty when they
// agree; otherwise what differs, naming the placeholder.
std::optional<QString> placeholderMismatch(QStringView source, QStringView translation);

} // namespace tarnix::service
