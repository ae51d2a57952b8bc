// SPDX-FileCopyrightText: 2026 Tessaly
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "base/FloatGeometry.h"
#include "render/PhotoProxy.h"

#include <QColor>

namespace inkveil {

// Text that stays legible on any photo: of the user's two colours, the one that stands out
// against the brightness it covers, with a shadow or an outline in the other colour where
// neither does on its own. Legibility is the contrast ratio of the text's colour to the
// luminance behind it, (L1 + 0.05) / (L2 + 0.05) as accessibility guidelines define it, taken at
// the worst of the median, the darkest tenth and the brightest tenth of what lies behind.
class AutoContrast
{
public:
    // What a text covers: luminances (linear, 0 to 1) at the median, the 10th and the 90th
    // percentile of the proxy pixels under it.
    struct Backdrop
    {
        float median = 0;
        float dark = 0;
        float bright = 0;
    };
    static Backdrop measure(const PhotoProxy &proxy, FloatRect rect, FloatSize canvasSize);

    enum class Effect { None, Shadow, Outline };

    // How the text is to be drawn, and the contrast that reaches.
    struct Choice
    {
        QColor text;
        Effect effect = Effect::None;
        QColor effectColor;
        double ratio = 0;
    };

    // What the text is drawn with and on: its two colours (the first preferred whenever it is
    // legible), its opacity, the box behind it (invalid when there is none), and which effects
    // may be added, with the shadow's strength (its alpha).
    struct Style
    {
        QColor first;
        QColor second;
        float alpha = 1;
        QColor box;
        bool shadowAllowed = true;
        float shadowStrength = 0.6f;
        bool outlineAllowed = true;
    };

    static constexpr double Target = 4.5;

    // The first colour if it reaches Target, else the second; else either with a shadow, then
    // with an outline, as allowed; else whichever colour comes closest.
    static Choice choose(const Backdrop &backdrop, const Style &style);
    // The contrast the text reaches with the given effect, at the worst of the backdrop's three.
    static double ratio(const Backdrop &backdrop, const Style &style, const QColor &text,
                        Effect effect, const QColor &effectColor);
    static double contrastRatio(double a, double b);
    // Relative luminance of a colour's red, green and blue.
    static double luminance(const QColor &color);
};

} // namespace inkveil
