// SPDX-FileCopyrightText: 2026 Tessaly
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "base/FloatGeometry.h"

#include <QList>
#include <QtGlobal>

namespace inkveil {

// Where a watermark goes on a photo: the size of its content once turned, the corner at which it
// is drawn for an anchor position, and the line along which its background continues as a band
// through the whole photo. Units are source pixels, y grows upward, nothing is rounded.
//
// Angles are degrees, one of 0, 45, ..., 315, turning the content clockwise; the text then reads
// along (cos a, -sin a). Positions 0 to 8 name the cells of a 3 x 3 grid: column = position % 3
// from the left, row = position / 3 from the bottom. Other angles and positions are never
// produced by the editors.
class StamperGeometry
{
public:
    StamperGeometry() = delete;

    // Bounding size of content of the given size turned by the angle. Degrees become radians with
    // 3.1415 / 180, so a quarter turn keeps a sliver (4.63e-5) of the other side.
    static FloatSize sizeFromRotation(FloatSize size, float angle);

    // Lower-left corner of turned content of the given size at the anchor position. Only the
    // canvas size counts, not its origin. There is no margin: corner and edge positions touch the
    // photo's edges, and oversized content sticks out on the side away from its anchor.
    static FloatPoint findDrawPoint(FloatRect canvas, qint16 position, FloatSize size);

    // As above, kept margin units from each edge the position anchors to: corner positions from
    // two edges, edge-middle positions from one; the centre does not move.
    static FloatPoint findDrawPoint(FloatRect canvas, qint16 position, FloatSize size,
                                    float margin);

    // A draw point moved by a hand placement: offsetX percent of the canvas's width to the right,
    // offsetY percent of its height downward (as the photo is seen; the point is y-up).
    static FloatPoint movedBy(FloatPoint point, FloatSize canvasSize, float offsetX, float offsetY);

    // A hand placement put in the terms of the nearest anchor: the position whose third of the
    // canvas holds the centre of content of the given size drawn at drawPoint, and the offsets
    // (as for movedBy) that keep it exactly there.
    struct Anchoring
    {
        qint16 position = 0;
        float offsetX = 0.0f;
        float offsetY = 0.0f;
    };
    static Anchoring anchorFor(FloatSize canvasSize, FloatPoint drawPoint, FloatSize size,
                               float margin);

    // Units per percent of the canvas's shorter side: what relative sizes and margins are
    // measured in, so that they look alike on portrait, landscape, small and huge photos.
    static float percentOfShorterSide(FloatSize canvasSize, float percent);

    // Lower-left corners of tiles of the given size repeated over the whole canvas: a grid
    // through origin (any one tile's corner) whose steps are the size plus spacing percent of
    // it, each row offset by half a step. Only tiles that touch the canvas are listed.
    static QList<FloatPoint> tilePoints(FloatSize canvasSize, FloatPoint origin, FloatSize size,
                                        float spacing);

    // Start of the band, relative to the draw point of turned content of the given size.
    static FloatPoint findOffset(float angle, FloatSize size);

    // The point maxSize units from the given point along the reading direction of angle +
    // extraAngle (0 ahead, 180 behind); diagonals move maxSize along both axes.
    static FloatPoint findEndpoint(FloatPoint point, float angle, float extraAngle, qint16 maxSize);

    // Length of each half of the band: the canvas diagonal, truncated, so that a band from any
    // point of the photo reaches every edge.
    static qint16 bandLength(FloatSize canvasSize);
};

} // namespace inkveil
