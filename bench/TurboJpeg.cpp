// SPDX-FileCopyrightText: 2026 Tessaly
// SPDX-License-Identifier: GPL-3.0-or-later

#include "TurboJpeg.h"

#include <QFile>

namespace inkveil::bench {

TurboJpegHandle makeCompressor()
{
    TurboJpegHandle handle(tjInitCompress());
    if (!handle)
        die(QStringLiteral("TurboJPEG: cannot create a compressor"));
    return handle;
}

TurboJpegHandle makeDecompressor()
{
    TurboJpegHandle handle(tjInitDecompress());
    if (!handle)
        die(QStringLiteral("TurboJPEG: cannot create a decompressor"));
    return handle;
}

QString turboError(void *handle)
{
    return QString::fromLocal8Bit(tjGetErrorStr2(handle));
}

unsigned long JpegOutput::compress(void *compressor, const unsigned char *pixels, int width,
                                   int height, int pixelFormat, int quality)
{
    unsigned char *target = buffer.get();
    unsigned long size = capacity;
    if (tjCompress2(compressor, pixels, width, 0, height, pixelFormat, &target, &size, subsampling,
                    quality, TJFLAG_NOREALLOC | TJFLAG_ACCURATEDCT) != 0)
        die(turboError(compressor));
    return size;
}

void readWhole(const QString &path, std::vector<unsigned char> &bytes)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        die(QStringLiteral("cannot read %1").arg(path));
    bytes.resize(static_cast<size_t>(file.size()));
    if (file.read(reinterpret_cast<char *>(bytes.data()), file.size()) != file.size())
        die(QStringLiteral("cannot read %1").arg(path));
}

void writeWhole(const QString &path, const unsigned char *data, qint64 size)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) ||
        file.write(reinterpret_cast<const char *>(data), size) != size)
        die(QStringLiteral("cannot write %1").arg(path));
}

} // namespace inkveil::bench
