// SPDX-FileCopyrightText: 2026 Tessaly
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "base/FloatGeometry.h"

#include <QImage>
#include <QRect>

#include <vector>

namespace inkveil {

// A small picture of a photo's brightness, for deciding where a watermark goes and in which
// colour without looking at every pixel again. Each proxy pixel is the mean relative luminance
// (linear light, 0 to 1, what contrast ratios are defined on) of a square box of the photo,
// sampled sparsely inside large boxes so that a 24-megapixel photo costs a few milliseconds;
// the darkest and brightest sample of each box are kept too.
// A photo and a copy of it at half the size give nearly the same proxy.
class PhotoProxy
{
public:
    static constexpr int MaxSide = 512;

    PhotoProxy() = default;
    static PhotoProxy fromImage(const QImage &image);

    bool isNull() const { return m_pixels.empty(); }
    int width() const { return m_width; }
    int height() const { return m_height; }
    float at(int x, int y) const { return m_pixels[index(x, y)]; }
    // The darkest and brightest sample of the box: what a mean hides of fine texture.
    float darkest(int x, int y) const { return m_darkest[index(x, y)]; }
    float brightest(int x, int y) const { return m_brightest[index(x, y)]; }

    // The proxy pixels under a rectangle of the photo given in canvas units (y up, the whole
    // photo being canvasSize): every pixel the rectangle touches, clipped to the proxy. Empty
    // when the rectangle lies outside the photo.
    QRect cover(FloatRect rect, FloatSize canvasSize) const;

    // sRGB component (0 to 1) to linear light, and back.
    static float linear(float srgb);
    static float srgb(float linear);

private:
    size_t index(int x, int y) const { return static_cast<size_t>(y * m_width + x); }

    int m_width = 0;
    int m_height = 0;
    // Pixels of the photo per proxy pixel, along each side.
    int m_box = 1;
    int m_imageWidth = 0;
    int m_imageHeight = 0;
    std::vector<float> m_pixels;
    std::vector<float> m_darkest;
    std::vector<float> m_brightest;
};

} // namespace inkveil
