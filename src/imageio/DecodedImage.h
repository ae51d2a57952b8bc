// SPDX-FileCopyrightText: 2026 Tessaly
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "base/FloatGeometry.h"

#include <QImage>

namespace inkveil {

// A photo as read from its file: the upright pixels, the resolution the file records, and its
// size in points (pixels x 72 / dpi). A photo decoded at a reduced size keeps its full pixel size
// and its size in points; only its image is smaller.
class DecodedImage
{
public:
    DecodedImage() = default;
    // pixelSize: the photo's upright size in the file, when the image is a reduced decode of it.
    DecodedImage(QImage image, float dpi, QSize pixelSize = QSize());

    bool isNull() const { return m_image.isNull(); }
    const QImage &image() const { return m_image; }
    // Hands the pixels over, leaving this result null, so that the caller holds the only reference
    // and can draw into them without a copy.
    QImage takeImage();

    // Horizontal resolution in dots per inch: what the file records, else 72.
    float dpi() const { return m_dpi; }
    // The photo's size in pixels as the file has it, which the image may be reduced from.
    QSize pixelSize() const { return m_pixelSize; }
    FloatSize sizeInPoints() const;

private:
    QImage m_image;
    float m_dpi = 72.0f;
    QSize m_pixelSize{0, 0};
};

} // namespace inkveil
