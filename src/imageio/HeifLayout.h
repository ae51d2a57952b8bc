// SPDX-FileCopyrightText: 2026 Tessaly
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "base/Result.h"

#include <QIODevice>
#include <QSize>

namespace inkveil {

// What a HEIF or AVIF file's boxes say about its primary image, read before libheif sees the
// file. libheif reports the size from the image's 'ispe' box, but a grid or overlay is decoded at
// the size its own record gives, and libheif believes box lengths before it checks them against
// the file. So the boxes up to and including 'meta' must lie inside the file, every piece of an
// item inside the file or its 'idat', and the size here is the one that will be decoded.
struct HeifLayout
{
    // Upright size of the primary image as it will be decoded (rotation applied, before any
    // crop), or of a larger grid in the file (its alpha is decoded with it); empty when the file
    // records none.
    QSize size;
    // Images decoded to make it: the tiles of its grid and of the file's other grids, else 1.
    int tiles = 1;
    // Upright size of a single primary image's coded picture, where its stream's header (AV1's
    // sequence header) gives one ahead of the pixels; empty when it doesn't.
    QSize coded;

    // Reads only the boxes ahead of the pixel data, never the pixels.
    static Result<HeifLayout> read(QIODevice &device);
};

} // namespace inkveil
