#include "fill/safewrite.h"

#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

#include "fill/formats/catalog.h"

using namespace Qt::StringLiterals;

namespace tarnix::fill {

namespace {

QByteArray encoded(const QString &path)
{
    return QFile::encodeName(path);
}

void syncDirectory(const QString &path)
{
    const int fd = ::open(encoded(QFileInfo(path).absolutePath()).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd); // the rename itself on disk; a failure here loses nothing already written
        ::close(fd);
    }
}

bool writeAll(int fd, QByteArrayView bytes)
{
    const char *at = bytes.data();
    qsizetype left = bytes.size();
    while (left > 0) {
        const ssize_t n = ::write(fd, at, size_t(left));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            if (n == 0)
                errno = EIO;
            return false;
        }
        at += n;
        left -= n;
    }
    return true;
}

// Files are read a slice at a time: a large catalog is not held again.
constexpr qint64 slice = 1 << 20;

// Whether a file holds exactly these bytes now, as read back from the disk.
bool holds(const QString &path, QByteArrayView bytes)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly) || file.size() != bytes.size())
        return false;
    QByteArray buffer(slice, Qt::Uninitialized);
    for (qsizetype at = 0; at < bytes.size();) {
        const qint64 n = file.read(buffer.data(), std::min<qint64>(slice, bytes.size() - at));
        if (n <= 0 || QByteArrayView(buffer.constData(), n) != bytes.sliced(at, n))
            return false;
        at += n;
    }
    return file.atEnd();
}

// The temporary files of one catalog: ".NAME.PID.XXXXXX".
QString temporaryPrefix(const QString &file)
{
    return u'.' + QFileInfo(file).fileName() + u'.';
}

} // namespace

FileStamp stampOf(const QString &path)
{
    FileStamp stamp;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return stamp;
    QCryptographicHash digest(QCryptographicHash::Sha256);
    QByteArray buffer(slice, Qt::Uninitialized);
    qsizetype lines = 0;
    qsizetype crlfs = 0;
    char last = 0;
    for (qint64 n; (n = file.read(buffer.data(), slice)) > 0;) {
        const QByteArrayView part(buffer.constData(), n);
        digest.addData(part);
        lines += part.count('\n');
        crlfs += part.count("\r\n") + (last == '\r' && part.front() == '\n');
        stamp.size += n;
        last = part.back();
    }
    stamp.exists = true;
    stamp.modified = QFileInfo(file).lastModified();
    stamp.digest = digest.result();
    stamp.crlf = lines > 0 && crlfs * 2 > lines; // as usesCrlf() reads it
    return stamp;
}

bool usesCrlf(QByteArrayView text)
{
    const qsizetype lines = text.count('\n');
    return lines > 0 && text.count("\r\n") * 2 > lines;
}

QByteArray withCrlf(QByteArrayView text)
{
    QByteArray out;
    out.reserve(text.size() + text.size() / 16);
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] == '\n' && (i == 0 || text[i - 1] != '\r'))
            out += '\r';
        out += text[i];
    }
    return out;
}

QString linkTarget(const QString &path)
{
    QString current = QFileInfo(path).absoluteFilePath();
    // As the system resolves them, up to its own limit of links in a row.
    for (int hops = 0; hops < 40; ++hops) {
        const QFileInfo info(current);
        if (!info.isSymLink())
            return current;
        QString target = info.symLinkTarget();
        if (target.isEmpty())
            return current;
        current = QDir::cleanPath(target);
    }
    return current;
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

QStringList removeStaleTemporaries(const QString &file)
{
    const QFileInfo info(file);
    static const QRegularExpression tail(u"^(\\d+)\\.[A-Za-z0-9]{6}$"_s);
    const QString prefix = temporaryPrefix(file);
    QStringList removed;
    const QStringList candidates =
        info.dir().entryList({prefix + u'*'}, QDir::Files | QDir::Hidden | QDir::System | QDir::NoSymLinks);
    for (const QString &name : candidates) {
        const QRegularExpressionMatch match = tail.match(QStringView(name).sliced(prefix.size()));
        const pid_t pid = match.hasMatch() ? pid_t(match.captured(1).toLongLong()) : 0;
        // Only a process that is gone: a live one (another run on the same
        // catalog) is still writing its file.
        if (pid <= 0 || pid == ::getpid() || ::kill(pid, 0) == 0 || errno != ESRCH)
            continue;
        if (QFile::remove(info.dir().filePath(name)))
            removed.append(name);
    }
    return removed;
}

Written writeReplacing(const QByteArray &bytes, const QString &path, const FileStamp &stamp)
{
    Written result;
    const QString target = linkTarget(path);
    struct stat original
    {
    };
    const bool exists = ::stat(encoded(target).constData(), &original) == 0;

    QByteArray temporary = encoded(
        QFileInfo(target).absolutePath() + u'/' + temporaryPrefix(target) + QString::number(::getpid()) + u".XXXXXX"_s);
    int fd = ::mkostemp(temporary.data(), O_CLOEXEC);
    if (fd < 0) {
        result.error = u"cannot create a temporary file beside it: "_s + systemError(errno);
        return result;
    }
    const QString temporaryName = QFile::decodeName(temporary);
    const auto fail = [&](const QString &what, int error) {
        if (fd >= 0)
            ::close(fd);
        ::unlink(temporary.constData());
        result.error = what + u": "_s + systemError(error);
        return result;
    };

    if (!writeAll(fd, bytes))
        return fail(u"cannot write"_s, errno);
    if (exists) {
        // Root writing a user's catalog gives it back to the user; anyone
        // else can keep at least the group when they belong to it.
        if (::fchown(fd, original.st_uid, original.st_gid) != 0 && original.st_uid != ::geteuid()) {
            result.note = u"its owner could not be kept: "_s + systemError(errno);
            [[maybe_unused]] const int group = ::fchown(fd, uid_t(-1), original.st_gid);
        }
        if (::fchmod(fd, original.st_mode & 07777) != 0)
            return fail(u"cannot set the permissions of the new file"_s, errno);
    } else {
        const mode_t mask = ::umask(0);
        ::umask(mask);
        if (::fchmod(fd, 0666 & ~mask) != 0)
            return fail(u"cannot set the permissions of the new file"_s, errno);
    }
    // A full disk can show only here: some filesystems take the space when
    // the data is synced, not when it is written.
    if (::fsync(fd) != 0)
        return fail(u"cannot write"_s, errno);
    struct stat written
    {
    };
    if (::fstat(fd, &written) != 0)
        return fail(u"cannot write"_s, errno);
    if (written.st_size != bytes.size())
        return fail(u"cannot write"_s, EIO);
    const int closed = ::close(fd);
    fd = -1;
    if (closed != 0)
        return fail(u"cannot write"_s, errno);
    if (!holds(temporaryName, bytes))
        return fail(u"what was written does not read back the same"_s, EIO);

    const FileStamp now = stampOf(target);
    const bool changed = now.exists != stamp.exists || now.size != stamp.size || now.modified != stamp.modified
        || now.digest != stamp.digest;
    const QString destination = changed ? besidePath(target) : target;
    if (::rename(temporary.constData(), encoded(destination).constData()) != 0)
        return fail(u"cannot put the new file in place"_s, errno);
    syncDirectory(destination);
    result.placed = changed ? destination : path;
    return result;
}

} // namespace tarnix::fill
