// SPDX-FileCopyrightText: 2026 Tessaly
// SPDX-License-Identifier: GPL-3.0-or-later

#include "render/PhotoProxy.h"

#include <QtMath>

#include <algorithm>
#include <array>
#include <cmath>

namespace inkveil {

namespace {

// Relative luminance of each 8-bit sRGB value, per channel with its Rec. 709 weight folded in.
struct LuminanceTable
{
    std::array<float, 256> red{};
    std::array<float, 256> green{};
    std::array<float, 256> blue{};

    LuminanceTable()
    {
        for (int i = 0; i < 256; ++i) {
            const float l = PhotoProxy::linear(static_cast<float>(i) / 255.0f);
            red[static_cast<size_t>(i)] = 0.2126f * l;
            green[static_cast<size_t>(i)] = 0.7152f * l;
            blue[static_cast<size_t>(i)] = 0.0722f * l;
        }
    }
};

const LuminanceTable &luminanceTable()
{
    static const LuminanceTable table;
    return table;
}

bool readsDirectly(QImage::Format format)
{
    return format == QImage::Format_RGB32 || format == QImage::Format_ARGB32 ||
           format == QImage::Format_ARGB32_Premultiplied;
}

// One row of the photo, sampled every `step` pixels (about three samples a box side: plenty for
// a box's mean, close enough between a photo and a copy of it at another size, and a large photo
// is then read on one row in four only, which is most of the saving), added box by box into a
// row of the proxy.
struct SampledRow
{
    int width;
    int box;
    int step;

    void add(const QRgb *line, float *sums, float *darkest, float *brightest, int *counts) const
    {
        const LuminanceTable &table = luminanceTable();
        int x = step / 2;
        for (int cell = 0; x < width; ++cell) {
            const int end = std::min(width, (cell + 1) * box);
            float sum = 0.0f;
            float low = darkest[cell];
            float high = brightest[cell];
            int count = 0;
            for (; x < end; x += step, ++count) {
                const QRgb p = line[x];
                const float l = table.red[(p >> 16) & 0xff] + table.green[(p >> 8) & 0xff] +
                                table.blue[p & 0xff];
                sum += l;
                low = std::min(low, l);
                high = std::max(high, l);
            }
            sums[cell] += sum;
            darkest[cell] = low;
            brightest[cell] = high;
            counts[cell] += count;
        }
    }
};

} // namespace

float PhotoProxy::linear(float srgb)
{
    return srgb <= 0.04045f ? srgb / 12.92f : std::pow((srgb + 0.055f) / 1.055f, 2.4f);
}

float PhotoProxy::srgb(float linear)
{
    linear = std::clamp(linear, 0.0f, 1.0f);
    return linear <= 0.0031308f ? linear * 12.92f : 1.055f * std::pow(linear, 1.0f / 2.4f) - 0.055f;
}

PhotoProxy PhotoProxy::fromImage(const QImage &image)
{
    PhotoProxy proxy;
    if (image.isNull())
        return proxy;
    const int w = image.width();
    const int h = image.height();
    proxy.m_imageWidth = w;
    proxy.m_imageHeight = h;
    proxy.m_box = std::max(1, (std::max(w, h) + MaxSide - 1) / MaxSide);
    const int box = proxy.m_box;
    proxy.m_width = (w + box - 1) / box;
    proxy.m_height = (h + box - 1) / box;
    const size_t cells = static_cast<size_t>(proxy.m_width) * static_cast<size_t>(proxy.m_height);
    proxy.m_pixels.assign(cells, 0.0f);
    proxy.m_darkest.assign(cells, 1.0f);
    proxy.m_brightest.assign(cells, 0.0f);
    std::vector<int> counts(cells, 0);
    const SampledRow sampled{w, box, std::max(1, box / 3)};
    QImage converted;
    for (int y = sampled.step / 2; y < h; y += sampled.step) {
        const QRgb *line = nullptr;
        if (readsDirectly(image.format())) {
            line = reinterpret_cast<const QRgb *>(image.constScanLine(y));
        } else {
            converted = image.copy(0, y, w, 1).convertToFormat(QImage::Format_RGB32);
            line = reinterpret_cast<const QRgb *>(converted.constScanLine(0));
        }
        const size_t first = static_cast<size_t>(y / box) * static_cast<size_t>(proxy.m_width);
        sampled.add(line, proxy.m_pixels.data() + first, proxy.m_darkest.data() + first,
                    proxy.m_brightest.data() + first, counts.data() + first);
    }
    for (size_t i = 0; i < cells; ++i) {
        proxy.m_pixels[i] =
            counts[i] > 0 ? proxy.m_pixels[i] / static_cast<float>(counts[i]) : 0.0f;
        proxy.m_brightest[i] = std::max(proxy.m_brightest[i], proxy.m_pixels[i]);
        proxy.m_darkest[i] = std::min(proxy.m_darkest[i], proxy.m_pixels[i]);
    }
    return proxy;
}

QRect PhotoProxy::cover(FloatRect rect, FloatSize canvasSize) const
{
    if (isNull() || !(canvasSize.width > 0.0f) || !(canvasSize.height > 0.0f))
        return {};
    // Canvas units to proxy pixels; the canvas is y-up, the proxy's rows run down.
    const double sx = m_imageWidth / static_cast<double>(canvasSize.width) / m_box;
    const double sy = m_imageHeight / static_cast<double>(canvasSize.height) / m_box;
    const double top = (static_cast<double>(canvasSize.height) -
                        static_cast<double>(rect.origin.y + rect.size.height)) *
                       sy;
    const double bottom = (static_cast<double>(canvasSize.height) - rect.origin.y) * sy;
    const int left = std::max(0, static_cast<int>(std::floor(rect.origin.x * sx)));
    const int right =
        std::min(m_width, static_cast<int>(std::ceil((rect.origin.x + rect.size.width) * sx)));
    const int first = std::max(0, static_cast<int>(std::floor(top)));
    const int last = std::min(m_height, static_cast<int>(std::ceil(bottom)));
    if (right <= left || last <= first)
        return {};
    return QRect(left, first, right - left, last - first);
}

} // namespace inkveil
