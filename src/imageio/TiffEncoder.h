// SPDX-FileCopyrightText: 2026 Tessaly
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "base/Result.h"

#include <QByteArray>
#include <QImage>

namespace inkveil {

// Writes TIFF through libtiff: RGB, or RGBA with unassociated alpha when the image has an alpha
// channel, at 16 bits per sample for images of 16-bit channels (Format_RGBA64 and the like) and
// 8 for the rest, LZW-compressed with the horizontal predictor (Qt's own TIFF writer leaves the
// predictor out, which makes photos larger than no compression at all). Records the resolution in
// dots per inch and the image's ICC profile.
class TiffEncoder
{
public:
    TiffEncoder() = delete;

    // The encoded file, or why libtiff could not write it.
    static Result<QByteArray> encode(const QImage &image, float dpi);
};

} // namespace inkveil
