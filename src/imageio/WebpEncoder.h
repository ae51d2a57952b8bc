// SPDX-FileCopyrightText: 2026 Tessaly
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "base/Result.h"

#include <QByteArray>
#include <QImage>

namespace inkveil {

// Writes WebP through libwebp: lossy at quality 0-99, lossless at 100, with an alpha channel when
// the image has one, and the image's ICC profile in an ICCP chunk. WebP records no resolution.
class WebpEncoder
{
public:
    WebpEncoder() = delete;

    // Lossless from this quality on.
    static constexpr int LosslessQuality = 100;

    // The encoded file; fails when libwebp does (an edge over 16383 pixels, for one).
    static Result<QByteArray> encode(const QImage &image, int quality);
};

} // namespace inkveil
