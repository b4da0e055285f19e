#pragma once

#include <QString>
#include <QStringList>

#include "service/text/keptterms.h"

namespace tarnix::service {

// A text cut into pieces an engine translates whole. Engines cut or drop
// what is beyond their request size (APy translates at most ten chunks of a
// request), so a long text is sent in pieces and put back together here.
struct TextPieces
{
    QStringList pieces; // in order; none empty
    // The source's own white space between two pieces: separators[i] stands
    // between pieces[i] and pieces[i + 1]. Engines never see it.
    QStringList separators;
};

// Cuts `text` into pieces of at most `longest` UTF-16 units: at paragraph
// breaks first, then line breaks, sentence ends and other white space, never
// inside a placeholder, a kept term ("GNOME Shell": each piece is masked on
// its own) or a surrogate pair; a word longer than `longest` is cut where it
// must. A text that fits is one piece, exactly as given.
TextPieces splitText(const QString &text, qsizetype longest, const KeptTerms &terms = {});

// The pieces' translations put back together with the source's separators.
QString joinPieces(const QStringList &translated, const QStringList &separators);

} // namespace tarnix::service
