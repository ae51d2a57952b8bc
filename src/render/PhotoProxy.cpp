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
    // Four samples a side of each box are plenty for its mean: a large photo is read on every
    // third or fourth row only, which is most of the saving.
    const int step = std::max(1, box / 4);
    std::vector<float> sums(static_cast<size_t>(proxy.m_width * proxy.m_height), 0.0f);
    std::vector<int> counts(sums.size(), 0);
    const LuminanceTable &table = luminanceTable();
    const bool direct = readsDirectly(image.format());
    QImage row;
    for (int y = step / 2; y < h; y += step) {
        const QRgb *line = nullptr;
        if (direct) {
            line = reinterpret_cast<const QRgb *>(image.constScanLine(y));
        } else {
            row = image.copy(0, y, w, 1).convertToFormat(QImage::Format_RGB32);
            line = reinterpret_cast<const QRgb *>(row.constScanLine(0));
        }
        float *const sumRow = sums.data() + static_cast<ptrdiff_t>(y / box) * proxy.m_width;
        int *const countRow = counts.data() + static_cast<ptrdiff_t>(y / box) * proxy.m_width;
        for (int x = step / 2; x < w; x += step) {
            const QRgb p = line[x];
            sumRow[x / box] += table.red[(p >> 16) & 0xff] + table.green[(p >> 8) & 0xff] +
                               table.blue[p & 0xff];
            ++countRow[x / box];
        }
    }
    proxy.m_pixels.resize(sums.size());
    for (size_t i = 0; i < sums.size(); ++i)
        proxy.m_pixels[i] = counts[i] > 0 ? sums[i] / static_cast<float>(counts[i]) : 0.0f;
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
