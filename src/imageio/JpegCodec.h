// SPDX-FileCopyrightText: 2026 Tessaly
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "base/Result.h"

#include <QByteArray>
#include <QIODevice>
#include <QImage>
#include <QString>

namespace inkveil {

// JPEG straight between libjpeg-turbo and QImage's pixels. Qt's JPEG plugin has libjpeg produce
// 3-byte rows and widens every pixel to 4 bytes in a loop of its own (and narrows them again when
// writing), which costs a camera photo about a sixth of its decode and encode time; libjpeg-turbo
// converts to and from the 4-byte layout in its SIMD colour conversion. It also decodes at a half,
// a quarter or an eighth of the size for little more than the cost of the smaller image.
//
// 8-bit colour (YCbCr, RGB) and greyscale photos take this path, and CMYK and YCCK ones (from
// prepress tools) that carry a CMYK profile, converted through it to sRGB; the decoder answers
// Unsupported for the rest, which Qt's reader handles.
class JpegCodec
{
public:
    JpegCodec() = delete;

    // Progressive files need one pass per scan; a file with more scans than this is hostile (a
    // few kilobytes can otherwise keep a core busy for minutes) and is refused.
    static constexpr int MaxScans = 500;

    // Why a file's pixels can't all be decoded.
    static constexpr const char *EndsEarly = "damaged: ends early";
    static constexpr const char *CorruptData = "damaged: corrupt image data";

    enum class Status { Decoded, Unsupported };

    struct Decoding
    {
        Status status = Status::Decoded;
        // The JFIF density in dots per metre as Qt's reader records it; 0 when the file records
        // none (no JFIF header, or an aspect ratio only).
        int dotsPerMetreX = 0;
        int dotsPerMetreY = 0;
    };

    // Decodes the JPEG file held in `file` into `buffer`, at 1/reduction of its size (reduction
    // is 1, 2, 4 or 8), as Format_RGB32 for colour and CMYK and Format_Grayscale8 for greyscale.
    // The buffer's memory is reused when it already has the decoded size and format. The ICC
    // profile becomes the image's colour space (none without one).
    // A file cut short, or whose image data is corrupt, fails with EndsEarly or CorruptData:
    // libjpeg would fill what is missing with grey. Bytes after the end of the image and a
    // missing end marker after complete data are no damage. A header claiming more than
    // maxPixels (at full size) fails before any memory is taken; other failures carry libjpeg's
    // words.
    static Result<Decoding> decode(const QByteArray &file, int reduction, qint64 maxPixels,
                                   QImage &buffer);
    // The same, streaming the file from its current position in small chunks: only the bytes up
    // to the end of the image are read, however long the file is.
    static Result<Decoding> decode(QIODevice &file, int reduction, qint64 maxPixels,
                                   QImage &buffer);

    // From this quality on colour is written with full-resolution chroma (4:4:4).
    static constexpr int FullChromaQuality = 90;

    // The image as a baseline JPEG at quality 0-100, a JFIF header recording dotsPerInch and, for
    // colour, the image's ICC profile: what Qt's writer makes of it, except that colour at
    // FullChromaQuality and above has 4:4:4 chroma where Qt's writer always halves it (4:2:0).
    // Format_RGB32, Format_ARGB32, Format_ARGB32_Premultiplied (colour values written as they are,
    // as Qt's writer does) and Format_Grayscale8 are read in place; other formats are converted to
    // Format_RGB32 first. A failure carries libjpeg's words.
    static Result<QByteArray> encode(const QImage &image, int quality, int dotsPerInch);
};

} // namespace inkveil
