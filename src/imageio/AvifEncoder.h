// SPDX-FileCopyrightText: 2026 Tessaly
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "base/Result.h"
#include "imageio/CameraData.h"
#include "imageio/JpegCodec.h"

#include <QByteArray>
#include <QImage>

namespace inkveil {

// Writes AVIF through libavif (AV1 by libaom): 10 bits from images of more than 8 (16-bit PNG or
// TIFF, 10-bit HEIC), else 8; 4:4:4 chroma from JPEG's full-chroma quality on, else 4:2:0; with
// an alpha channel when the image has one, the colour signalling of its colour space (sRGB when
// it has none), its ICC profile and the photo's camera data. AVIF records no resolution.
class AvifEncoder
{
public:
    AvifEncoder() = delete;

    // libavif's speed, 0 (slowest) to 10: see docs/performance.md for the measurements behind it.
    static constexpr int Speed = 8;

    // AV1's quantiser for a quality 0-100: 100 is the finest (0), 0 the coarsest (63).
    static int quantizer(int quality);
    // From this quality on chroma is written at full resolution (4:4:4), as for JPEG.
    static constexpr int FullChromaQuality = JpegCodec::FullChromaQuality;
    // The encoded file, carrying cameraData's EXIF and XMP; a failure says what libavif said.
    static Result<QByteArray> encode(const QImage &image, int quality,
                                     const CameraData &cameraData = {});
};

} // namespace inkveil
