#include "fill/reviewcommands.h"

#include <cstdio>

#include <QSet>

#include "fill/formatfor.h"
#include "fill/options.h"
#include "fill/review.h"
#include "fill/safewrite.h"

using namespace Qt::StringLiterals;

namespace tarnix::fill {

namespace {

void sayError(const QString &text)
{
    std::fputs(("tarnix-fill: "_L1 + text + u'\n').toLocal8Bit().constData(), stderr);
}

// A catalog and what awaits review in it.
struct Reviewed
{
    std::unique_ptr<CatalogFormat> format;
    Catalog catalog;
    QList<ReviewItem> record; // for a format without marks of its own
    FileStamp recordStamp;
};

std::optional<Reviewed> readReviewed(const QString &path, const Options &options, QString &error)
{
    const FormatInfo *info = formatFor(path);
    if (!info) {
        error = path + u":0: not a catalog (tarnix-fill reads %1 files)"_s.arg(readableFiles());
        return std::nullopt;
    }
    Reviewed reviewed;
    reviewed.format = info->make();
    CatalogFiles files {path, options.source};
    if (files.source.isEmpty() && info->sourceFor)
        files.source = info->sourceFor(path, options.sourceLanguage);
    if (!reviewed.format->read(files, reviewed.catalog, error))
        return std::nullopt;
    if (!reviewed.format->marksReview()) {
        auto record = readRecord(path, reviewed.recordStamp, error);
        if (!record)
            return std::nullopt;
        reviewed.record = *record;
    }
    return reviewed;
}

} // namespace

int listUnreviewed(const Options &options)
{
    bool failed = false;
    bool found = false;
    for (const QString &path : options.files) {
        QString error;
        const auto reviewed = readReviewed(path, options, error);
        if (!reviewed) {
            sayError(error);
            failed = true;
            continue;
        }
        const QList<Entry> &entries = reviewed->catalog.entries;
        for (int index : unreviewedEntries(entries, reviewed->format->marksReview(), reviewed->record)) {
            const Entry &entry = entries[index];
            const QString where = entry.line > 0 ? u"%1:%2"_s.arg(path).arg(entry.line) : path;
            std::puts(qPrintable(where + u": "_s + escapedField(entry.key)));
            found = true;
        }
    }
    std::fflush(stdout);
    return failed ? 2 : found ? 1 : 0;
}

int acceptEntries(const Options &options)
{
    const QString &path = options.files.first();
    QStringList keys;
    for (const QString &written : options.keys) {
        const auto key = unescapedField(written);
        if (!key) {
            sayError(u"--accept %1: a backslash starts \\\\, \\t, \\n, \\r or \\uXXXX in a key"_s.arg(written));
            return 2;
        }
        keys.append(*key);
    }
    const FileStamp stamp = stampOf(path);
    QString error;
    auto reviewed = readReviewed(path, options, error);
    if (!reviewed) {
        sayError(error);
        return 2;
    }
    const QList<Entry> &entries = reviewed->catalog.entries;
    const bool marks = reviewed->format->marksReview();
    const QList<int> unreviewed = unreviewedEntries(entries, marks, reviewed->record);
    QSet<QString> known;
    QList<int> ids;
    for (int index : unreviewed) {
        if (keys.contains(entries[index].key))
            ids.append(entries[index].id);
    }
    for (const Entry &entry : entries)
        known.insert(entry.key);
    for (qsizetype i = 0; i < keys.size(); ++i) {
        if (!known.contains(keys[i])) {
            sayError(u"%1:0: no entry has the key %2; nothing accepted"_s.arg(path, options.keys[i]));
            return 2;
        }
    }
    if (ids.isEmpty()) {
        sayError(u"%1: nothing to accept: those entries await no review"_s.arg(path));
        return 0;
    }
    if (!marks) {
        const QString why = putRecord(path, withoutKeys(reviewed->record, keys), reviewed->recordStamp);
        if (!why.isEmpty()) {
            sayError(why + u"; nothing accepted"_s);
            return 2;
        }
        return 0;
    }
    WriteResult result = reviewed->format->accept(ids);
    if (!result.ok) {
        sayError(result.error);
        return 2;
    }
    if (stamp.crlf)
        result.bytes = withCrlf(result.bytes);
    const Written written = writeReplacing(result.bytes, path, stamp);
    if (!written.error.isEmpty()) {
        sayError(u"%1:0: %2; the catalog is left as it was"_s.arg(path, written.error));
        return 2;
    }
    if (!written.note.isEmpty())
        sayError(u"%1: %2"_s.arg(written.placed, written.note));
    if (written.placed != path) {
        sayError(u"%1 changed on disk meanwhile and is left as it is; the accepted catalog is %2"_s.arg(
            path, written.placed));
        return 2;
    }
    return 0;
}

} // namespace tarnix::fill
