#pragma once

#include <utility>

#include <QList>
#include <QRegularExpression>
#include <QStringList>
#include <QStringView>

#include "service/text/glossary.h"

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

    // These terms and, for engines without a glossary of their own, the
    // glossary's: those are masked like kept terms and come back as the
    // team's translation (the term as written only; a plural the glossary
    // does not list is left to the engine and checked in its answer).
    KeptTerms withGlossary(const Glossary &glossary) const;

    bool isEmpty() const { return terms.isEmpty() && swapped.isEmpty(); }
    // Start and length of each term in `text` as a whole word (no letter,
    // digit or '_' right before or after it), left to right, none
    // overlapping; the longest term wins where two start at the same place.
    QList<std::pair<qsizetype, qsizetype>> find(QStringView text) const;

    // What stands for a found term once translated: the glossary's
    // translation, or the term itself.
    struct Found
    {
        qsizetype start = 0;
        qsizetype length = 0;
        QString translation; // null for a kept term
    };
    QList<Found> findWithTranslations(QStringView text) const;

private:
    QStringList terms;
    QRegularExpression pattern;
    Glossary swapped;
};

} // namespace tarnix::service
