// SPDX-FileCopyrightText: 2026 Tessaly
// SPDX-License-Identifier: GPL-3.0-or-later

#include "render/CalmPlacement.h"

#include <algorithm>
#include <cmath>

namespace inkveil {

CalmPlacement::CalmPlacement(const PhotoProxy &proxy, const FloatSize canvasSize)
    : m_proxy(&proxy)
    , m_canvasSize(canvasSize)
    , m_width(proxy.width() + 1)
{
    const int w = proxy.width();
    const int h = proxy.height();
    // Lightness as the eye roughly sees it (the square root of linear light), so that detail in
    // the shadows counts as much as in the highlights.
    std::vector<float> lightness(static_cast<size_t>(w * h));
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            lightness[static_cast<size_t>(y * w + x)] = std::sqrt(proxy.at(x, y));
    const auto at = [&](int x, int y) {
        return lightness[static_cast<size_t>(std::clamp(y, 0, h - 1) * w +
                                             std::clamp(x, 0, w - 1))];
    };
    m_sums.assign(static_cast<size_t>(m_width * (h + 1)), 0.0);
    for (int y = 0; y < h; ++y) {
        double rowSum = 0.0;
        for (int x = 0; x < w; ++x) {
            // Edge energy: the squared change of lightness to the next pixel across and down.
            const float v = at(x, y);
            const float dx = at(x + 1, y) - v;
            const float dy = at(x, y + 1) - v;
            rowSum += static_cast<double>(dx * dx + dy * dy);
            m_sums[static_cast<size_t>((y + 1) * m_width + x + 1)] =
                m_sums[static_cast<size_t>(y * m_width + x + 1)] + rowSum;
        }
    }
}

double CalmPlacement::detail(const FloatRect rect) const
{
    if (m_proxy == nullptr)
        return 0.0;
    const QRect cells = m_proxy->cover(rect, m_canvasSize);
    if (cells.isEmpty())
        return 0.0;
    const auto sum = [&](int x, int y) { return m_sums[static_cast<size_t>(y * m_width + x)]; };
    const int x0 = cells.left();
    const int y0 = cells.top();
    const int x1 = x0 + cells.width();
    const int y1 = y0 + cells.height();
    const double total = sum(x1, y1) - sum(x0, y1) - sum(x1, y0) + sum(x0, y0);
    return total / (static_cast<double>(cells.width()) * cells.height());
}

bool CalmPlacement::overlap(const FloatRect a, const FloatRect b)
{
    return a.origin.x < b.origin.x + b.size.width && b.origin.x < a.origin.x + a.size.width &&
           a.origin.y < b.origin.y + b.size.height && b.origin.y < a.origin.y + a.size.height;
}

int CalmPlacement::choose(const QList<FloatRect> &candidates, const QList<FloatRect> &taken) const
{
    std::vector<double> scores;
    std::vector<bool> free;
    for (const FloatRect &candidate : candidates) {
        scores.push_back(detail(candidate));
        free.push_back(std::none_of(taken.cbegin(), taken.cend(), [&](const FloatRect &other) {
            return overlap(candidate, other);
        }));
    }
    const bool anyFree = std::find(free.cbegin(), free.cend(), true) != free.cend();
    double best = -1.0;
    for (size_t i = 0; i < scores.size(); ++i) {
        if ((free[i] || !anyFree) && (best < 0.0 || scores[i] < best))
            best = scores[i];
    }
    const double tie = best + best * TieShare + TieFloor;
    for (size_t i = 0; i < scores.size(); ++i) {
        if ((free[i] || !anyFree) && scores[i] <= tie)
            return static_cast<int>(i);
    }
    return -1;
}

} // namespace inkveil
