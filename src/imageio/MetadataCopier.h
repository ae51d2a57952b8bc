// SPDX-FileCopyrightText: 2026 Tessaly
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "imageio/CameraData.h"

#include <QByteArray>
#include <QSize>
#include <QString>

#include <memory>

namespace inkveil {

// Carries a photo's camera data (EXIF, IPTC and XMP) into a file written from it, through Exiv2.
// The source's metadata is read once, from its file header only; the pixels are never parsed.
// Written files describe themselves: the orientation is upright (1), the pixel dimensions are
// the output's, the resolution is the one the file records, and no stale preview thumbnail is
// left behind. The colour profile is the encoder's business and is left as it wrote it.
//
// Usable for any output format Exiv2 writes (JPEG, TIFF, PNG, WebP): encode the image, then hand
// the finished bytes to writeInto() before they go to disk. AVIF, which Exiv2 cannot write, takes
// the same camera data from embeddedData() into its encoder (all but IPTC, which AVIF has no
// place for). One object per photo; objects are independent, so workers may use their own at the
// same time.
class MetadataCopier
{
public:
    // What goes into the output, as the "metadata" output option numbers it.
    enum class Mode {
        Keep = 0,    // everything
        Private = 1, // all but location fields, serial numbers and maker notes
        None = 2,    // no EXIF, IPTC or XMP at all
    };
    static Mode modeFromOption(int option);

    // Reads the camera data of the photo at sourcePath, unless mode is None.
    MetadataCopier(const QString &sourcePath, Mode mode);
    ~MetadataCopier();
    MetadataCopier(const MetadataCopier &) = delete;
    MetadataCopier &operator=(const MetadataCopier &) = delete;

    // Whether the source's metadata was read; false for None too (nothing was read). When a
    // read failed, errorString() says why.
    bool isRead() const;
    // Why the last read or write failed; empty when none did.
    QString errorString() const { return m_errorString; }

    // Whether files of this format (the output option's name: "jpeg", "tif", ...) can carry
    // camera data. GIF and BMP cannot.
    static bool formatCarriesMetadata(const QString &format);
    // Whether the encoder of this format embeds the camera data itself (AVIF), from
    // embeddedData(), instead of writeInto() adding it to the finished file.
    static bool formatEmbedsMetadata(const QString &format);

    // For a format whose encoder embeds the camera data: what writeInto() would write, for an
    // image of pixelSize at dpi, as EXIF and XMP blobs (empty when there is nothing to carry).
    // For other formats, and in mode None, `data` is left empty. Answers false, with the reason
    // in errorString(), when the source could not be read or Exiv2 fails.
    bool embeddedData(CameraData &data, const QString &format, QSize pixelSize, float dpi);

    // Writes the camera data into `encoded`, a complete file of `format` that holds an image of
    // pixelSize recorded at dpi. Answers false, with `encoded` left as it was and the reason in
    // errorString(), when the source could not be read or Exiv2 fails; true when the file now
    // carries what the mode promises (also when that is nothing, or the encoder embedded it).
    bool writeInto(QByteArray &encoded, const QString &format, QSize pixelSize, float dpi);

private:
    // The EXIF as a TIFF structure, or empty when nothing of it is carried.
    QByteArray exifBlob(QSize pixelSize, float dpi) const;
    // The XMP packet, or empty when nothing of it is carried.
    QByteArray xmpPacket(QSize pixelSize) const;

    struct Data;
    std::unique_ptr<Data> m_data;
    Mode m_mode;
    QString m_errorString;
};

} // namespace inkveil
