// SPDX-FileCopyrightText: 2026 Tessaly
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "base/Result.h"

#include <QByteArray>
#include <QString>

namespace inkveil {

// The owner's secret that spreads the invisible mark: 256 random bits. Without it the mark can be
// neither read nor found, so it lives in a file of its own, readable by its owner only, and moves
// to a new computer by export and import. The file holds the bits as 64 hexadecimal digits.
class MarkKey
{
public:
    static constexpr int Bytes = 32;

    // A fresh key from the system's random source.
    static MarkKey generate();
    // The key in the user's config folder.
    static QString defaultPath();
    // Reads a key file; fails when it is missing or holds anything but a key.
    static Result<MarkKey> load(const QString &path);
    // Reads the key at path, or makes one there (mode 0600) when there is no file yet.
    static Result<MarkKey> loadOrCreate(const QString &path);
    // Writes the key (mode 0600), replacing what was there: how a key is exported or imported.
    Result<void> save(const QString &path) const;

    // A short, non-secret name for the key that the owner can compare between computers.
    QString fingerprint() const;
    // 64 bits derived from the key for one use (the tile, the scrambling): different uses never
    // share bits, and nothing about the key can be learnt from them.
    quint64 derive(const char *use) const;

    const QByteArray &bytes() const { return m_bytes; }
    bool operator==(const MarkKey &other) const { return m_bytes == other.m_bytes; }

private:
    explicit MarkKey(QByteArray bytes)
        : m_bytes(std::move(bytes))
    {}
    QByteArray m_bytes;
};

} // namespace inkveil
