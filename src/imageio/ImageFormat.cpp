// SPDX-FileCopyrightText: 2026 Tessaly
// SPDX-License-Identifier: GPL-3.0-or-later

#include "imageio/ImageFormat.h"

namespace inkveil {

namespace {

using Info = ImageFormatInfo;
using Reader = ImageFormatInfo::Reader;
constexpr unsigned AllMetadata = Info::Exif | Info::Iptc | Info::Xmp;

// In the order the tool and the pane list them. HEIC is read only.
// clang-format off
constexpr std::array<ImageFormatInfo, 8> Table{{
    //                      names               reader       write  alpha  grey   grey16 icc    metadata                 embeds quality
    {ImageFormat::Jpeg, {"jpeg", "jpg"},  Reader::Qt,   true,  false, true,  false, true,  AllMetadata,             false, true},
    {ImageFormat::Tiff, {"tiff", "tif"},  Reader::Qt,   true,  true,  true,  true,  true,  AllMetadata,             false, false},
    {ImageFormat::Png,  {"png", nullptr}, Reader::Qt,   true,  true,  true,  true,  true,  AllMetadata,             false, false},
    {ImageFormat::Gif,  {"gif", nullptr}, Reader::Qt,   true,  true,  false, false, false, 0,                       false, false},
    {ImageFormat::Bmp,  {"bmp", nullptr}, Reader::Qt,   true,  false, false, false, false, 0,                       false, false},
    {ImageFormat::Webp, {"webp", nullptr},Reader::Qt,   true,  true,  false, false, true,  Info::Exif | Info::Xmp,  false, true},
    {ImageFormat::Heic, {"heic", "heif"}, Reader::Heif, false, true,  false, false, true,  0,                       false, false},
    {ImageFormat::Avif, {"avif", nullptr},Reader::Heif, true,  true,  false, false, true,  Info::Exif | Info::Xmp,  true,  true},
}};
// clang-format on

// info() finds a row by its format's number.
constexpr bool inEnumOrder()
{
    for (std::size_t i = 0; i < Table.size(); ++i) {
        if (static_cast<std::size_t>(Table[i].format) != i)
            return false;
    }
    return true;
}
static_assert(inEnumOrder());

} // namespace

const std::array<ImageFormatInfo, 8> &ImageFormats::all()
{
    return Table;
}

const ImageFormatInfo &ImageFormats::info(const ImageFormat format)
{
    return Table[static_cast<std::size_t>(format)];
}

const ImageFormatInfo *ImageFormats::find(const QString &name)
{
    for (const ImageFormatInfo &row : Table) {
        for (const char *known : row.names) {
            if (known && name == QLatin1String(known))
                return &row;
        }
    }
    return nullptr;
}

std::optional<ImageFormat> ImageFormats::fromName(const QString &name)
{
    if (const ImageFormatInfo *row = find(name))
        return row->format;
    return std::nullopt;
}

QStringList ImageFormats::writableNames()
{
    QStringList names;
    for (const ImageFormatInfo &row : Table) {
        for (const char *name : row.names) {
            if (row.writable && name)
                names.append(QString::fromLatin1(name));
        }
    }
    return names;
}

} // namespace inkveil
