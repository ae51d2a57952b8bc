// SPDX-FileCopyrightText: 2026 Tessaly
// SPDX-License-Identifier: GPL-3.0-or-later

#include "sources/FileGathering.h"

#include "base/RegularFile.h"
#include "imageio/ImageToolkit.h"

#include <QCollator>
#include <QDebug>
#include <QDir>
#include <QFileInfo>
#include <QLocale>
#include <QSet>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include <dirent.h>
#include <sys/stat.h>

namespace inkveil {

namespace {

// One fixed collation, so the order (and with it the counter numbers) is the same on every
// machine whatever its locale.
const QCollator &naturalOrder()
{
    static const QCollator collator = [] {
        QCollator c{QLocale(QLocale::English, QLocale::UnitedStates)};
        c.setNumericMode(true);
        c.setCaseSensitivity(Qt::CaseInsensitive);
        return c;
    }();
    return collator;
}

// The names in a folder, or why it can't be listed. Read with the
// system's calls: Qt leaves out names that are not valid UTF-8.
Result<QStringList> folderEntries(const QString &folder)
{
    const auto failed = [](const int error) {
        return Error{QString::fromLocal8Bit(std::strerror(error)) + QLatin1Char('.'), error};
    };
    DIR *dir = ::opendir(RegularFile::encodeName(folder).constData());
    if (!dir)
        return failed(errno);
    QStringList names;
    errno = 0;
    while (const dirent *entry = ::readdir(dir)) {
        const QByteArray name(entry->d_name);
        if (name != "." && name != "..")
            names.append(RegularFile::decodeName(name));
        errno = 0;
    }
    const int error = errno;
    ::closedir(dir);
    if (error != 0)
        return failed(error);
    return names;
}

// A folder and not a link to one: links to folders are not followed, so a link loop cannot
// walk forever.
bool isRealFolder(const QString &path)
{
    struct stat info
    {
    };
    return ::lstat(RegularFile::encodeName(path).constData(), &info) == 0 && S_ISDIR(info.st_mode);
}

void appendEntries(const QString &folder, const QString &relative, QStringList &out,
                   QStringList *problems)
{
    const QString path = relative.isEmpty() ? folder : folder + QLatin1Char('/') + relative;
    Result<QStringList> names = folderEntries(path.isEmpty() ? QStringLiteral("/") : path);
    if (!names) {
        if (problems)
            problems->append(QStringLiteral("%1: Can't read folder. %2")
                                 .arg(path.isEmpty() ? QStringLiteral("/") : path, names.reason()));
        return;
    }
    std::sort(names->begin(), names->end(), FileGathering::naturalLess);
    for (const QString &name : *names) {
        const QString entry = relative.isEmpty() ? name : relative + QLatin1Char('/') + name;
        out.append(folder + QLatin1Char('/') + entry);
        if (isRealFolder(folder + QLatin1Char('/') + entry))
            appendEntries(folder, entry, out, problems);
    }
}

// Whether a photo can be opened; a missing file and a folder pass, to fail when processed.
Status openable(const QString &path)
{
    struct stat info
    {
    };
    if (::stat(RegularFile::encodeName(path).constData(), &info) != 0 || S_ISDIR(info.st_mode))
        return {};
    RegularFile probe;
    return probe.open(path);
}

QString extensionOf(const QString &path)
{
    const QString name = path.mid(path.lastIndexOf(QLatin1Char('/')) + 1);
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    return dot < 0 ? QString() : name.mid(dot + 1);
}

} // namespace

QStringList FileGathering::expandPaths(const QStringList &paths, QStringList *problems)
{
    QStringList files;
    for (const QString &path : paths) {
        const qsizetype before = files.size();
        struct stat info
        {
        };
        if (::stat(RegularFile::encodeName(path).constData(), &info) == 0 &&
            S_ISDIR(info.st_mode)) {
            QString folder = path;
            while (folder.size() > 1 && folder.endsWith(QLatin1Char('/')))
                folder.chop(1);
            appendEntries(folder == QLatin1String("/") ? QString() : folder, QString(), files,
                          problems);
        }
        if (files.size() == before)
            files.append(path);
    }
    return files;
}

bool FileGathering::naturalLess(const QString &a, const QString &b)
{
    const int order = naturalOrder().compare(a, b);
    return order != 0 ? order < 0 : a < b;
}

bool FileGathering::isSupportedFormat(const QString &extension)
{
    const QStringList &types = ImageToolkit::imageFileTypes();
    return std::any_of(types.begin(), types.end(),
                       [&](const QString &type) { return type == extension; });
}

qsizetype FileGathering::appendWorkFiles(WorkFileList &files, const QStringList &paths,
                                         QStringList *problems)
{
    // Paths are the identity of work files; a set keeps large drops from going quadratic.
    QSet<QString> held;
    held.reserve(files.size() + paths.size());
    for (const auto &file : files)
        held.insert(file->filePath());
    qsizetype added = 0;
    for (const QString &path : paths) {
        if (!isSupportedFormat(extensionOf(path)))
            continue;
        // Opened once here (without blocking), so that a file nobody can read is reported now
        // rather than failing the run, and a pipe never reaches a decoder. A missing file and
        // a folder named like a photo stay in the list as dropped, to fail when processed.
        if (const Status opened = openable(path); !opened) {
            if (problems)
                problems->append(QStringLiteral("%1: %2").arg(path, opened.reason()));
            continue;
        }
        auto file = std::make_shared<WorkFile>(path);
        qInfo().noquote() << file->description();
        if (held.contains(path)) {
            qInfo().noquote() << QStringLiteral("Ignoring duplicate %1").arg(file->description());
            continue;
        }
        held.insert(path);
        if (const Status checked = ImageToolkit::checkSource(path); !checked)
            file->setProblem(checked.reason());
        files.append(std::move(file));
        ++added;
    }
    return added;
}

} // namespace inkveil
