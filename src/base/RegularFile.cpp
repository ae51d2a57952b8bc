// SPDX-FileCopyrightText: 2026 Tessaly
// SPDX-License-Identifier: GPL-3.0-or-later

#include "base/RegularFile.h"

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace inkveil {

namespace {

Error systemError(const int error)
{
    return {QString::fromLocal8Bit(std::strerror(error)) + QLatin1Char('.'), error};
}

QString kindReason(const mode_t mode)
{
    if (S_ISFIFO(mode))
        return QStringLiteral("It is a named pipe, not a file.");
    if (S_ISCHR(mode) || S_ISBLK(mode))
        return QStringLiteral("It is a device, not a file.");
    if (S_ISSOCK(mode))
        return QStringLiteral("It is a socket, not a file.");
    if (S_ISDIR(mode))
        return QStringLiteral("It is a folder, not a file.");
    return QStringLiteral("It is not a regular file.");
}

// Low surrogates standing for the bytes of a name that are not UTF-8.
constexpr char16_t EscapedByteBase = 0xDC00;
bool isEscapedByte(const char16_t c)
{
    return c >= 0xDC80 && c <= 0xDCFF;
}

// Length of the valid UTF-8 sequence at bytes[i], or 0 when there is none.
qsizetype validSequence(const QByteArray &bytes, const qsizetype i)
{
    const auto lead = static_cast<uchar>(bytes.at(i));
    const qsizetype length = lead < 0x80                   ? 1
                             : lead >= 0xC2 && lead < 0xE0 ? 2
                             : lead >= 0xE0 && lead < 0xF0 ? 3
                             : lead >= 0xF0 && lead < 0xF5 ? 4
                                                           : 0;
    if (length == 0 || i + length > bytes.size())
        return 0;
    const QByteArray sequence = bytes.mid(i, length);
    // Qt's decoder settles overlong forms, surrogates and the range; a sequence it turns back
    // into the same bytes is valid.
    return QString::fromUtf8(sequence).toUtf8() == sequence ? length : 0;
}

} // namespace

Status RegularFile::open(const QString &path)
{
    const QByteArray native = encodeName(path);
    // Without O_NONBLOCK, opening a named pipe waits for a writer; the kind is checked on the
    // open descriptor, so the file cannot be swapped for a pipe between a look and the open.
    const int fd = ::open(native.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0)
        return systemError(errno);
    struct stat info
    {
    };
    if (::fstat(fd, &info) != 0) {
        const Error error = systemError(errno);
        ::close(fd);
        return error;
    }
    if (!S_ISREG(info.st_mode)) {
        ::close(fd);
        return Error{kindReason(info.st_mode)};
    }
    // Reads of a regular file never block anyway; the flag is cleared for readers that check.
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    m_size = static_cast<qint64>(info.st_size);
    if (!m_device.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        return Error{m_device.errorString()};
    }
    return {};
}

Result<QByteArray> RegularFile::readAll(const qint64 maxBytes)
{
    QByteArray bytes;
    char chunk[64 * 1024];
    for (;;) {
        const qint64 got = m_device.read(chunk, sizeof chunk);
        if (got < 0)
            return Error{m_device.errorString()};
        if (got == 0)
            return bytes;
        if (bytes.size() + got > maxBytes) {
            constexpr qint64 MiB = 1024 * 1024;
            return Error{maxBytes % MiB == 0
                             ? QStringLiteral("It is larger than %1 MB.").arg(maxBytes / MiB)
                             : QStringLiteral("It is larger than %1 bytes.").arg(maxBytes)};
        }
        bytes.append(chunk, static_cast<qsizetype>(got));
    }
}

Result<QByteArray> RegularFile::readFile(const QString &path, const qint64 maxBytes)
{
    RegularFile file;
    if (Status opened = file.open(path); !opened)
        return opened.error();
    return file.readAll(maxBytes);
}

QString RegularFile::notRegularReason(const QString &path)
{
    struct stat info
    {
    };
    if (::stat(encodeName(path).constData(), &info) != 0 || S_ISREG(info.st_mode))
        return {};
    return kindReason(info.st_mode);
}

QString RegularFile::decodeName(const QByteArray &name)
{
    const QString plain = QString::fromUtf8(name);
    if (plain.toUtf8() == name)
        return plain;
    QString decoded;
    decoded.reserve(name.size());
    for (qsizetype i = 0; i < name.size();) {
        const qsizetype length = validSequence(name, i);
        if (length == 0) {
            decoded.append(QChar(char16_t(EscapedByteBase + static_cast<uchar>(name.at(i)))));
            ++i;
        } else {
            decoded.append(QString::fromUtf8(name.mid(i, length)));
            i += length;
        }
    }
    return decoded;
}

QStringList RegularFile::arguments(const int argc, const char *const argv[])
{
    QStringList list;
    for (int i = 0; i < argc; ++i)
        list.append(decodeName(QByteArray(argv[i])));
    return list;
}

QByteArray RegularFile::encodeName(const QString &name)
{
    QByteArray encoded;
    encoded.reserve(name.size());
    qsizetype start = 0; // first character not yet encoded
    for (qsizetype i = 0; i < name.size(); ++i) {
        const char16_t c = name.at(i).unicode();
        if (QChar::isHighSurrogate(c) && i + 1 < name.size() && name.at(i + 1).isLowSurrogate()) {
            ++i; // a pair: one character beyond the basic plane
            continue;
        }
        if (!isEscapedByte(c))
            continue;
        encoded.append(QStringView(name).sliced(start, i - start).toUtf8());
        encoded.append(static_cast<char>(c - EscapedByteBase));
        start = i + 1;
    }
    encoded.append(QStringView(name).sliced(start).toUtf8());
    return encoded;
}

} // namespace inkveil
