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

} // namespace tarnix::fill
