// SPDX-FileCopyrightText: 2026 Tessaly
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "base/Result.h"
#include "imageio/CameraData.h"

#include <QByteArray>
#include <QImage>

namespace inkveil {

// Writes AVIF through libavif (AV1 by libaom): 8-bit 4:2:0, with an alpha channel when the image
// has one, the image's ICC profile and the photo's camera data. AVIF records no resolution.
class AvifEncoder
{
public:
    AvifEncoder() = delete;

    // libavif's speed, 0 (slowest) to 10: see docs/performance.md for the measurements behind it.
    static constexpr int Speed = 8;

    // AV1's quantiser for a quality 0-100: 100 is the finest (0), 0 the coarsest (63).
    static int quantizer(int quality);
    // The encoded file, carrying cameraData's EXIF and XMP; a failure says what libavif said.
    static Result<QByteArray> encode(const QImage &image, int quality,
                                     const CameraData &cameraData = {});
};

} // namespace inkveil
