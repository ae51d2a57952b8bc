// SPDX-FileCopyrightText: 2026 Tessaly
// SPDX-License-Identifier: GPL-3.0-or-later

#include "imageio/ImageToolkit.h"

#include "base/Logging.h"
#include "base/RegularFile.h"
#include "imageio/AvifEncoder.h"
#include "imageio/ExifData.h"
#include "imageio/ExifParser.h"
#include "imageio/FileIntegrity.h"
#include "imageio/GifEncoder.h"
#include "imageio/HeifCodec.h"
#include "imageio/IccProfile.h"
#include "imageio/ImageFormat.h"
#include "imageio/JpegCodec.h"
#include "imageio/PngEncoder.h"
#include "imageio/Resampler.h"
#include "imageio/TiffEncoder.h"
#include "imageio/WebpEncoder.h"

#include <QBuffer>
#include <QColorSpace>
#include <QFile>
#include <QImageReader>
#include <QImageWriter>
#include <QPainter>
#include <QPainterPath>
#include <QPainterPathStroker>
#include <QTransform>
#include <QtMath>

#include <algorithm>
#include <cmath>
#include <utility>

namespace inkveil {

namespace {

constexpr double InchesPerMetre = 0.0254;
constexpr float DefaultDpi = 72.0f;
// Below one dot per inch a recorded resolution is noise, not a print size.
constexpr float MinimumDpi = 1.0f;

Error noEncoder(const QString &format)
{
    return Error{QStringLiteral("No encoder writes the format \"%1\".").arg(format)};
}

// Set on the decode buffer before reading: decoders write a resolution only when the file records
// one, so finding this value afterwards means the file records none. It is under one dpi, a value
// no file can mean.
constexpr int UnrecordedDotsPerMetre = 1;

// Qt's limit on one decoded image, in MiB: maxPixels at 16 bits per channel and four channels.
int allocationLimitMiB(const qint64 maxPixels)
{
    return static_cast<int>(maxPixels * 8 / (1024 * 1024) + 1);
}

QString tooManyPixels(const QSize size, const qint64 maxPixels)
{
    return QStringLiteral("%1 x %2 pixels is more than %3 megapixels")
        .arg(size.width())
        .arg(size.height())
        .arg(maxPixels / 1'000'000);
}

// The canvas a GIF decoder allocates: its logical screen, which the header may make far larger
// than any frame in it (Qt reports the first frame's size, then paints it on the screen). An
// invalid size for other files.
QSize gifScreenSize(QIODevice &device)
{
    // Read from the start wherever a reader left the device, and put back where it was.
    const qint64 position = device.pos();
    QByteArray header;
    if (device.seek(0))
        header = device.read(10);
    device.seek(position);
    if (header.size() < 10 || !(header.startsWith("GIF87a") || header.startsWith("GIF89a")))
        return {};
    const auto edge = [&](const int at) {
        return static_cast<uchar>(header.at(at)) | static_cast<uchar>(header.at(at + 1)) << 8;
    };
    return {edge(6), edge(8)};
}

qint64 pixelsOf(const QSize size)
{
    return size.isValid() ? static_cast<qint64>(size.width()) * size.height() : 0;
}

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
// A unit of "none" records no resolution (the numbers give an aspect ratio at most); centimetres
// are converted; zero or negative values (an unplausible dpi) count as none.
std::optional<float> exifDpi(const ExifData &exif)
{
    if (!exif.valid())
        return std::nullopt;
    if (exif.resolutionUnit() == 3)
        return exif.resx() * 2.54f;
    if (exif.resolutionUnit() == 2)
        return exif.resx();
    return std::nullopt;
}

// Streamed from the start of the open file; the walk stops at the first image data.
std::optional<float> exifResolution(RegularFile &file)
{
    ExifData exif;
    if (!file.device().seek(0))
        return std::nullopt;
    ExifParser::parseDevice(file.device(), exif);
    if (!exif.valid())
        return std::nullopt;
    return exifDpi(exif);
}

// The resolution a decoded photo records: the decoder's, else for a JPEG its EXIF one, else 72.
// The image's dots per metre are set to match.
float settleResolution(QImage &image, const bool filledOurBuffer, const bool jpeg,
                       RegularFile &exifSource)
{
    std::optional<float> dpi = decodedDpi(image, filledOurBuffer);
    if (!dpi && jpeg)
        dpi = exifResolution(exifSource);
    const float resolution = plausibleDpi(dpi.value_or(0.0f)) ? *dpi : DefaultDpi;
    image.setDotsPerMeterX(dotsPerMetre(resolution));
    image.setDotsPerMeterY(dotsPerMetre(resolution));
    return resolution;
}

// Clears what the previous photo left in the buffer, for decoders that only write what the file
// records.
void clearRecordedValues(QImage &buffer)
{
    buffer.setDotsPerMeterX(UnrecordedDotsPerMetre);
    buffer.setDotsPerMeterY(UnrecordedDotsPerMetre);
    buffer.setColorSpace(QColorSpace());
}

// The largest of 8, 4 and 2 by which the photo can be reduced and still be at least its output
// size by every rule; 1 when there is no rule or none allows it.
int reductionFor(const QSize pixelSize, const QList<ResizeRule> &fits)
{
    if (fits.isEmpty())
        return 1;
    QSize needed(0, 0);
    for (const ResizeRule &rule : fits) {
        const QSize fitted = rule.outputSize(pixelSize);
        if (!fitted.isValid())
            return 1;
        needed = needed.expandedTo(fitted);
    }
    for (const int reduction : {8, 4, 2}) {
        // libjpeg's reduced size: the full size over the reduction, rounded up.
        const QSize reduced((pixelSize.width() + reduction - 1) / reduction,
                            (pixelSize.height() + reduction - 1) / reduction);
        if (reduced.width() >= needed.width() && reduced.height() >= needed.height())
            return reduction;
    }
    return 1;
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

// Formats without alpha show transparent areas on white, as on a page, rather than on the black
// that their colour values hold.
QImage flattenedOnWhite(const QImage &image)
{
    QImage flat(image.size(), QImage::Format_RGB32);
    if (flat.isNull())
        return {};
    flat.fill(Qt::white);
    flat.setColorSpace(image.colorSpace());
    flat.setDotsPerMeterX(image.dotsPerMeterX());
    flat.setDotsPerMeterY(image.dotsPerMeterY());
    QPainter painter(&flat);
    painter.drawImage(0, 0, image);
    return flat;
}

// Why the photo at path can't be read, as a sentence that follows a message naming the photo
// ("It is a named pipe, not a file.").
Error cannotRead(const QString &path, const QString &reason)
{
    qCDebug(lcImageIo, "Cannot read %s: %s", qUtf8Printable(path), qUtf8Printable(reason));
    QString sentence = reason.trimmed();
    if (!sentence.isEmpty()) {
        sentence[0] = sentence.at(0).toUpper();
        if (!sentence.endsWith(QLatin1Char('.')))
            sentence.append(QLatin1Char('.'));
    }
    return {sentence};
}

// A file cut short fails in most decoders with words of their own that don't say so; the file's
// end tells.
QString orEndProblem(RegularFile &file, const QString &reason)
{
    const QString problem = FileIntegrity::endProblem(file.device());
    return problem.isEmpty() ? reason : problem;
}

// A JPEG decoded by libjpeg-turbo straight into the buffer; nothing when the file is of a kind
// only Qt's reader takes. `size` and `transformation` come from the file's header. The file is
// streamed, not read whole: libjpeg reads up to the end of the image, so bytes after it cost
// nothing.
std::optional<Result<DecodedImage>>
decodeJpeg(const QString &path, RegularFile &file, const QSize size,
           const QImageIOHandler::Transformations transformation, const QList<ResizeRule> &fits,
           const qint64 maxPixels, QImage &buffer)
{
    // Qt's reader has read the header from where the device stands; it must find it there
    // again when the file is left to it.
    const qint64 readerPosition = file.device().pos();
    if (!file.device().seek(0))
        return std::nullopt;

    const QSize pixelSize =
        transformation.testFlag(QImageIOHandler::TransformationRotate90) ? size.transposed() : size;
    const Result<JpegCodec::Decoding> decoding =
        JpegCodec::decode(file.device(), reductionFor(pixelSize, fits), maxPixels, buffer);
    if (!decoding)
        return cannotRead(path, decoding.reason());
    if (decoding->status == JpegCodec::Status::Unsupported) {
        qCDebug(lcImageIo, "%s: left to Qt's JPEG reader", qUtf8Printable(path));
        file.device().seek(readerPosition);
        return std::nullopt;
    }
    const bool recorded = decoding->dotsPerMetreX > 0 && decoding->dotsPerMetreY > 0;
    buffer.setDotsPerMeterX(recorded ? decoding->dotsPerMetreX : UnrecordedDotsPerMetre);
    buffer.setDotsPerMeterY(recorded ? decoding->dotsPerMetreY : UnrecordedDotsPerMetre);
    const float resolution = settleResolution(buffer, true, true, file);
    return DecodedImage(upright(buffer, transformation), resolution, pixelSize);
}

// A HEIC or AVIF photo, decoded by libheif already upright. HEIF records no resolution of its
// own; a camera's EXIF XResolution stands in, as for a JPEG without a density.
Result<DecodedImage> decodeHeif(const QString &path, RegularFile &file, const qint64 maxPixels)
{
    Result<QImage> decoded = HeifCodec::decode(file.device(), maxPixels);
    if (!decoded)
        return cannotRead(path, orEndProblem(file, decoded.reason()));
    ExifData exif;
    ExifParser::parseTiffData(HeifCodec::exifData(path), exif);
    const std::optional<float> recorded = exifDpi(exif);
    const float dpi = plausibleDpi(recorded.value_or(0.0f)) ? *recorded : DefaultDpi;
    decoded->setDotsPerMeterX(dotsPerMetre(dpi));
    decoded->setDotsPerMeterY(dotsPerMetre(dpi));
    return DecodedImage(std::move(decoded).value(), dpi);
}

} // namespace

const QStringList &ImageToolkit::imageFileTypes()
{
    static const QStringList types = [] {
        // The photo formats we promise to read, as far as this Qt build and libheif have
        // decoders for them.
        const QList<QByteArray> supported = QImageReader::supportedImageFormats();
        QStringList list;
        for (const ImageFormatInfo &row : ImageFormats::all()) {
            for (const char *name : row.names) {
                if (!name)
                    continue;
                const bool readable = row.reader == ImageFormatInfo::Reader::Qt
                                          ? supported.contains(QByteArray(name))
                                      : row.format == ImageFormat::Heic ? HeifCodec::readsHeic()
                                                                        : HeifCodec::readsAvif();
                if (!readable)
                    continue;
                list.append(QString::fromLatin1(name));
                list.append(QString::fromLatin1(name).toUpper());
            }
        }
        return list;
    }();
    return types;
}

Result<QSizeF> ImageToolkit::naturalSize(const QString &path)
{
    // Only the size is wanted: a JPEG is read at the smallest size its decoder offers.
    QImage buffer;
    const Result<DecodedImage> decoded = decodeInto(path, buffer, {ResizeRule::fitInto(1, 1)});
    if (!decoded)
        return decoded.error();
    const FloatSize size = decoded->sizeInPoints();
    return QSizeF(static_cast<qreal>(size.width), static_cast<qreal>(size.height));
}

Result<DecodedImage> ImageToolkit::decode(const QString &path)
{
    QImage buffer;
    return decodeInto(path, buffer);
}

Result<DecodedImage> ImageToolkit::decodeInto(const QString &path, QImage &buffer,
                                              const QList<ResizeRule> &fits)
{
    return decodeLimited(path, buffer, fits, MaxPixels);
}

Result<DecodedImage> ImageToolkit::decodeInto(const QString &path, QImage &buffer,
                                              const QList<QSize> &fitBoxes)
{
    QList<ResizeRule> fits;
    for (const QSize &box : fitBoxes)
        fits.append(ResizeRule::fitInto(box));
    return decodeLimited(path, buffer, fits, MaxPixels);
}

Result<DecodedImage> ImageToolkit::decodePicture(const QString &path)
{
    QImage buffer;
    return decodeLimited(path, buffer, {}, MaxPicturePixels);
}

Status ImageToolkit::checkSource(const QString &path)
{
    RegularFile file;
    if (const Status opened = file.open(path); !opened)
        return cannotRead(path, opened.reason());
    // A file whose end looks wrong is decoded as the run would decode it, which decides: some
    // whole files end oddly (a video after a phone's JPEG). A JPEG takes an eighth of its size.
    if (!FileIntegrity::endProblem(file.device()).isEmpty()) {
        QImage scratch;
        const Result<DecodedImage> decoded =
            decodeLimited(path, scratch, {ResizeRule::fitInto(1, 1)}, MaxPixels);
        return decoded ? Status() : decoded.error();
    }
    if (HeifCodec::recognises(file.device().peek(32))) {
        if (const Result<QSize> size = HeifCodec::imageSize(file.device()); !size)
            return cannotRead(path, size.reason());
    } else if (QImageReader reader(&file.device()); !reader.canRead()) {
        return cannotRead(path, reader.errorString());
    }
    return {};
}

Result<ImageToolkit::Header> ImageToolkit::readHeader(const QString &path)
{
    RegularFile file;
    if (Status opened = file.open(path); !opened)
        return opened.error();
    // libheif's own 3- or 4-byte pixels live beside the 4-byte copy the batch draws on: counted
    // as 8 bytes a pixel, which errs on the safe side.
    if (HeifCodec::recognises(file.device().peek(32))) {
        const Result<QSize> size = HeifCodec::imageSize(file.device());
        if (!size)
            return size.error();
        return Header{*size, 8, *size};
    }
    QImageReader reader(&file.device());
    if (!reader.canRead())
        return Error{reader.errorString()};
    Header header;
    header.size = reader.size();
    const QSize screen = gifScreenSize(file.device());
    if (pixelsOf(screen) > pixelsOf(header.size))
        header.size = screen;
    // A broken header can leave the format unset, or out of Qt's range altogether.
    const QImage::Format format = reader.imageFormat();
    const bool known = format > QImage::Format_Invalid && format < QImage::NImageFormats;
    const int depth = known ? QImage::toPixelFormat(format).bitsPerPixel() : 0;
    header.bytesPerPixel = std::max(4, depth > 0 ? depth / 8 : 4);
    header.uprightSize = reader.transformation().testFlag(QImageIOHandler::TransformationRotate90)
                             ? header.size.transposed()
                             : header.size;
    return header;
}

Result<DecodedImage> ImageToolkit::decodeLimited(const QString &path, QImage &buffer,
                                                 const QList<ResizeRule> &fits,
                                                 const qint64 maxPixels)
{
    RegularFile file;
    if (const Status opened = file.open(path); !opened)
        return cannotRead(path, opened.reason());
    if (HeifCodec::recognises(file.device().peek(32)))
        return decodeHeif(path, file, maxPixels);
    QImageReader reader(&file.device());
    // Turned below instead, which keeps the colour space and leaves the buffer as decoded.
    reader.setAutoTransform(false);
    reader.setAllocationLimit(allocationLimitMiB(maxPixels));
    if (!reader.canRead())
        return cannotRead(path, reader.errorString());
    // Asked now: once the pixels are read, the reader no longer names the format.
    const std::optional<ImageFormat> kind =
        ImageFormats::fromName(QString::fromLatin1(reader.format()));
    const bool jpeg = kind == ImageFormat::Jpeg;

    // Check the size in the header before any memory is taken for the pixels, and shape the
    // buffer so that the decoder fills it rather than allocating.
    const QSize screen = gifScreenSize(file.device());
    if (pixelsOf(screen) > maxPixels)
        return cannotRead(path, tooManyPixels(screen, maxPixels));
    const QSize size = reader.size();
    if (size.isValid()) {
        if (pixelsOf(size) > maxPixels)
            return cannotRead(path, tooManyPixels(size, maxPixels));
        if (jpeg) {
            std::optional<Result<DecodedImage>> decoded =
                decodeJpeg(path, file, size, reader.transformation(), fits, maxPixels, buffer);
            if (decoded)
                return *std::move(decoded);
        }
        const QImage::Format format = reader.imageFormat();
        if (format != QImage::Format_Invalid &&
            (buffer.size() != size || buffer.format() != format)) {
            buffer = QImage(); // let go of the old pixels before taking new ones
            buffer = QImage(size, format);
        }
    }
    clearRecordedValues(buffer);
    const uchar *const pixels = buffer.isNull() ? nullptr : buffer.constBits();

    if (!reader.read(&buffer))
        return cannotRead(path, orEndProblem(file, reader.errorString()));
    // Qt's JPEG (for CMYK), GIF and BMP readers fill what a file cut short lacks and succeed.
    if (kind == ImageFormat::Jpeg || kind == ImageFormat::Gif || kind == ImageFormat::Bmp) {
        if (const QString problem = FileIntegrity::endProblem(file.device()); !problem.isEmpty())
            return cannotRead(path, problem);
    }

    const float resolution =
        settleResolution(buffer, pixels && buffer.constBits() == pixels, jpeg, file);
    return DecodedImage(upright(buffer, reader.transformation()), resolution);
}

QSize ImageToolkit::fittedSize(const QSize pixelSize, const int width, const int height)
{
    if (pixelSize.isEmpty())
        return {};
    const auto boxWidth = static_cast<float>(static_cast<qint16>(width));
    const auto boxHeight = static_cast<float>(static_cast<qint16>(height));
    if (!(boxWidth > 0.0f && boxHeight > 0.0f))
        return {};

    const float aspect =
        static_cast<float>(pixelSize.width()) / static_cast<float>(pixelSize.height());
    const float boxAspect = boxWidth / boxHeight;
    float fittedWidth = boxWidth;
    float fittedHeight = boxHeight;
    if (aspect > boxAspect)
        fittedHeight = boxWidth / aspect;
    else if (aspect < boxAspect)
        fittedWidth = aspect * boxHeight;
    return {std::max(1, static_cast<int>(std::lround(fittedWidth))),
            std::max(1, static_cast<int>(std::lround(fittedHeight)))};
}

QImage ImageToolkit::imageFromResizing(const QImage &image, const int width, const int height,
                                       const QSize pixelSize)
{
    return imageFromResizing(image, ResizeRule::fitInto(width, height), pixelSize);
}

QImage ImageToolkit::imageFromResizing(const QImage &image, const ResizeRule &rule,
                                       const QSize pixelSize)
{
    if (image.isNull())
        return {};
    const QSize size = rule.outputSize(pixelSize.isValid() ? pixelSize : image.size());
    if (!size.isValid())
        return {};
    return Resampler::resized(image, size);
}

Result<QByteArray> ImageToolkit::encode(QImage image, const QString &format, const int quality,
                                        const float dpi, const CameraData &cameraData)
{
    if (image.isNull())
        return Error{QStringLiteral("There is no image to encode.")};
    const float resolution = plausibleDpi(dpi) ? dpi : DefaultDpi;
    const ImageFormatInfo *const kind = ImageFormats::find(format);
    if (!kind || !kind->writable)
        return noEncoder(format);
    // Files without a profile are taken for sRGB: their pixels are converted to it first. So are
    // colour pixels under a grey profile (a greyscale photo drawn on in colour, or one with
    // alpha), which no profile of theirs describes.
    if (const QColorSpace space = image.colorSpace();
        space.isValid() && space != QColorSpace::SRgb &&
        image.pixelFormat().colorModel() != QPixelFormat::Grayscale) {
        const QByteArray icc = space.iccProfile();
        if (iccFitsChannels(icc, true) || (!kind->iccProfile && iccFitsChannels(icc, false)))
            image.convertToColorSpace(QColorSpace::SRgb);
    }
    if (kind->format == ImageFormat::Tiff)
        return TiffEncoder::encode(image, resolution);
    if (kind->format == ImageFormat::Gif)
        return GifEncoder::encode(image);
    if (image.hasAlphaChannel() && !kind->alpha)
        image = flattenedOnWhite(image);

    if (kind->format == ImageFormat::Jpeg) {
        // JFIF records whole dots per inch, rounded from the dots per metre as Qt's writer does.
        const int dotsPerInch = std::max(1, qRound(dotsPerMetre(resolution) * InchesPerMetre));
        return JpegCodec::encode(image, std::clamp(quality, 0, 100), dotsPerInch);
    }

    if (kind->format == ImageFormat::Png)
        return PngEncoder::encode(image, dotsPerMetre(resolution));
    if (kind->format == ImageFormat::Webp)
        return WebpEncoder::encode(image, std::clamp(quality, 0, 100));
    if (kind->format == ImageFormat::Avif)
        return AvifEncoder::encode(image, std::clamp(quality, 0, 100), cameraData);

    if (kind->format != ImageFormat::Bmp)
        return noEncoder(format);
    const QByteArray writerFormat(kind->names[0]);

    // Qt's writers record the image's own dots per metre as the file's resolution.
    image.setDotsPerMeterX(dotsPerMetre(resolution));
    image.setDotsPerMeterY(dotsPerMetre(resolution));
    QByteArray data;
    QBuffer device(&data);
    device.open(QIODevice::WriteOnly);
    QImageWriter writer(&device, writerFormat);
    if (!writer.write(image))
        return Error{writer.errorString()};
    device.close();
    return data;
}

QImage::Format ImageToolkit::greyscaleOutput(const QImage &decoded, const QString &format)
{
    if (decoded.pixelFormat().colorModel() != QPixelFormat::Grayscale || decoded.hasAlphaChannel())
        return QImage::Format_Invalid;
    const ImageFormatInfo *const kind = ImageFormats::find(format);
    if (!kind || !kind->writable || !kind->greyscale)
        return QImage::Format_Invalid;
    return kind->deepGreyscale && decoded.depth() >= 16 ? QImage::Format_Grayscale16
                                                        : QImage::Format_Grayscale8;
}

QImage ImageToolkit::greyscale(QImage image, const QImage::Format greyFormat)
{
    const QColorSpace colorSpace = image.colorSpace();
    // The conversion must not colour-manage through a grey profile: the values stay as they are.
    image.setColorSpace(QColorSpace());
    if (greyFormat == QImage::Format_Grayscale16 && image.format() == QImage::Format_RGBX64) {
        // Qt's own conversion passes through 8 bits; the luminance is taken at 16 here.
        QImage grey(image.size(), QImage::Format_Grayscale16);
        for (int y = 0; y < image.height(); ++y) {
            const auto *const in = reinterpret_cast<const QRgba64 *>(image.constScanLine(y));
            auto *const out = reinterpret_cast<quint16 *>(grey.scanLine(y));
            for (int x = 0; x < image.width(); ++x)
                out[x] = static_cast<quint16>(std::lround(
                    0.2126 * in[x].red() + 0.7152 * in[x].green() + 0.0722 * in[x].blue()));
        }
        grey.setDotsPerMeterX(image.dotsPerMeterX());
        grey.setDotsPerMeterY(image.dotsPerMeterY());
        image = std::move(grey);
    } else {
        image.convertTo(greyFormat);
    }
    image.setColorSpace(colorSpace);
    return image;
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
    const QRectF target(bottomLeft.x(), bottomLeft.y() - height, width, height);

    painter.save();
    painter.setOpacity(static_cast<double>(std::clamp(opacity, 0.0f, 1.0f)));
    painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
    painter.drawImage(target, image, QRectF(0, 0, width, height));
    painter.restore();
}

void ImageToolkit::drawTurnedImage(QPainter &painter, const FloatSize canvas,
                                   const FloatPoint lowerLeft, const FloatSize turnedSize,
                                   const QImage &content, const FloatSize contentSize,
                                   const float angle)
{
    const QPointF bottomLeft = toDevice(canvas, lowerLeft);
    const QPointF centre(bottomLeft.x() + static_cast<double>(turnedSize.width) / 2.0,
                         bottomLeft.y() - static_cast<double>(turnedSize.height) / 2.0);
    const double width = static_cast<double>(contentSize.width);
    const double height = static_cast<double>(contentSize.height);

    // Shrunk by the painter alone, the content would be sampled at a few of its pixels and text
    // would come out ragged; shrinking it first with the filter the photo is resized with makes
    // it what drawing at full size and resizing would.
    const QTransform transform = painter.worldTransform();
    const double scaleX = std::hypot(transform.m11(), transform.m12());
    const double scaleY = std::hypot(transform.m21(), transform.m22());
    QImage shrunk;
    QRectF source(0, 0, width, height);
    if (scaleX < 1.0 || scaleY < 1.0) {
        shrunk = Resampler::resized(
            content, QSize(std::max(1, qRound(content.width() * std::min(scaleX, 1.0))),
                           std::max(1, qRound(content.height() * std::min(scaleY, 1.0)))));
        source = QRectF(0, 0, width * shrunk.width() / content.width(),
                        height * shrunk.height() / content.height());
    }

    painter.save();
    painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
    // Clockwise about the centre: on Qt's y-down device a positive angle turns clockwise.
    painter.translate(centre);
    painter.rotate(static_cast<double>(angle));
    painter.drawImage(QRectF(-width / 2.0, -height / 2.0, width, height),
                      shrunk.isNull() ? content : shrunk, source);
    painter.restore();
}

void ImageToolkit::strokeSegments(QPainter &painter, const FloatSize canvas, const FloatPoint start,
                                  const QList<FloatPoint> &ends, const float lineWidth,
                                  const QColor &color)
{
    const QPointF from = toDevice(canvas, start);
    const double width = static_cast<double>(lineWidth);
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);

    // Two segments running in opposite directions (the band) are one rectangle; filled as such
    // under a turned painter, it takes a few milliseconds where a filled outline across a
    // whole photo takes tens.
    if (ends.size() == 2) {
        const QPointF a = toDevice(canvas, ends.at(0)) - from;
        const QPointF b = toDevice(canvas, ends.at(1)) - from;
        const double lengthA = std::hypot(a.x(), a.y());
        const double lengthB = std::hypot(b.x(), b.y());
        const double cross = a.x() * b.y() - a.y() * b.x();
        const double dot = a.x() * b.x() + a.y() * b.y();
        if (lengthA > 0.0 && lengthB > 0.0 && dot < 0.0 &&
            std::abs(cross) <= 1e-6 * lengthA * lengthB) {
            painter.translate(from);
            painter.rotate(qRadiansToDegrees(std::atan2(a.y(), a.x())));
            painter.fillRect(QRectF(-lengthB, -width / 2.0, lengthA + lengthB, width), color);
            painter.restore();
            return;
        }
    }

    QPainterPath path;
    for (const FloatPoint &end : ends) {
        path.moveTo(from);
        path.lineTo(toDevice(canvas, end));
    }
    // The outline of all segments, filled once: QPainter's own stroking antialiases each segment
    // apart and leaves a faint seam across the band where two of them meet.
    QPainterPath outline =
        QPainterPathStroker(QPen(color, width, Qt::SolidLine, Qt::FlatCap)).createStroke(path);
    outline.setFillRule(Qt::WindingFill);
    painter.fillPath(outline, color);
    painter.restore();
}

} // namespace inkveil
