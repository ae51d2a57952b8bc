// SPDX-FileCopyrightText: 2026 Tessaly
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

// A fuzzer's input as our readers take it: bytes in memory, or a file on disk.

#include <QByteArray>
#include <QString>
#include <QTemporaryFile>

#include <cstddef>
#include <cstdint>
#include <cstdlib>

namespace inkveil {

// Wrapped, not copied, so that ASan sees any read past the end of the input.
inline QByteArray inputBytes(const uint8_t *data, size_t size)
{
    return QByteArray::fromRawData(reinterpret_cast<const char *>(data),
                                   static_cast<qsizetype>(size));
}

// The input written to a file for readers that open a path; one file, rewritten for each input.
inline QString inputFile(const uint8_t *data, size_t size)
{
    static QTemporaryFile file;
    if (!file.isOpen() && !file.open())
        std::abort();
    const QByteArray bytes = inputBytes(data, size);
    if (!file.resize(0) || !file.seek(0) || file.write(bytes) != bytes.size() || !file.flush())
        std::abort();
    return file.fileName();
}

} // namespace inkveil
