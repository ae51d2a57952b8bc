// SPDX-FileCopyrightText: 2026 Tessaly
// SPDX-License-Identifier: GPL-3.0-or-later

#include "archive/KeyedArchiver.h"

#include <plist/plist.h>

#include <cstdint>

namespace inkveil {

namespace {

plist_t colorNode(const QColor &color)
{
    plist_t dict = plist_new_dict();
    plist_dict_set_item(dict, "$class", plist_new_string("Color"));
    // Every colour the application makes is given in float components of calibrated RGB.
    plist_dict_set_item(dict, "space", plist_new_string("calibratedRGB"));
    plist_dict_set_item(dict, "red", plist_new_real(color.redF()));
    plist_dict_set_item(dict, "green", plist_new_real(color.greenF()));
    plist_dict_set_item(dict, "blue", plist_new_real(color.blueF()));
    plist_dict_set_item(dict, "alpha", plist_new_real(color.alphaF()));
    return dict;
}

plist_t valueNode(const QVariant &value)
{
    switch (value.metaType().id()) {
    case QMetaType::QString:
        return plist_new_string(value.toString().toUtf8().constData());
    case QMetaType::Int:
        // Integers are stored two's-complement in 64 bits; the XML form shows the signed value.
        return plist_new_uint(static_cast<std::uint64_t>(static_cast<std::int64_t>(value.toInt())));
    case QMetaType::Bool:
        return plist_new_bool(value.toBool() ? 1 : 0);
    case QMetaType::Float:
        return plist_new_real(static_cast<double>(value.toFloat()));
    case QMetaType::QColor:
        return colorNode(value.value<QColor>());
    default:
        return nullptr;
    }
}

plist_t recordNode(const ArchivedRecord &record)
{
    plist_t dict = plist_new_dict();
    plist_dict_set_item(dict, "$class", plist_new_string(record.className.toUtf8().constData()));
    for (const auto &[key, value] : record.values) {
        if (plist_t node = valueNode(value))
            plist_dict_set_item(dict, key.toUtf8().constData(), node);
    }
    return dict;
}

} // namespace

void KeyedArchiver::PlistDeleter::operator()(void *node) const
{
    plist_free(static_cast<plist_t>(node));
}

KeyedArchiver::KeyedArchiver()
    : m_root(plist_new_dict())
{}

KeyedArchiver::~KeyedArchiver() = default;

void KeyedArchiver::encodeRecord(const QString &key, const ArchivedRecord &record)
{
    plist_dict_set_item(m_root.get(), key.toUtf8().constData(), recordNode(record));
}

void KeyedArchiver::encodeRecordArray(const QString &key, const QList<ArchivedRecord> &records)
{
    plist_t array = plist_new_array();
    for (const ArchivedRecord &record : records)
        plist_array_append_item(array, recordNode(record));
    plist_dict_set_item(m_root.get(), key.toUtf8().constData(), array);
}

QByteArray KeyedArchiver::finishEncoding() const
{
    char *xml = nullptr;
    uint32_t length = 0;
    plist_to_xml(m_root.get(), &xml, &length);
    QByteArray bytes(xml, static_cast<qsizetype>(length));
    plist_to_xml_free(xml);
    return bytes;
}

} // namespace inkveil
