// SPDX-FileCopyrightText: 2026 Tessaly
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QColor>
#include <QList>
#include <QString>
#include <QVariant>

#include <utility>

namespace inkveil {

// One value kind per plist type the state file uses.
enum class ArchiveKind { String, Int, Bool, Float, Color };

// A record as it stands in the archive: its class name and its keyed values, in the order they
// are written. Values are QString, int, bool, float or QColor; a key that is absent is simply
// not in the list.
struct ArchivedRecord
{
    QString className;
    QList<std::pair<QString, QVariant>> values;

    QVariant value(const QString &key) const
    {
        for (const auto &[k, v] : values) {
            if (k == key)
                return v;
        }
        return {};
    }
};

// One row of a record's archive table: the key, its kind and how to read and write the field.
// Encoding and decoding both walk the same table, so they cannot drift apart.
template <typename T> struct ArchiveKey
{
    const char *key;
    ArchiveKind kind;
    QVariant (*get)(const T &);
    void (*set)(T &, const QVariant &);
    // A key added after state files were first written: when it is absent the field keeps the
    // record's default instead of taking the empty value, so that older files read as before.
    bool keepDefaultWhenAbsent = false;
};

// The value an absent key stands for: null string, 0, false, 0.0 or no colour.
inline QVariant emptyArchiveValue(ArchiveKind kind)
{
    switch (kind) {
    case ArchiveKind::String:
        return QVariant::fromValue(QString());
    case ArchiveKind::Int:
        return QVariant::fromValue(0);
    case ArchiveKind::Bool:
        return QVariant::fromValue(false);
    case ArchiveKind::Float:
        return QVariant::fromValue(0.0f);
    case ArchiveKind::Color:
        return QVariant::fromValue(QColor());
    }
    return {};
}

// The stored value converted to the kind the table expects; a value of the wrong type counts
// as absent.
inline QVariant archiveValueOfKind(const QVariant &stored, ArchiveKind kind)
{
    const auto type = stored.metaType().id();
    switch (kind) {
    case ArchiveKind::String:
        if (type == QMetaType::QString)
            return stored;
        break;
    case ArchiveKind::Int:
        if (type == QMetaType::LongLong)
            return QVariant::fromValue(static_cast<int>(stored.toLongLong()));
        if (type == QMetaType::Int)
            return stored;
        break;
    case ArchiveKind::Bool:
        if (type == QMetaType::Bool)
            return stored;
        break;
    case ArchiveKind::Float:
        if (type == QMetaType::Double || type == QMetaType::Float)
            return QVariant::fromValue(stored.toFloat());
        break;
    case ArchiveKind::Color:
        if (type == QMetaType::QColor)
            return stored;
        break;
    }
    return emptyArchiveValue(kind);
}

// A table is a list of ArchiveKey rows, or of records alike: key, kind, get, set and
// keepDefaultWhenAbsent.
template <typename T, typename Table>
ArchivedRecord encodeRecord(const T &object, const QString &className, const Table &table)
{
    ArchivedRecord record{className, {}};
    for (const auto &row : table) {
        QVariant v = row.get(object);
        // A null string or colour is an absent key.
        if (row.kind == ArchiveKind::String && v.toString().isNull())
            continue;
        if (row.kind == ArchiveKind::Color && !v.value<QColor>().isValid())
            continue;
        // A switch added later is written only when on, so files that never used it stay as
        // they were.
        if constexpr (requires { row.writtenOnlyWhenOn; }) {
            if (row.writtenOnlyWhenOn && !v.toBool())
                continue;
        }
        record.values.append({QString::fromLatin1(row.key), std::move(v)});
    }
    return record;
}

template <typename T, typename Table>
void decodeRecord(T &object, const ArchivedRecord &record, const Table &table)
{
    for (const auto &row : table) {
        const QVariant stored = record.value(QString::fromLatin1(row.key));
        if (row.keepDefaultWhenAbsent && !stored.isValid())
            continue;
        row.set(object, archiveValueOfKind(stored, row.kind));
    }
}

} // namespace inkveil
