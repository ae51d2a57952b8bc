#pragma once

#include <QSizeF>
#include <QString>

#include <optional>

// The image operations the application needs, on QImage and friends.
class ImageToolkit
{
public:
    // The natural size of the image file in points (pixels x 72 / dpi), or nothing when the file
    // cannot be read as an image.
    static std::optional<QSizeF> naturalSize(const QString &path);
};
