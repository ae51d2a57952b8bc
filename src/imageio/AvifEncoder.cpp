// SPDX-FileCopyrightText: 2026 Tessaly
// SPDX-License-Identifier: GPL-3.0-or-later

#include "imageio/AvifEncoder.h"

#include "imageio/IccProfile.h"

#include <QColorSpace>

#include <avif/avif.h>

#include <algorithm>
#include <cmath>
#include <memory>

namespace inkveil {

namespace {

struct ImageDeleter
{
    void operator()(avifImage *image) const { avifImageDestroy(image); }
};
struct EncoderDeleter
{
    void operator()(avifEncoder *encoder) const { avifEncoderDestroy(encoder); }
};

Error failed(const avifResult result)
{
    return {QString::fromLatin1(avifResultToString(result))};
}

// The colour space as AV1 names it (ITU-T H.273), so that viewers without ICC support show the
// colours too: sRGB when there is none, as everywhere in the program; unspecified only for
// primaries or curves H.273 has no number for, which the ICC profile then describes. The
// matrix is BT.601 at full range, as for JPEG.
void signalColours(avifImage &yuv, const QColorSpace &space)
{
    yuv.colorPrimaries = AVIF_COLOR_PRIMARIES_BT709;
    yuv.transferCharacteristics = AVIF_TRANSFER_CHARACTERISTICS_SRGB;
    yuv.matrixCoefficients = AVIF_MATRIX_COEFFICIENTS_BT601;
    yuv.yuvRange = AVIF_RANGE_FULL;
    if (!space.isValid())
        return;
    switch (space.primaries()) {
    case QColorSpace::Primaries::SRgb:
        break;
    case QColorSpace::Primaries::DciP3D65:
        yuv.colorPrimaries = AVIF_COLOR_PRIMARIES_SMPTE432;
        break;
    default:
        yuv.colorPrimaries = AVIF_COLOR_PRIMARIES_UNSPECIFIED;
    }
    switch (space.transferFunction()) {
    case QColorSpace::TransferFunction::SRgb:
        break;
    case QColorSpace::TransferFunction::Linear:
        yuv.transferCharacteristics = AVIF_TRANSFER_CHARACTERISTICS_LINEAR;
        break;
    default:
        yuv.transferCharacteristics = AVIF_TRANSFER_CHARACTERISTICS_UNSPECIFIED;
    }
}

bool isDeep(const QImage &image)
{
    return image.depth() > 32 || image.format() == QImage::Format_Grayscale16;
}

} // namespace

int AvifEncoder::quantizer(const int quality)
{
    const int clamped = std::clamp(quality, 0, 100);
    return static_cast<int>(std::lround((100 - clamped) * AVIF_QUANTIZER_WORST_QUALITY / 100.0));
}

Result<QByteArray> AvifEncoder::encode(const QImage &image, const int quality,
                                       const CameraData &cameraData)
{
    if (image.isNull())
        return Error{QStringLiteral("There is no image to encode.")};
    const bool alpha = image.hasAlphaChannel();
    // Straight alpha, as libavif takes it; 16-bit samples go to 10 bits, AV1's common depth.
    const bool deep = isDeep(image);
    const QImage pixels =
        image.convertToFormat(deep ? (alpha ? QImage::Format_RGBA64 : QImage::Format_RGBX64)
                                   : (alpha ? QImage::Format_RGBA8888 : QImage::Format_RGBX8888));
    const std::unique_ptr<avifImage, ImageDeleter> yuv(avifImageCreate(
        static_cast<uint32_t>(pixels.width()), static_cast<uint32_t>(pixels.height()),
        deep ? 10 : 8,
        quality >= FullChromaQuality ? AVIF_PIXEL_FORMAT_YUV444 : AVIF_PIXEL_FORMAT_YUV420));
    if (!yuv)
        return Error{QStringLiteral("There is not enough memory to encode the image.")};
    signalColours(*yuv, image.colorSpace());
    const QByteArray icc =
        image.colorSpace().isValid() ? image.colorSpace().iccProfile() : QByteArray();
    // The pixels are RGB: a profile of another kind would mislead colour-managed viewers.
    if (iccFitsChannels(icc, false))
        avifImageSetProfileICC(yuv.get(), reinterpret_cast<const uint8_t *>(icc.constData()),
                               static_cast<size_t>(icc.size()));
    // libavif finds the TIFF header in the EXIF and records its offset in front of it itself.
    // The orientation it reads there is always upright: the pixels were turned already.
    if (!cameraData.exif.isEmpty())
        avifImageSetMetadataExif(yuv.get(),
                                 reinterpret_cast<const uint8_t *>(cameraData.exif.constData()),
                                 static_cast<size_t>(cameraData.exif.size()));
    if (!cameraData.xmp.isEmpty())
        avifImageSetMetadataXMP(yuv.get(),
                                reinterpret_cast<const uint8_t *>(cameraData.xmp.constData()),
                                static_cast<size_t>(cameraData.xmp.size()));

    avifRGBImage rgb;
    avifRGBImageSetDefaults(&rgb, yuv.get());
    rgb.format = AVIF_RGB_FORMAT_RGBA;
    rgb.depth = deep ? 16 : 8;
    rgb.ignoreAlpha = alpha ? AVIF_FALSE : AVIF_TRUE;
    // libavif only reads the pixels.
    rgb.pixels = const_cast<uint8_t *>(pixels.constBits());
    rgb.rowBytes = static_cast<uint32_t>(pixels.bytesPerLine());
    if (const avifResult converted = avifImageRGBToYUV(yuv.get(), &rgb);
        converted != AVIF_RESULT_OK)
        return failed(converted);

    const std::unique_ptr<avifEncoder, EncoderDeleter> encoder(avifEncoderCreate());
    if (!encoder)
        return Error{QStringLiteral("There is not enough memory to encode the image.")};
    // One thread per photo: the batch already keeps every core busy with photos of its own.
    encoder->maxThreads = 1;
    encoder->speed = Speed;
    const int q = quantizer(quality);
    encoder->minQuantizer = q;
    encoder->maxQuantizer = q;
    encoder->minQuantizerAlpha = q;
    encoder->maxQuantizerAlpha = q;
    avifRWData output = AVIF_DATA_EMPTY;
    const avifResult written = avifEncoderWrite(encoder.get(), yuv.get(), &output);
    const QByteArray file(reinterpret_cast<const char *>(output.data),
                          static_cast<qsizetype>(output.size));
    avifRWDataFree(&output);
    if (written != AVIF_RESULT_OK)
        return failed(written);
    return file;
}

} // namespace inkveil
