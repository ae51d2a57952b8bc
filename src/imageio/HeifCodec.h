// SPDX-FileCopyrightText: 2026 Tessaly
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "base/Result.h"

#include <QByteArray>
#include <QIODevice>
#include <QImage>
#include <QSize>
#include <QString>

namespace inkveil {

// Reads the HEIF family (HEIC from phones, AVIF) through libheif. The image comes out upright:
// libheif applies the file's rotation, mirror and crop while decoding. No state between calls;
// contexts are per call, so decodes on different threads are independent.
class HeifCodec
{
public:
    HeifCodec() = delete;

    // Does this head of a file (its first 12 bytes or more) start a HEIF or AVIF file?
    static bool recognises(const QByteArray &head);
    // Whether this libheif has a decoder for HEVC (HEIC) and for AV1 (AVIF) images.
    static bool readsHeic();
    static bool readsAvif();

    // The primary image of the file open on the device, with its colour space (ICC profile, or
    // the primaries of an nclx box). The file is read as far as needed, never whole. Refuses,
    // before decoding, a file whose boxes don't fit it, an image of more than maxPixels at the
    // size it will be decoded, and a grid of absurdly many tiles; gives up between tiles when the
    // run is stopped (StopScope) or the photo takes too long.
    static Result<QImage> decode(QIODevice &device, qint64 maxPixels);
    // The primary image's upright size as it will be decoded, read from the file's boxes without
    // decoding pixels.
    static Result<QSize> imageSize(QIODevice &device);

    // The TIFF data of the primary image's EXIF block (from its byte-order mark on), empty when
    // there is none or the file is not HEIF.
    static QByteArray exifData(const QString &path);
    // The size of the primary image's largest metadata item (EXIF, XMP, ...), read from the
    // file's boxes without reading the items; 0 when there is none or the file is not HEIF.
    static qint64 largestMetadataItem(const QString &path);
    // The primary image's XMP packet, empty when there is none or the file is not HEIF.
    static QByteArray xmpData(const QString &path);
};

} // namespace inkveil
