// SPDX-FileCopyrightText: 2026 Tessaly
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "base/Result.h"

#include <QByteArray>
#include <QString>

namespace inkveil {

// Writing an output file without ever losing one or writing anywhere else: the bytes go to a
// new temporary file in the target's folder, which is then renamed onto the target, so a crash
// or a full disk never leaves half a photo. A symbolic link at the target is never written
// through: it is refused before writing, and the rename would replace the link itself, never
// its target. Paths are in RegularFile's file-name form: a name that is not UTF-8 is written
// under its own bytes.
namespace SafeWrite {

enum class Outcome { Written, Exists };

// A folder opened once, which files are then written into by name. A link swapped in for the
// folder, or for one above it, after opening can't redirect a write: nothing is looked up by
// its path again. Closed with the object; moves, never copies.
class Folder
{
public:
    Folder() = default;
    Folder(Folder &&other) noexcept;
    Folder &operator=(Folder &&other) noexcept;
    Folder(const Folder &) = delete;
    Folder &operator=(const Folder &) = delete;
    ~Folder();

    // The folder at path, with links on the way followed as the user named them.
    static Result<Folder> open(const QString &path);
    // The folder `name` inside this one; a link in its place is refused (ELOOP, linkReason()).
    Result<Folder> openChild(const QString &name) const;

    // Writes the file `name` (no folder in it) as write() below does.
    Result<Outcome> write(const QString &name, const QByteArray &bytes, bool replace) const;
    // Creates, writes and removes a small file, as an output would be written: fails with the
    // system's reason when the folder can't take one (read-only, no permission, full).
    Status probe() const;
    // Removes the temporary files of ours that no writer holds any more (one killed during a
    // write leaves its file); a write in progress keeps its own. Answers how many went.
    int removeStaleTemporaries() const;

private:
    explicit Folder(int fd)
        : m_fd(fd)
    {}
    int m_fd = -1;
};

// With `replace` off, an entry already at the path is left alone and the answer is Exists.
// A failure carries the system's error number and its text as a sentence ("No space left on
// device."), or ELOOP and linkReason() for a link.
Result<Outcome> write(const QString &path, const QByteArray &bytes, bool replace);

// Writes all the bytes to an open descriptor.
Status writeAll(int fd, const QByteArray &bytes);

// Makes the folder and every missing level above it; fails with the system's reason for the
// level that could not be made.
Status makeFolders(const QString &path);

// Folder::probe() of the folder at path.
Status probeFolder(const QString &folder);

// Anything at the path, a dangling symbolic link included (the link is not followed).
bool entryExists(const QString &path);
bool isSymLink(const QString &path);
// A folder at the path, links followed.
bool isFolder(const QString &path);

// The system's text for an error number, as a sentence.
QString errorText(int error);

// The reason given when a symbolic link stands where a file or folder is to be written.
QString linkReason();

} // namespace SafeWrite

} // namespace inkveil
