// SPDX-FileCopyrightText: 2026 Tessaly
// SPDX-License-Identifier: GPL-3.0-or-later

#include "mark/MarkKey.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QSaveFile>
#include <QStandardPaths>
#include <QtEndian>

namespace inkveil {

namespace {
// A key file is one line; anything much longer is not a key.
constexpr qint64 MaxKeyFileSize = 1024;
} // namespace

MarkKey MarkKey::generate()
{
    QByteArray bytes(Bytes, Qt::Uninitialized);
    QRandomGenerator::system()->generate(reinterpret_cast<quint32 *>(bytes.data()),
                                         reinterpret_cast<quint32 *>(bytes.data() + Bytes));
    return MarkKey(bytes);
}

QString MarkKey::defaultPath()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           QStringLiteral("/Tessaly Inkveil/mark.key");
}

Result<MarkKey> MarkKey::load(const QString &path)
{
    QFile file(path);
    if (!QFileInfo(path).isFile() || !file.open(QIODevice::ReadOnly))
        return Error{QStringLiteral("there is no mark key at %1").arg(path)};
    const QByteArray hex = file.read(MaxKeyFileSize).trimmed();
    const QByteArray bytes = QByteArray::fromHex(hex);
    if (hex.size() != 2 * Bytes || bytes.size() != Bytes || bytes.toHex() != hex.toLower())
        return Error{QStringLiteral("%1 is not a mark key").arg(path)};
    return MarkKey(bytes);
}

Result<MarkKey> MarkKey::loadOrCreate(const QString &path)
{
    if (QFileInfo::exists(path))
        return load(path);
    const MarkKey key = generate();
    if (const Result<void> saved = key.save(path); !saved)
        return saved.error();
    return key;
}

Result<void> MarkKey::save(const QString &path) const
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QSaveFile file(path);
    const bool written = file.open(QIODevice::WriteOnly) &&
                         file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner) &&
                         file.write(m_bytes.toHex() + '\n') == 2 * Bytes + 1 && file.commit();
    if (!written)
        return Error{
            QStringLiteral("can't write the mark key %1: %2").arg(path, file.errorString())};
    return {};
}

QString MarkKey::fingerprint() const
{
    const QByteArray digest = QCryptographicHash::hash(QByteArray("inkveil mark key " + m_bytes),
                                                       QCryptographicHash::Sha256);
    const QString hex = QString::fromLatin1(digest.left(8).toHex());
    return hex.left(4) + u'-' + hex.mid(4, 4) + u'-' + hex.mid(8, 4) + u'-' + hex.mid(12, 4);
}

quint64 MarkKey::derive(const char *use) const
{
    QCryptographicHash hash(QCryptographicHash::Sha256);
    hash.addData(m_bytes);
    hash.addData(QByteArrayView(use));
    return qFromLittleEndian<quint64>(hash.result().constData());
}

} // namespace inkveil
