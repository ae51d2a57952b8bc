// SPDX-FileCopyrightText: 2026 Tessaly
// SPDX-License-Identifier: GPL-3.0-or-later

#include "mark/MarkDetector.h"

#include "imageio/ImageToolkit.h"

#include <QImage>

#include <algorithm>
#include <array>
#include <cmath>
#include <numbers>
#include <optional>

namespace inkveil {

namespace {

// The fold holds the tile at two samples a cell.
constexpr int FoldSide = 2 * MarkTile::Side;
constexpr int FoldMask = FoldSide - 1;
// Tile periods below this many working pixels are not looked for: the cells would be under 1.25
// pixels, which no resampling or JPEG leaves readable.
constexpr int LeastPeriod = 40;
// Autocorrelation peaks folded and matched against the sync cells; in a flat or cropped photo
// the tile's own peak may rank well below the picture's. Of these, the periods whose sync
// correlation stands highest are decoded, in two orientations each.
constexpr int PeriodsScreened = 16;
constexpr int PeriodsSharpened = 10;
constexpr int PeriodsTried = 6;
constexpr int OrientationsTried = 2;
// How many steps of one size the sharpening of a period may take.
constexpr int SharpeningMoves = 3;
// Copies turned by up to TiltSteps x TiltStep degrees (5) either way are looked for.
constexpr float TiltStep = 0.05f;
constexpr int TiltSteps = 100;
// How far the sync correlation's peak must stand above its spread before the payload is read.
constexpr float LeastSyncScore = 4.0f;

// The autocorrelation as correlation coefficients: each lag's sum divided by the pixels that
// took part in it.
class Correlogram
{
public:
    Correlogram(const Plane &acf, int width, int height)
        : m_acf(acf)
        , m_width(width)
        , m_height(height)
    {}
    int width() const { return m_width; }
    int height() const { return m_height; }
    float at(int lx, int ly) const
    {
        const int x = lx < 0 ? lx + m_acf.width : lx;
        const int y = ly < 0 ? ly + m_acf.height : ly;
        const double overlap = double(m_width - std::abs(lx)) * (m_height - std::abs(ly));
        return float(m_acf.at(x, y) * (double(m_width) * m_height / overlap));
    }
    // The correlation at a lag between whole pixels, interpolated bilinearly.
    float near(float lx, float ly) const
    {
        const int x = int(std::floor(lx)), y = int(std::floor(ly));
        const float fx = lx - float(x), fy = ly - float(y);
        const float top = at(x, y) + fx * (at(x + 1, y) - at(x, y));
        const float bottom = at(x, y + 1) + fx * (at(x + 1, y + 1) - at(x, y + 1));
        return top + fy * (bottom - top);
    }
    // How far the correlation at a lag stands above the four lags `away` from it along the axes:
    // the tiles' peaks are sharp, the picture's own correlation is broad.
    float prominence(float lx, float ly, float away) const
    {
        return near(lx, ly) - (near(lx - away, ly) + near(lx + away, ly) + near(lx, ly - away) +
                               near(lx, ly + away)) /
                                  4;
    }
    // How strongly the lag (p, 0) and (0, p) stand out, averaged over the axes long enough for
    // two periods.
    float periodScore(int p) const
    {
        float sum = 0;
        int terms = 0;
        if (2 * p <= m_width) {
            sum += at(p, 0);
            ++terms;
        }
        if (2 * p <= m_height) {
            sum += at(0, p);
            ++terms;
        }
        if (2 * p <= std::min(m_width, m_height)) {
            sum += 0.5f * (at(p, p) + at(p, -p));
            ++terms;
        }
        return terms > 0 ? sum / float(terms) : 0.0f;
    }

private:
    const Plane &m_acf;
    int m_width;
    int m_height;
};

// The lag near `lag` (within a pixel) where the scores peak.
int peakNear(const std::vector<float> &score, int lag)
{
    int best = lag;
    for (int l = std::max(0, lag - 1); l <= std::min(int(score.size()) - 1, lag + 1); ++l) {
        if (score[size_t(l)] > score[size_t(best)])
            best = l;
    }
    return best;
}

// A peak at a multiple of the tile's period stands about as high as the period's own, most
// of all in a flat picture where nothing but the mark is left: the smallest fraction p / k that
// still peaks at half the height is taken instead.
int fundamental(const std::vector<float> &score, int p)
{
    for (int k = 8; k >= 2; --k) {
        const int lag = peakNear(score, int(std::lround(double(p) / k)));
        if (lag >= LeastPeriod && score[size_t(lag)] >= 0.5f * score[size_t(p)])
            return lag;
    }
    return p;
}

// The tile's period in a photo resized but not cropped, which a picture with little texture
// may not show in its autocorrelation at all.
int nominalPeriod(const Correlogram &correlogram)
{
    return int(
        std::lround(MarkTile::Side * float(std::max(correlogram.width(), correlogram.height())) /
                    MarkTile::CellsPerWorkingSide));
}

// The nominal period, then those whose autocorrelation peaks stand highest, strongest first.
std::vector<int> candidatePeriods(const Correlogram &correlogram)
{
    const int nominal = nominalPeriod(correlogram);
    const int most = std::max(correlogram.width(), correlogram.height()) / 2;
    std::vector<float> score(static_cast<size_t>(std::max(most + 3, LeastPeriod + 3)), 0.0f);
    for (int p = LeastPeriod - 2; p <= most + 2; ++p)
        score[size_t(p)] = correlogram.periodScore(p);
    std::vector<int> peaks;
    for (int p = LeastPeriod; p <= most; ++p) {
        const float s = score[size_t(p)];
        if (s > 0 && s >= score[size_t(p - 1)] && s > score[size_t(p + 1)] &&
            s > score[size_t(p - 2)] && s > score[size_t(p + 2)])
            peaks.push_back(p);
    }
    std::sort(peaks.begin(), peaks.end(),
              [&](int a, int b) { return score[size_t(a)] > score[size_t(b)]; });
    std::vector<int> periods;
    // The peak itself too: in a weak autocorrelation a fraction of it may stand at half its
    // height by chance.
    for (const int peak : peaks) {
        for (const int period : {fundamental(score, peak), peak}) {
            if (periods.size() < size_t(PeriodsScreened) &&
                std::find(periods.begin(), periods.end(), period) == periods.end())
                periods.push_back(period);
        }
    }
    std::erase_if(periods, [&](int p) { return std::abs(p - nominal) <= 1; });
    if (nominal >= LeastPeriod)
        periods.insert(periods.begin(), nominal);
    // A cropped copy's period lies above the nominal one. Where its peaks were too faint to
    // rank, a ladder of guesses finds them: each is refined to the peaks within two pixels.
    for (int p = nominal + 2; p <= std::min(most, nominal * 5 / 2); p += 2) {
        if (std::none_of(periods.begin(), periods.end(),
                         [&](int q) { return std::abs(p - q) <= 1; }))
            periods.push_back(p);
    }
    return periods;
}

// The period along one axis to a fraction of a pixel: the peaks at its multiples, each placed
// by a parabola through its neighbours, fitted to a line through the origin.
float refinedPeriod(const Correlogram &correlogram, int period, bool vertical)
{
    const int extent = vertical ? correlogram.height() : correlogram.width();
    const auto at = [&](int lag) {
        return vertical ? correlogram.at(0, lag) : correlogram.at(lag, 0);
    };
    double weighted = 0;
    double weights = 0;
    for (int k = 1; k * period * 2 <= extent; ++k) {
        int best = k * period;
        for (int lag = best - 2; lag <= k * period + 2; ++lag) {
            if (at(lag) > at(best))
                best = lag;
        }
        const float left = at(best - 1), centre = at(best), right = at(best + 1);
        const float curvature = left - 2 * centre + right;
        if (centre <= 0 || curvature >= 0)
            continue;
        const double position = best + 0.5 * (left - right) / curvature;
        weighted += position * k;
        weights += double(k) * k;
    }
    return weights > 0 ? float(weighted / weights) : float(period);
}

// How strongly the tiles' lattice, turned by an angle (radians), shows at period p: the
// prominence of the lags of its first three multiples along both of its axes, where the photo
// holds two of them.
float latticeScore(const Correlogram &correlogram, float p, float angle)
{
    const float c = std::cos(angle), s = std::sin(angle);
    float sum = 0;
    int terms = 0;
    for (int k = 1; k <= 3; ++k) {
        const float along = float(k) * p;
        for (const auto &[lx, ly] :
             {std::pair{along * c, -along * s}, std::pair{along * s, along * c}}) {
            if (2 * std::abs(lx) + 2 > float(correlogram.width()) ||
                2 * std::abs(ly) + 2 > float(correlogram.height()))
                continue;
            sum += correlogram.prominence(lx, ly, std::max(3.0f, p / 16));
            ++terms;
        }
    }
    return terms > 1 ? sum / float(terms) : 0.0f;
}

float tiltAt(int step)
{
    return float(step) * TiltStep * std::numbers::pi_v<float> / 180;
}

// The tilt (in TiltSteps) the tiles are turned by, as the autocorrelation shows it: the tilt
// and period whose lattice stands out most, in steps of a fifth of a degree and a pixel, then of
// a twentieth and a quarter pixel around the best.
int tiltOf(const Correlogram &correlogram)
{
    // The period of a copy cropped to 40 % of its long side or more, as the square search.
    const int nominal = nominalPeriod(correlogram);
    const int least = std::max(LeastPeriod, nominal - 2);
    const int most =
        std::min(std::max(correlogram.width(), correlogram.height()) / 2, nominal * 5 / 2);
    float bestScore = -1, bestPeriod = float(least);
    int bestStep = 0;
    const auto consider = [&](int step, float p) {
        const float score = latticeScore(correlogram, p, tiltAt(step));
        if (score > bestScore) {
            bestScore = score;
            bestStep = step;
            bestPeriod = p;
        }
    };
    for (int step = -TiltSteps; step <= TiltSteps; step += 4) {
        for (int p = least; p <= most; ++p)
            consider(step, float(p));
    }
    const int coarseStep = bestStep;
    const float coarsePeriod = bestPeriod;
    for (int step = std::max(-TiltSteps, coarseStep - 3);
         step <= std::min(TiltSteps, coarseStep + 3); ++step) {
        for (int quarter = -4; quarter <= 4; ++quarter)
            consider(step, coarsePeriod + float(quarter) / 4);
    }
    // Where no lattice stands out at all (a copy too narrow for two periods), there is no tilt.
    return bestScore > 0 ? bestStep : 0;
}

// The fold position of every pixel along an axis at a period, and how many pixels fall on each.
struct FoldAxis
{
    float period = 0;
    std::vector<int> bin;
    std::array<float, FoldSide> count{};

    FoldAxis(int length, float p)
        : period(p)
        , bin(static_cast<size_t>(length))
    {
        for (int i = 0; i < length; ++i) {
            bin[size_t(i)] = int(float(i) * FoldSide / period + 0.5f) & FoldMask;
            count[size_t(bin[size_t(i)])] += 1.0f;
        }
    }
};

// All tiles of the whitened photo added into one, at periods in working pixels: its rows
// added into FoldSide rows (contiguous, so quick), then their columns into FoldSide columns.
// The sharpening of a period folds at many periods close together; the rows, added at one
// vertical period, serve every horizontal one.
class Folder
{
public:
    explicit Folder(const Plane &detail)
        : m_detail(detail)
        , m_rowSums(detail.width, FoldSide)
    {}

    Plane fold(float periodX, float periodY)
    {
        if (!m_rows || m_rows->period != periodY)
            addRows(FoldAxis(m_detail.height, periodY));
        const FoldAxis columns(m_detail.width, periodX);
        Plane fold(FoldSide, FoldSide);
        for (int v = 0; v < FoldSide; ++v) {
            const float *line = &m_rowSums.at(0, v);
            float *out = &fold.at(0, v);
            for (int x = 0; x < m_detail.width; ++x)
                out[columns.bin[size_t(x)]] += line[x];
        }
        // Every pixel of a fold row and column takes part: the counts are the axes' products.
        for (int v = 0; v < FoldSide; ++v) {
            for (int u = 0; u < FoldSide; ++u)
                fold.at(u, v) /=
                    std::max(1.0f, columns.count[size_t(u)] * m_rows->count[size_t(v)]);
        }
        return fold;
    }

private:
    void addRows(FoldAxis rows)
    {
        std::fill(m_rowSums.values.begin(), m_rowSums.values.end(), 0.0f);
        for (int y = 0; y < m_detail.height; ++y) {
            float *out = &m_rowSums.at(0, rows.bin[size_t(y)]);
            const float *line = &m_detail.values[size_t(y) * size_t(m_detail.width)];
            for (int x = 0; x < m_detail.width; ++x)
                out[x] += line[x];
        }
        m_rows = std::move(rows);
    }

    const Plane &m_detail;
    Plane m_rowSums;
    std::optional<FoldAxis> m_rows;
};

// The fold as the photo turned by one of the 8 quarter turns and mirrors would fold.
Plane oriented(const Plane &fold, int orientation)
{
    Plane out(FoldSide, FoldSide);
    for (int v = 0; v < FoldSide; ++v) {
        for (int u = 0; u < FoldSide; ++u) {
            int a = u, b = v;
            if (orientation & 4)
                std::swap(a, b);
            if (orientation & 1)
                a = (FoldSide - a) & FoldMask;
            if (orientation & 2)
                b = (FoldSide - b) & FoldMask;
            out.at(u, v) = fold.at(a, b);
        }
    }
    return out;
}

// The tile's cells at the fold's two samples a cell, interpolated as the photo has them.
Plane sampledTile(const std::array<float, MarkTile::Cells> &cells)
{
    const auto cell = [&](int i, int j) {
        return cells[size_t((j % MarkTile::Side) * MarkTile::Side + i % MarkTile::Side)];
    };
    Plane out(FoldSide, FoldSide);
    for (int t = 0; t < FoldSide; ++t) {
        for (int s = 0; s < FoldSide; ++s) {
            const int i = s / 2, j = t / 2;
            const float fx = (s & 1) != 0 ? 0.5f : 0.0f, fy = (t & 1) != 0 ? 0.5f : 0.0f;
            const float top = cell(i, j) + fx * (cell(i + 1, j) - cell(i, j));
            const float bottom = cell(i, j + 1) + fx * (cell(i + 1, j + 1) - cell(i, j + 1));
            out.at(s, t) = top + fy * (bottom - top);
        }
    }
    return out;
}

struct Alignment
{
    int orientation = 0;
    int dx = 0;
    int dy = 0;
    float score = 0;
};

// The shift at which an oriented fold best matches the sync cells, and how far that peak
// stands above the spread of the others (in standard deviations).
Alignment aligned(const Plane &fold, const Plane &syncTemplate, int orientation)
{
    const Plane correlation = MarkSignal::crossCorrelation(fold, syncTemplate);
    const auto &values = correlation.values;
    const auto peak = std::max_element(values.begin(), values.end());
    double sum = 0, squares = 0;
    for (const float v : values) {
        sum += v;
        squares += double(v) * v;
    }
    const double n = double(values.size());
    const double mean = sum / n;
    const double spread = std::sqrt(std::max(1e-20, squares / n - mean * mean));
    const int index = int(peak - values.begin());
    return {orientation, index % FoldSide, index / FoldSide, float((*peak - mean) / spread)};
}

// The soft value of every coded bit: each payload cell, read with the weights of its
// interpolation at the aligned place, times its keyed sign.
std::vector<float> softBits(const Plane &fold, const Alignment &alignment, const MarkTile &tile)
{
    static constexpr float Weight[3] = {0.5f, 1.0f, 0.5f};
    std::vector<float> soft(size_t(MarkCode::Length), 0.0f);
    for (int j = 0; j < MarkTile::Side; ++j) {
        for (int i = 0; i < MarkTile::Side; ++i) {
            const auto cell = size_t(j * MarkTile::Side + i);
            const int bit = tile.bitOfCell()[cell];
            if (bit < 0)
                continue;
            float value = 0;
            for (int b = -1; b <= 1; ++b) {
                for (int a = -1; a <= 1; ++a)
                    value += Weight[a + 1] * Weight[b + 1] *
                             fold.at((2 * i + alignment.dx + a) & FoldMask,
                                     (2 * j + alignment.dy + b) & FoldMask);
            }
            soft[size_t(bit)] += value * tile.chips()[cell];
        }
    }
    return soft;
}

} // namespace

MarkDetector::MarkDetector(const MarkKey &key)
    : m_tile(key)
    , m_syncTemplate(sampledTile(m_tile.syncValues()))
{}

MarkFinding MarkDetector::find(const QImage &image) const
{
    if (image.isNull())
        return {};
    const Plane brightness = MarkSignal::brightness(image, MarkTile::WorkingSide);
    const Plane detail = MarkSignal::whitened(brightness);
    const Plane acf = MarkSignal::autocorrelation(detail);
    if (MarkFinding finding = search(detail, acf); finding.found)
        return finding;
    // A copy straightened or tilted by a few degrees: its tiles' turn shows in the
    // autocorrelation, and turned back by it the copy folds as any other.
    const int tilt = tiltOf(Correlogram(acf, detail.width, detail.height));
    if (tilt == 0)
        return {};
    const Plane straightened = MarkSignal::whitened(MarkSignal::rotated(brightness, -tiltAt(tilt)));
    return search(straightened, MarkSignal::autocorrelation(straightened));
}

MarkFinding MarkDetector::search(const Plane &detail, const Plane &acf) const
{
    const Correlogram correlogram(acf, detail.width, detail.height);
    std::vector<Candidate> candidates;
    const auto screen = [&](float periodX, float periodY) {
        candidates.push_back({periodX, periodY, screened(Folder(detail).fold(periodX, periodY))});
    };
    // The period of a copy resized but not cropped, exactly: the autocorrelation of a busy
    // picture may place its peaks a fraction of a pixel off.
    const float exact = MarkTile::Side * float(std::max(detail.width, detail.height)) /
                        MarkTile::CellsPerWorkingSide;
    if (exact >= LeastPeriod)
        screen(exact, exact);
    for (const int period : candidatePeriods(correlogram)) {
        float periodX = refinedPeriod(correlogram, period, false);
        float periodY = refinedPeriod(correlogram, period, true);
        // An axis too short for two periods takes the other's.
        if (2 * period > detail.width)
            periodX = periodY;
        if (2 * period > detail.height)
            periodY = periodX;
        screen(periodX, periodY);
    }
    // Only the exact period and the few best-matching others are sharpened and decoded, which
    // keeps the chance of a false mark as low as it was with the few strongest peaks.
    const auto byScore = [](const Candidate &a, const Candidate &b) {
        return a.screening.score() > b.screening.score();
    };
    const bool exactFirst = exact >= LeastPeriod;
    std::stable_sort(candidates.begin() + (exactFirst ? 1 : 0), candidates.end(), byScore);
    if (candidates.size() > size_t(PeriodsSharpened))
        candidates.resize(size_t(PeriodsSharpened));
    for (Candidate &candidate : candidates)
        sharpen(detail, candidate);
    std::stable_sort(candidates.begin() + (exactFirst ? 1 : 0), candidates.end(), byScore);
    if (candidates.size() > size_t(PeriodsTried))
        candidates.resize(size_t(PeriodsTried));
    std::stable_sort(candidates.begin(), candidates.end(), byScore);
    for (const Candidate &candidate : candidates) {
        const MarkFinding finding = decoded(candidate.screening);
        if (finding.found)
            return finding;
    }
    return {};
}

void MarkDetector::sharpen(const Plane &detail, Candidate &candidate) const
{
    const int orientation = candidate.screening.alignments.front().orientation;
    Folder folder(detail);
    const auto scoreAt = [&](float periodX, float periodY) {
        return aligned(oriented(folder.fold(periodX, periodY), orientation), m_syncTemplate,
                       orientation)
            .score;
    };
    float best = candidate.screening.score();
    float periodX = candidate.periodX;
    float periodY = candidate.periodY;
    // A pattern search from half a percent of the period down to a sixteenth of that: a fold
    // of ten tiles blurs by a cell once the period is a third of a percent off.
    for (float step = 0.005f * periodX; step > 0.0003f * periodX; step /= 2) {
        for (int move = 0; move < SharpeningMoves; ++move) {
            const std::array<std::pair<float, float>, 4> tries{
                {{step, 0.0f}, {-step, 0.0f}, {0.0f, step}, {0.0f, -step}}};
            bool moved = false;
            for (const auto &[dx, dy] : tries) {
                const float score = scoreAt(periodX + dx, periodY + dy);
                if (score > best) {
                    best = score;
                    periodX += dx;
                    periodY += dy;
                    moved = true;
                    break;
                }
            }
            if (!moved)
                break;
        }
    }
    if (periodX != candidate.periodX || periodY != candidate.periodY)
        candidate = {periodX, periodY, screened(folder.fold(periodX, periodY))};
}

MarkDetector::Screening MarkDetector::screened(const Plane &fold) const
{
    Screening screening;
    for (int orientation = 0; orientation < 8; ++orientation) {
        Plane turned = oriented(fold, orientation);
        const Alignment alignment = aligned(turned, m_syncTemplate, orientation);
        screening.alignments.push_back({alignment.orientation, alignment.dx, alignment.dy,
                                        alignment.score, std::move(turned)});
    }
    std::sort(screening.alignments.begin(), screening.alignments.end(),
              [](const auto &a, const auto &b) { return a.score > b.score; });
    screening.alignments.resize(size_t(OrientationsTried));
    return screening;
}

MarkFinding MarkDetector::decoded(const Screening &screening) const
{
    for (const Screening::Aligned &aligned : screening.alignments) {
        if (aligned.score < LeastSyncScore)
            break;
        double agreement = 0;
        const std::optional<MarkPayload> payload = MarkCode::decode(
            softBits(aligned.fold, {aligned.orientation, aligned.dx, aligned.dy, aligned.score},
                     m_tile),
            m_tile.scramble(), &agreement);
        if (payload)
            return {true, *payload, agreement};
    }
    return {};
}

Result<MarkFinding> MarkDetector::findInFile(const QString &path) const
{
    QImage buffer;
    const Result<DecodedImage> decoded = ImageToolkit::decodeInto(
        path, buffer, {QSize(MarkTile::WorkingSide, MarkTile::WorkingSide)});
    if (!decoded)
        return decoded.error();
    return find(decoded->image());
}

} // namespace inkveil
