// SPDX-FileCopyrightText: 2026 Tessaly
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "base/Result.h"
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
// the same camera data from embeddedData() into its encoder. Formats with no place for IPTC
// (WebP, AVIF) get its fields as XMP. One object per photo; objects are independent, so workers may
// use their own at the same time.
class MetadataCopier
{
public:
    // What goes into the output, as the "metadata" output option numbers it.
    enum class Mode {
        Keep = 0,    // everything
        Private = 1, // all but location, identity (serials, owner) and maker notes
        None = 2,    // no EXIF, IPTC or XMP at all
    };
    static Mode modeFromOption(int option);

    // A photo's camera data is never larger than this, in any one block of the file; a source
    // that has more is written without it, with a note, rather than Exiv2 holding ten times
    // that in memory.
    static constexpr qint64 MaxMetadataBytes = 16 * 1024 * 1024;
    // The memory reading the camera data of the photo at sourcePath may take: Exiv2 holds each
    // block whole, and XMP's tree at about ten times its size. 0 for data never read.
    static qint64 memoryNeeded(const QString &sourcePath);

    // Reads the camera data of the photo at sourcePath, unless mode is None.
    MetadataCopier(const QString &sourcePath, Mode mode);
    ~MetadataCopier();
    MetadataCopier(const MetadataCopier &) = delete;
    MetadataCopier &operator=(const MetadataCopier &) = delete;

    // Whether files of this format (the output option's name: "jpeg", "tif", ...) can carry
    // camera data. GIF and BMP cannot.
    static bool formatCarriesMetadata(const QString &format);
    // Whether the encoder of this format embeds the camera data itself (AVIF), from
    // embeddedData(), instead of writeInto() adding it to the finished file.
    static bool formatEmbedsMetadata(const QString &format);

    // For a format whose encoder embeds the camera data: what writeInto() would write, for an
    // image of pixelSize at dpi, as EXIF and XMP blobs (empty when there is nothing to carry).
    // For other formats, and in mode None, it is empty. Fails with the reason when the source
    // could not be read or Exiv2 fails.
    Result<CameraData> embeddedData(const QString &format, QSize pixelSize, float dpi) const;

    // Writes the camera data into `encoded`, a complete file of `format` that holds an image of
    // pixelSize recorded at dpi. Fails, with `encoded` left as it was, when the source could not
    // be read or Exiv2 fails; succeeds when the file now carries what the mode promises (also
    // when that is nothing, or the encoder embedded it).
    Status writeInto(QByteArray &encoded, const QString &format, QSize pixelSize, float dpi) const;

    // Why the source's maker note, which the mode keeps, is left out of every output (it can't
    // be carried faithfully); empty when it is not.
    QString makerNoteLeftOut() const { return m_note; }

private:
    // The EXIF as a TIFF structure, or empty when nothing of it is carried.
    QByteArray exifBlob(QSize pixelSize, float dpi) const;
    // The XMP packet for a file of `format`, or empty when nothing of it is carried.
    QByteArray xmpPacket(const QString &format, QSize pixelSize) const;
    // writeInto()'s work on the finished file; Exiv2 may throw.
    Status carryInto(QByteArray &encoded, const QString &format, QSize pixelSize, float dpi) const;

    struct Data;
    // A HEIC or AVIF photo's camera data, from the items libheif finds; Exiv2 throws.
    static std::unique_ptr<Data> heifData(const QString &path);
    std::unique_ptr<Data> m_data;
    Mode m_mode;
    // Why the source's camera data could not be read; told by the first step that needs it.
    Status m_read;
    QString m_note;
};

} // namespace inkveil
