#pragma once

namespace tarnix::fill {

struct Options;

// --unreviewed: prints "file:line: key" (the line left out where the format
// has none) for every machine-filled entry of the files not yet reviewed.
// 0 when there is none, 1 when some are listed, 2 when a file could not be
// read (the others are still listed).
int listUnreviewed(const Options &options);

// --accept: marks the entries of the file named by the keys as reviewed,
// clearing the format's own mark or removing them from the review record.
// 0 on success; 2, with nothing written, when a key names no entry or the
// file cannot be read or written.
int acceptEntries(const Options &options);

// --learn: posts the reviewed translations of the files to the service's
// POST /learn, as people's translations: entries translated, not marked for
// review (fuzzy, unfinished, needs-review) and not machine-filled awaiting
// review (the review record), each keyed by what tarnix-fill asks for it
// (the label without its accelerator, the entry's context and notes). Plural
// entries and ICU messages are left out: the service keeps one translation
// per text. The note is the catalog's project (PO Project-Id-Version), else
// its file name. 0 when every file was learnt; 2 when a file could not be
// read or the service did not store its translations.
int learnReviewed(const Options &options);

} // namespace tarnix::fill
