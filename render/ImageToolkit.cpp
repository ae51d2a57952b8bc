#include "render/ImageToolkit.h"

#include "render/GifEncoder.h"
#include "render/TiffEncoder.h"
#include "sources/ExifData.h"
#include "sources/ExifParser.h"

#include <QBuffer>
#include <QColorSpace>
#include <QImageReader>
#include <QImageWriter>
#include <QPainter>
#include <QPainterPath>
#include <QPainterPathStroker>
#include <QTransform>

#include <algorithm>
#include <cmath>
#include <utility>

namespace {

constexpr double InchesPerMetre = 0.0254;
constexpr float DefaultDpi = 72.0f;
// Below one dot per inch a recorded resolution is noise, not a print size.
constexpr float MinimumDpi = 1.0f;

// Set on the decode buffer before reading: decoders write a resolution only when the file records
// one, so finding this value afterwards means the file records none. It is under one dpi, a value
// no file can mean.
constexpr int UnrecordedDotsPerMetre = 1;

// Qt's limit on one decoded image, in MiB: MaxPixels at 16 bits per channel and four channels.
constexpr int AllocationLimitMiB =
    static_cast<int>(ImageToolkit::MaxPixels * 8 / (1024 * 1024) + 1);

int dotsPerMetre(const float dpi)
{
    return static_cast<int>(std::lround(static_cast<double>(dpi) / InchesPerMetre));
}

// Files store whole dots per metre (72 dpi is 2835), so the dpi is rounded to a tenth to get 72
// back.
float dpiFromDotsPerMetre(const int dotsPerMetre)
{
    return static_cast<float>(std::round(dotsPerMetre * InchesPerMetre * 10.0) / 10.0);
}

bool plausibleDpi(const float dpi)
{
    return std::isfinite(dpi) && dpi >= MinimumDpi;
}

// The resolution the decoder found in the file, if any. A decoder that allocated its own image
// instead of filling ours leaves Qt's default for new images when the file records none, so that
// value then counts as none too; a file that records exactly the default is taken for 72 dpi, the
// lesser evil next to taking every file without a resolution for the screen's.
std::optional<float> decodedDpi(const QImage &image, const bool filledOurBuffer)
{
    const int recorded = image.dotsPerMeterX();
    if (recorded == UnrecordedDotsPerMetre)
        return std::nullopt;
    if (!filledOurBuffer && recorded == QImage(1, 1, QImage::Format_Mono).dotsPerMeterX())
        return std::nullopt;
    const float dpi = dpiFromDotsPerMetre(recorded);
    return plausibleDpi(dpi) ? std::optional<float>(dpi) : std::nullopt;
}

// XResolution from the photo's EXIF, for JPEGs whose JFIF header records no density (most camera
// files keep theirs in EXIF only).
std::optional<float> exifResolution(const QString &path)
{
    ExifData exif;
    if (!ExifParser::parseImage(path, exif) || !exif.valid())
        return std::nullopt;
    return exif.resx();
}

// Applies the orientation the file asks for. Qt's quarter turns drop the colour space, so it is
// taken first and attached again.
QImage upright(QImage image, const QImageIOHandler::Transformations transformation)
{
    if (transformation == QImageIOHandler::TransformationNone)
        return image;
    const QColorSpace colorSpace = image.colorSpace();
    const bool mirror = transformation.testFlag(QImageIOHandler::TransformationMirror);
    const bool flip = transformation.testFlag(QImageIOHandler::TransformationFlip);
    if (mirror || flip)
        image = std::move(image).mirrored(mirror, flip);
    if (transformation.testFlag(QImageIOHandler::TransformationRotate90))
        image = image.transformed(QTransform().rotate(90));
    image.setColorSpace(colorSpace);
    return image;
}

QString cannotRead(const QString &path, const QString &reason)
{
    return QStringLiteral("Cannot read %1: %2").arg(path, reason);
}

} // namespace

const QStringList &ImageToolkit::imageFileTypes()
{
    static const QStringList types = [] {
        // The photo formats we promise to read, as far as this Qt build has decoders for them.
        static const char *const photoFormats[] = {"jpeg", "jpg", "tiff", "tif",
                                                   "png",  "gif", "bmp",  "webp"};
        const QList<QByteArray> supported = QImageReader::supportedImageFormats();
        QStringList list;
        for (const char *format : photoFormats) {
            if (!supported.contains(QByteArray(format)))
                continue;
            list.append(QString::fromLatin1(format));
            list.append(QString::fromLatin1(format).toUpper());
        }
        return list;
    }();
    return types;
}

std::optional<QSizeF> ImageToolkit::naturalSize(const QString &path)
{
    const DecodedImage decoded = decode(path);
    if (decoded.isNull())
        return std::nullopt;
    const FloatSize size = decoded.sizeInPoints();
    return QSizeF(static_cast<qreal>(size.width), static_cast<qreal>(size.height));
}

DecodedImage ImageToolkit::decode(const QString &path)
{
    QImage buffer;
    return decodeInto(path, buffer);
}

DecodedImage ImageToolkit::decodeInto(const QString &path, QImage &buffer)
{
    QImageReader reader(path);
    // Turned below instead, which keeps the colour space and leaves the buffer as decoded.
    reader.setAutoTransform(false);
    reader.setAllocationLimit(AllocationLimitMiB);
    if (!reader.canRead())
        return DecodedImage::failure(cannotRead(path, reader.errorString()));
    // Asked now: once the pixels are read, the reader no longer names the format.
    const bool jpeg = reader.format() == "jpeg";

    // Check the size in the header before any memory is taken for the pixels, and shape the
    // buffer so that the decoder fills it rather than allocating.
    const QSize size = reader.size();
    if (size.isValid()) {
        if (static_cast<qint64>(size.width()) * size.height() > MaxPixels) {
            return DecodedImage::failure(
                cannotRead(path, QStringLiteral("%1 x %2 pixels is more than %3 megapixels")
                                     .arg(size.width())
                                     .arg(size.height())
                                     .arg(MaxPixels / 1'000'000)));
        }
        const QImage::Format format = reader.imageFormat();
        if (format != QImage::Format_Invalid &&
            (buffer.size() != size || buffer.format() != format)) {
            buffer = QImage(); // let go of the old pixels before taking new ones
            buffer = QImage(size, format);
        }
    }
    // Clear what the previous photo left, for decoders that only write what the file records.
    buffer.setDotsPerMeterX(UnrecordedDotsPerMetre);
    buffer.setDotsPerMeterY(UnrecordedDotsPerMetre);
    buffer.setColorSpace(QColorSpace());
    const uchar *const pixels = buffer.isNull() ? nullptr : buffer.constBits();

    if (!reader.read(&buffer))
        return DecodedImage::failure(cannotRead(path, reader.errorString()));

    std::optional<float> dpi = decodedDpi(buffer, pixels && buffer.constBits() == pixels);
    if (!dpi && jpeg)
        dpi = exifResolution(path);
    const float resolution = plausibleDpi(dpi.value_or(0.0f)) ? *dpi : DefaultDpi;
    buffer.setDotsPerMeterX(dotsPerMetre(resolution));
    buffer.setDotsPerMeterY(dotsPerMetre(resolution));
    return DecodedImage(upright(buffer, reader.transformation()), resolution);
}

QImage ImageToolkit::imageFromResizing(const QImage &image, const int width, const int height)
{
    if (image.isNull())
        return {};
    const auto boxWidth = static_cast<float>(static_cast<qint16>(width));
    const auto boxHeight = static_cast<float>(static_cast<qint16>(height));
    if (!(boxWidth > 0.0f && boxHeight > 0.0f))
        return {};

    const float aspect = static_cast<float>(image.width()) / static_cast<float>(image.height());
    const float boxAspect = boxWidth / boxHeight;
    float fittedWidth = boxWidth;
    float fittedHeight = boxHeight;
    if (aspect > boxAspect)
        fittedHeight = boxWidth / aspect;
    else if (aspect < boxAspect)
        fittedWidth = aspect * boxHeight;

    const int pixelWidth = std::max(1, static_cast<int>(std::lround(fittedWidth)));
    const int pixelHeight = std::max(1, static_cast<int>(std::lround(fittedHeight)));
    return image.scaled(pixelWidth, pixelHeight, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
}

QByteArray ImageToolkit::encode(QImage image, const QString &format, const int quality,
                                const float dpi)
{
    if (image.isNull())
        return {};
    const float resolution = plausibleDpi(dpi) ? dpi : DefaultDpi;
    if (format == QLatin1String("tiff") || format == QLatin1String("tif"))
        return TiffEncoder::encode(image, resolution);
    if (format == QLatin1String("gif"))
        return GifEncoder::encode(image);

    QByteArray writerFormat;
    int writerQuality = -1;
    if (format == QLatin1String("jpeg") || format == QLatin1String("jpg")) {
        writerFormat = "jpeg";
        writerQuality = std::clamp(quality, 0, 100);
    } else if (format == QLatin1String("png")) {
        writerFormat = "png";
    } else if (format == QLatin1String("bmp")) {
        writerFormat = "bmp";
    } else {
        return {};
    }

    // Qt's writers record the image's own dots per metre as the file's resolution.
    image.setDotsPerMeterX(dotsPerMetre(resolution));
    image.setDotsPerMeterY(dotsPerMetre(resolution));
    QByteArray data;
    QBuffer device(&data);
    device.open(QIODevice::WriteOnly);
    QImageWriter writer(&device, writerFormat);
    writer.setQuality(writerQuality);
    if (!writer.write(image))
        return {};
    device.close();
    return data;
}

namespace {

QPointF toDevice(FloatSize canvas, FloatPoint point)
{
    return {static_cast<double>(point.x), static_cast<double>(canvas.height - point.y)};
}

} // namespace

void ImageToolkit::drawImage(QPainter &painter, const FloatSize canvas, const FloatPoint lowerLeft,
                             const QImage &image, const FloatSize drawSize, const float opacity)
{
    const double width = static_cast<double>(drawSize.width);
    const double height = static_cast<double>(drawSize.height);
    const QPointF bottomLeft = toDevice(canvas, lowerLeft);
    painter.save();
    painter.setOpacity(static_cast<double>(std::clamp(opacity, 0.0f, 1.0f)));
    painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
    painter.drawImage(QRectF(bottomLeft.x(), bottomLeft.y() - height, width, height), image,
                      QRectF(0, 0, width, height));
    painter.restore();
}

void ImageToolkit::strokeSegments(QPainter &painter, const FloatSize canvas, const FloatPoint start,
                                  const QList<FloatPoint> &ends, const float lineWidth,
                                  const QColor &color)
{
    QPainterPath path;
    const QPointF from = toDevice(canvas, start);
    for (const FloatPoint &end : ends) {
        path.moveTo(from);
        path.lineTo(toDevice(canvas, end));
    }
    // The outline of all segments, filled once: QPainter's own stroking antialiases each segment
    // apart and leaves a faint seam across the band where two of them meet.
    QPainterPath outline =
        QPainterPathStroker(QPen(color, static_cast<double>(lineWidth), Qt::SolidLine, Qt::FlatCap))
            .createStroke(path);
    outline.setFillRule(Qt::WindingFill);
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.fillPath(outline, color);
    painter.restore();
}
