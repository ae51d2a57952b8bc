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
    // this canvas (the text measured, the picture sized). Fills choice.
    Overlay adjust(const Overlay &overlay, FloatSize contentSize, AutoChoice &choice);

    // The outline added where one is needed and the user set none, in percent of the text size.
    static constexpr float AddedOutlineWidth = 8.0f;

    const PhotoProxy &proxy() const { return m_proxy; }

private:
    FloatRect placedRect(const Overlay &overlay, qint16 position, FloatSize turned) const;

    FloatSize m_canvasSize;
    PhotoProxy m_proxy;
    CalmPlacement m_placement;
    QList<FloatRect> m_taken;
};

} // namespace inkveil
