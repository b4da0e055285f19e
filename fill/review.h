#pragma once

#include <optional>

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

namespace tarnix::fill {

struct Entry;
struct FileStamp;

// One machine-filled entry that awaits a person: its key (Entry::key) and
// the forms the machine wrote.
struct ReviewItem
{
    QString key;
    QStringList forms;
    // Where a person's translation came from (Fill::origin), for its
    // reviewer; empty for an engine's.
    QString origin = {};
    friend bool operator==(const ReviewItem &, const ReviewItem &) = default;
};

// The review record of a catalog whose format has no review mark of its
// own: "locales/de.json" -> "locales/de.json.tarnix-review".
QString reviewRecordPath(const QString &catalog);

// A key or a text as one field of one line: backslash, tab, line breaks and
// every other control or line-separating character escaped (\\, \t, \n, \r,
// \uXXXX). Keys are named on the command line in this form too.
QString escapedField(const QString &text);
// The field's text; nullopt for an escape the record never writes.
std::optional<QString> unescapedField(QStringView field);

// The record's bytes: a header line, then one line per item sorted by key,
// "key<TAB>form<TAB>form...", and for an item with an origin a last field
// "\\#" and the origin, escaped as the forms are (no escaped text starts
// with "\\#", so records without origins read as before). No items: no bytes.
QByteArray serialisedRecord(QList<ReviewItem> items);
// The items of a record; nullopt with the 1-based line of a line that is none.
std::optional<QList<ReviewItem>> parsedRecord(const QByteArray &bytes, int &badLine);

// Whether an entry still holds what the machine wrote: no person has
// changed it since.
bool holdsMachineText(const Entry &entry, const ReviewItem &item);

// The record after a run: of the items read, those whose entries still
// hold the machine's text (as the catalog was read), then the run's fills,
// which replace items of the same key.
QList<ReviewItem> mergedRecord(
    const QList<ReviewItem> &record, const QList<Entry> &entries, const QList<ReviewItem> &filled);

// The indices of the entries a person has still to review: those the format
// marks (PO fuzzy, TS unfinished, XLIFF needs-review) when it marks them,
// else those the record lists that still hold the machine's text.
QList<int> unreviewedEntries(const QList<Entry> &entries, bool marksReview, const QList<ReviewItem> &record);

// The record without the items of these keys: accepted by a person.
QList<ReviewItem> withoutKeys(const QList<ReviewItem> &record, const QStringList &keys);

// The record beside a catalog, read, and its stamp for putRecord(): empty
// when there is none; nullopt with "file:line: what" when it cannot be read
// or is malformed.
std::optional<QList<ReviewItem>> readRecord(const QString &catalog, FileStamp &stamp, QString &error);
// Puts the record beside a catalog with the safe write (removes it when no
// item is left); `stamp` is the record's as it was read. Empty, or why not.
QString putRecord(const QString &catalog, const QList<ReviewItem> &items, const FileStamp &stamp);

} // namespace tarnix::fill
