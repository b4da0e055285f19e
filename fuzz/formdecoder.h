#pragma once

#include <optional>

#include <QByteArray>
#include <QList>
#include <QPair>

class QByteArrayView;

namespace tarnix::fuzz {

// An application/x-www-form-urlencoded body split into its fields, in order,
// with keys and values percent-decoded ('+' is a space). Empty when the body
// holds a '%' not followed by two hex digits or a field without '='.
std::optional<QList<QPair<QByteArray, QByteArray>>> decodeForm(QByteArrayView body);

} // namespace tarnix::fuzz
