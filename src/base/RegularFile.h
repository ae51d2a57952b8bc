// SPDX-FileCopyrightText: 2026 Tessaly
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "base/Result.h"

#include <QByteArray>
#include <QFile>
#include <QString>
#include <QStringList>

namespace inkveil {

// A file opened for reading only when it is a regular file. Photos, watermark pictures and state
// files come from anywhere: a named pipe would block the reader for ever and a device such as
// /dev/zero would never end, so the path is opened without blocking and refused, with a reason,
// unless it is a plain file. Everything the application reads from the user's files goes through
// here.
//
// Paths are QStrings in the file-name form of decodeName(): names that are not valid UTF-8 keep
// their bytes, so that every file a folder lists can be opened again.
class RegularFile
{
public:
    RegularFile() = default;
    RegularFile(const RegularFile &) = delete;
    RegularFile &operator=(const RegularFile &) = delete;

    // Opens path for reading; fails with the reason (and the system's error number, ENOENT when
    // nothing is at the path) when it cannot be opened or is not a regular file. Never blocks on
    // a named pipe.
    Status open(const QString &path);
    qint64 size() const { return m_size; }

    // The open file as a device, for readers that stream (Qt's image readers, libjpeg, EXIF).
    QFile &device() { return m_device; }

    // Reads at most maxBytes, counting what arrives rather than trusting the size; fails when
    // there is more or reading fails.
    Result<QByteArray> readAll(qint64 maxBytes);

    // Opens and reads a whole small file (a state file) the same way.
    static Result<QByteArray> readFile(const QString &path, qint64 maxBytes);

    // Why path, which exists, is not a regular file ("a named pipe, not a file."), or a null
    // string when it is one or cannot be looked at. Does not open it.
    static QString notRegularReason(const QString &path);

    // File names as the system holds them (bytes) and as the application shows them. Bytes
    // that are not valid UTF-8 become the code points U+DC80..U+DCFF, and encodeName() turns them
    // back into the same bytes, so such a name is read, shown and written like any other.
    static QString decodeName(const QByteArray &name);
    static QByteArray encodeName(const QString &name);
    // The program's arguments in that form: Qt's own list turns such bytes into U+FFFD, and a
    // photo named so could then not be found. Taken after the application object, which
    // removes the arguments meant for Qt.
    static QStringList arguments(int argc, const char *const argv[]);

private:
    QFile m_device;
    qint64 m_size = 0;
};

} // namespace inkveil
