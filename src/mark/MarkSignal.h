// SPDX-FileCopyrightText: 2026 Tessaly
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QtGlobal>

#include <vector>

class QImage;

namespace inkveil {

// A plane of floats, row by row: brightness or what the detector makes of it.
struct Plane
{
    int width = 0;
    int height = 0;
    std::vector<float> values;

    Plane() = default;
    Plane(int w, int h)
        : width(w)
        , height(h)
        , values(size_t(w) * size_t(h), 0.0f)
    {}
    float &at(int x, int y) { return values[size_t(y) * size_t(width) + size_t(x)]; }
    float at(int x, int y) const { return values[size_t(y) * size_t(width) + size_t(x)]; }
};

// The signal processing the mark's detector is built from.
class MarkSignal
{
public:
    // The image's brightness, shrunk by averaging whole pixels so that its long side is at most
    // longSide (never enlarged).
    static Plane brightness(const QImage &image, int longSide);
    // What is left of the picture once its smooth content is taken away and its busy parts are
    // evened out with its quiet ones: the mark stands out against it, whatever the photo.
    static Plane whitened(const Plane &plane);
    // The plane turned by an angle (radians, counter-clockwise as the photo is shown), cut to the
    // largest upright rectangle of the same centre that the turned plane covers.
    static Plane rotated(const Plane &plane, float angle);
    // The plane's circular autocorrelation over a plane padded by half its size in each
    // direction, normalised to 1 at lag 0: element (x, y) is the lag (x, y), negative lags wrap.
    static Plane autocorrelation(const Plane &plane);
    // The circular cross-correlation of two square planes of the same size (a power of 2):
    // element (x, y) holds the sum of a(u + x, v + y) b(u, v).
    static Plane crossCorrelation(const Plane &a, const Plane &b);
};

} // namespace inkveil
