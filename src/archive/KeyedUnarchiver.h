// SPDX-FileCopyrightText: 2026 Tessaly
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "archive/ArchiveKey.h"

#include <QByteArray>
#include <QString>

#include <memory>
#include <optional>

namespace inkveil {

// Reads what KeyedArchiver wrote. Bytes that are not an XML property list with a dictionary at
// the top are read as an archive that holds no key at all, and problem() says why.
class KeyedUnarchiver
{
public:
    explicit KeyedUnarchiver(const QByteArray &data);
    ~KeyedUnarchiver();

    // Arrays and dictionaries nested deeper than this are refused before the property-list
    // parser sees them: it recurses once per level, and a few megabytes of "<array>" would
    // overflow the stack. Our own files nest four levels (options, watermarks, a watermark, its
    // colour).
    static constexpr int MaxNesting = 16;
    // How deeply the XML nests arrays and dictionaries, counted on the bytes.
    static int nestingDepth(const QByteArray &xml);

    // Why the bytes could not be read as an archive ("It nests deeper than 16 levels."); empty
    // when they could.
    QString problem() const { return m_problem; }
    KeyedUnarchiver(const KeyedUnarchiver &) = delete;
    KeyedUnarchiver &operator=(const KeyedUnarchiver &) = delete;

    // The record stored under key, when it is a dictionary of the given class.
    std::optional<ArchivedRecord> decodeRecord(const QString &key, const QString &className) const;
    // The array stored under key; entries that are not records of the class are skipped.
    std::optional<QList<ArchivedRecord>> decodeRecordArray(const QString &key,
                                                           const QString &className) const;

private:
    struct PlistDeleter
    {
        void operator()(void *node) const;
    };
    std::unique_ptr<void, PlistDeleter> m_root;
    QString m_problem;
};

} // namespace inkveil
