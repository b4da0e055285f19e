#pragma once

#include <optional>

#include <QString>
#include <QStringList>

// The fixed list of languages the program offers, as two parallel
// comma-separated strings: the i-th code and the i-th name are one language.
namespace tarnix::catalogue {

inline constexpr char16_t codesString[] = u"en,zh_CN,zh_TW,es,fr,ru,uk,de,ja,kr,it,po,ro,pt,ar,iw,tr,id,hi,vi,fa";
inline constexpr char16_t namesString[] =
    u"English,Simplified Chinese,Traditional Chinese,Spanish,French,Russian,Ukrainian,German,Japanese,Korean,"
    u"Italian,Polish,Romanian,Portuguese,Arabic,Hebrew,Turkish,Indonesian,Hindi,Vietnamese,Persian";

// Both lists are split afresh on every call, in catalogue order.
QStringList codes();
QStringList names();

// Exact, case-sensitive look-ups; empty when the key is not in the catalogue.
std::optional<QString> nameOfCode(const QString &code);
std::optional<QString> codeOfName(const QString &name);

} // namespace tarnix::catalogue
