// SPDX-FileCopyrightText: 2026 Tessaly
// SPDX-License-Identifier: GPL-3.0-or-later

#include "base/SafeWrite.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QRegularExpression>

#include <cerrno>
#include <cstdio>
#include <ctime>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace inkveil {

namespace {

bool lstatPath(const QString &path, struct stat &info)
{
    return ::lstat(QFile::encodeName(path).constData(), &info) == 0;
}

// Creates a new file beside the target under a name nobody else holds; -1 with errno set when
// that fails. Made with 0666 less the umask, as any newly created file.
int createTemporary(const QByteArray &target, QByteArray &temporary)
{
    const qsizetype slash = target.lastIndexOf('/');
    const QByteArray folder = target.left(slash + 1);
    // Short enough that the temporary name fits wherever the target's name fits.
    const QByteArray name = target.mid(slash + 1).left(200);
    for (int attempt = 0; attempt < 100; ++attempt) {
        temporary = folder + '.' + name + '.' +
                    QByteArray::number(QRandomGenerator::global()->generate(), 36) + ".tmp";
        const int fd = ::open(temporary.constData(),
                              O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0666);
        // Locked for as long as it is open: the lock ends with the writer, even when it is
        // killed, which is how a later run tells a temporary file left behind.
        if (fd >= 0)
            ::flock(fd, LOCK_EX);
        if (fd >= 0 || errno != EEXIST)
            return fd;
    }
    return -1;
}

// Renames without replacing; where the file system has no such rename, a hard link does the
// same (it fails on an existing entry too).
int renameNoReplace(const QByteArray &from, const QByteArray &to)
{
    if (::renameat2(AT_FDCWD, from.constData(), AT_FDCWD, to.constData(), RENAME_NOREPLACE) == 0)
        return 0;
    if (errno != EINVAL && errno != ENOSYS)
        return errno;
    if (::link(from.constData(), to.constData()) != 0)
        return errno;
    ::unlink(from.constData());
    return 0;
}

} // namespace

namespace SafeWrite {

QString errorText(int error)
{
    QString text = qt_error_string(error);
    if (!text.endsWith(QLatin1Char('.')))
        text += QLatin1Char('.');
    return text;
}

QString linkReason()
{
    return QStringLiteral("A symbolic link is in its place; links are never followed.");
}

bool entryExists(const QString &path)
{
    struct stat info
    {
    };
    return lstatPath(path, info);
}

bool isSymLink(const QString &path)
{
    struct stat info
    {
    };
    return lstatPath(path, info) && S_ISLNK(info.st_mode);
}

namespace {

Error systemError(const int error)
{
    return {errorText(error), error};
}

// 0 or the system's error number.
int writeAllBytes(int fd, const QByteArray &bytes)
{
    const char *data = bytes.constData();
    qsizetype left = bytes.size();
    while (left > 0) {
        const ssize_t written = ::write(fd, data, static_cast<size_t>(left));
        if (written < 0) {
            if (errno == EINTR)
                continue;
            return errno;
        }
        if (written == 0)
            return ENOSPC;
        data += written;
        left -= written;
    }
    return 0;
}

} // namespace

Status writeAll(int fd, const QByteArray &bytes)
{
    if (const int error = writeAllBytes(fd, bytes); error != 0)
        return systemError(error);
    return {};
}

Status makeFolders(const QString &path)
{
    if (QDir().mkpath(path))
        return {};
    // Qt gives no reason: making the highest missing level again tells it.
    QString missing = QDir::cleanPath(QDir::current().absoluteFilePath(path));
    for (QString parent = QFileInfo(missing).path(); parent != missing && !entryExists(parent);
         parent = QFileInfo(missing).path())
        missing = parent;
    if (::mkdir(QFile::encodeName(missing).constData(), 0777) != 0)
        return systemError(errno);
    return systemError(ENOTDIR);
}

Status probeFolder(const QString &folder)
{
    QByteArray temporary;
    const int fd = createTemporary(QFile::encodeName(folder) + "/inkveil-probe", temporary);
    if (fd < 0)
        return systemError(errno);
    int error = writeAllBytes(fd, QByteArray(1, '\0'));
    if (::close(fd) != 0 && error == 0)
        error = errno;
    ::unlink(temporary.constData());
    if (error != 0)
        return systemError(error);
    return {};
}

int removeStaleTemporaries(const QString &folder)
{
    // Our temporary names: "." + the target's name + "." + a base-36 number + ".tmp".
    static const QRegularExpression ours(QStringLiteral("^\\..+\\.[0-9a-z]{1,7}\\.tmp$"));
    struct timespec now
    {
    };
    ::clock_gettime(CLOCK_REALTIME, &now);
    int removed = 0;
    const QStringList names = QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::System);
    for (const QString &name : names) {
        if (!ours.match(name).hasMatch())
            continue;
        const QByteArray path = QFile::encodeName(folder + QLatin1Char('/') + name);
        const int fd = ::open(path.constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0)
            continue;
        struct stat info
        {
        };
        // Older than this run, and no writer holds it.
        const bool stale =
            ::fstat(fd, &info) == 0 && S_ISREG(info.st_mode) &&
            (info.st_mtim.tv_sec < now.tv_sec ||
             (info.st_mtim.tv_sec == now.tv_sec && info.st_mtim.tv_nsec < now.tv_nsec)) &&
            ::flock(fd, LOCK_EX | LOCK_NB) == 0;
        if (stale && ::unlink(path.constData()) == 0)
            ++removed;
        ::close(fd);
    }
    return removed;
}

Result<Outcome> write(const QString &path, const QByteArray &bytes, bool replace)
{
    const QByteArray target = QFile::encodeName(path);
    struct stat info
    {
    };
    if (lstatPath(path, info)) {
        if (S_ISLNK(info.st_mode))
            return Error{linkReason(), ELOOP};
        if (!replace)
            return Outcome::Exists;
    }

    QByteArray temporary;
    const int fd = createTemporary(target, temporary);
    if (fd < 0)
        return systemError(errno);
    int error = writeAllBytes(fd, bytes);
    // On disk before it takes the target's place, so a crash leaves the old file or the new.
    if (error == 0 && ::fdatasync(fd) != 0)
        error = errno;
    if (::close(fd) != 0 && error == 0)
        error = errno;
    if (error == 0) {
        if (replace)
            error = ::rename(temporary.constData(), target.constData()) == 0 ? 0 : errno;
        else
            error = renameNoReplace(temporary, target);
    }
    if (error == 0)
        return Outcome::Written;
    ::unlink(temporary.constData());
    if (error == EEXIST && !replace)
        return Outcome::Exists;
    return systemError(error);
}

} // namespace SafeWrite

} // namespace inkveil
