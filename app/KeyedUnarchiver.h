#pragma once

#include "app/ArchiveKey.h"

#include <QByteArray>

#include <memory>
#include <optional>

// Reads what KeyedArchiver wrote. Bytes that are not an XML property list with a dictionary at
// the top are read as an archive that holds no key at all.
class KeyedUnarchiver
{
public:
    explicit KeyedUnarchiver(const QByteArray &data);
    ~KeyedUnarchiver();
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
};
