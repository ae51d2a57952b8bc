// SPDX-FileCopyrightText: 2026 Tessaly
// SPDX-License-Identifier: GPL-3.0-or-later

#include "imageio/Resampler.h"

#include <QColorSpace>
#include <QRgba64>
#include <QSysInfo>
#include <QThread>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <numbers>
#include <numeric>
#include <system_error>
#include <thread>
#include <utility>
#include <vector>

#if defined(__x86_64__)
#include <immintrin.h>
#endif

// 16-bit photos go through loops over floats that the compiler vectorises; on processors with
// AVX2 a second copy of them runs eight lanes wide (chosen once, when the program loads).
#if defined(__x86_64__) && defined(__GNUC__) && !defined(__clang__)
#define INKVEIL_VECTOR_CLONES __attribute__((target_clones("arch=x86-64-v3", "default")))
#else
#define INKVEIL_VECTOR_CLONES
#endif

namespace inkveil {

namespace {

constexpr double Lobes = 3.0;
// Fixed-point weights for 8-bit photos: 14 fractional bits, so that a weight of up to 2 fits 16
// bits and a weighted sum fits 32.
constexpr int FixedOne = 1 << 14;
// Between the passes 8-bit values are held in 1/64ths of a level in 16 bits: room for the
// filter's overshoot, and products with the weights that still fit 32 bits.
constexpr int RowShift = 8;
constexpr int ColumnShift = 14 + 6;
// Below this many output pixels a thread costs more than it saves.
constexpr qint64 PixelsPerThread = 128 * 1024;

double sinc(const double x)
{
    if (x == 0.0)
        return 1.0;
    const double angle = std::numbers::pi * x;
    return std::sin(angle) / angle;
}

double lanczos(const double x)
{
    return std::abs(x) < Lobes ? sinc(x) * sinc(x / Lobes) : 0.0;
}

// Which source pixels along one axis make each output pixel, and what each weighs: `taps`
// weights per output pixel for the source pixels from first[i] on, zero where the filter ends
// early, also in 1/16384ths (`fixed`). For the horizontal pass of four-channel pixels the taps
// are padded to a multiple of what one vector holds and the weights laid out to match the
// pixels: `spread` repeats each float weight for the four channels (two pixels to eight
// lanes), `quads` holds the fixed weights of taps k and k + 1 in turn, four times (two pixels,
// interleaved, to one pmaddwd). The padding may reach a few pixels past the row.
struct Contributions
{
    int taps = 1;
    std::vector<int> first;
    std::vector<float> weights;
    std::vector<qint16> fixed;
    std::vector<float> spread;
    std::vector<qint16> quads;
};

enum class Layout { Plain, Spread, Quads };

// The source pixels whose centres lie inside the filter around centre.
std::pair<int, int> window(const double centre, const double support, const int source)
{
    const int from = std::max(0, static_cast<int>(std::floor(centre - support - 0.5)) + 1);
    const int to = std::min(source - 1, static_cast<int>(std::ceil(centre + support - 0.5)) - 1);
    return {from, std::max(from, to)};
}

Contributions contributionsFor(const int source, const int target, const Layout layout)
{
    Contributions result;
    const auto outputs = static_cast<std::size_t>(target);
    result.first.resize(outputs);
    const double scale = static_cast<double>(source) / target;
    // Shrinking widens the filter to the source's spacing of output pixels; the same size is
    // one tap of weight 1.
    const double stretch = std::max(scale, 1.0);
    const double support = source == target ? 0.5 : Lobes * stretch;
    for (int i = 0; i < target; ++i) {
        const auto [from, to] = window((i + 0.5) * scale, support, source);
        result.taps = std::max(result.taps, to - from + 1);
    }
    const int multiple = layout == Layout::Quads ? 4 : layout == Layout::Spread ? 2 : 1;
    result.taps = (result.taps + multiple - 1) / multiple * multiple;
    const auto taps = static_cast<std::size_t>(result.taps);
    result.weights.assign(outputs * taps, 0.0f);
    std::vector<double> weights(taps);
    for (int i = 0; i < target; ++i) {
        const double centre = (i + 0.5) * scale;
        const auto [from, to] = window(centre, support, source);
        const int start = std::max(0, std::min(from, source - result.taps));
        std::fill(weights.begin(), weights.end(), 0.0);
        double sum = 0.0;
        for (int j = from; j <= to; ++j) {
            double &weight = weights[static_cast<std::size_t>(j - start)];
            weight = lanczos((j + 0.5 - centre) / stretch);
            sum += weight;
        }
        const auto at = static_cast<std::size_t>(i);
        result.first[at] = start;
        for (std::size_t k = 0; k < taps; ++k)
            result.weights[at * taps + k] = static_cast<float>(weights[k] / sum);
    }
    // Each output pixel's fixed-point weights sum to exactly one, the rounding taken up by its
    // largest, so that flat areas stay exactly as they were.
    result.fixed.resize(result.weights.size());
    for (std::size_t i = 0; i < outputs; ++i) {
        int sum = 0;
        std::size_t largest = i * taps;
        for (std::size_t k = i * taps; k < (i + 1) * taps; ++k) {
            result.fixed[k] = static_cast<qint16>(std::lround(result.weights[k] * FixedOne));
            sum += result.fixed[k];
            if (result.weights[k] > result.weights[largest])
                largest = k;
        }
        result.fixed[largest] = static_cast<qint16>(result.fixed[largest] + FixedOne - sum);
    }
    if (layout == Layout::Spread) {
        result.spread.resize(result.weights.size() * 4);
        for (std::size_t k = 0; k < result.spread.size(); ++k)
            result.spread[k] = result.weights[k / 4];
    }
    if (layout == Layout::Quads) {
        // Per pair of taps k, k + 1: (w[k], w[k + 1]) four times.
        result.quads.resize(result.fixed.size() * 4);
        for (std::size_t k = 0; k < result.fixed.size(); k += 2) {
            for (std::size_t lane = 0; lane < 8; ++lane)
                result.quads[k * 4 + lane] = result.fixed[k + lane % 2];
        }
    }
    return result;
}

// out = the weighted sum of `taps` source rows from `top` on, `count` values each, in blocks
// whose sums stay in registers.
template <typename T>
inline __attribute__((always_inline)) void sumRows(const uchar *top, const qsizetype bytesPerLine,
                                                   const float *weights, const int taps, float *out,
                                                   const int count)
{
    constexpr int Block = 32;
    int i = 0;
    for (; i + Block <= count; i += Block) {
        float sum[Block] = {};
        for (int k = 0; k < taps; ++k) {
            const float weight = weights[k];
            const T *const row = reinterpret_cast<const T *>(top + k * bytesPerLine) + i;
            for (int j = 0; j < Block; ++j)
                sum[j] += weight * static_cast<float>(row[j]);
        }
        std::copy(sum, sum + Block, out + i);
    }
    for (; i < count; ++i) {
        float sum = 0.0f;
        for (int k = 0; k < taps; ++k)
            sum += weights[k] *
                   static_cast<float>(reinterpret_cast<const T *>(top + k * bytesPerLine)[i]);
        out[i] = sum;
    }
}

// The passes on 8-bit photos, in integers: two rows' bytes (or two pixels' channels)
// interleaved and multiplied by their two weights at once (pmaddwd), twice the values per
// instruction of floats, and exact, so that every processor gets the same result.
qint16 fixedSum(const uchar *top, const qsizetype bytesPerLine, const qint16 *weights,
                const int taps, const int i)
{
    int sum = 0;
    for (int k = 0; k < taps; ++k)
        sum += weights[k] * top[k * bytesPerLine + i];
    const int level = (sum + (1 << (RowShift - 1))) >> RowShift;
    return static_cast<qint16>(std::clamp(level, -32768, 32767));
}

#if defined(__x86_64__)
// The two weights of rows k and k + 1 (0 past the last row) in every 32-bit lane.
int weightPair(const qint16 *weights, const int k, const int taps)
{
    const auto high = k + 1 < taps ? static_cast<quint16>(weights[k + 1]) : quint16(0);
    return static_cast<int>(static_cast<quint32>(static_cast<quint16>(weights[k])) |
                            (static_cast<quint32>(high) << 16));
}

__m128i loadRow(const uchar *row, const bool present)
{
    return present ? _mm_loadu_si128(reinterpret_cast<const __m128i *>(row)) : _mm_setzero_si128();
}

__attribute__((target("avx2"))) void sumRows8Avx2(const uchar *top, const qsizetype bytesPerLine,
                                                  const qint16 *weights, const int taps,
                                                  qint16 *out, const int count)
{
    int i = 0;
    for (; i + 32 <= count; i += 32) {
        __m256i sums[4] = {_mm256_setzero_si256(), _mm256_setzero_si256(), _mm256_setzero_si256(),
                           _mm256_setzero_si256()};
        for (int k = 0; k < taps; k += 2) {
            const __m256i pair = _mm256_set1_epi32(weightPair(weights, k, taps));
            const uchar *const a = top + k * bytesPerLine + i;
            for (int half = 0; half < 2; ++half) {
                const __m128i first = loadRow(a + half * 16, true);
                const __m128i second = loadRow(a + bytesPerLine + half * 16, k + 1 < taps);
                __m256i &low = sums[half * 2];
                __m256i &high = sums[half * 2 + 1];
                low = _mm256_add_epi32(
                    low, _mm256_madd_epi16(_mm256_cvtepu8_epi16(_mm_unpacklo_epi8(first, second)),
                                           pair));
                high = _mm256_add_epi32(
                    high, _mm256_madd_epi16(_mm256_cvtepu8_epi16(_mm_unpackhi_epi8(first, second)),
                                            pair));
            }
        }
        const __m256i half = _mm256_set1_epi32(1 << (RowShift - 1));
        for (int q = 0; q < 4; ++q) {
            const __m256i level = _mm256_srai_epi32(_mm256_add_epi32(sums[q], half), RowShift);
            _mm_storeu_si128(
                reinterpret_cast<__m128i *>(out + i + q * 8),
                _mm_packs_epi32(_mm256_castsi256_si128(level), _mm256_extracti128_si256(level, 1)));
        }
    }
    for (; i < count; ++i)
        out[i] = fixedSum(top, bytesPerLine, weights, taps, i);
}

void sumRows8Sse2(const uchar *top, const qsizetype bytesPerLine, const qint16 *weights,
                  const int taps, qint16 *out, const int count)
{
    const __m128i zero = _mm_setzero_si128();
    int i = 0;
    for (; i + 16 <= count; i += 16) {
        __m128i sums[4] = {zero, zero, zero, zero};
        for (int k = 0; k < taps; k += 2) {
            const __m128i pair = _mm_set1_epi32(weightPair(weights, k, taps));
            const uchar *const a = top + k * bytesPerLine + i;
            const __m128i first = loadRow(a, true);
            const __m128i second = loadRow(a + bytesPerLine, k + 1 < taps);
            const __m128i low = _mm_unpacklo_epi8(first, second);
            const __m128i high = _mm_unpackhi_epi8(first, second);
            sums[0] = _mm_add_epi32(sums[0], _mm_madd_epi16(_mm_unpacklo_epi8(low, zero), pair));
            sums[1] = _mm_add_epi32(sums[1], _mm_madd_epi16(_mm_unpackhi_epi8(low, zero), pair));
            sums[2] = _mm_add_epi32(sums[2], _mm_madd_epi16(_mm_unpacklo_epi8(high, zero), pair));
            sums[3] = _mm_add_epi32(sums[3], _mm_madd_epi16(_mm_unpackhi_epi8(high, zero), pair));
        }
        const __m128i half = _mm_set1_epi32(1 << (RowShift - 1));
        for (int q = 0; q < 4; ++q)
            sums[q] = _mm_srai_epi32(_mm_add_epi32(sums[q], half), RowShift);
        _mm_storeu_si128(reinterpret_cast<__m128i *>(out + i), _mm_packs_epi32(sums[0], sums[1]));
        _mm_storeu_si128(reinterpret_cast<__m128i *>(out + i + 8),
                         _mm_packs_epi32(sums[2], sums[3]));
    }
    for (; i < count; ++i)
        out[i] = fixedSum(top, bytesPerLine, weights, taps, i);
}
#endif

#if defined(__x86_64__)
// The four channel sums of one output pixel, in 1/64ths of a level times the weights' 16384:
// pixels k and k + 1 interleaved channel by channel against their weights.
__attribute__((target("avx2"))) __m128i sumPixelAvx2(const qint16 *pixels, const qint16 *quads,
                                                     const int taps)
{
    __m256i sum = _mm256_setzero_si256();
    for (int k = 0; k < taps; k += 4) {
        const __m256i four = _mm256_loadu_si256(reinterpret_cast<const __m256i *>(pixels + k * 4));
        const __m256i pairs = _mm256_unpacklo_epi16(four, _mm256_srli_si256(four, 8));
        sum = _mm256_add_epi32(
            sum, _mm256_madd_epi16(
                     pairs, _mm256_loadu_si256(reinterpret_cast<const __m256i *>(quads + k * 4))));
    }
    return _mm_add_epi32(_mm256_castsi256_si128(sum), _mm256_extracti128_si256(sum, 1));
}

__m128i sumPixelSse2(const qint16 *pixels, const qint16 *quads, const int taps)
{
    __m128i sum = _mm_setzero_si128();
    for (int k = 0; k < taps; k += 2) {
        const __m128i two = _mm_loadu_si128(reinterpret_cast<const __m128i *>(pixels + k * 4));
        const __m128i pairs = _mm_unpacklo_epi16(two, _mm_srli_si128(two, 8));
        sum = _mm_add_epi32(
            sum, _mm_madd_epi16(pairs,
                                _mm_loadu_si128(reinterpret_cast<const __m128i *>(quads + k * 4))));
    }
    return sum;
}

__attribute__((target("avx2"))) void sumColumns8Avx2(const qint16 *in, const Contributions &along,
                                                     uchar *out, const int width)
{
    const auto span = static_cast<std::size_t>(along.taps) * 4;
    const __m128i half = _mm_set1_epi32(1 << (ColumnShift - 1));
    for (int x = 0; x < width; ++x) {
        const auto at = static_cast<std::size_t>(x);
        const __m128i sum = sumPixelAvx2(in + static_cast<std::size_t>(along.first[at]) * 4,
                                         &along.quads[at * span], along.taps);
        const __m128i level = _mm_srai_epi32(_mm_add_epi32(sum, half), ColumnShift);
        const __m128i bytes = _mm_packus_epi16(_mm_packs_epi32(level, level), level);
        const int packed = _mm_cvtsi128_si32(bytes);
        std::memcpy(out + at * 4, &packed, 4);
    }
}

void sumColumns8Sse2(const qint16 *in, const Contributions &along, uchar *out, const int width)
{
    const auto span = static_cast<std::size_t>(along.taps) * 4;
    const __m128i half = _mm_set1_epi32(1 << (ColumnShift - 1));
    for (int x = 0; x < width; ++x) {
        const auto at = static_cast<std::size_t>(x);
        const __m128i sum = sumPixelSse2(in + static_cast<std::size_t>(along.first[at]) * 4,
                                         &along.quads[at * span], along.taps);
        const __m128i level = _mm_srai_epi32(_mm_add_epi32(sum, half), ColumnShift);
        const __m128i bytes = _mm_packus_epi16(_mm_packs_epi32(level, level), level);
        const int packed = _mm_cvtsi128_si32(bytes);
        std::memcpy(out + at * 4, &packed, 4);
    }
}

bool hasAvx2()
{
    static const bool avx2 = __builtin_cpu_supports("avx2");
    return avx2;
}
#endif

void sumRows8(const uchar *top, const qsizetype bytesPerLine, const qint16 *weights, const int taps,
              qint16 *out, const int count)
{
#if defined(__x86_64__)
    if (hasAvx2())
        sumRows8Avx2(top, bytesPerLine, weights, taps, out, count);
    else
        sumRows8Sse2(top, bytesPerLine, weights, taps, out, count);
#else
    for (int i = 0; i < count; ++i)
        out[i] = fixedSum(top, bytesPerLine, weights, taps, i);
#endif
}

// One output row of 8-bit pixels (`channels` of them) from the row of vertical sums.
// Premultiplied colour never exceeds its alpha (index alphaAt), which the filter's negative
// lobes could otherwise make it do at an edge.
void sumColumns8(const qint16 *in, const Contributions &along, uchar *out, const int width,
                 const int channels, const int alphaAt)
{
#if defined(__x86_64__)
    if (channels == 4 && hasAvx2())
        sumColumns8Avx2(in, along, out, width);
    else if (channels == 4)
        sumColumns8Sse2(in, along, out, width);
    else
#endif
    {
        const auto taps = static_cast<std::size_t>(along.taps);
        for (int x = 0; x < width; ++x) {
            const auto at = static_cast<std::size_t>(x);
            const qint16 *const pixels =
                in + static_cast<std::size_t>(along.first[at]) * static_cast<std::size_t>(channels);
            for (int c = 0; c < channels; ++c) {
                int sum = 0;
                for (std::size_t k = 0; k < taps; ++k)
                    sum +=
                        along.fixed[at * taps + k] * pixels[k * static_cast<std::size_t>(channels) +
                                                            static_cast<std::size_t>(c)];
                const int level = (sum + (1 << (ColumnShift - 1))) >> ColumnShift;
                out[x * channels + c] = static_cast<uchar>(std::clamp(level, 0, 255));
            }
        }
    }
    if (alphaAt < 0)
        return;
    for (int x = 0; x < width; ++x) {
        uchar *const pixel = out + x * 4;
        for (int c = 0; c < 4; ++c)
            pixel[c] = std::min(pixel[c], pixel[alphaAt]);
    }
}

INKVEIL_VECTOR_CLONES void sumRows16(const uchar *top, const qsizetype bytesPerLine,
                                     const float *weights, const int taps, float *out,
                                     const int count)
{
    sumRows<quint16>(top, bytesPerLine, weights, taps, out, count);
}

quint16 rounded(const float value)
{
    return static_cast<quint16>(std::clamp(value, 0.0f, 65535.0f) + 0.5f);
}

// One output row of 16-bit pixels from the row of vertical sums, as sumColumns8 does for 8-bit.
inline __attribute__((always_inline)) void sumColumns(const float *in, const Contributions &along,
                                                      quint16 *out, const int width,
                                                      const int alphaAt)
{
    const auto span = static_cast<std::size_t>(along.taps) * 4;
    for (int x = 0; x < width; ++x) {
        const auto at = static_cast<std::size_t>(x);
        const float *const weights = &along.spread[at * span];
        const float *const pixels = in + static_cast<std::size_t>(along.first[at]) * 4;
        float sum[8] = {};
        for (std::size_t j = 0; j < span; j += 8) {
            for (std::size_t c = 0; c < 8; ++c)
                sum[c] += weights[j + c] * pixels[j + c];
        }
        quint16 *const pixel = out + at * 4;
        for (std::size_t c = 0; c < 4; ++c)
            pixel[c] = rounded(sum[c] + sum[c + 4]);
        if (alphaAt >= 0) {
            for (std::size_t c = 0; c < 4; ++c)
                pixel[c] = std::min(pixel[c], pixel[alphaAt]);
        }
    }
}

INKVEIL_VECTOR_CLONES void sumColumns16(const float *in, const Contributions &along, quint16 *out,
                                        const int width, const int alphaAt)
{
    sumColumns(in, along, out, width, alphaAt);
}

void sumGreyColumns16(const float *in, const Contributions &along, quint16 *out, const int width)
{
    const auto taps = static_cast<std::size_t>(along.taps);
    for (int x = 0; x < width; ++x) {
        const auto at = static_cast<std::size_t>(x);
        const float *const pixels = in + along.first[at];
        float sum = 0.0f;
        for (std::size_t k = 0; k < taps; ++k)
            sum += along.weights[at * taps + k] * pixels[k];
        out[x] = rounded(sum);
    }
}

struct Job
{
    const QImage &source;
    QImage &target;
    Contributions across;
    Contributions down;
    int channels = 4;
    bool deep = false;
    int alphaAt = -1;
};

// Output rows [from, to): the vertical pass into one row, then the horizontal one.
void resampleRows(const Job &job, const int from, const int to)
{
    const int count = job.source.width() * job.channels;
    // Four pixels more, left at zero, for the padded taps of the horizontal pass.
    const auto padded = static_cast<std::size_t>(count + 4 * job.channels);
    std::vector<float> sums(job.deep ? padded : 0, 0.0f);
    std::vector<qint16> levels(job.deep ? 0 : padded, 0);
    const qsizetype bytesPerLine = job.source.bytesPerLine();
    const auto taps = static_cast<std::size_t>(job.down.taps);
    const int width = job.target.width();
    for (int y = from; y < to; ++y) {
        const auto row = static_cast<std::size_t>(y);
        const uchar *const top = job.source.constScanLine(job.down.first[row]);
        uchar *const line = job.target.scanLine(y);
        if (!job.deep) {
            sumRows8(top, bytesPerLine, &job.down.fixed[row * taps], job.down.taps, levels.data(),
                     count);
            sumColumns8(levels.data(), job.across, line, width, job.channels, job.alphaAt);
            continue;
        }
        sumRows16(top, bytesPerLine, &job.down.weights[row * taps], job.down.taps, sums.data(),
                  count);
        auto *const line16 = reinterpret_cast<quint16 *>(line);
        if (job.channels == 1)
            sumGreyColumns16(sums.data(), job.across, line16, width);
        else
            sumColumns16(sums.data(), job.across, line16, width, job.alphaAt);
    }
}

// The rows split between this thread and helpers, as many as the processor has cores.
void resampleAll(const Job &job)
{
    const int height = job.target.height();
    const qint64 pixels = static_cast<qint64>(job.target.width()) * height;
    const int threads = static_cast<int>(std::clamp<qint64>(
        pixels / PixelsPerThread, 1, std::min(QThread::idealThreadCount(), std::max(height, 1))));
    std::vector<std::jthread> helpers;
    for (int t = 1; t < threads; ++t) {
        const int from = height * t / threads;
        const int to = height * (t + 1) / threads;
        try {
            helpers.emplace_back([&job, from, to] { resampleRows(job, from, to); });
        } catch (const std::system_error &) {
            // No thread to be had: this one does the share.
            resampleRows(job, from, to);
        }
    }
    resampleRows(job, 0, height / threads);
}

bool isDeep(const QImage::Format format)
{
    switch (format) {
    case QImage::Format_BGR30:
    case QImage::Format_A2BGR30_Premultiplied:
    case QImage::Format_RGB30:
    case QImage::Format_A2RGB30_Premultiplied:
        return true;
    default:
        return false;
    }
}

// Qt 6.4 premultiplies straight 16-bit RGBA wrongly; a pixel's own premultiplied() is right.
QImage premultipliedDeep(const QImage &image)
{
    QImage result(image.size(), QImage::Format_RGBA64_Premultiplied);
    if (result.isNull())
        return result;
    for (int y = 0; y < image.height(); ++y) {
        const auto *const in = reinterpret_cast<const QRgba64 *>(image.constScanLine(y));
        auto *const out = reinterpret_cast<QRgba64 *>(result.scanLine(y));
        for (int x = 0; x < image.width(); ++x)
            out[x] = in[x].premultiplied();
    }
    return result;
}

// The image in a layout the passes take: 1 or 4 channels of 8 or 16 bits, transparent pixels
// premultiplied.
QImage workingCopy(const QImage &image)
{
    switch (image.format()) {
    case QImage::Format_RGB32:
    case QImage::Format_ARGB32_Premultiplied:
    case QImage::Format_RGBX8888:
    case QImage::Format_RGBA8888_Premultiplied:
    case QImage::Format_Grayscale8:
    case QImage::Format_Grayscale16:
    case QImage::Format_RGBX64:
    case QImage::Format_RGBA64_Premultiplied:
        return image;
    case QImage::Format_RGBA64:
        return premultipliedDeep(image);
    default:
        break;
    }
    const bool alpha = image.hasAlphaChannel();
    if (image.depth() > 32 || isDeep(image.format()))
        return image.convertToFormat(alpha ? QImage::Format_RGBA64_Premultiplied
                                           : QImage::Format_RGBX64);
    return image.convertToFormat(alpha ? QImage::Format_ARGB32_Premultiplied
                                       : QImage::Format_RGB32);
}

int alphaIndex(const QImage::Format format)
{
    switch (format) {
    case QImage::Format_ARGB32_Premultiplied:
        return QSysInfo::ByteOrder == QSysInfo::BigEndian ? 0 : 3;
    case QImage::Format_RGBA8888_Premultiplied:
    case QImage::Format_RGBA64_Premultiplied:
        return 3;
    default:
        return -1;
    }
}

} // namespace

QImage Resampler::resized(const QImage &image, const QSize target)
{
    if (image.isNull() || target.isEmpty())
        return {};
    if (image.size() == target)
        return image;
    const QImage source = workingCopy(image);
    QImage result(target, source.format());
    if (source.isNull() || result.isNull())
        return {};
    const QImage::Format format = source.format();
    const bool grey = format == QImage::Format_Grayscale8 || format == QImage::Format_Grayscale16;
    const bool deep = format == QImage::Format_Grayscale16 || source.depth() == 64;
    const Job job{source,
                  result,
                  contributionsFor(source.width(), target.width(),
                                   grey   ? Layout::Plain
                                   : deep ? Layout::Spread
                                          : Layout::Quads),
                  contributionsFor(source.height(), target.height(), Layout::Plain),
                  grey ? 1 : 4,
                  deep,
                  alphaIndex(format)};
    resampleAll(job);

    result.setColorSpace(image.colorSpace());
    result.setDotsPerMeterX(image.dotsPerMeterX());
    result.setDotsPerMeterY(image.dotsPerMeterY());
    for (const QString &key : image.textKeys())
        result.setText(key, image.text(key));
    // Encoders expect straight 16-bit RGBA back as it came; Qt's way back is right.
    if (image.format() == QImage::Format_RGBA64)
        result.convertTo(QImage::Format_RGBA64);
    return result;
}

} // namespace inkveil
