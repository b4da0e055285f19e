#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>

namespace tarnix::fill {

// What a file was when it was read, to tell whether it changed since.
struct FileStamp
{
    bool exists = false;
    qint64 size = 0;
    QDateTime modified;
    QByteArray digest; // SHA-256 of the content
};

FileStamp stampOf(const QString &path);

// A temporary file's name beside `path` (same directory, so that a rename
// replaces it atomically); the file is created empty and private.
QString temporaryBeside(const QString &path);

// Where a result goes when its catalog changed on disk during the run:
// "po/es.po" -> "po/es.tarnix-fill.po", never an existing file.
QString besidePath(const QString &path);

// Puts a written temporary file in place of `path`: synced to disk, given
// the original's permissions (or the usual ones for a new file), renamed
// over it. When `path` no longer matches `stamp` (someone changed it during
// the run) it is left alone and the result is renamed to besidePath()
// instead; `placed` says where the result went. Empty on success, else why
// not, and the temporary file is removed.
QString replaceFile(const QString &temporary, const QString &path, const FileStamp &stamp, QString &placed);

} // namespace tarnix::fill
