// SPDX-FileCopyrightText: 2026 Tessaly
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

// libjpeg-turbo's TurboJPEG handles and buffers, owned, and whole files read and written: what
// the generated photos and the libjpeg-turbo floor are made with.

#include "BenchSupport.h"

#include <QString>

#include <turbojpeg.h>

#include <memory>
#include <vector>

namespace inkveil::bench {

struct TurboJpegDeleter
{
    void operator()(void *handle) const { tjDestroy(handle); }
};
using TurboJpegHandle = std::unique_ptr<void, TurboJpegDeleter>;

struct TurboJpegBufferDeleter
{
    void operator()(unsigned char *buffer) const { tjFree(buffer); }
};
using TurboJpegBuffer = std::unique_ptr<unsigned char, TurboJpegBufferDeleter>;

TurboJpegHandle makeCompressor();
TurboJpegHandle makeDecompressor();
QString turboError(void *handle);

// An output buffer large enough for any JPEG of the given size, so that compressing never
// reallocates it.
struct JpegOutput
{
    JpegOutput(int width, int height, int chroma)
        : capacity(tjBufSize(width, height, chroma))
        , buffer(tjAlloc(static_cast<int>(capacity)))
        , subsampling(chroma)
    {
        if (!buffer)
            die(QStringLiteral("TurboJPEG: out of memory"));
    }
    // Compresses the pixels (TurboJPEG's pixelFormat) into the buffer with the accurate DCT, as
    // cameras and Qt's writer do; answers the JPEG's size.
    unsigned long compress(void *compressor, const unsigned char *pixels, int width, int height,
                           int pixelFormat, int quality);

    unsigned long capacity;
    TurboJpegBuffer buffer;
    int subsampling;
};

void readWhole(const QString &path, std::vector<unsigned char> &bytes);
void writeWhole(const QString &path, const unsigned char *data, qint64 size);

} // namespace inkveil::bench
