#pragma once

#include <QHash>
#include <QString>
#include <QStringView>

namespace tarnix {

// Character entity name -> code point, exact and case-sensitive.
using EntityTable = QHash<QString, int>;

// Fills the table with the 248 character entities of HTML 4.01 (Latin-1,
// symbol and special sets) less amp, lt, gt and Yuml, replacing what it held.
void fillEntityTable(EntityTable &table);

// What the body of one reference ("#65", "eacute") stands for: a decimal
// number gives that code point (one UTF-16 unit up to 65535, a surrogate pair
// up to 1114111), a name gives its table entry. Empty when it stands for no
// character: the caller then keeps the reference as written.
QString decodeEntity(const EntityTable &table, QStringView body);

// The same as a number: the code point the body stands for, or -1 for none.
int entityCodePoint(const EntityTable &table, QStringView body);

} // namespace tarnix
