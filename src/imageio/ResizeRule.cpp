// SPDX-FileCopyrightText: 2026 Tessaly
// SPDX-License-Identifier: GPL-3.0-or-later

#include "imageio/ResizeRule.h"

#include "imageio/ImageToolkit.h"

#include <algorithm>
#include <cmath>

namespace inkveil {

namespace {

// Both edges times factor, at least 1 pixel each; invalid past the decoder's own limit, which
// a percent or megapixel count on a large photo can ask for.
QSize scaled(const QSize pixelSize, const double factor)
{
    const double width = std::max(1.0, std::round(pixelSize.width() * factor));
    const double height = std::max(1.0, std::round(pixelSize.height() * factor));
    if (width * height > static_cast<double>(ImageToolkit::MaxPixels))
        return {};
    return {static_cast<int>(width), static_cast<int>(height)};
}

} // namespace

QSize ResizeRule::outputSize(const QSize pixelSize) const
{
    if (pixelSize.isEmpty())
        return {};
    const double longEdge = std::max(pixelSize.width(), pixelSize.height());
    const double shortEdge = std::min(pixelSize.width(), pixelSize.height());
    double factor = 0.0;
    switch (mode) {
    case LongEdge:
        factor = edge / longEdge;
        break;
    case ShortEdge:
        factor = edge / shortEdge;
        break;
    case Percent:
        factor = percent / 100.0;
        break;
    case Megapixels:
        factor = std::sqrt(static_cast<double>(megapixels) * 1e6 / (longEdge * shortEdge));
        break;
    default: {
        const QSize fitted = ImageToolkit::fittedSize(pixelSize, width, height);
        const bool larger =
            fitted.width() > pixelSize.width() || fitted.height() > pixelSize.height();
        return neverEnlarge && fitted.isValid() && larger ? pixelSize : fitted;
    }
    }
    if (!(factor > 0.0) || !std::isfinite(factor))
        return {};
    if (neverEnlarge && factor >= 1.0)
        return pixelSize;
    QSize size = scaled(pixelSize, factor);
    // The edge asked for comes out exact, whatever the rounding of the factor did.
    if (size.isValid() && (mode == LongEdge || mode == ShortEdge)) {
        const bool wide = pixelSize.width() >= pixelSize.height();
        if (wide == (mode == LongEdge))
            size.setWidth(edge);
        else
            size.setHeight(edge);
    }
    return size;
}

QString ResizeRule::description() const
{
    QString text;
    switch (mode) {
    case LongEdge:
        text = QStringLiteral("long edge %1 px.").arg(edge);
        break;
    case ShortEdge:
        text = QStringLiteral("short edge %1 px.").arg(edge);
        break;
    case Percent:
        text = QStringLiteral("%1 %").arg(percent);
        break;
    case Megapixels:
        text = QStringLiteral("%1 megapixels").arg(static_cast<double>(megapixels));
        break;
    default:
        text = QStringLiteral("fit into %1 px. * %2 px.").arg(width).arg(height);
    }
    if (neverEnlarge)
        text += QStringLiteral(", never enlarged");
    return text;
}

} // namespace inkveil
