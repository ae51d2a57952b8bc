// SPDX-FileCopyrightText: 2026 Tessaly
// SPDX-License-Identifier: GPL-3.0-or-later

#include "Runs.h"
#include "TurboJpeg.h"

#include <atomic>
#include <mutex>

namespace inkveil::bench {

// Read, decode to 4 bytes a pixel (as the engine holds a photo), encode
// at the output quality with the same chroma subsampling and DCT as Qt's writer, write. Every
// buffer is reused from photo to photo.
Timing runFloor(const RunSettings &run)
{
    const QStringList files = inputFiles(run);
    Timing timing;
    std::mutex lock;
    for (int r = 0; r < run.repeat; ++r) {
        clearOutput(run.output);
        std::atomic<int> next{0};
        const auto work = [&] {
            const TurboJpegHandle decompressor = makeDecompressor();
            const TurboJpegHandle compressor = makeCompressor();
            JpegOutput jpeg(PhotoWidth, PhotoHeight, TJSAMP_420);
            std::vector<unsigned char> source;
            std::vector<unsigned char> pixels;
            for (int index = next++; index < run.count; index = next++) {
                Laps laps;
                readWhole(files.at(index), source);
                const double read = laps.lap();
                int width = 0;
                int height = 0;
                int subsampling = 0;
                int colorspace = 0;
                if (tjDecompressHeader3(decompressor.get(), source.data(), source.size(), &width,
                                        &height, &subsampling, &colorspace) != 0)
                    die(turboError(decompressor.get()));
                pixels.resize(size_t(width) * size_t(height) * 4);
                if (tjDecompress2(decompressor.get(), source.data(), source.size(), pixels.data(),
                                  width, 0, height, TJPF_BGRX, TJFLAG_ACCURATEDCT) != 0)
                    die(turboError(decompressor.get()));
                const double decode = laps.lap();
                const unsigned long size = jpeg.compress(compressor.get(), pixels.data(), width,
                                                         height, TJPF_BGRX, OutputQuality);
                const double encode = laps.lap();
                writeWhole(outputPath(run.output, files.at(index)), jpeg.buffer.get(),
                           static_cast<qint64>(size));
                const double write = laps.lap();
                const std::lock_guard guard(lock);
                timing.perPhoto.push_back(laps.wall());
                timing.addStep(QStringLiteral("read"), read);
                timing.addStep(QStringLiteral("decode"), decode);
                timing.addStep(QStringLiteral("encode"), encode);
                timing.addStep(QStringLiteral("write"), write);
            }
        };
        timing.beginRepeat(RUSAGE_SELF);
        onThreads(run.workers, work);
        timing.endRepeat(run.count);
    }
    return timing;
}

} // namespace inkveil::bench
