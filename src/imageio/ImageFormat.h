// SPDX-FileCopyrightText: 2026 Tessaly
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QString>
#include <QStringList>

#include <array>
#include <optional>

namespace inkveil {

// The image file formats the program reads or writes. Everything that depends on a format (its
// names, what it can hold, which encoder writes it) is one row of ImageFormats' table.
enum class ImageFormat { Jpeg, Tiff, Png, Gif, Bmp, Webp, Heic, Avif };

// What one format is to us. Names are lower case; the first is the format's own name.
struct ImageFormatInfo
{
    // Camera data a file of the format holds, as bits.
    enum Metadata : unsigned { Exif = 1, Iptc = 2, Xmp = 4 };
    // Who decodes it: Qt's readers (as far as this Qt build has plugins) or libheif.
    enum class Reader { Qt, Heif };

    ImageFormat format;
    // Every name the format goes by, which are also the file extensions it is gathered under;
    // unused places are null.
    std::array<const char *, 2> names;
    Reader reader;
    bool writable;
    // Written files keep an alpha channel; the others show transparent areas on white.
    bool alpha;
    // Written files keep greyscale photos grey, and 16 bits of them where the photo has 16.
    bool greyscale;
    bool deepGreyscale;
    // Written files carry the image's ICC profile; the others get sRGB pixels.
    bool iccProfile;
    // The camera data our writer puts into its files (0: none).
    unsigned metadata;
    // The encoder embeds the camera data itself rather than it being added to the finished file.
    bool embedsMetadata;
    // Written at a quality setting.
    bool quality;
};

class ImageFormats
{
public:
    ImageFormats() = delete;

    static const std::array<ImageFormatInfo, 8> &all();
    static const ImageFormatInfo &info(ImageFormat format);
    // The format a name stands for, compared exactly: output formats are spelled in lower case.
    static std::optional<ImageFormat> fromName(const QString &name);
    // The row of a name, or null for a name no format goes by.
    static const ImageFormatInfo *find(const QString &name);
    // Every name of the formats the program writes, in table order: "jpeg", "jpg", "tiff", ...
    static QStringList writableNames();
};

} // namespace inkveil
