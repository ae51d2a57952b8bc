// SPDX-FileCopyrightText: 2026 Tessaly
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "base/FloatGeometry.h"
#include "render/PhotoProxy.h"

#include <QList>

#include <vector>

namespace inkveil {

// Where on a photo a watermark hides the least: the detail a rectangle covers is the mean edge
// energy of the proxy under it (the squared change of lightness from pixel to pixel), so a clear
// sky or a blurred background scores low and foliage, faces and text score high.
//
// The choice is meant to be predictable: the same photo always gives the same answer; scores
// within a small margin of the best count as a tie, and a tie goes to the candidate listed first,
// so that a burst of nearly identical photos, or a photo resized or recompressed, keeps its
// position instead of flickering between two almost equal corners.
class CalmPlacement
{
public:
    CalmPlacement() = default;
    CalmPlacement(const PhotoProxy &proxy, FloatSize canvasSize);

    // Mean detail per proxy pixel under a canvas rectangle (y up); 0 for one outside the photo.
    double detail(FloatRect rect) const;

    // Index of the candidate to use: the one covering the least detail (ties to the earlier) of
    // those overlapping no rectangle in `taken`; when every candidate overlaps one, the least
    // detailed of all. -1 for no candidates.
    int choose(const QList<FloatRect> &candidates, const QList<FloatRect> &taken) const;

    // Scores within this share of the best, plus TieFloor, are ties. TieFloor is about the
    // energy of a change of two 8-bit steps per pixel: below it a region is flat, whatever its
    // noise. The share trades a little detail for positions that stay put on nearly equal
    // photos.
    static constexpr double TieShare = 0.5;
    static constexpr double TieFloor = 5e-5;

    static bool overlap(FloatRect a, FloatRect b);

private:
    const PhotoProxy *m_proxy = nullptr;
    FloatSize m_canvasSize;
    int m_width = 0;
    // Summed-area table of the detail: any rectangle's total in four reads.
    std::vector<double> m_sums;
};

} // namespace inkveil
