// SPDX-FileCopyrightText: 2026 Tessaly
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "base/Result.h"

#include <QByteArray>
#include <QImage>

namespace inkveil {

// Writes PNG through libspng: RGB, or RGBA when the image has an alpha channel, greyscale for a
// greyscale image, 16 bits a sample for a 16-bit image and 8 otherwise, with the
// resolution in a pHYs chunk and the image's ICC profile in an iCCP chunk. Every row with the SUB
// filter and zlib's fast level 3: on photos, smaller and faster than libvips's no filter at level
// 6 (docs/performance.md).
class PngEncoder
{
public:
    PngEncoder() = delete;

    // The encoded file; a failure says what libspng said.
    static Result<QByteArray> encode(const QImage &image, int dotsPerMetre);
};

} // namespace inkveil
