// SPDX-FileCopyrightText: 2026 Tessaly
// SPDX-License-Identifier: GPL-3.0-or-later

#include "imageio/DecodedImage.h"

#include <utility>

namespace inkveil {

DecodedImage::DecodedImage(QImage image, const float dpi, const QSize pixelSize)
    : m_image(std::move(image))
    , m_dpi(dpi)
    , m_pixelSize(pixelSize.isValid() ? pixelSize : m_image.size())
{}

QImage DecodedImage::takeImage()
{
    return std::exchange(m_image, QImage());
}

FloatSize DecodedImage::sizeInPoints() const
{
    return {static_cast<float>(m_pixelSize.width()) * 72.0f / m_dpi,
            static_cast<float>(m_pixelSize.height()) * 72.0f / m_dpi};
}

} // namespace inkveil
