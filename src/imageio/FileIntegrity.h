// SPDX-FileCopyrightText: 2026 Tessaly
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QIODevice>
#include <QString>

namespace inkveil {

// Whether a photo file reaches the end its own structure promises, judged from its first bytes
// and a few kilobytes at its end, never the whole file: a JPEG's end-of-image marker, PNG's IEND
// chunk, GIF's trailer, the length a BMP's rows need, and the lengths a WebP's RIFF header or a
// HEIF's top-level boxes give, and where a TIFF's first directory puts its strips or tiles. Some
// decoders fill what is missing with grey and report success; this check is what tells such a file
// apart.
class FileIntegrity
{
public:
    FileIntegrity() = delete;

    // The bytes read at the end of a file to find its end marker. Cameras and editors append
    // previews and other data after a JPEG's image; those that do end with a marker of their own.
    static constexpr qint64 TailBytes = 4096;

    // "damaged: ends early" when the file stops before its structure says it ends; empty when it
    // looks whole or is of a kind without an end to check. Leaves the device where it was.
    static QString endProblem(QIODevice &file);
};

} // namespace inkveil
