// SPDX-FileCopyrightText: 2026 Tessaly
// SPDX-License-Identifier: GPL-3.0-or-later

#include "render/PreviewGeometry.h"

namespace inkveil {

FloatRect PreviewGeometry::fitRect(const FloatSize image, const FloatSize view)
{
    if (!(image.width > 0.0f) || !(image.height > 0.0f))
        return {};
    const float ratio = image.width / image.height;
    FloatSize drawn;
    if (ratio > view.width / view.height)
        drawn = {view.width, view.width / ratio};
    else
        drawn = {ratio * view.height, view.height};
    // A small photo is shown at its own size rather than blown up.
    if (drawn.width > image.width || drawn.height > image.height)
        drawn = image;
    return {{(view.width - drawn.width) * 0.5f, (view.height - drawn.height) * 0.5f}, drawn};
}

} // namespace inkveil
