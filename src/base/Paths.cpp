// SPDX-FileCopyrightText: 2026 Tessaly
// SPDX-License-Identifier: GPL-3.0-or-later

#include "base/Paths.h"

#include "base/RegularFile.h"

#include <QDir>

#include <cstdlib>

namespace inkveil {

namespace {

// The canonical path on the name's own bytes (Qt's would lose those that are not UTF-8), or a
// null string when nothing is there.
QString canonical(const QString &path)
{
    char *resolved = ::realpath(RegularFile::encodeName(path).constData(), nullptr);
    if (!resolved)
        return {};
    const QString answer = RegularFile::decodeName(QByteArray(resolved));
    std::free(resolved);
    return answer;
}

} // namespace

QString Paths::resolved(const QString &path)
{
    const QString file = absolute(path);
    if (const QString found = canonical(file); !found.isNull())
        return found;
    const qsizetype slash = file.lastIndexOf(QLatin1Char('/'));
    const QString folder = canonical(slash == 0 ? QStringLiteral("/") : file.left(slash));
    if (folder.isNull())
        return file;
    return (folder.endsWith(QLatin1Char('/')) ? folder : folder + QLatin1Char('/')) +
           file.mid(slash + 1);
}

QString Paths::absolute(const QString &path)
{
    return QDir::cleanPath(
        QDir::isAbsolutePath(path) ? path : QDir::currentPath() + QLatin1Char('/') + path);
}

} // namespace inkveil
