// SPDX-FileCopyrightText: 2026 Tessaly
// SPDX-License-Identifier: GPL-3.0-or-later

#include "base/SafeWrite.h"

#include "base/RegularFile.h"

#include <QDir>
#include <QRandomGenerator>
#include <QRegularExpression>

#include <cerrno>
#include <cstdio>
#include <ctime>
#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace inkveil {

namespace {

bool lstatPath(const QString &path, struct stat &info)
{
    return ::lstat(RegularFile::encodeName(path).constData(), &info) == 0;
}

// Creates a new file in the folder beside `name` under a name nobody else holds; -1 with errno
// set when that fails. Made with 0666 less the umask, as any newly created file.
int createTemporary(int folder, const QByteArray &name, QByteArray &temporary)
{
    // Short enough that the temporary name fits wherever the target's name fits.
    const QByteArray stem = name.left(200);
    for (int attempt = 0; attempt < 100; ++attempt) {
        temporary = '.' + stem + '.' +
                    QByteArray::number(QRandomGenerator::global()->generate(), 36) + ".tmp";
        const int fd = ::openat(folder, temporary.constData(),
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
int renameNoReplace(int folder, const QByteArray &from, const QByteArray &to)
{
    if (::renameat2(folder, from.constData(), folder, to.constData(), RENAME_NOREPLACE) == 0)
        return 0;
    if (errno != EINVAL && errno != ENOSYS)
        return errno;
    if (::linkat(folder, from.constData(), folder, to.constData(), 0) != 0)
        return errno;
    ::unlinkat(folder, from.constData(), 0);
    return 0;
}

Error systemError(const int error)
{
    if (error == ELOOP)
        return {SafeWrite::linkReason(), ELOOP};
    return {SafeWrite::errorText(error), error};
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

// Older than `now`, by its modification time.
bool modifiedBefore(const struct stat &info, const struct timespec &now)
{
    return info.st_mtim.tv_sec < now.tv_sec ||
           (info.st_mtim.tv_sec == now.tv_sec && info.st_mtim.tv_nsec < now.tv_nsec);
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

bool isFolder(const QString &path)
{
    struct stat info
    {
    };
    return ::stat(RegularFile::encodeName(path).constData(), &info) == 0 && S_ISDIR(info.st_mode);
}

Folder::Folder(Folder &&other) noexcept
    : m_fd(std::exchange(other.m_fd, -1))
{}

Folder &Folder::operator=(Folder &&other) noexcept
{
    if (this != &other) {
        if (m_fd >= 0)
            ::close(m_fd);
        m_fd = std::exchange(other.m_fd, -1);
    }
    return *this;
}

Folder::~Folder()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

// O_PATH: a folder the user may write into but not list still takes outputs.
Result<Folder> Folder::open(const QString &path)
{
    const QByteArray native = path.isEmpty() ? QByteArray(".") : RegularFile::encodeName(path);
    const int fd = ::open(native.constData(), O_PATH | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return systemError(errno);
    return Folder(fd);
}

Result<Folder> Folder::openChild(const QString &name) const
{
    const QByteArray native = RegularFile::encodeName(name);
    const int fd =
        ::openat(m_fd, native.constData(), O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) {
        // A link there is "not a folder" to this open; it is told as the link it is.
        const int error = errno;
        struct stat info
        {
        };
        if (::fstatat(m_fd, native.constData(), &info, AT_SYMLINK_NOFOLLOW) == 0 &&
            S_ISLNK(info.st_mode))
            return Error{linkReason(), ELOOP};
        return systemError(error);
    }
    return Folder(fd);
}

Result<Outcome> Folder::write(const QString &name, const QByteArray &bytes, bool replace) const
{
    const QByteArray target = RegularFile::encodeName(name);
    struct stat info
    {
    };
    if (::fstatat(m_fd, target.constData(), &info, AT_SYMLINK_NOFOLLOW) == 0) {
        if (S_ISLNK(info.st_mode))
            return Error{linkReason(), ELOOP};
        if (!replace)
            return Outcome::Exists;
    }

    QByteArray temporary;
    const int fd = createTemporary(m_fd, target, temporary);
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
            error =
                ::renameat(m_fd, temporary.constData(), m_fd, target.constData()) == 0 ? 0 : errno;
        else
            error = renameNoReplace(m_fd, temporary, target);
    }
    if (error == 0)
        return Outcome::Written;
    ::unlinkat(m_fd, temporary.constData(), 0);
    if (error == EEXIST && !replace)
        return Outcome::Exists;
    return systemError(error);
}

Status Folder::probe() const
{
    QByteArray temporary;
    const int fd = createTemporary(m_fd, "inkveil-probe", temporary);
    if (fd < 0)
        return systemError(errno);
    int error = writeAllBytes(fd, QByteArray(1, '\0'));
    if (::close(fd) != 0 && error == 0)
        error = errno;
    ::unlinkat(m_fd, temporary.constData(), 0);
    if (error != 0)
        return systemError(error);
    return {};
}

int Folder::removeStaleTemporaries() const
{
    // Our temporary names: "." + the target's name + "." + a base-36 number + ".tmp".
    static const QRegularExpression ours(QStringLiteral("^\\..+\\.[0-9a-z]{1,7}\\.tmp$"));
    struct timespec now
    {
    };
    ::clock_gettime(CLOCK_REALTIME, &now);
    const int listed = ::openat(m_fd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    DIR *dir = listed < 0 ? nullptr : ::fdopendir(listed);
    if (!dir) {
        if (listed >= 0)
            ::close(listed);
        return 0;
    }
    int removed = 0;
    while (const dirent *entry = ::readdir(dir)) {
        const QByteArray name(entry->d_name);
        if (!ours.match(RegularFile::decodeName(name)).hasMatch())
            continue;
        const int fd =
            ::openat(m_fd, name.constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0)
            continue;
        struct stat info
        {
        };
        // Older than this run, and no writer holds it.
        const bool stale = ::fstat(fd, &info) == 0 && S_ISREG(info.st_mode) &&
                           modifiedBefore(info, now) && ::flock(fd, LOCK_EX | LOCK_NB) == 0;
        if (stale && ::unlinkat(m_fd, name.constData(), 0) == 0)
            ++removed;
        ::close(fd);
    }
    ::closedir(dir);
    return removed;
}

Status writeAll(int fd, const QByteArray &bytes)
{
    if (const int error = writeAllBytes(fd, bytes); error != 0)
        return systemError(error);
    return {};
}

Status makeFolders(const QString &path)
{
    // Level by level on the name's own bytes: Qt's mkpath would make a name that is not UTF-8
    // under another one.
    const QByteArray native = RegularFile::encodeName(QDir::cleanPath(path));
    for (qsizetype end = native.indexOf('/', 1);; end = native.indexOf('/', end + 1)) {
        const QByteArray level = end < 0 ? native : native.left(end);
        if (::mkdir(level.constData(), 0777) != 0) {
            if (errno != EEXIST)
                return systemError(errno);
            struct stat info
            {
            };
            if (::stat(level.constData(), &info) != 0 || !S_ISDIR(info.st_mode))
                return systemError(ENOTDIR);
        }
        if (end < 0)
            return {};
    }
}

Status probeFolder(const QString &folder)
{
    const Result<Folder> opened = Folder::open(folder);
    if (!opened)
        return opened.error();
    return opened->probe();
}

Result<Outcome> write(const QString &path, const QByteArray &bytes, bool replace)
{
    const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
    const Result<Folder> folder = Folder::open(slash < 0    ? QString()
                                               : slash == 0 ? QStringLiteral("/")
                                                            : path.left(slash));
    if (!folder)
        return folder.error();
    return folder->write(path.mid(slash + 1), bytes, replace);
}

} // namespace SafeWrite

} // namespace inkveil
