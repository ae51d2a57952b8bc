// SPDX-FileCopyrightText: 2026 Tessaly
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QList>
#include <QMargins>
#include <QRect>
#include <QSize>

namespace inkveil {

// Where the main window goes on the screens. Geometries are the window's own area; the frame
// (title bar and borders the window manager adds) comes on top of it and must fit as well, or
// Previous and Next end up below the screen's edge.
class WindowFit
{
public:
    WindowFit() = delete;

    // What window managers commonly add, for a window not yet shown, whose frame is unknown.
    static constexpr QMargins TypicalFrame{4, 32, 4, 4};

    // The first start: about two thirds of the available area, at least 1000 x 700 where that
    // fits, framed within the area and centred on it; never smaller than minimum.
    static QRect firstGeometry(const QRect &available, const QMargins &frame, const QSize &minimum);
    // Whether the window, framed, lies wholly within one of the areas.
    static bool fits(const QRect &geometry, const QMargins &frame, const QList<QRect> &areas);
};

} // namespace inkveil
