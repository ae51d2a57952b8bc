// SPDX-FileCopyrightText: 2026 Tessaly
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "archive/ArchiveKey.h"

#include <QByteArray>

#include <memory>

namespace inkveil {

// Writes records under keys into an XML property list. Each record becomes a dictionary with
// its class name under "$class"; colours become "Color" dictionaries.
class KeyedArchiver
{
public:
    KeyedArchiver();
    ~KeyedArchiver();
    KeyedArchiver(const KeyedArchiver &) = delete;
    KeyedArchiver &operator=(const KeyedArchiver &) = delete;

    void encodeRecord(const QString &key, const ArchivedRecord &record);
    void encodeRecordArray(const QString &key, const QList<ArchivedRecord> &records);

    // The XML bytes of everything encoded so far.
    QByteArray finishEncoding() const;

private:
    struct PlistDeleter
    {
        void operator()(void *node) const;
    };
    std::unique_ptr<void, PlistDeleter> m_root;
};

} // namespace inkveil
