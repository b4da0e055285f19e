#pragma once

#include <QString>
#include <QStringView>

#include "reply/entities.h"

class QByteArray;

namespace tarnix {

// The part of a reply page that holds the translation: from the first
// "<span id=result_box" to the first "<div id=gt-res-tools" after it. Without
// the start marker it begins at the page's start, without the end marker it
// runs to the page's end.
QStringView cutTranslation(QStringView page);

// The text of a cut page: tags dropped, a '>' outside a tag dropped, character
// references decoded where they stand for a character and kept as written
// otherwise. Linear in the length of the cut.
QString cleanText(QStringView kept, const EntityTable &table);

// A reply page (UTF-8, whatever its headers say) reduced to its translation.
QString extractTranslation(const QByteArray &page, const EntityTable &table);

} // namespace tarnix
