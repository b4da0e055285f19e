#include "fill/safewrite.h"

#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

#include <QCryptographicHash>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryFile>

using namespace Qt::StringLiterals;

namespace tarnix::fill {

namespace {

bool syncFile(const QString &path)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    const bool ok = ::fsync(fd) == 0;
    ::close(fd);
    return ok;
}

void syncDirectory(const QString &path)
{
    const int fd = ::open(QFile::encodeName(QFileInfo(path).absolutePath()).constData(), O_RDONLY | O_DIRECTORY);
    if (fd >= 0) {
        ::fsync(fd); // the rename itself on disk; a failure here loses nothing already written
        ::close(fd);
    }
}

} // namespace

FileStamp stampOf(const QString &path)
{
    FileStamp stamp;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return stamp;
    stamp.exists = true;
    stamp.size = file.size();
    stamp.modified = QFileInfo(file).lastModified();
    QCryptographicHash hash(QCryptographicHash::Sha256);
    hash.addData(&file);
    stamp.digest = hash.result();
    return stamp;
}

QString temporaryBeside(const QString &path)
{
    QTemporaryFile file(QFileInfo(path).absolutePath() + u"/."_s + QFileInfo(path).fileName() + u".XXXXXX"_s);
    file.setAutoRemove(false);
    if (!file.open())
        return {};
    return file.fileName();
}

QString besidePath(const QString &path)
{
    const QFileInfo info(path);
    const QString stem = info.absolutePath() + u'/' + info.completeBaseName() + u".tarnix-fill"_s;
    const QString suffix = info.suffix().isEmpty() ? QString() : u'.' + info.suffix();
    QString candidate = stem + suffix;
    for (int n = 2; QFileInfo::exists(candidate); ++n)
        candidate = stem + QString::number(n) + suffix;
    return candidate;
}

QString replaceFile(const QString &temporary, const QString &path, const FileStamp &stamp, QString &placed)
{
    const auto fail = [&](const QString &why) {
        QFile::remove(temporary);
        return why;
    };
    if (!syncFile(temporary))
        return fail(u"cannot sync %1 to disk"_s.arg(temporary));
    const QFileInfo original(path);
    const QFile::Permissions permissions = original.exists()
        ? original.permissions()
        : QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup | QFile::ReadOther;
    if (!QFile::setPermissions(temporary, permissions))
        return fail(u"cannot set the permissions of %1"_s.arg(temporary));
    const FileStamp now = stampOf(path);
    const bool changed = now.exists != stamp.exists || now.size != stamp.size || now.modified != stamp.modified
        || now.digest != stamp.digest;
    placed = changed ? besidePath(path) : path;
    if (::rename(QFile::encodeName(temporary).constData(), QFile::encodeName(placed).constData()) != 0)
        return fail(u"cannot rename %1 to %2"_s.arg(temporary, placed));
    syncDirectory(placed);
    return {};
}

} // namespace tarnix::fill
