// SPDX-FileCopyrightText: 2026 Tessaly
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "base/FloatGeometry.h"
#include "render/AutoContrast.h"
#include "render/CalmPlacement.h"
#include "render/PhotoProxy.h"
#include "watermarks/Overlay.h"

#include <QColor>
#include <QImage>
#include <QList>

namespace inkveil {

// What a watermark became on one photo: where it went and, for a text, in which colour.
struct AutoChoice
{
    // The watermark's index in the list drawn.
    int index = -1;
    qint16 position = 0;
    // Invalid for a picture.
    QColor textColor;
    // Contrast reached by the text against what it covers; 0 for a picture.
    double contrast = 0;
    // Of a picture with a second one under automatic contrast: 0 the first drawn, 1 the
    // second; -1 for any other watermark.
    int variant = -1;
};

// The luminances (linear, 0 to 1) of an image watermark's two pictures as they show; negative
// where a picture cannot be read.
struct PictureVariants
{
    double first = -1;
    double second = -1;
};

// Fits the automatic watermarks of one photo to it, in list order: each placed where it covers
// the least detail and overlaps no automatic one placed before it, and each text given the
// colour and effect that keep it legible there. Reads the photo once, as a small proxy, before
// anything is drawn on it.
class AutoAdjuster
{
public:
    AutoAdjuster(const QImage &photo, FloatSize canvasSize);

    static bool wantsPhoto(const Overlay &overlay);

    // The overlay as it is to be drawn on this photo. contentSize is its unturned content on
    // this canvas (the text measured, the picture sized). Fills choice. variants is read only
    // for a picture with a second one under automatic contrast; the caller swaps the picture
    // in when choice.variant is 1.
    Overlay adjust(const Overlay &overlay, FloatSize contentSize, AutoChoice &choice,
                   const PictureVariants &variants = {});

    // A picture's luminance as it shows: the mean of its pixels weighted by their opacity.
    static double pictureLuminance(const QImage &picture);

    // The outline added where one is needed and the user set none, in percent of the text size.
    static constexpr float AddedOutlineWidth = 8.0f;

    const PhotoProxy &proxy() const { return m_proxy; }

private:
    FloatRect placedRect(const Overlay &overlay, qint16 position, FloatSize turned) const;
    int chooseVariant(const Overlay &overlay, FloatRect rect,
                      const PictureVariants &variants) const;

    FloatSize m_canvasSize;
    PhotoProxy m_proxy;
    CalmPlacement m_placement;
    QList<FloatRect> m_taken;
};

} // namespace inkveil
