// SPDX-FileCopyrightText: 2026 Tessaly
// SPDX-License-Identifier: GPL-3.0-or-later

#include "render/StamperGeometry.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace inkveil {

namespace {

// Pi is taken as 3.1415 on purpose: turned sizes, and every placement built on them, depend on
// this factor (a quarter turn keeps a sliver of 4.63e-5 of the other side). Do not tidy it to
// the true pi.
constexpr double RadiansPerDegree = 3.1415 / 180.0;

} // namespace

FloatSize StamperGeometry::sizeFromRotation(const FloatSize size, const float angle)
{
    // The bounding box repeats every quarter turn; reduce to 0..90 degrees.
    float reduced = angle;
    if (reduced >= 180.0f) {
        reduced -= 180.0f;
    }
    if (reduced > 90.0f) {
        reduced -= 90.0f;
    }
    const double radians = static_cast<double>(reduced) * RadiansPerDegree;
    const double cosine = std::cos(radians);
    const double sine = std::sin(radians);
    const double width = static_cast<double>(size.width);
    const double height = static_cast<double>(size.height);
    return {static_cast<float>(width * cosine + height * sine),
            static_cast<float>(height * cosine + width * sine)};
}

FloatPoint StamperGeometry::findDrawPoint(const FloatRect canvas, const qint16 position,
                                          const FloatSize size)
{
    const auto place = [](const int cell, const float canvasLength, const float length) {
        switch (cell) {
        case 0:
            return 0.0f;
        case 1:
            return canvasLength * 0.5f + length * -0.5f;
        default:
            return canvasLength - length;
        }
    };
    return {place(position % 3, canvas.size.width, size.width),
            place(position / 3, canvas.size.height, size.height)};
}

FloatPoint StamperGeometry::findDrawPoint(const FloatRect canvas, const qint16 position,
                                          const FloatSize size, const float margin)
{
    if (!(margin > 0.0f))
        return findDrawPoint(canvas, position, size);
    // Placed on the canvas shrunk by the margin on every side, then moved back in by it.
    const FloatPoint inner = findDrawPoint(
        FloatRect{{0, 0}, {canvas.size.width - 2.0f * margin, canvas.size.height - 2.0f * margin}},
        position, size);
    return {inner.x + margin, inner.y + margin};
}

FloatPoint StamperGeometry::movedBy(const FloatPoint point, const FloatSize canvasSize,
                                    const float offsetX, const float offsetY)
{
    return {point.x + canvasSize.width * offsetX / 100.0f,
            point.y - canvasSize.height * offsetY / 100.0f};
}

StamperGeometry::Anchoring StamperGeometry::anchorFor(const FloatSize canvasSize,
                                                      const FloatPoint drawPoint,
                                                      const FloatSize size, const float margin)
{
    if (!(canvasSize.width > 0.0f) || !(canvasSize.height > 0.0f))
        return {};
    const auto third = [](const float centre, const float length) {
        return static_cast<int>(std::clamp(std::floor(centre / length * 3.0f), 0.0f, 2.0f));
    };
    const int column = third(drawPoint.x + size.width * 0.5f, canvasSize.width);
    const int row = third(drawPoint.y + size.height * 0.5f, canvasSize.height);
    const auto position = static_cast<qint16>(row * 3 + column);
    const FloatPoint base = findDrawPoint(FloatRect{{0, 0}, canvasSize}, position, size, margin);
    return {position, (drawPoint.x - base.x) / canvasSize.width * 100.0f,
            (base.y - drawPoint.y) / canvasSize.height * 100.0f};
}

float StamperGeometry::percentOfShorterSide(const FloatSize canvasSize, const float percent)
{
    return std::min(canvasSize.width, canvasSize.height) * percent / 100.0f;
}

QList<FloatPoint> StamperGeometry::tilePoints(const FloatSize canvasSize, const FloatPoint origin,
                                              const FloatSize size, const float spacing)
{
    QList<FloatPoint> points;
    const float factor = 1.0f + std::max(spacing, 0.0f) / 100.0f;
    const float stepX = size.width * factor;
    const float stepY = size.height * factor;
    if (!(stepX > 0.0f) || !(stepY > 0.0f))
        return points;
    // Guards against a tile so small that the grid would have millions of cells.
    if (canvasSize.width / stepX * canvasSize.height / stepY > 100000.0f)
        return points;
    // The first row at or below the bottom edge, the first column left of the left edge; rows
    // alternate their half-step offset with their parity counted from the origin's row.
    const auto firstRow = static_cast<long>(std::floor((-size.height - origin.y) / stepY));
    for (long row = firstRow;; ++row) {
        const float y = origin.y + static_cast<float>(row) * stepY;
        if (y >= canvasSize.height)
            break;
        const float shift = (row % 2 != 0) ? stepX * 0.5f : 0.0f;
        const auto firstColumn =
            static_cast<long>(std::floor((-size.width - origin.x - shift) / stepX));
        for (long column = firstColumn;; ++column) {
            const float x = origin.x + shift + static_cast<float>(column) * stepX;
            if (x >= canvasSize.width)
                break;
            if (x + size.width > 0.0f && y + size.height > 0.0f)
                points.append({x, y});
        }
    }
    return points;
}

FloatPoint StamperGeometry::findOffset(const float angle, const FloatSize size)
{
    const float w = size.width;
    const float h = size.height;
    switch (static_cast<int>(angle)) {
    case 0:
        return {0.0f, h * 0.5f};
    case 45:
        return {0.0f, h};
    case 90:
        return {w * 0.5f, h - w};
    case 135:
        return {w, h};
    case 180:
        return {w - h, h * 0.5f};
    case 225:
        return {w, 0.0f};
    case 270:
        return {w * 0.5f, 0.0f};
    case 315:
        return {0.0f, 0.0f};
    default:
        return {};
    }
}

FloatPoint StamperGeometry::findEndpoint(const FloatPoint point, const float angle,
                                         const float extraAngle, const qint16 maxSize)
{
    float sum = angle + extraAngle;
    if (sum >= 360.0f) {
        sum -= 360.0f;
    }
    const float m = static_cast<float>(maxSize);
    const float x = point.x;
    const float y = point.y;
    switch (static_cast<int>(sum)) {
    case 0:
        return {x + m, y};
    case 45:
        return {x + m, y - m};
    case 90:
        return {x, y - m};
    case 135:
        return {x - m, y - m};
    case 180:
        return {x - m, y};
    case 225:
        return {x - m, y + m};
    case 270:
        return {x, y + m};
    case 315:
        return {x + m, y + m};
    default:
        return point;
    }
}

qint16 StamperGeometry::bandLength(const FloatSize canvasSize)
{
    const float squares =
        canvasSize.width * canvasSize.width + canvasSize.height * canvasSize.height;
    const double diagonal = std::sqrt(static_cast<double>(squares));
    // A photo with a diagonal beyond the 16-bit range gets the longest band that fits; its band
    // may then stop short of the far corners.
    constexpr double longest = std::numeric_limits<qint16>::max();
    return static_cast<qint16>(std::min(diagonal, longest));
}

} // namespace inkveil
