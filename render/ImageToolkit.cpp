#include "render/ImageToolkit.h"

#include <QImage>
#include <QImageReader>

namespace {

constexpr double InchesPerMetre = 0.0254;

// Points per pixel for a resolution in dots per metre; no resolution means 72 dpi.
double pointsPerPixel(int dotsPerMetre)
{
    if (dotsPerMetre <= 0)
        return 1.0;
    return 72.0 / (dotsPerMetre * InchesPerMetre);
}

} // namespace

std::optional<QSizeF> ImageToolkit::naturalSize(const QString &path)
{
    QImageReader reader(path);
    reader.setAutoTransform(true);
    const QImage image = reader.read();
    if (image.isNull())
        return std::nullopt;
    return QSizeF(image.width() * pointsPerPixel(image.dotsPerMeterX()),
                  image.height() * pointsPerPixel(image.dotsPerMeterY()));
}
