// SPDX-FileCopyrightText: 2026 Tessaly
// SPDX-License-Identifier: GPL-3.0-or-later

#include "app/WindowFit.h"

#include <algorithm>

namespace inkveil {

QRect WindowFit::firstGeometry(const QRect &available, const QMargins &frame, const QSize &minimum)
{
    const QSize room = available.marginsRemoved(frame).size();
    const QSize wanted(std::max(available.width() * 2 / 3, 1000),
                       std::max(available.height() * 2 / 3, 700));
    const QSize size = wanted.boundedTo(room).expandedTo(minimum);
    QRect framed(QPoint(0, 0), size.grownBy(frame));
    framed.moveCenter(available.center());
    return framed.marginsRemoved(frame);
}

bool WindowFit::fits(const QRect &geometry, const QMargins &frame, const QList<QRect> &areas)
{
    const QRect framed = geometry.marginsAdded(frame);
    return std::any_of(areas.cbegin(), areas.cend(),
                       [&framed](const QRect &area) { return area.contains(framed); });
}

} // namespace inkveil
