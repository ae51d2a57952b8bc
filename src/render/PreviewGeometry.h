// SPDX-FileCopyrightText: 2026 Tessaly
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "base/FloatGeometry.h"

namespace inkveil {

// Where a rendered photo goes in a preview: fitted into the view with its proportions kept,
// never enlarged, and centred. Units are the view's; single precision like the rest of the
// placement arithmetic.
class PreviewGeometry
{
public:
    PreviewGeometry() = delete;

    // The rectangle an image of the given size is drawn into in a view of the given size. The
    // image is centred on both axes, so the origin is the same whether y grows upward or
    // downward. An image without area gives an empty rectangle.
    static FloatRect fitRect(FloatSize image, FloatSize view);
};

} // namespace inkveil
