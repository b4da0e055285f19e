#pragma once

#include <utility>

#include <QList>
#include <QRegularExpression>
#include <QStringList>
#include <QStringView>

namespace tarnix::service {

// The do-not-translate list: product and brand names ("Tarnix", "GNOME",
// "Wi-Fi") that every engine is shown masked, like placeholders, so they come
// back as written or the translation is refused.
class KeptTerms
{
public:
    KeptTerms() = default;
    // Blank entries are ignored; each term is matched case-sensitively.
    explicit KeptTerms(const QStringList &terms);

    bool isEmpty() const { return terms.isEmpty(); }
    // Start and length of each term in `text` as a whole word (no letter,
    // digit or '_' right before or after it), left to right, none
    // overlapping; the longest term wins where two start at the same place.
    QList<std::pair<qsizetype, qsizetype>> find(QStringView text) const;

private:
    QStringList terms;
    QRegularExpression pattern;
};

} // namespace tarnix::service
