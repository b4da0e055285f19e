#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QDateTime>
#include <QString>
#include <QStringList>

namespace tarnix::fill {

// What a file was when it was read, to tell whether it changed since.
struct FileStamp
{
    bool exists = false;
    qint64 size = 0;
    QDateTime modified;
    QByteArray digest; // SHA-256 of the content
    bool crlf = false; // its lines end in CR LF
};

// Reads the file a path names (through its links).
FileStamp stampOf(const QString &path);

// Whether a text ends most of its lines with CR LF, as files written on
// Windows do.
bool usesCrlf(QByteArrayView text);
// The text with every line feed that no carriage return precedes written as
// CR LF, so that a file read with CR LF comes back with CR LF throughout.
QByteArray withCrlf(QByteArrayView text);

// The file a path names once its symbolic links are followed: the catalog
// to replace, beside which the temporary file goes. The path itself when it
// is no link; a link's target when that does not exist yet.
QString linkTarget(const QString &path);

// Where a result goes when its catalog changed on disk during the run:
// "po/es.po" -> "po/es.tarnix-fill.po", never an existing file.
QString besidePath(const QString &path);

// The temporary files beside `file` that a run of this program left when it
// was killed before renaming them (".es.po.PID.XXXXXX", PID no longer
// running): removed; their names.
QStringList removeStaleTemporaries(const QString &file);

// What writeReplacing() did.
struct Written
{
    QString error; // empty on success; else why not ("cannot write: no space left on device")
    QString placed; // where the catalog went: `path`, or besidePath() of it
    QString note; // something kept short of the original, for the user ("its owner could not be kept: …")
};

// Puts `bytes` in place of the file `path` names (through its links): written
// to a temporary file beside it, every write checked, its size and content
// read back, given the original's owner, group and mode (or the usual mode
// for a new file), synced to disk and renamed over it. When the file no
// longer matches `stamp` (someone changed it during the run) it is left
// alone and the result goes to besidePath() instead. On any failure the
// original stays as it was and the temporary file is removed.
Written writeReplacing(const QByteArray &bytes, const QString &path, const FileStamp &stamp);

} // namespace tarnix::fill
