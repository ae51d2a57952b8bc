#pragma once

#include "render/FloatGeometry.h"

#include <QImage>
#include <QString>

// A photo as read from its file: the upright pixels, the resolution the file records, and its
// size in points (pixels x 72 / dpi). A failed read holds a null image and says why.
class DecodedImage
{
public:
    // A failed read.
    static DecodedImage failure(const QString &errorString);

    DecodedImage() = default;
    DecodedImage(QImage image, float dpi);

    bool isNull() const { return m_image.isNull(); }
    const QImage &image() const { return m_image; }
    // Hands the pixels over, leaving this result null, so that the caller holds the only reference
    // and can draw into them without a copy.
    QImage takeImage();

    // Horizontal resolution in dots per inch: what the file records, else 72.
    float dpi() const { return m_dpi; }
    FloatSize sizeInPoints() const;

    // Why the read failed; empty after a successful one.
    QString errorString() const { return m_errorString; }

private:
    QImage m_image;
    float m_dpi = 72.0f;
    QString m_errorString;
};
