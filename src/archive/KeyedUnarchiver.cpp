// SPDX-FileCopyrightText: 2026 Tessaly
// SPDX-License-Identifier: GPL-3.0-or-later

#include "archive/KeyedUnarchiver.h"

#include <plist/plist.h>

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace inkveil {

namespace {

// A state file is a few kilobytes; anything far larger is not one of ours.
constexpr qsizetype MaxArchiveSize = 16 * 1024 * 1024;

QString stringOf(plist_t node)
{
    uint64_t length = 0;
    const char *text = plist_get_string_ptr(node, &length);
    return text ? QString::fromUtf8(text, static_cast<qsizetype>(length)) : QString();
}

bool isDictOfClass(plist_t node, const char *className)
{
    if (!node || plist_get_node_type(node) != PLIST_DICT)
        return false;
    plist_t cls = plist_dict_get_item(node, "$class");
    return cls && plist_get_node_type(cls) == PLIST_STRING &&
           plist_string_val_compare(cls, className) == 0;
}

std::optional<double> realOf(plist_t dict, const char *key)
{
    plist_t node = plist_dict_get_item(dict, key);
    if (!node)
        return std::nullopt;
    if (plist_get_node_type(node) == PLIST_REAL) {
        double v = 0;
        plist_get_real_val(node, &v);
        return v;
    }
    if (plist_get_node_type(node) == PLIST_UINT) {
        uint64_t v = 0;
        plist_get_uint_val(node, &v);
        return static_cast<double>(static_cast<int64_t>(v));
    }
    return std::nullopt;
}

QVariant colorOf(plist_t dict)
{
    const auto r = realOf(dict, "red");
    const auto g = realOf(dict, "green");
    const auto b = realOf(dict, "blue");
    const auto a = realOf(dict, "alpha");
    if (!r || !g || !b)
        return {};
    const auto clamp = [](double v) { return std::clamp(static_cast<float>(v), 0.0f, 1.0f); };
    return QVariant::fromValue(
        QColor::fromRgbF(clamp(*r), clamp(*g), clamp(*b), a ? clamp(*a) : 1.0f));
}

QVariant valueOf(plist_t node)
{
    switch (plist_get_node_type(node)) {
    case PLIST_STRING:
        return QVariant::fromValue(stringOf(node));
    case PLIST_UINT: {
        uint64_t v = 0;
        plist_get_uint_val(node, &v);
        return QVariant::fromValue(static_cast<qint64>(v));
    }
    case PLIST_BOOLEAN: {
        uint8_t v = 0;
        plist_get_bool_val(node, &v);
        return QVariant::fromValue(v != 0);
    }
    case PLIST_REAL: {
        double v = 0;
        plist_get_real_val(node, &v);
        return QVariant::fromValue(v);
    }
    case PLIST_DICT:
        if (isDictOfClass(node, "Color"))
            return colorOf(node);
        return {};
    default:
        return {};
    }
}

ArchivedRecord recordOf(plist_t dict, const QString &className)
{
    ArchivedRecord record{className, {}};
    plist_dict_iter it = nullptr;
    plist_dict_new_iter(dict, &it);
    for (;;) {
        char *key = nullptr;
        plist_t value = nullptr;
        plist_dict_next_item(dict, it, &key, &value);
        if (!key)
            break;
        const QString name = QString::fromUtf8(key);
        std::free(key);
        if (value && name != QLatin1String("$class"))
            record.values.append({name, valueOf(value)});
    }
    std::free(it);
    return record;
}

} // namespace

void KeyedUnarchiver::PlistDeleter::operator()(void *node) const
{
    plist_free(static_cast<plist_t>(node));
}

KeyedUnarchiver::KeyedUnarchiver(const QByteArray &data)
{
    // Only our own XML form is accepted; the parser is not fed arbitrary binary data.
    const QByteArray head = data.left(256).trimmed();
    if (data.isEmpty()) {
        m_problem = QStringLiteral("It is empty.");
        return;
    }
    if (data.size() > MaxArchiveSize) {
        m_problem = QStringLiteral("It is larger than %1 MB.").arg(MaxArchiveSize / (1024 * 1024));
        return;
    }
    if (!(head.startsWith("<?xml") || head.startsWith("<plist") || head.startsWith("<!DOCTYPE"))) {
        m_problem = QStringLiteral("It is not an XML property list.");
        return;
    }
    if (nestingDepth(data) > MaxNesting) {
        m_problem = QStringLiteral("It nests deeper than %1 levels.").arg(MaxNesting);
        return;
    }
    plist_t root = nullptr;
    plist_from_xml(data.constData(), static_cast<uint32_t>(data.size()), &root);
    m_root.reset(root);
    if (root && plist_get_node_type(root) != PLIST_DICT)
        m_root.reset();
    if (!m_root)
        m_problem = QStringLiteral("It is not a property list of watermarks and options.");
}

int KeyedUnarchiver::nestingDepth(const QByteArray &xml)
{
    // Counted on every "<array" and "<dict" tag, wherever it stands: one inside a comment or
    // CDATA counts too, which can only make a strange file look deeper than it is.
    int depth = 0;
    int deepest = 0;
    const qsizetype size = xml.size();
    for (qsizetype i = xml.indexOf('<'); i >= 0 && i < size; i = xml.indexOf('<', i + 1)) {
        const bool closing = i + 1 < size && xml.at(i + 1) == '/';
        const qsizetype nameStart = i + (closing ? 2 : 1);
        const auto named = [&](const char *name, const qsizetype length) {
            return nameStart + length <= size &&
                   std::memcmp(xml.constData() + nameStart, name, static_cast<size_t>(length)) == 0;
        };
        const qsizetype nameLength = named("array", 5) ? 5 : named("dict", 4) ? 4 : 0;
        if (nameLength == 0)
            continue;
        const qsizetype after = nameStart + nameLength;
        if (after < size && xml.at(after) != '>' && xml.at(after) != '/' &&
            !std::isspace(static_cast<unsigned char>(xml.at(after))))
            continue; // another element whose name starts the same
        if (closing) {
            depth = std::max(0, depth - 1);
            continue;
        }
        const qsizetype end = xml.indexOf('>', after);
        if (end > 0 && xml.at(end - 1) == '/')
            continue; // empty: "<array/>"
        deepest = std::max(deepest, ++depth);
    }
    return deepest;
}

KeyedUnarchiver::~KeyedUnarchiver() = default;

std::optional<ArchivedRecord> KeyedUnarchiver::decodeRecord(const QString &key,
                                                            const QString &className) const
{
    if (!m_root)
        return std::nullopt;
    plist_t node = plist_dict_get_item(m_root.get(), key.toUtf8().constData());
    const QByteArray cls = className.toUtf8();
    if (!isDictOfClass(node, cls.constData()))
        return std::nullopt;
    return recordOf(node, className);
}

std::optional<QList<ArchivedRecord>>
KeyedUnarchiver::decodeRecordArray(const QString &key, const QString &className) const
{
    if (!m_root)
        return std::nullopt;
    plist_t node = plist_dict_get_item(m_root.get(), key.toUtf8().constData());
    if (!node || plist_get_node_type(node) != PLIST_ARRAY)
        return std::nullopt;
    const QByteArray cls = className.toUtf8();
    QList<ArchivedRecord> records;
    const uint32_t count = plist_array_get_size(node);
    for (uint32_t i = 0; i < count; ++i) {
        plist_t item = plist_array_get_item(node, i);
        if (isDictOfClass(item, cls.constData()))
            records.append(recordOf(item, className));
    }
    return records;
}

} // namespace inkveil
