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

// The mean and standard deviation of brightness in each cell-sized block, from every third pixel
// or so of every third row: enough to tell texture from flat and dark from bright at a small part
// of the cost.
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
    std::vector<int> sampled; // byte offset and block column of each sampled pixel
    for (int x = step / 2; x < image.width(); x += step)
        sampled.insert(sampled.end(), {x * layout.stride, int(float(x) / grid.cell)});
    for (int y = step / 2; y < image.height(); y += step) {
        const uchar *line = image.constScanLine(y);
        const auto row = size_t(int(float(y) / grid.cell)) * size_t(grid.columns);
        for (size_t k = 0; k < sampled.size(); k += 2) {
            const size_t block = row + size_t(sampled[k + 1]);
            const double value = brightness(line + sampled[k], layout);
            sum[block] += value;
            squares[block] += value * value;
            ++count[block];
        }
    }
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
    const auto blockAt = [&](int i, int j) {
        return size_t(std::clamp(j, 0, grid.rows - 1)) * size_t(grid.columns) +
               size_t(std::clamp(i, 0, grid.columns - 1));
    };
    for (int j = 0; j < grid.rows; ++j) {
        for (int i = 0; i < grid.columns; ++i) {
            float texture = statistics.deviation[blockAt(i, j)];
            float darkest = statistics.mean[blockAt(i, j)];
            for (int b = j - 2; b <= j + 1; ++b) {
                for (int a = i - 2; a <= i + 1; ++a) {
                    texture = std::min(texture, statistics.deviation[blockAt(a, b)]);
                    darkest = std::min(darkest, statistics.mean[blockAt(a, b)]);
                }
            }
            const float strength =
                darkFactor(darkest) * std::min(MostStrength, floor + TextureGain * texture);
            grid.at(i, j) =
                strength * tile[size_t((j % MarkTile::Side) * MarkTile::Side + i % MarkTile::Side)];
        }
    }
    return grid;
}

// The change of every pixel of row y, rounded to whole levels: the grid interpolated
// bilinearly between its points. Each stretch between two grid columns is one straight ramp,
// which the compiler turns into vector code.
void rowChanges(const Grid &grid, int y, std::vector<float> &gridRow, std::vector<int> &change)
{
    const float at = float(y) / grid.cell;
    const int j = int(at);
    const float fy = at - float(j);
    const float *upper = grid.values.data() + size_t(j) * size_t(grid.columns);
    const float *lower = upper + grid.columns;
    for (size_t i = 0; i < gridRow.size(); ++i)
        gridRow[i] = upper[i] + fy * (lower[i] - upper[i]);
    const int width = int(change.size());
    const float step = 1.0f / grid.cell;
    for (int i = 0; i + 1 < grid.columns; ++i) {
        const int begin = int(std::ceil(float(i) * grid.cell));
        const int end = std::min(width, int(std::ceil(float(i + 1) * grid.cell)));
        const float left = gridRow[size_t(i)];
        const float slope = gridRow[size_t(i) + 1] - left;
        int *out = change.data();
        for (int x = begin; x < end; ++x) {
            const float c = left + (float(x) * step - float(i)) * slope;
            // Rounded to nearest: the change lies well within +-64.
            out[x] = int(c + 64.5f) - 64;
        }
        if (end >= width)
            break;
    }
}

// Adds a row of changes to 8-bit channels, each held within 0 and its ceiling (255, or the
// pixel's alpha where colours are premultiplied).
// Four 4-byte pixels at a time, with the processor's saturating byte arithmetic: the change's
// positive and negative parts spread over the three colour bytes of each pixel (never the
// fourth) and added and subtracted within 0 and 255. Answers how many pixels it did.
size_t addToRow4(uchar *line, const std::vector<int> &change)
{
#ifdef __SSE2__
    const size_t whole = change.size() / 4 * 4;
    const __m128i zero = _mm_setzero_si128();
    for (size_t x = 0; x < whole; x += 4) {
        const __m128i delta = _mm_loadu_si128(reinterpret_cast<const __m128i *>(change.data() + x));
        const __m128i up = _mm_max_epi16(delta, zero); // values within 0..10: 16 bits suffice
        const __m128i down = _mm_max_epi16(_mm_sub_epi32(zero, delta), zero);
        const auto spread = [](__m128i v) {
            return _mm_or_si128(_mm_or_si128(v, _mm_slli_epi32(v, 8)), _mm_slli_epi32(v, 16));
        };
        auto *pixels = reinterpret_cast<__m128i *>(line + 4 * x);
        __m128i value = _mm_loadu_si128(pixels);
        value = _mm_adds_epu8(value, spread(up));
        value = _mm_subs_epu8(value, spread(down));
        _mm_storeu_si128(pixels, value);
    }
    return whole;
#else
    Q_UNUSED(line);
    Q_UNUSED(change);
    return 0;
#endif
}

void addToRow(uchar *line, const Layout &layout, const std::vector<int> &change)
{
    const size_t stride = size_t(layout.stride);
    if (layout.premultiplied) {
        for (size_t x = 0; x < change.size(); ++x) {
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
        for (size_t x = 0; x < change.size(); ++x)
            line[x] = rowOf(change[x])[line[x]];
        return;
    }
    size_t x = 0;
    if (stride == 4)
        x = addToRow4(line, change);
    for (; x < change.size(); ++x) {
        uchar *pixel = line + x * stride;
        const auto &row = rowOf(change[x]);
        pixel[0] = row[pixel[0]];
        pixel[1] = row[pixel[1]];
        pixel[2] = row[pixel[2]];
    }
}

void addToRow16(uchar *line, const std::vector<int> &change)
{
    auto *values = reinterpret_cast<quint16 *>(line);
    for (size_t x = 0; x < change.size(); ++x)
        values[x] = static_cast<quint16>(std::clamp(values[x] + change[x] * 257, 0, 65535));
}

// The mean square of the rounded changes, in levels squared, from every fourth row of a photo
// (what clamping at black and white leaves can only be less): hundreds of rows of cells, so
// within a percent or so of the whole, at a quarter of the work.
double meanSquareChange(const Grid &grid, QSize size)
{
    const int step = size.height() >= 256 ? PowerRowStep : 1;
    std::vector<float> gridRow(static_cast<size_t>(grid.columns));
    std::vector<int> change(static_cast<size_t>(size.width()));
    qint64 sum = 0;
    qint64 rows = 0;
    for (int y = step / 2; y < size.height(); y += step, ++rows) {
        rowChanges(grid, y, gridRow, change);
        int row = 0; // changes of at most 10 levels: no row is long enough to overflow
        for (const int c : change)
            row += c * c;
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

// For every 8 x 8 patch of a band of 8 rows, how far the lightness of the 16 pixels of its 4 x 4
// lattice departs from their best-fitting plane (levels squared): under SmoothPatchDeviation
// squared, the patch is smooth (flat, or an even gradient, where the eye sees the least
// change). Taken row by row, as the pixels lie in memory.
class BandDeparture
{
public:
    explicit BandDeparture(int width)
        : m_sums(size_t((width + Patch - 1) / Patch))
    {}
    void measure(const QImage &image, const Layout &layout, int y0)
    {
        std::fill(m_sums.begin(), m_sums.end(), Sums{});
        const int width = image.width() / Patch * Patch; // whole patches only
        m_row.resize(size_t(width / 2));
        for (int b = 0; b < 4; ++b) {
            const uchar *line = image.constScanLine(y0 + 1 + 2 * b);
            size_t k = layout.stride == 4 ? lightness4(line, layout, m_row) : 0;
            for (; k < m_row.size(); ++k)
                m_row[k] = lightness(line + (2 * k + 1) * size_t(layout.stride), layout);
            const auto weightY = float(2 * b - 3);
            for (size_t patch = 0; patch < m_row.size() / 4; ++patch) {
                const float *v = &m_row[4 * patch];
                Sums &sums = m_sums[patch];
                sums.sum += v[0] + v[1] + v[2] + v[3];
                sums.squares += v[0] * v[0] + v[1] * v[1] + v[2] * v[2] + v[3] * v[3];
                sums.alongX += 3 * (v[3] - v[0]) + v[2] - v[1]; // offsets -3, -1, 1, 3
                sums.alongY += weightY * (v[0] + v[1] + v[2] + v[3]);
            }
        }
    }
    float at(int patch) const
    {
        const Sums &s = m_sums[size_t(patch)];
        // Each offset's squares add up to 4 x 20 = 80 over the lattice.
        const float mean = s.sum / 16;
        return s.squares / 16 - mean * mean -
               (s.alongX * s.alongX + s.alongY * s.alongY) / (80.0f * 16.0f);
    }

private:
    // The lightness of every other pixel of a row of 4-byte pixels (the second of each pair),
    // four at a time; answers how many it did.
    static size_t lightness4(const uchar *line, const Layout &layout, std::vector<float> &out)
    {
#ifdef __SSE2__
        const size_t whole = out.size() / 4 * 4;
        const __m128i byte = _mm_set1_epi32(0xff);
        const __m128 redWeight = _mm_set1_ps(0.2126f), greenWeight = _mm_set1_ps(0.7152f),
                     blueWeight = _mm_set1_ps(0.0722f);
        const int redShift = layout.blueFirst ? 16 : 0, blueShift = layout.blueFirst ? 0 : 16;
        for (size_t k = 0; k < whole; k += 4) {
            const auto *pixels = reinterpret_cast<const __m128i *>(line + 8 * k);
            // Pixels 1, 3, 5 and 7 of the eight.
            const __m128i odd = _mm_castps_si128(_mm_shuffle_ps(
                _mm_castsi128_ps(_mm_loadu_si128(pixels)),
                _mm_castsi128_ps(_mm_loadu_si128(pixels + 1)), _MM_SHUFFLE(3, 1, 3, 1)));
            const auto channel = [&](int shift) {
                const __m128 v = _mm_cvtepi32_ps(
                    _mm_and_si128(_mm_srl_epi32(odd, _mm_cvtsi32_si128(shift)), byte));
                return _mm_mul_ps(v, v);
            };
            const __m128 squares = _mm_add_ps(_mm_add_ps(_mm_mul_ps(redWeight, channel(redShift)),
                                                         _mm_mul_ps(greenWeight, channel(8))),
                                              _mm_mul_ps(blueWeight, channel(blueShift)));
            _mm_storeu_ps(&out[k], _mm_sqrt_ps(squares));
        }
        return whole;
#else
        Q_UNUSED(line);
        Q_UNUSED(layout);
        Q_UNUSED(out);
        return 0;
#endif
    }

    struct Sums
    {
        float sum = 0, squares = 0, alongX = 0, alongY = 0;
    };
    std::vector<Sums> m_sums;
    std::vector<float> m_row; // the lightness of a row's sampled pixels
};

// The largest change the grid can make in the patch at (x0, y0): the largest of the grid points
// around it, rounded.
int mostChangeInPatch(const Grid &grid, int x0, int y0)
{
    const int i0 = int(float(x0) / grid.cell), i1 = int(float(x0 + Patch - 1) / grid.cell) + 1;
    const int j0 = int(float(y0) / grid.cell), j1 = int(float(y0 + Patch - 1) / grid.cell) + 1;
    float most = 0;
    for (int j = j0; j <= std::min(j1, grid.rows - 1); ++j) {
        const float *row = grid.values.data() + size_t(j) * size_t(grid.columns);
        for (int i = i0; i <= std::min(i1, grid.columns - 1); ++i)
            most = std::max(most, std::abs(row[i]));
    }
    return int(most + 0.5f);
}

// Adds the grid's changes, 8 rows at a time: where an 8 x 8 patch is smooth, the eye would see
// more than 2 levels however busy the cells around it, so its changes are held within 2.
void addGrid(QImage &image, const Layout &layout, const Grid &grid)
{
    std::vector<float> gridRow(static_cast<size_t>(grid.columns));
    std::vector<std::vector<int>> band(Patch, std::vector<int>(static_cast<size_t>(image.width())));
    BandDeparture departures(image.width());
    for (int y0 = 0; y0 < image.height(); y0 += Patch) {
        const int rows = std::min(Patch, image.height() - y0);
        for (int r = 0; r < rows; ++r)
            rowChanges(grid, y0 + r, gridRow, band[size_t(r)]);
        bool measured = false;
        for (int x0 = 0; x0 < image.width(); x0 += Patch) {
            if (mostChangeInPatch(grid, x0, y0) <= FlatPatchChange)
                continue;
            if (!measured && rows == Patch) {
                departures.measure(image, layout, y0);
                measured = true;
            }
            // A patch at the photo's edge has too few pixels to tell: its change is held.
            const bool whole = x0 + Patch <= image.width() && rows == Patch;
            if (whole && departures.at(x0 / Patch) >= SmoothPatchDeviation * SmoothPatchDeviation)
                continue;
            const int x1 = std::min(image.width(), x0 + Patch);
            for (int r = 0; r < rows; ++r) {
                for (int x = x0; x < x1; ++x) {
                    int &change = band[size_t(r)][size_t(x)];
                    change = std::clamp(change, -FlatPatchChange, FlatPatchChange);
                }
            }
        }
        for (int r = 0; r < rows; ++r) {
            if (layout.sixteenBit)
                addToRow16(image.scanLine(y0 + r), band[size_t(r)]);
            else
                addToRow(image.scanLine(y0 + r), layout, band[size_t(r)]);
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
