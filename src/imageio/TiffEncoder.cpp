// SPDX-FileCopyrightText: 2026 Tessaly
// SPDX-License-Identifier: GPL-3.0-or-later

#include "imageio/TiffEncoder.h"

#include "imageio/IccProfile.h"

#include <QColorSpace>

#include <tiffio.h>

#include <algorithm>
#include <cstring>
#include <limits>
#include <memory>
#include <vector>

namespace inkveil {

namespace {

// Strips of about 64 KiB: long enough for LZW to find its repeats, short enough for readers that
// load a strip at a time.
constexpr qsizetype StripBytes = 64 * 1024;

// Formats of more than 8 bits per colour channel.
constexpr QImage::Format DeepFormats[] = {
    QImage::Format_RGBX64,     QImage::Format_RGBA64,     QImage::Format_RGBA64_Premultiplied,
    QImage::Format_RGBX16FPx4, QImage::Format_RGBA16FPx4, QImage::Format_RGBA16FPx4_Premultiplied,
    QImage::Format_RGBX32FPx4, QImage::Format_RGBA32FPx4, QImage::Format_RGBA32FPx4_Premultiplied,
};

// A growing in-memory file for libtiff, which seeks back to patch offsets as it writes.
struct MemoryFile
{
    QByteArray data;
    qsizetype position = 0;
};

MemoryFile &fileOf(thandle_t handle)
{
    return *static_cast<MemoryFile *>(handle);
}

tmsize_t readProc(thandle_t handle, void *buffer, tmsize_t size)
{
    MemoryFile &file = fileOf(handle);
    const qsizetype count = std::clamp<qsizetype>(file.data.size() - file.position, 0, size);
    std::memcpy(buffer, file.data.constData() + file.position, static_cast<size_t>(count));
    file.position += count;
    return count;
}

tmsize_t writeProc(thandle_t handle, void *buffer, tmsize_t size)
{
    MemoryFile &file = fileOf(handle);
    const qsizetype end = file.position + size;
    if (end > file.data.size())
        file.data.resize(end);
    std::memcpy(file.data.data() + file.position, buffer, static_cast<size_t>(size));
    file.position = end;
    return size;
}

toff_t seekProc(thandle_t handle, toff_t offset, int whence)
{
    MemoryFile &file = fileOf(handle);
    // libtiff hands negative offsets for SEEK_CUR and SEEK_END as wrapped unsigned values.
    const auto signedOffset = static_cast<qint64>(offset);
    qint64 target = signedOffset;
    if (whence == SEEK_CUR)
        target = file.position + signedOffset;
    else if (whence == SEEK_END)
        target = file.data.size() + signedOffset;
    if (target < 0)
        return std::numeric_limits<toff_t>::max();
    file.position = target;
    return static_cast<toff_t>(target);
}

int closeProc(thandle_t)
{
    return 0;
}

toff_t sizeProc(thandle_t handle)
{
    return static_cast<toff_t>(fileOf(handle).data.size());
}

int mapProc(thandle_t, void **, toff_t *)
{
    return 0;
}

void unmapProc(thandle_t, void *, toff_t) {}

struct TiffCloser
{
    void operator()(TIFF *tiff) const { TIFFClose(tiff); }
};
using TiffHandle = std::unique_ptr<TIFF, TiffCloser>;

} // namespace

Result<QByteArray> TiffEncoder::encode(const QImage &image, const float dpi)
{
    if (image.isNull())
        return Error{QStringLiteral("There is no image to encode.")};
    const bool grey =
        image.format() == QImage::Format_Grayscale8 || image.format() == QImage::Format_Grayscale16;
    const bool alpha = !grey && image.hasAlphaChannel();
    // A photo read at 16 bits per channel is written at 16.
    const bool deep = image.format() == QImage::Format_Grayscale16 ||
                      std::find(std::begin(DeepFormats), std::end(DeepFormats), image.format()) !=
                          std::end(DeepFormats);
    QImage::Format format = alpha ? QImage::Format_RGBA8888 : QImage::Format_RGB888;
    if (grey)
        format = image.format();
    else if (deep)
        format = alpha ? QImage::Format_RGBA64 : QImage::Format_RGBX64;
    const QImage pixels = image.convertToFormat(format);
    if (pixels.isNull())
        return Error{QStringLiteral("There is not enough memory to encode the image.")};
    const auto width = static_cast<uint32_t>(pixels.width());
    const auto height = static_cast<uint32_t>(pixels.height());
    const uint16_t samples = grey ? 1 : alpha ? 4 : 3;
    const uint16_t sampleBytes = deep ? 2 : 1;
    const auto rowBytes = static_cast<qsizetype>(width) * samples * sampleBytes;

    MemoryFile file;
    {
        // "m" keeps libtiff from mapping the file, which our memory file cannot do.
        TiffHandle tiff(TIFFClientOpen("inkveil", "wm", &file, readProc, writeProc, seekProc,
                                       closeProc, sizeProc, mapProc, unmapProc));
        if (!tiff)
            return Error{QStringLiteral("libtiff could not write the image.")};
        TIFF *const t = tiff.get();
        TIFFSetField(t, TIFFTAG_IMAGEWIDTH, width);
        TIFFSetField(t, TIFFTAG_IMAGELENGTH, height);
        TIFFSetField(t, TIFFTAG_BITSPERSAMPLE, 8 * sampleBytes);
        TIFFSetField(t, TIFFTAG_SAMPLESPERPIXEL, samples);
        TIFFSetField(t, TIFFTAG_PHOTOMETRIC, grey ? PHOTOMETRIC_MINISBLACK : PHOTOMETRIC_RGB);
        TIFFSetField(t, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
        TIFFSetField(t, TIFFTAG_ORIENTATION, ORIENTATION_TOPLEFT);
        if (alpha) {
            const uint16_t extra[] = {EXTRASAMPLE_UNASSALPHA};
            TIFFSetField(t, TIFFTAG_EXTRASAMPLES, 1, extra);
        }
        TIFFSetField(t, TIFFTAG_COMPRESSION, COMPRESSION_LZW);
        TIFFSetField(t, TIFFTAG_PREDICTOR, PREDICTOR_HORIZONTAL);
        const auto rowsPerStrip = static_cast<uint32_t>(
            std::max<qsizetype>(1, StripBytes / std::max<qsizetype>(1, rowBytes)));
        TIFFSetField(t, TIFFTAG_ROWSPERSTRIP, rowsPerStrip);
        TIFFSetField(t, TIFFTAG_RESOLUTIONUNIT, RESUNIT_INCH);
        TIFFSetField(t, TIFFTAG_XRESOLUTION, static_cast<double>(dpi));
        TIFFSetField(t, TIFFTAG_YRESOLUTION, static_cast<double>(dpi));
        const QByteArray icc = image.colorSpace().iccProfile();
        if (iccFitsChannels(icc, grey))
            TIFFSetField(t, TIFFTAG_ICCPROFILE, static_cast<uint32_t>(icc.size()), icc.constData());

        // The predictor differences each row in place, so rows go through a scratch copy.
        std::vector<uchar> row(static_cast<size_t>(rowBytes));
        for (uint32_t y = 0; y < height; ++y) {
            const uchar *const line = pixels.constScanLine(static_cast<int>(y));
            if (deep && !alpha && !grey) {
                // RGBX64 holds a fourth, unused word per pixel; TIFF has three samples.
                auto *const out = reinterpret_cast<uint16_t *>(row.data());
                const auto *const in = reinterpret_cast<const uint16_t *>(line);
                for (uint32_t x = 0; x < width; ++x)
                    for (uint32_t c = 0; c < 3; ++c)
                        out[3 * x + c] = in[4 * x + c];
            } else {
                std::memcpy(row.data(), line, row.size());
            }
            if (TIFFWriteScanline(t, row.data(), y, 0) < 0)
                return Error{QStringLiteral("libtiff could not write the image.")};
        }
        if (!TIFFWriteDirectory(t))
            return Error{QStringLiteral("libtiff could not write the image.")};
    }
    return file.data;
}

} // namespace inkveil
