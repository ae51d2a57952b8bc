// SPDX-FileCopyrightText: 2026 Tessaly
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "base/Result.h"
#include "imageio/CameraData.h"
#include "imageio/DecodedImage.h"
#include "imageio/ResizeRule.h"

#include <QByteArray>
#include <QColor>
#include <QImage>
#include <QList>
#include <QSizeF>
#include <QString>
#include <QStringList>

class QPainter;

namespace inkveil {

// The image operations the application needs, on QImage and friends. Each takes its inputs and
// returns a new image or new bytes; none keeps state between calls, so all may run on any thread.
class ImageToolkit
{
public:
    ImageToolkit() = delete;

    // Largest photo we decode. A 200-megapixel image takes 800 MB at 8 bits per channel and
    // 1.6 GB at 16; anything larger is a broken or hostile file, refused before allocating.
    static constexpr qint64 MaxPixels = 200'000'000;
    // Largest watermark picture: it is stamped on every photo and held for the whole run.
    static constexpr qint64 MaxPicturePixels = 100'000'000;

    // File-name extensions of the image types the decoder reads, each in lower and in upper
    // case ("jpg", "JPG"), as camera cards and file managers write them.
    static const QStringList &imageFileTypes();

    // The natural size of the image file in points (pixels x 72 / dpi); fails as decode() does.
    static Result<QSizeF> naturalSize(const QString &path);

    // Reads the photo at path, turned upright as its orientation tag (or for HEIC and AVIF, its
    // rotation, mirror and crop) asks, with its colour space.
    // The resolution is the one the decoder finds (JFIF density, PNG pHYs, TIFF tags, BMP header),
    // else for a JPEG, HEIC or AVIF its EXIF XResolution (inches or centimetres; a unit of "none"
    // records no resolution), else 72 dpi; the image's dots per metre are set to match. A failure
    // says why as a sentence without the path ("It is a named pipe, not a file."), to follow a
    // message that already names the photo.
    static Result<DecodedImage> decode(const QString &path);

    // As decode(), decoding into buffer when it already has the photo's pixel size and format, so
    // that a batch does not pay for fresh memory on every photo. The result shares buffer's
    // pixels unless the photo had to be turned; release the previous result before the next call,
    // or the decoder copies the pixels instead of overwriting them.
    //
    // fits: the rules by which the caller will resize the photo, and nothing else. A JPEG is
    // then decoded at the smallest half, quarter or eighth of its size that is still at least
    // as large as each rule's output; the result keeps the full pixel size. Empty: full size.
    static Result<DecodedImage> decodeInto(const QString &path, QImage &buffer,
                                           const QList<ResizeRule> &fits = {});
    // The same for boxes (width x height, as imageFromResizing takes them).
    static Result<DecodedImage> decodeInto(const QString &path, QImage &buffer,
                                           const QList<QSize> &fitBoxes);

    // As decode(), for a watermark picture: at most MaxPicturePixels.
    static Result<DecodedImage> decodePicture(const QString &path);

    // Whether the photo at path looks readable and whole, from its header and its end only (see
    // FileIntegrity), as the source list shows it the moment the photo is added; fails with the
    // reason. A file whose end looks wrong (a video appended by a phone, or a file cut short) is
    // decoded to be sure, a JPEG at an eighth of its size.
    static Status checkSource(const QString &path);

    // What a file's header says about its pixels, before any of them is decoded.
    struct Header
    {
        // The largest image the decoder will hold: a GIF's logical screen when it is larger
        // than its first frame.
        QSize size;
        // Bytes a decoded pixel takes (at least 4: the batch draws on 4-byte pixels).
        int bytesPerPixel = 4;
        // The size as the photo shows, turned upright as decode() turns it.
        QSize uprightSize;
    };
    // Fails when the file is not a regular file or not an image the decoder reads.
    static Result<Header> readHeader(const QString &path);

    // The size that pixelSize takes fitted into a box of width x height pixels with its
    // proportions kept (larger or smaller): the box edges are taken as 16-bit signed numbers and
    // the arithmetic is single precision; each edge is rounded to the nearest pixel, at least 1.
    // Invalid for a box with an edge of 0 or less or an empty pixelSize.
    static QSize fittedSize(QSize pixelSize, int width, int height);

    // The image resampled (Lanczos-3, see Resampler) to its fittedSize() in the box; smaller
    // images are enlarged. For an image decoded at a reduced size, pixelSize gives the photo's
    // full size, whose proportions the result keeps (default: the image's own). A null image or
    // a bad box gives a null image.
    static QImage imageFromResizing(const QImage &image, int width, int height,
                                    QSize pixelSize = QSize());
    // The image resampled (Lanczos-3) to the rule's outputSize() of pixelSize (default: the
    // image's own size); returned as it is when that is its size already. A null image or a bad
    // rule gives a null image.
    static QImage imageFromResizing(const QImage &image, const ResizeRule &rule,
                                    QSize pixelSize = QSize());

    // The image encoded by format name: "jpeg"/"jpg" (at quality 0-100, where 100 is best),
    // "tiff"/"tif" (LZW with predictor), "png", "gif", "bmp", "webp" (lossy at quality 0-99,
    // lossless at 100) and "avif" (quality 0-100 mapped to AV1's quantiser). The file records dpi
    // as its resolution (GIF, WebP and AVIF have none) and, for JPEG, PNG, TIFF, WebP and AVIF,
    // the image's ICC profile. PNG, TIFF and GIF keep an alpha channel; JPEG and BMP show
    // transparent areas on white. Fails, saying why, for any other name or when the encoder
    // fails. Takes the image by value: move it in, and
    // recording the resolution does not copy its pixels. AVIF also embeds cameraData; other
    // formats get theirs afterwards (MetadataCopier::writeInto).
    static Result<QByteArray> encode(QImage image, const QString &format, int quality, float dpi,
                                     const CameraData &cameraData = {});

    // The greyscale format (Format_Grayscale8 or 16) a photo of this decoded image is written in
    // when the output format holds greyscale (JPEG, TIFF, PNG), else Format_Invalid: colour
    // photos and formats without greyscale keep colour pixels.
    static QImage::Format greyscaleOutput(const QImage &decoded, const QString &format);
    // The image turned into that greyscale format, keeping its colour space (a grey profile).
    static QImage greyscale(QImage image, QImage::Format greyFormat);

    // Drawing in watermark coordinates: canvas units with the origin at the lower-left corner
    // and y growing upward. These are the only places that turn them into Qt's y-down device
    // coordinates; `canvas` is the size of the image the painter draws on.

    // Draws the top-left drawSize of image with its lower-left corner at lowerLeft, unscaled
    // (one image pixel per unit), source-over at the given opacity.
    static void drawImage(QPainter &painter, FloatSize canvas, FloatPoint lowerLeft,
                          const QImage &image, FloatSize drawSize, float opacity);
    // Draws the top-left contentSize of content, one pixel per unit, turned clockwise by angle
    // degrees about the centre of the turnedSize box whose lower-left corner is at lowerLeft,
    // source-over: what drawing a turned copy there gives, resampled once instead of twice. For
    // painters that shrink units (a photo decoded at a reduced size), the content is shrunk
    // first, averaging its pixels.
    static void drawTurnedImage(QPainter &painter, FloatSize canvas, FloatPoint lowerLeft,
                                FloatSize turnedSize, const QImage &content, FloatSize contentSize,
                                float angle);
    // Strokes straight segments from start to each end, with flat ends, in one colour.
    static void strokeSegments(QPainter &painter, FloatSize canvas, FloatPoint start,
                               const QList<FloatPoint> &ends, float lineWidth, const QColor &color);

private:
    static Result<DecodedImage> decodeLimited(const QString &path, QImage &buffer,
                                              const QList<ResizeRule> &fits, qint64 maxPixels);
};

} // namespace inkveil
