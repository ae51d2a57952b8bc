// SPDX-FileCopyrightText: 2026 Tessaly
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "base/Result.h"

#include <QByteArray>
#include <QImage>

namespace inkveil {

// Writes a single-frame GIF89a through giflib (Qt has no GIF writer). Colours are cut down to a
// palette with Qt's diffuse dithering; an image with alpha keeps its transparent pixels as one
// transparent palette entry (alpha below one half counts as transparent). GIF records no
// resolution.
class GifEncoder
{
public:
    GifEncoder() = delete;

    // The encoded file; fails when giflib does or the image is larger than GIF allows.
    static Result<QByteArray> encode(const QImage &image);
};

} // namespace inkveil
