// SPDX-FileCopyrightText: 2026 Tessaly
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "mark/MarkCode.h"

class QImage;

namespace inkveil {

class MarkKey;

// Puts the invisible mark into an output's final pixels: the keyed tile (MarkTile), repeated
// over the photo, added to the brightness of every pixel (the same amount to red, green and blue,
// so colours keep their hue). Its strength follows the picture: under 2 levels on flat sky and
// skin, up to 4 in grass and gravel, where the eye cannot see it.
class MarkEmbedder
{
public:
    // Whether the image's pixel format can carry the mark: 8-bit RGB(A), greyscale 8 and 16.
    static bool canCarry(const QImage &image);
    // Adds the mark in place; false (the image untouched) when canCarry() says no.
    static bool embed(QImage &image, const MarkKey &key, const MarkPayload &payload);
};

} // namespace inkveil
