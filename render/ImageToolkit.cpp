#include "render/ImageToolkit.h"

#include <QImage>
#include <QImageReader>

#include <cmath>

namespace {

constexpr double InchesPerMetre = 0.0254;

// Points per pixel for a resolution in dots per metre; no resolution means 72 dpi. Files store
// whole dots per metre (72 dpi is 2835), so the dpi is rounded to a tenth to get 72 back.
double pointsPerPixel(int dotsPerMetre)
{
    if (dotsPerMetre <= 0)
        return 1.0;
    const double dpi = std::round(dotsPerMetre * InchesPerMetre * 10.0) / 10.0;
    return dpi > 0.0 ? 72.0 / dpi : 1.0;
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
