// SPDX-FileCopyrightText: 2026 Tessaly
// SPDX-License-Identifier: GPL-3.0-or-later

#include "Photos.h"

#include "BenchSupport.h"
#include "PhotoBuilders.h"
#include "TurboJpeg.h"

#include <QFile>
#include <QThread>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdint>
#include <thread>
#include <vector>

namespace inkveil::bench {

namespace {

// xorshift64*: fast, and the same sequence on every machine.
class Random
{
public:
    explicit Random(std::uint64_t seed)
        : m_state(seed * 0x9E3779B97F4A7C15ull + 1)
    {}
    std::uint64_t next()
    {
        m_state ^= m_state >> 12;
        m_state ^= m_state << 25;
        m_state ^= m_state >> 27;
        return m_state * 0x2545F4914F6CDD1Dull;
    }
    // Uniform in [-1, 1).
    float symmetric() { return static_cast<float>(next() >> 40) / float(1 << 23) - 1.0f; }

private:
    std::uint64_t m_state;
};

// Texture shared by all photos: value noise at a few scales (foliage, fabric, skin) and fine
// sensor grain, mostly in luminance, as a tile each photo samples at its own offset. The grain
// is what gives the files their camera-like size.
class Texture
{
public:
    static constexpr int Size = 1024; // a power of two: offsets wrap with a mask
    static constexpr int Mask = Size - 1;

    Texture()
        : m_rgb(size_t(Size) * Size * 3)
    {
        Random random(7);
        std::vector<float> luma(size_t(Size) * Size, 0.0f);
        const auto addOctave = [&](int cell, float amplitude) {
            const int cells = Size / cell;
            std::vector<float> grid(size_t(cells) * size_t(cells));
            for (float &value : grid)
                value = random.symmetric() * amplitude;
            const auto at = [&](int gx, int gy) {
                return grid[size_t((gy % cells) * cells + (gx % cells))];
            };
            for (int y = 0; y < Size; ++y) {
                const float fy = static_cast<float>(y % cell) / static_cast<float>(cell);
                for (int x = 0; x < Size; ++x) {
                    const float fx = static_cast<float>(x % cell) / static_cast<float>(cell);
                    const int gx = x / cell;
                    const int gy = y / cell;
                    const float top = at(gx, gy) + (at(gx + 1, gy) - at(gx, gy)) * fx;
                    const float bottom =
                        at(gx, gy + 1) + (at(gx + 1, gy + 1) - at(gx, gy + 1)) * fx;
                    luma[size_t(y * Size + x)] += top + (bottom - top) * fy;
                }
            }
        };
        addOctave(128, 18.0f);
        addOctave(32, 10.0f);
        addOctave(8, 6.0f);
        addOctave(2, 4.0f);
        for (size_t i = 0; i < luma.size(); ++i) {
            const float grain = random.symmetric() * 13.0f;
            for (size_t c = 0; c < 3; ++c) {
                const float value = luma[i] + grain + random.symmetric() * 4.0f;
                m_rgb[i * 3 + c] = static_cast<std::int16_t>(std::lround(value));
            }
        }
    }

    const std::int16_t *row(int y) const { return &m_rgb[size_t(y & Mask) * Size * 3]; }

private:
    std::vector<std::int16_t> m_rgb;
};
// A camera's EXIF segment (big-endian, as many cameras write it), dated by the photo's index.
QByteArray exifSegment(int index)
{
    const QByteArray taken =
        QStringLiteral("2024:06:01 12:%1:00").arg(index % 60, 2, 10, QLatin1Char('0')).toLatin1();
    const Tiff t{true};
    return t.app1(cameraTiff(t, "Bench Optics", "BX-24", taken, PhotoWidth, PhotoHeight));
}

// Per photo, a different light: a sky-like vertical gradient, a horizontal fall-off and one
// soft highlight, all separable so that a pixel costs a few additions.
struct Lighting
{
    std::vector<float> columns[3];
    std::vector<float> rows[3];
    std::vector<float> blobColumns;
    std::vector<float> blobRows;

    explicit Lighting(int index)
    {
        Random random(std::uint64_t(index) + 101);
        const float top[3] = {90 + 40 * random.symmetric(), 120 + 30 * random.symmetric(),
                              170 + 40 * random.symmetric()};
        const float bottom[3] = {110 + 50 * random.symmetric(), 95 + 40 * random.symmetric(),
                                 60 + 30 * random.symmetric()};
        const float tilt = 30.0f * random.symmetric();
        const float blobX = PhotoWidth * (0.5f + 0.35f * random.symmetric());
        const float blobY = PhotoHeight * (0.5f + 0.35f * random.symmetric());
        const float blobRadius = PhotoHeight * (0.25f + 0.1f * random.symmetric());
        for (int c = 0; c < 3; ++c) {
            columns[c].resize(PhotoWidth);
            rows[c].resize(PhotoHeight);
            for (int x = 0; x < PhotoWidth; ++x)
                columns[c][size_t(x)] = tilt * (static_cast<float>(x) / PhotoWidth - 0.5f);
            for (int y = 0; y < PhotoHeight; ++y) {
                const float t = static_cast<float>(y) / PhotoHeight;
                rows[c][size_t(y)] = top[c] + (bottom[c] - top[c]) * t * t * (3 - 2 * t);
            }
        }
        blobColumns.resize(PhotoWidth);
        blobRows.resize(PhotoHeight);
        for (int x = 0; x < PhotoWidth; ++x) {
            const float d = (static_cast<float>(x) - blobX) / blobRadius;
            blobColumns[size_t(x)] = 70.0f * std::exp(-d * d);
        }
        for (int y = 0; y < PhotoHeight; ++y) {
            const float d = (static_cast<float>(y) - blobY) / blobRadius;
            blobRows[size_t(y)] = std::exp(-d * d);
        }
    }
};

void renderPhoto(const Texture &texture, int index, std::vector<unsigned char> &rgb)
{
    const Lighting light(index);
    Random random(std::uint64_t(index) + 9001);
    const int offsetX = static_cast<int>(random.next() % Texture::Size);
    const int offsetY = static_cast<int>(random.next() % Texture::Size);
    rgb.resize(size_t(PhotoWidth) * PhotoHeight * 3);
    for (int y = 0; y < PhotoHeight; ++y) {
        const std::int16_t *tile = texture.row(y + offsetY);
        unsigned char *pixel = &rgb[size_t(y) * PhotoWidth * 3];
        const float blobRow = light.blobRows[size_t(y)];
        for (int x = 0; x < PhotoWidth; ++x) {
            const std::int16_t *grain = tile + size_t((x + offsetX) & Texture::Mask) * 3;
            const float highlight = light.blobColumns[size_t(x)] * blobRow;
            for (size_t c = 0; c < 3; ++c) {
                const float value = light.rows[c][size_t(y)] + light.columns[c][size_t(x)] +
                                    highlight + static_cast<float>(grain[c]);
                pixel[c] = static_cast<unsigned char>(std::clamp(value, 0.0f, 255.0f));
            }
            pixel += 3;
        }
    }
}

} // namespace

QString photoPath(const QString &folder, int index)
{
    return QStringLiteral("%1/photo-%2.jpg").arg(folder).arg(index + 1, 4, 10, QLatin1Char('0'));
}

qint64 generatePhotos(const QString &folder, int count)
{
    const Texture texture;
    std::atomic<int> next{0};
    std::atomic<qint64> totalBytes{0};
    const auto work = [&] {
        const TurboJpegHandle compressor = makeCompressor();
        JpegOutput jpeg(PhotoWidth, PhotoHeight, TJSAMP_422);
        std::vector<unsigned char> rgb;
        for (int index = next++; index < count; index = next++) {
            renderPhoto(texture, index, rgb);
            const unsigned long size = jpeg.compress(compressor.get(), rgb.data(), PhotoWidth,
                                                     PhotoHeight, TJPF_RGB, SourceQuality);
            const auto *buffer = reinterpret_cast<const char *>(jpeg.buffer.get());
            // The EXIF segment goes right after the start-of-image marker, as cameras write it.
            QFile file(photoPath(folder, index));
            const QByteArray exif = exifSegment(index);
            const auto rest = static_cast<qint64>(size) - 2;
            if (!file.open(QIODevice::WriteOnly) || file.write(buffer, 2) != 2 ||
                file.write(exif) != exif.size() || file.write(buffer + 2, rest) != rest)
                die(QStringLiteral("cannot write %1").arg(file.fileName()));
            totalBytes += file.size();
        }
    };
    onThreads(QThread::idealThreadCount(), work);
    return count > 0 ? totalBytes / count : 0;
}

} // namespace inkveil::bench
