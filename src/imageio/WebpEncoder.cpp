// SPDX-FileCopyrightText: 2026 Tessaly
// SPDX-License-Identifier: GPL-3.0-or-later

#include "imageio/WebpEncoder.h"

#include "imageio/IccProfile.h"

#include <QColorSpace>

#include <webp/encode.h>
#include <webp/mux.h>

#include <algorithm>

namespace inkveil {

namespace {

// Adds the chunks that travel beside the bitstream. This is where EXIF ("EXIF") and XMP ("XMP ")
// chunks go when the output keeps the photo's metadata; WebPMux orders them and sets the VP8X
// flags.
Result<QByteArray> withChunks(const QByteArray &bitstream, const QByteArray &icc)
{
    if (icc.isEmpty())
        return bitstream;
    const WebPData image{reinterpret_cast<const uint8_t *>(bitstream.constData()),
                         static_cast<size_t>(bitstream.size())};
    WebPMux *mux = WebPMuxCreate(&image, 0);
    if (!mux)
        return Error{QStringLiteral("libwebp could not add the colour profile.")};
    const WebPData profile{reinterpret_cast<const uint8_t *>(icc.constData()),
                           static_cast<size_t>(icc.size())};
    WebPData assembled{nullptr, 0};
    QByteArray file;
    if (WebPMuxSetChunk(mux, "ICCP", &profile, 0) == WEBP_MUX_OK &&
        WebPMuxAssemble(mux, &assembled) == WEBP_MUX_OK)
        file = QByteArray(reinterpret_cast<const char *>(assembled.bytes),
                          static_cast<qsizetype>(assembled.size));
    WebPDataClear(&assembled);
    WebPMuxDelete(mux);
    if (file.isEmpty())
        return Error{QStringLiteral("libwebp could not add the colour profile.")};
    return file;
}

Error failed(const WebPEncodingError error)
{
    return {QStringLiteral("libwebp could not encode the image (error %1).").arg(int(error))};
}

} // namespace

Result<QByteArray> WebpEncoder::encode(const QImage &image, const int quality)
{
    if (image.isNull())
        return Error{QStringLiteral("There is no image to encode.")};
    WebPConfig config;
    if (!WebPConfigInit(&config))
        return Error{QStringLiteral("libwebp does not match its headers.")};
    const bool lossless = quality >= LosslessQuality;
    // Efforts chosen for batches of camera photos (docs/performance.md): lossy method 2 writes the
    // same size as libwebp's default 4 in a fifth of the time; lossless level 2 is five times
    // faster than the default 6 for a file 7% larger.
    if (lossless) {
        WebPConfigLosslessPreset(&config, 2);
    } else {
        config.quality = static_cast<float>(std::clamp(quality, 0, LosslessQuality));
        config.method = 2;
    }

    // Unpremultiplied bytes in R, G, B, A order whatever the machine's byte order.
    const bool alpha = image.hasAlphaChannel();
    const QImage pixels =
        image.convertToFormat(alpha ? QImage::Format_RGBA8888 : QImage::Format_RGBX8888);
    WebPPicture picture;
    if (!WebPPictureInit(&picture))
        return Error{QStringLiteral("libwebp does not match its headers.")};
    picture.use_argb = lossless ? 1 : 0;
    picture.width = pixels.width();
    picture.height = pixels.height();
    const int stride = static_cast<int>(pixels.bytesPerLine());
    const bool imported = alpha ? WebPPictureImportRGBA(&picture, pixels.constBits(), stride)
                                : WebPPictureImportRGBX(&picture, pixels.constBits(), stride);
    WebPMemoryWriter writer;
    WebPMemoryWriterInit(&writer);
    picture.writer = WebPMemoryWrite;
    picture.custom_ptr = &writer;
    const bool encoded = imported && WebPEncode(&config, &picture);
    const WebPEncodingError error = picture.error_code;
    WebPPictureFree(&picture);
    const QByteArray bitstream = encoded ? QByteArray(reinterpret_cast<const char *>(writer.mem),
                                                      static_cast<qsizetype>(writer.size))
                                         : QByteArray();
    WebPMemoryWriterClear(&writer);
    if (!encoded || bitstream.isEmpty())
        return failed(error);
    // The pixels are RGB: a profile of another kind would mislead colour-managed viewers.
    const QByteArray icc =
        image.colorSpace().isValid() ? image.colorSpace().iccProfile() : QByteArray();
    return withChunks(bitstream, iccFitsChannels(icc, false) ? icc : QByteArray());
}

} // namespace inkveil
