#pragma once

#include <QChar>
#include <QList>
#include <QString>
#include <QStringList>
#include <QStringView>

namespace tarnix::fill {

struct Entry;

// Keyboard accelerators as catalogs write them: a marker character before
// the letter that becomes the key ("&Open" in Qt and KDE, "_Open" in GTK),
// and the marker doubled for the character itself ("Save && Quit"). An
// engine must see the label a user sees ("Open", "Save & Quit"): a marker
// inside a word splits it in two ("La&bel" is "La" and "bel" to it).

// Where the accelerator marks of `text` are: each a lone marker before a
// letter or digit that no placeholder, entity, abbreviation or identifier
// holds ("&amp;", "R&D", "POSIXLY_CORRECT", "--no_color", "%_H" are none).
// An underscore inside a word marks only a capitalised plain word
// ("Pr_eferences", not "file_name"). A label has one mark; a text with two
// is no label this code can read.
QList<qsizetype> acceleratorMarks(QStringView text, QChar marker);

// The label `text` shows when it has exactly one mark: without the mark, and
// each doubled marker single. Any other text is returned as it is.
QString withoutAccelerator(QStringView text, QChar marker);

// The translation of `source`'s label written as a label again, with the
// source's accelerator: the markers the translation holds doubled, and one
// mark before the source's key where the translation has that letter (case
// aside, a word start first), else before its first letter; never inside a
// placeholder. A translation in a script typed through an input method
// (Chinese, Japanese, Korean) without the key gets it after the text, as
// "打开(&O)...". A source without exactly one mark leaves the translation
// as it is.
QString withAcceleratorOf(QStringView source, QStringView translation, QChar marker);

// --check: one line for each translation of the entry whose source has an
// accelerator and which has none or more than one, naming the source's
// accelerator and what the translation has instead. The source being a
// label, the translation's marks are read as the toolkit reads a label's:
// a lone marker before any letter or digit outside directives.
QStringList acceleratorMismatches(const Entry &entry);

// The accelerator marker of a PO catalog, from its header (the msgstr of
// its empty msgid) and its entries: the header's X-Accelerator-Marker
// outright (empty: none); '&' for a KDE or Qt catalog (kde-format or
// qt-format entries, Lokalize or KBabel as its generator, lconvert's
// X-Qt-Contexts), or for one more of whose entries have one '&' mark than
// one '_' mark; otherwise GTK's '_'.
QChar poAcceleratorMarker(const QString &header, const QList<Entry> &entries);

} // namespace tarnix::fill
