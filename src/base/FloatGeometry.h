// SPDX-FileCopyrightText: 2026 Tessaly
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

namespace inkveil {

// Sizes and points for placing watermarks. The placement arithmetic is single precision from end
// to end; these keep it there, where QSizeF and QPointF would quietly widen it to double.
// Coordinates are y-up: the origin is the photo's lower-left corner.

struct FloatSize
{
    float width = 0;
    float height = 0;

    friend bool operator==(FloatSize, FloatSize) = default;
};

struct FloatPoint
{
    float x = 0;
    float y = 0;

    friend bool operator==(FloatPoint, FloatPoint) = default;
};

struct FloatRect
{
    FloatPoint origin;
    FloatSize size;

    friend bool operator==(FloatRect, FloatRect) = default;
};

} // namespace inkveil
