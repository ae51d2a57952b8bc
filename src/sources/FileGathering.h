// SPDX-FileCopyrightText: 2026 Tessaly
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "sources/WorkFile.h"

#include <QStringList>

namespace inkveil {

// Turns dropped or chosen paths (files and folders, mixed) into work files: folders are walked
// to any depth, only readable image types are kept, and a path the batch already holds is not
// added twice.
class FileGathering
{
public:
    // Each given path followed by every entry below it, depth-first, a folder's entry before
    // its contents, each folder's entries in natural name order (IMG_2 before IMG_10); hidden
    // entries and sub-folders included. A plain file or an empty folder stands for itself.
    // Names that are not valid UTF-8 are kept as RegularFile::decodeName() gives them.
    // A folder that can't be listed adds "PATH: reason" to problems.
    static QStringList expandPaths(const QStringList &paths, QStringList *problems = nullptr);

    // The natural name order folders are walked in (IMG_2 before IMG_10, letter case aside), the
    // same on every machine whatever its locale; names equal in it fall back to plain text order.
    static bool naturalLess(const QString &a, const QString &b);

    // Is the extension one of the readable image types, compared exactly with letter case?
    static bool isSupportedFormat(const QString &extension);

    // Appends a work file for each path of a readable type that the list does not hold yet,
    // logging each one and each duplicate. Answers how many were added. A file of a readable
    // type that can't be opened, or is not a regular file (a named pipe, a device), is left out
    // and adds "PATH: reason" to problems. A photo added whose header can't be read or that ends
    // early is kept, with the reason as its problem.
    static qsizetype appendWorkFiles(WorkFileList &files, const QStringList &paths,
                                     QStringList *problems = nullptr);
};

} // namespace inkveil
