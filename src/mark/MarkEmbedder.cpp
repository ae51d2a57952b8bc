// SPDX-FileCopyrightText: 2026 Tessaly
// SPDX-License-Identifier: GPL-3.0-or-later

#include "mark/MarkEmbedder.h"

#include "mark/MarkKey.h"
#include "mark/MarkTile.h"

#include <QImage>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

#include <algorithm>
#include <array>
#include <cmath>

namespace inkveil {

namespace {

// Strength in levels of an 8-bit channel: the floor keeps flat areas within 2 levels once
// rounded; texture (the local standard deviation of brightness) raises it up to the ceiling,
// where the picture hides it.
constexpr float FlatStrength = 0.8f;
// Below 10 pixels a cell, an 8 x 8 area spans most of a cell and the rounded pattern's steps
// show in it (structural similarity counts them): the floor eases to 0.7 at 6 pixels.
constexpr float SmallCellStrength = 0.7f;
constexpr float TextureGain = 0.4f;
constexpr float MostStrength = 8.0f;
// Below this brightness (of 255) the strength falls, to nothing at black.
constexpr float DarkLevel = 12.0f;
constexpr float DarkOffset = 2.0f;
// An 8 x 8 patch this smooth (departure of brightness from a plane) changes by at most 2 levels.
constexpr int Patch = 8;
constexpr float SmoothPatchDeviation = 3.0f;
constexpr int FlatPatchChange = 2;
// The most a change can be once rounded, with room to spare.
constexpr int MostChange = 10;
// The most mean square change over a photo, in levels squared: 255^2 / 4.1 keeps the peak
// signal-to-noise ratio at 42 dB or more.
constexpr double MostMeanSquare = 4.1;
// The changes' mean square is taken from every fourth row, and kept this far within the budget.
constexpr int PowerRowStep = 4;
constexpr double SampledShare = 0.98;

struct Layout
{
    int channels = 0; // bytes of colour per pixel that change
    int stride = 0;   // bytes per pixel
    bool premultiplied = false;
    bool sixteenBit = false;
    bool blueFirst = false; // the byte order of colour in memory
};

Layout layoutOf(QImage::Format format)
{
    switch (format) {
    case QImage::Format_RGB32:
    case QImage::Format_ARGB32:
        return {3, 4, false, false, Q_BYTE_ORDER == Q_LITTLE_ENDIAN};
    case QImage::Format_RGBX8888:
    case QImage::Format_RGBA8888:
        return {3, 4, false, false};
    case QImage::Format_ARGB32_Premultiplied:
        return {3, 4, true, false, Q_BYTE_ORDER == Q_LITTLE_ENDIAN};
    case QImage::Format_RGBA8888_Premultiplied:
        return {3, 4, true, false};
    case QImage::Format_RGB888:
        return {3, 3, false, false};
    case QImage::Format_BGR888:
        return {3, 3, false, false, true};
    case QImage::Format_Grayscale8:
        return {1, 1, false, false};
    case QImage::Format_Grayscale16:
        return {1, 2, false, true};
    default:
        return {};
    }
}

// The points of the cell grid over the photo: point (i, j) sits at pixel (i, j) x cell size.
struct Grid
{
    float cell = 1;
    int columns = 0;
    int rows = 0;
    std::vector<float> values; // strength x tile value, row by row
    float &at(int i, int j) { return values[size_t(j) * size_t(columns) + size_t(i)]; }
};

// Brightness of a pixel, roughly: enough to tell texture from flat.
float brightness(const uchar *pixel, const Layout &layout)
{
    if (layout.sixteenBit)
        return float(*reinterpret_cast<const quint16 *>(pixel)) / 257.0f;
    if (layout.channels == 1)
        return pixel[0];
    return float(pixel[0] + 2 * pixel[1] + pixel[2]) * 0.25f;
}

// The mean and standard deviation of brightness in each cell-sized block, from pixels a third of
// a cell apart along rows a third of a cell apart (a dozen or so a block): enough to tell texture
// from flat and dark from bright at a small part of the cost.
struct BlockStatistics
{
    std::vector<float> mean;
    std::vector<float> deviation;
};

BlockStatistics blockStatistics(const QImage &image, const Layout &layout, const Grid &grid)
{
    const auto blocks = size_t(grid.columns) * size_t(grid.rows);
    std::vector<double> sum(blocks, 0.0);
    std::vector<double> squares(blocks, 0.0);
    std::vector<int> count(blocks, 0);
    const int step = std::max(1, int(grid.cell / 3));
    // The sampled pixels of a row, block column by block column: the first one's byte offset
    // and how many there are. A block's samples of a row are summed before they are stored.
    struct Run
    {
        int column = 0, offset = 0, length = 0;
    };
    std::vector<Run> runs;
    for (int x = step / 2; x < image.width(); x += step) {
        const int column = int(float(x) / grid.cell);
        if (runs.empty() || runs.back().column != column)
            runs.push_back({column, x * layout.stride, 0});
        ++runs.back().length;
    }
    const int stride = step * layout.stride;
    // Sums of whole numbers where the brightness is one (a four-byte pixel's is a quarter of
    // it): no chain of floating-point additions to wait on.
    const auto survey = [&](auto valueOf, double scale) {
        for (int y = step / 2; y < image.height(); y += step) {
            const uchar *line = image.constScanLine(y);
            const auto row = size_t(int(float(y) / grid.cell)) * size_t(grid.columns);
            for (const Run &run : runs) {
                decltype(valueOf(line)) runSum = 0, runSquares = 0;
                const uchar *pixel = line + run.offset;
                for (int k = 0; k < run.length; ++k, pixel += stride) {
                    const auto value = valueOf(pixel);
                    runSum += value;
                    runSquares += value * value;
                }
                const size_t block = row + size_t(run.column);
                sum[block] += double(runSum) * scale;
                squares[block] += double(runSquares) * scale * scale;
                count[block] += run.length;
            }
        }
    };
    if (layout.stride == 4)
        survey([](const uchar *pixel) { return pixel[0] + 2 * pixel[1] + pixel[2]; }, 0.25);
    else
        survey([&](const uchar *pixel) { return brightness(pixel, layout); }, 1.0);
    BlockStatistics statistics{std::vector<float>(blocks, 0.0f), std::vector<float>(blocks, 0.0f)};
    for (size_t b = 0; b < blocks; ++b) {
        if (count[b] > 0) {
            const double mean = sum[b] / count[b];
            statistics.mean[b] = float(mean);
            statistics.deviation[b] =
                float(std::sqrt(std::max(0.0, squares[b] / count[b] - mean * mean)));
        }
    }
    return statistics;
}

// Near black a change of a level is a large part of the brightness (and tells most in
// structural similarity): the strength falls to nothing there.
float darkFactor(float brightness)
{
    return std::clamp((brightness + DarkOffset) / DarkLevel, 0.0f, 1.0f);
}

// Strength x tile value at every grid point. A point's strength is the least of the sixteen
// blocks around it, so that a flat or dark area next to texture stays faint up to its edge.
Grid markGrid(const QImage &image, const Layout &layout,
              const std::array<float, MarkTile::Cells> &tile)
{
    Grid grid;
    grid.cell = MarkTile::cellSize(image.size());
    grid.columns = int(std::ceil(float(image.width()) / grid.cell)) + 2;
    grid.rows = int(std::ceil(float(image.height()) / grid.cell)) + 2;
    grid.values.assign(size_t(grid.columns) * size_t(grid.rows), 0.0f);
    const BlockStatistics statistics = blockStatistics(image, layout, grid);
    const float floor = SmallCellStrength + (FlatStrength - SmallCellStrength) *
                                                std::clamp((grid.cell - 6.0f) / 4.0f, 0.0f, 1.0f);
    // The least of the four blocks left of and at each block, then of the four above and at it.
    const auto leastOfFour = [&](const std::vector<float> &values) {
        const auto at = [&](int i, int j) {
            return values[size_t(std::clamp(j, 0, grid.rows - 1)) * size_t(grid.columns) +
                          size_t(std::clamp(i, 0, grid.columns - 1))];
        };
        std::vector<float> across(values.size());
        for (int j = 0; j < grid.rows; ++j) {
            for (int i = 0; i < grid.columns; ++i)
                across[size_t(j) * size_t(grid.columns) + size_t(i)] =
                    std::min({at(i - 2, j), at(i - 1, j), at(i, j), at(i + 1, j)});
        }
        std::vector<float> least(values.size());
        const auto down = [&](int i, int j) {
            return across[size_t(std::clamp(j, 0, grid.rows - 1)) * size_t(grid.columns) +
                          size_t(i)];
        };
        for (int j = 0; j < grid.rows; ++j) {
            for (int i = 0; i < grid.columns; ++i)
                least[size_t(j) * size_t(grid.columns) + size_t(i)] =
                    std::min({down(i, j - 2), down(i, j - 1), down(i, j), down(i, j + 1)});
        }
        return least;
    };
    const std::vector<float> texture = leastOfFour(statistics.deviation);
    const std::vector<float> darkest = leastOfFour(statistics.mean);
    for (int j = 0; j < grid.rows; ++j) {
        for (int i = 0; i < grid.columns; ++i) {
            const size_t block = size_t(j) * size_t(grid.columns) + size_t(i);
            const float strength = darkFactor(darkest[block]) *
                                   std::min(MostStrength, floor + TextureGain * texture[block]);
            grid.at(i, j) =
                strength * tile[size_t((j % MarkTile::Side) * MarkTile::Side + i % MarkTile::Side)];
        }
    }
    return grid;
}

// The changes of a photo's rows, asked for top to bottom: the grid interpolated bilinearly and
// rounded to whole levels. Each row of grid points is interpolated along the photo's width once,
// in fixed point (1/1024 of a level); a row of pixels is then a blend of the two around it, eight
// pixels to an instruction.
class ChangeRows
{
public:
    ChangeRows(const Grid &grid, int width)
        : m_grid(grid)
        , m_width(width)
        , m_upper(size_t(width) + Slack)
        , m_lower(size_t(width) + Slack)
        , m_row(size_t(width) + Slack)
    {}

    // The row's changes, which the caller may alter until it asks for the next row.
    qint16 *at(int y)
    {
        const float along = float(y) / m_grid.cell;
        const int j = int(along);
        if (j != m_j) {
            if (j == m_j + 1) {
                m_upper.swap(m_lower);
            } else {
                interpolate(j, m_upper);
            }
            interpolate(j + 1, m_lower);
            m_j = j;
        }
        // The blend's weight in 1/32768: the product's high half is half the change.
        const auto weight =
            static_cast<qint16>(std::min(32767, int((along - float(j)) * 32768.0f + 0.5f)));
        size_t x = 0;
#ifdef __SSE2__
        const __m128i weightV = _mm_set1_epi16(weight), half = _mm_set1_epi16(Unit / 2);
        for (; x + 8 <= size_t(m_width); x += 8) {
            const __m128i upper = _mm_loadu_si128(reinterpret_cast<const __m128i *>(&m_upper[x]));
            const __m128i lower = _mm_loadu_si128(reinterpret_cast<const __m128i *>(&m_lower[x]));
            const __m128i blend = _mm_mulhi_epi16(_mm_sub_epi16(lower, upper), weightV);
            const __m128i value = _mm_add_epi16(upper, _mm_add_epi16(blend, blend));
            _mm_storeu_si128(reinterpret_cast<__m128i *>(&m_row[x]),
                             _mm_srai_epi16(_mm_add_epi16(value, half), UnitBits));
        }
#endif
        for (; x < size_t(m_width); ++x) {
            const int blend = ((m_lower[x] - m_upper[x]) * weight) >> 16;
            m_row[x] = static_cast<qint16>((m_upper[x] + 2 * blend + Unit / 2) >> UnitBits);
        }
        return m_row.data();
    }

private:
    static constexpr int UnitBits = 10;
    static constexpr int Unit = 1 << UnitBits;
    // Room past the photo's width for the last ramp's vector.
    static constexpr size_t Slack = 8;
    // Two grid points' difference, in units, must fit 16 bits.
    static_assert(2 * MostStrength * Unit < 32768);

    // Grid row j along the width: each stretch between two grid columns is one straight ramp,
    // written eight pixels at a time; a stretch's last eight may run into the next stretch,
    // which overwrites them (or into the slack).
    void interpolate(int j, std::vector<qint16> &out) const
    {
        const float *points = m_grid.values.data() + size_t(j) * size_t(m_grid.columns);
        const float step = 1.0f / m_grid.cell;
        for (int i = 0; i + 1 < m_grid.columns; ++i) {
            const int begin = int(std::ceil(float(i) * m_grid.cell));
            const int end = std::min(m_width, int(std::ceil(float(i + 1) * m_grid.cell)));
            const float left = points[i] * Unit;
            const float slope = points[i + 1] * Unit - left;
#ifdef __SSE2__
            const __m128 leftV = _mm_set1_ps(left), slopeV = _mm_set1_ps(slope),
                         stepV = _mm_set1_ps(step), columnV = _mm_set1_ps(float(i));
            const auto ramp = [&](__m128 x) {
                const __m128 along = _mm_sub_ps(_mm_mul_ps(x, stepV), columnV);
                return _mm_cvtps_epi32(_mm_add_ps(leftV, _mm_mul_ps(along, slopeV)));
            };
            for (int x = begin; x < end; x += 8) {
                const __m128 first = _mm_add_ps(_mm_set1_ps(float(x)), _mm_setr_ps(0, 1, 2, 3));
                const __m128 second = _mm_add_ps(first, _mm_set1_ps(4));
                _mm_storeu_si128(reinterpret_cast<__m128i *>(&out[size_t(x)]),
                                 _mm_packs_epi32(ramp(first), ramp(second)));
            }
#else
            for (int x = begin; x < end; ++x)
                out[size_t(x)] =
                    static_cast<qint16>(std::lround(left + (float(x) * step - float(i)) * slope));
#endif
            if (end >= m_width)
                break;
        }
    }

    const Grid &m_grid;
    const int m_width;
    int m_j = -2; // the grid row above the pixel rows last asked for
    std::vector<qint16> m_upper, m_lower, m_row;
};

// Adds a row of changes to 8-bit channels, each held within 0 and its ceiling (255, or the
// pixel's alpha where colours are premultiplied).
// Eight 4-byte pixels at a time, with the processor's saturating byte arithmetic: the change's
// positive and negative parts spread over the three colour bytes of each pixel (never the
// fourth) and added and subtracted within 0 and 255. Answers how many pixels it did.
size_t addToRow4(uchar *line, const qint16 *change, size_t width)
{
#ifdef __SSE2__
    const size_t whole = width / 8 * 8;
    const __m128i zero = _mm_setzero_si128();
    const __m128i colour = _mm_set1_epi32(0x00ffffff);
    for (size_t x = 0; x < whole; x += 8) {
        const __m128i delta = _mm_loadu_si128(reinterpret_cast<const __m128i *>(change + x));
        // The eight positive parts as bytes, then the eight negative parts.
        const __m128i parts = _mm_packus_epi16(_mm_max_epi16(delta, zero),
                                               _mm_max_epi16(_mm_sub_epi16(zero, delta), zero));
        const __m128i up = _mm_unpacklo_epi8(parts, parts);
        const __m128i down = _mm_unpackhi_epi8(parts, parts);
        auto *pixels = reinterpret_cast<__m128i *>(line + 4 * x);
        const auto add = [&](__m128i *at, __m128i upSpread, __m128i downSpread) {
            __m128i value = _mm_loadu_si128(at);
            value = _mm_adds_epu8(value, _mm_and_si128(upSpread, colour));
            value = _mm_subs_epu8(value, _mm_and_si128(downSpread, colour));
            _mm_storeu_si128(at, value);
        };
        add(pixels, _mm_unpacklo_epi16(up, up), _mm_unpacklo_epi16(down, down));
        add(pixels + 1, _mm_unpackhi_epi16(up, up), _mm_unpackhi_epi16(down, down));
    }
    return whole;
#else
    Q_UNUSED(line);
    Q_UNUSED(change);
    Q_UNUSED(width);
    return 0;
#endif
}

void addToRow(uchar *line, const Layout &layout, const qint16 *change, size_t width)
{
    const size_t stride = size_t(layout.stride);
    if (layout.premultiplied) {
        for (size_t x = 0; x < width; ++x) {
            uchar *pixel = line + x * stride;
            for (int ch = 0; ch < 3; ++ch)
                pixel[ch] = static_cast<uchar>(std::clamp(pixel[ch] + change[x], 0, int(pixel[3])));
        }
        return;
    }
    // Every (change, level) pair looked up rather than clamped: no branches in the loop.
    static const auto table = [] {
        std::array<std::array<uchar, 256>, 2 * MostChange + 1> t{};
        for (int d = -MostChange; d <= MostChange; ++d) {
            for (int v = 0; v < 256; ++v)
                t[size_t(d + MostChange)][size_t(v)] =
                    static_cast<uchar>(std::clamp(v + d, 0, 255));
        }
        return t;
    }();
    const auto rowOf = [](int delta) -> const std::array<uchar, 256> & {
        return table[size_t(std::clamp(delta, -MostChange, MostChange) + MostChange)];
    };
    if (layout.channels == 1) {
        for (size_t x = 0; x < width; ++x)
            line[x] = rowOf(change[x])[line[x]];
        return;
    }
    size_t x = 0;
    if (stride == 4)
        x = addToRow4(line, change, width);
    for (; x < width; ++x) {
        uchar *pixel = line + x * stride;
        const auto &row = rowOf(change[x]);
        pixel[0] = row[pixel[0]];
        pixel[1] = row[pixel[1]];
        pixel[2] = row[pixel[2]];
    }
}

void addToRow16(uchar *line, const qint16 *change, size_t width)
{
    auto *values = reinterpret_cast<quint16 *>(line);
    for (size_t x = 0; x < width; ++x)
        values[x] = static_cast<quint16>(std::clamp(values[x] + change[x] * 257, 0, 65535));
}

// The mean square of the rounded changes, in levels squared, from every fourth row of a photo
// (what clamping at black and white leaves can only be less): hundreds of rows of cells, so
// within a percent or so of the whole, at a quarter of the work.
double meanSquareChange(const Grid &grid, QSize size)
{
    const int step = size.height() >= 256 ? PowerRowStep : 1;
    ChangeRows changes(grid, size.width());
    const auto width = size_t(size.width());
    qint64 sum = 0;
    qint64 rows = 0;
    for (int y = step / 2; y < size.height(); y += step, ++rows) {
        const qint16 *change = changes.at(y);
        size_t x = 0;
        qint64 row = 0;
#ifdef __SSE2__
        __m128i squares = _mm_setzero_si128(); // changes of at most 10 levels: no overflow
        for (; x + 8 <= width; x += 8) {
            const __m128i c = _mm_loadu_si128(reinterpret_cast<const __m128i *>(change + x));
            squares = _mm_add_epi32(squares, _mm_madd_epi16(c, c));
        }
        alignas(16) std::array<qint32, 4> lanes{};
        _mm_store_si128(reinterpret_cast<__m128i *>(lanes.data()), squares);
        row = qint64(lanes[0]) + lanes[1] + lanes[2] + lanes[3];
#endif
        for (; x < width; ++x)
            row += change[x] * change[x];
        sum += row;
    }
    return double(sum) / (double(size.width()) * double(rows));
}

// A bound on the rounded changes' mean square that needs no pass over the pixels: every
// change between four grid points is at most the largest of them, rounded.
double meanSquareBound(const Grid &grid, QSize size)
{
    const auto span = [&](int i, int length) {
        return std::min(length, int(std::ceil(float(i + 1) * grid.cell))) -
               std::min(length, int(std::ceil(float(i) * grid.cell)));
    };
    double sum = 0;
    for (int j = 0; j + 1 < grid.rows; ++j) {
        const double height = span(j, size.height());
        const float *upper = grid.values.data() + size_t(j) * size_t(grid.columns);
        const float *lower = upper + grid.columns;
        for (int i = 0; i + 1 < grid.columns && height > 0; ++i) {
            const float most = std::max({std::abs(upper[i]), std::abs(upper[i + 1]),
                                         std::abs(lower[i]), std::abs(lower[i + 1])});
            const double change = std::floor(most + 0.501f); // with room for the ramp's error
            sum += height * span(i, size.width()) * change * change;
        }
    }
    return sum / (double(size.width()) * double(size.height()));
}

// Scales the grid down until the changes' mean square is within the budget, so every marked
// photo stays at least 42 dB from its original however much of it is texture. Each round
// shrinks the grid by at least 3 %, so it ends (at worst when every change rounds to 0).
void capEnergy(Grid &grid, QSize size)
{
    if (meanSquareBound(grid, size) <= MostMeanSquare)
        return;
    const double budget = SampledShare * MostMeanSquare;
    for (double power = meanSquareChange(grid, size); power > budget;
         power = meanSquareChange(grid, size)) {
        const auto factor = float(std::min(0.97, 0.99 * std::sqrt(budget / power)));
        for (float &value : grid.values)
            value *= factor;
    }
}

// Lightness as the eye sees it, near enough: the luminance of the primaries taken as linear
// light with a gamma of 2 (Rec. 709 weights), encoded back. A saturated gradient whose red and
// green run against each other may look smooth where a sum of the encoded values is busy; this
// follows the true sRGB lightness within a few percent there.
float lightness(const uchar *pixel, const Layout &layout)
{
    if (layout.sixteenBit)
        return float(*reinterpret_cast<const quint16 *>(pixel)) / 257.0f;
    if (layout.channels == 1)
        return pixel[0];
    const int red = layout.blueFirst ? pixel[2] : pixel[0];
    const int blue = layout.blueFirst ? pixel[0] : pixel[2];
    const int green = pixel[1];
    return std::sqrt(0.2126f * float(red * red) + 0.7152f * float(green * green) +
                     0.0722f * float(blue * blue));
}

// For 8 x 8 patches of a band of 8 rows, how far the lightness of the 16 pixels of each one's
// 4 x 4 lattice departs from their best-fitting plane (levels squared): under
// SmoothPatchDeviation squared, the patch is smooth (flat, or an even gradient, where the eye
// sees the least change). Taken row by row, as the pixels lie in memory.
class BandDeparture
{
public:
    // Measures the listed patches (numbered from the left) of the band from row y0.
    void measure(const QImage &image, const Layout &layout, int y0, const std::vector<int> &patches)
    {
        m_sums.assign(patches.size(), Sums{});
        for (int b = 0; b < 4; ++b) {
            const uchar *line = image.constScanLine(y0 + 1 + 2 * b);
            const auto weightY = float(2 * b - 3);
            size_t k = layout.stride == 4 ? add4(line, layout, weightY, patches) : 0;
            for (; k < patches.size(); ++k) {
                Sums &sums = m_sums[k];
                for (size_t n = 0; n < 4; ++n) {
                    const size_t x = size_t(Patch * patches[k]) + 2 * n + 1;
                    const float v = lightness(line + x * size_t(layout.stride), layout);
                    sums.sum[n] += v;
                    sums.squares[n] += v * v;
                    sums.alongY[n] += weightY * v;
                }
            }
        }
    }
    // The departure of the k-th patch measured.
    float at(size_t k) const
    {
        const Sums &s = m_sums[k];
        const float sum = s.sum[0] + s.sum[1] + s.sum[2] + s.sum[3];
        const float squares = s.squares[0] + s.squares[1] + s.squares[2] + s.squares[3];
        const float alongX =
            3 * (s.sum[3] - s.sum[0]) + s.sum[2] - s.sum[1]; // offsets -3, -1, 1, 3
        const float alongY = s.alongY[0] + s.alongY[1] + s.alongY[2] + s.alongY[3];
        // Each offset's squares add up to 4 x 20 = 80 over the lattice.
        const float mean = sum / 16;
        return squares / 16 - mean * mean - (alongX * alongX + alongY * alongY) / (80.0f * 16.0f);
    }

private:
    // A patch's sums kept per column of its lattice.
    struct Sums
    {
        float sum[4] = {}, squares[4] = {}, alongY[4] = {};
    };

    // Adds a row of 4-byte pixels to the patches' sums: the lightness of pixels 1, 3, 5 and 7
    // of each patch's eight, four at a time. Answers how many patches it did.
    size_t add4(const uchar *line, const Layout &layout, float weightY,
                const std::vector<int> &patches)
    {
#ifdef __SSE2__
        const __m128i byte = _mm_set1_epi32(0xff);
        const __m128 redWeight = _mm_set1_ps(0.2126f), greenWeight = _mm_set1_ps(0.7152f),
                     blueWeight = _mm_set1_ps(0.0722f), weight = _mm_set1_ps(weightY);
        const __m128i redShift = _mm_cvtsi32_si128(layout.blueFirst ? 16 : 0),
                      greenShift = _mm_cvtsi32_si128(8),
                      blueShift = _mm_cvtsi32_si128(layout.blueFirst ? 0 : 16);
        for (size_t k = 0; k < patches.size(); ++k) {
            const auto *pixels =
                reinterpret_cast<const __m128i *>(line + 4 * Patch * size_t(patches[k]));
            const __m128i odd = _mm_castps_si128(_mm_shuffle_ps(
                _mm_castsi128_ps(_mm_loadu_si128(pixels)),
                _mm_castsi128_ps(_mm_loadu_si128(pixels + 1)), _MM_SHUFFLE(3, 1, 3, 1)));
            const auto squared = [&](__m128i shift) {
                const __m128 v = _mm_cvtepi32_ps(_mm_and_si128(_mm_srl_epi32(odd, shift), byte));
                return _mm_mul_ps(v, v);
            };
            const __m128 v =
                _mm_sqrt_ps(_mm_add_ps(_mm_add_ps(_mm_mul_ps(redWeight, squared(redShift)),
                                                  _mm_mul_ps(greenWeight, squared(greenShift))),
                                       _mm_mul_ps(blueWeight, squared(blueShift))));
            Sums &sums = m_sums[k];
            _mm_storeu_ps(sums.sum, _mm_add_ps(_mm_loadu_ps(sums.sum), v));
            _mm_storeu_ps(sums.squares, _mm_add_ps(_mm_loadu_ps(sums.squares), _mm_mul_ps(v, v)));
            _mm_storeu_ps(sums.alongY,
                          _mm_add_ps(_mm_loadu_ps(sums.alongY), _mm_mul_ps(weight, v)));
        }
        return patches.size();
#else
        Q_UNUSED(line);
        Q_UNUSED(layout);
        Q_UNUSED(weightY);
        Q_UNUSED(patches);
        return 0;
#endif
    }

    std::vector<Sums> m_sums;
};

// Adds the grid's changes, 8 rows at a time: where an 8 x 8 patch is smooth, the eye would see
// more than 2 levels however busy the cells around it, so its changes are held within 2.
void addGrid(QImage &image, const Layout &layout, const Grid &grid)
{
    const auto width = static_cast<size_t>(image.width());
    const int wholePatches = image.width() / Patch;
    ChangeRows changes(grid, image.width());
    std::vector<float> most(static_cast<size_t>(grid.columns)); // per grid column, in the band
    std::vector<int> measured; // the band's patches whose changes could exceed FlatPatchChange
    std::vector<int> held;     // the band's patches held within it
    BandDeparture departures;
    for (int y0 = 0; y0 < image.height(); y0 += Patch) {
        const int rows = std::min(Patch, image.height() - y0);
        // The largest change the grid can make in a patch is the largest of the grid points
        // around it, rounded.
        const int j0 = int(float(y0) / grid.cell);
        const int j1 = std::min(grid.rows - 1, int(float(y0 + Patch - 1) / grid.cell) + 1);
        std::fill(most.begin(), most.end(), 0.0f);
        for (int j = j0; j <= j1; ++j) {
            const float *row = grid.values.data() + size_t(j) * size_t(grid.columns);
            for (size_t i = 0; i < most.size(); ++i)
                most[i] = std::max(most[i], std::abs(row[i]));
        }
        measured.clear();
        held.clear();
        for (int patch = 0; patch * Patch < image.width(); ++patch) {
            const int x0 = patch * Patch;
            const int i0 = int(float(x0) / grid.cell);
            const int i1 = std::min(grid.columns - 1, int(float(x0 + Patch - 1) / grid.cell) + 1);
            if (int(*std::max_element(most.begin() + i0, most.begin() + i1 + 1) + 0.5f) <=
                FlatPatchChange)
                continue;
            // A patch at the photo's edge has too few pixels to tell: its change is held.
            if (rows == Patch && patch < wholePatches)
                measured.push_back(patch);
            else
                held.push_back(patch);
        }
        departures.measure(image, layout, y0, measured);
        for (size_t k = 0; k < measured.size(); ++k) {
            if (departures.at(k) < SmoothPatchDeviation * SmoothPatchDeviation)
                held.push_back(measured[k]);
        }
        for (int r = 0; r < rows; ++r) {
            qint16 *change = changes.at(y0 + r);
            for (const int patch : held) {
                const int x1 = std::min(image.width(), (patch + 1) * Patch);
                for (int x = patch * Patch; x < x1; ++x)
                    change[x] = static_cast<qint16>(
                        std::clamp<int>(change[x], -FlatPatchChange, FlatPatchChange));
            }
            if (layout.sixteenBit)
                addToRow16(image.scanLine(y0 + r), change, width);
            else
                addToRow(image.scanLine(y0 + r), layout, change, width);
        }
    }
}

} // namespace

bool MarkEmbedder::canCarry(const QImage &image)
{
    return !image.isNull() && layoutOf(image.format()).stride > 0;
}

bool MarkEmbedder::embed(QImage &image, const MarkKey &key, const MarkPayload &payload)
{
    if (!canCarry(image))
        return false;
    const Layout layout = layoutOf(image.format());
    const MarkTile tile(key);
    Grid grid = markGrid(image, layout, tile.values(MarkCode::encode(payload, tile.scramble())));
    capEnergy(grid, image.size());
    addGrid(image, layout, grid);
    return true;
}

} // namespace inkveil
