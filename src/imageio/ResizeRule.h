// SPDX-FileCopyrightText: 2026 Tessaly
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QSize>
#include <QString>

namespace inkveil {

// How large an output is made from a photo of a given pixel size: fitted into a box, by its
// long or short edge, by percent, or by megapixels, optionally never larger than the photo.
// A value only; outputSize() is the one place the size is worked out, for the batch, its
// memory estimate, the reduced decode and the summary alike.
struct ResizeRule
{
    // By number as OutputOptions::ResizeMode stores it; any other number fits into the box.
    enum Mode : int { FitBox = 0, LongEdge = 1, ShortEdge = 2, Percent = 3, Megapixels = 4 };

    Mode mode = FitBox;
    // The box of FitBox, in pixels.
    int width = 0;
    int height = 0;
    // The long or short edge, in pixels.
    int edge = 0;
    // Of each edge, for Percent.
    int percent = 100;
    // Millions of pixels, for Megapixels.
    float megapixels = 0.0f;
    // A photo already smaller than the rule asks for keeps its size.
    bool neverEnlarge = false;

    static ResizeRule fitInto(int boxWidth, int boxHeight) { return {FitBox, boxWidth, boxHeight}; }
    static ResizeRule fitInto(QSize box) { return fitInto(box.width(), box.height()); }

    // The output's pixel size for a photo of pixelSize, its proportions kept. FitBox is
    // ImageToolkit::fittedSize(), unchanged; the other modes scale both edges by one factor
    // and round each to the nearest pixel, at least 1 (the named edge comes out exact).
    // Invalid for an empty pixelSize or a rule value of 0 or less, and, outside FitBox, for an
    // output over ImageToolkit::MaxPixels.
    QSize outputSize(QSize pixelSize) const;

    // "fit into 640 px. * 480 px.", "long edge 2048 px.", "short edge 1080 px.", "50 %",
    // "12 megapixels", each followed by ", never enlarged" when so.
    QString description() const;
};

} // namespace inkveil
