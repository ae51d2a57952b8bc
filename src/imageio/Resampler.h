// SPDX-FileCopyrightText: 2026 Tessaly
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QImage>
#include <QSize>

namespace inkveil {

// Resizes photos as photo tools do: a Lanczos-3 filter, widened by the shrink factor when
// shrinking so that every source pixel counts and fine detail does not turn into moire (Qt's
// smooth scaling is a box average). The filter works on the stored values (gamma space, like
// libvips and ImageMagick's defaults), in two separable passes, on several threads.
class Resampler
{
public:
    // The image resampled to exactly target (proportions are the caller's business). 8-bit
    // pixels come back as RGB32, ARGB32_Premultiplied, RGBX8888 or RGBA8888_Premultiplied, 16-bit
    // ones as RGBX64 or RGBA64 (straight 16-bit RGBA stays straight), greyscale as greyscale;
    // transparent pixels are filtered premultiplied so their colour never bleeds. A null image
    // or an empty target gives a null image; the image's colour space and resolution are kept.
    static QImage resized(const QImage &image, QSize target);
};

} // namespace inkveil
