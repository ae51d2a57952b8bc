// SPDX-FileCopyrightText: 2026 Tessaly
// SPDX-License-Identifier: GPL-3.0-or-later

#include "mark/MarkSignal.h"

#include <QImage>

#include <fftw3.h>

#include <algorithm>
#include <cmath>
#include <complex>
#include <memory>
#include <mutex>

namespace inkveil {

namespace {

// FFTW's planner is not thread-safe; its plans run on any thread.
std::mutex plannerMutex;

// One forward and one backward real transform of a plane of the given size.
class Fft
{
public:
    Fft(int width, int height)
        : m_width(width)
        , m_height(height)
        , m_real(fftwf_alloc_real(size_t(width) * size_t(height)))
        , m_complex(fftwf_alloc_complex(size_t(width / 2 + 1) * size_t(height)))
    {
        const std::lock_guard lock(plannerMutex);
        m_forward = fftwf_plan_dft_r2c_2d(height, width, m_real, m_complex, FFTW_ESTIMATE);
        m_backward = fftwf_plan_dft_c2r_2d(height, width, m_complex, m_real, FFTW_ESTIMATE);
    }
    ~Fft()
    {
        const std::lock_guard lock(plannerMutex);
        fftwf_destroy_plan(m_forward);
        fftwf_destroy_plan(m_backward);
        fftwf_free(m_real);
        fftwf_free(m_complex);
    }
    Fft(const Fft &) = delete;
    Fft &operator=(const Fft &) = delete;

    // The real buffer, zeroed, with the plane in its top left corner.
    void load(const Plane &plane)
    {
        std::fill(m_real, m_real + size_t(m_width) * size_t(m_height), 0.0f);
        for (int y = 0; y < plane.height; ++y)
            std::copy_n(&plane.values[size_t(y) * size_t(plane.width)], plane.width,
                        m_real + size_t(y) * size_t(m_width));
    }
    std::vector<std::complex<float>> forward()
    {
        fftwf_execute(m_forward);
        const auto *begin = reinterpret_cast<std::complex<float> *>(m_complex);
        return {begin, begin + spectrumSize()};
    }
    Plane backward(const std::vector<std::complex<float>> &spectrum)
    {
        std::copy(spectrum.begin(), spectrum.end(),
                  reinterpret_cast<std::complex<float> *>(m_complex));
        fftwf_execute(m_backward);
        Plane out(m_width, m_height);
        std::copy_n(m_real, out.values.size(), out.values.begin());
        return out;
    }

    int width() const { return m_width; }
    int height() const { return m_height; }

private:
    size_t spectrumSize() const { return size_t(m_width / 2 + 1) * size_t(m_height); }

    int m_width;
    int m_height;
    float *m_real;
    fftwf_complex *m_complex;
    fftwf_plan m_forward = nullptr;
    fftwf_plan m_backward = nullptr;
};

// The mean over a (2 radius + 1)-pixel square around each pixel, from a summed-area table.
Plane boxMean(const Plane &plane, int radius)
{
    const int w = plane.width;
    const int h = plane.height;
    std::vector<double> table(size_t(w + 1) * size_t(h + 1), 0.0);
    const auto cell = [&](int x, int y) -> double & {
        return table[size_t(y) * size_t(w + 1) + size_t(x)];
    };
    for (int y = 0; y < h; ++y) {
        double row = 0;
        for (int x = 0; x < w; ++x) {
            row += plane.at(x, y);
            cell(x + 1, y + 1) = cell(x + 1, y) + row;
        }
    }
    Plane out(w, h);
    for (int y = 0; y < h; ++y) {
        const int top = std::max(0, y - radius);
        const int bottom = std::min(h, y + radius + 1);
        for (int x = 0; x < w; ++x) {
            const int left = std::max(0, x - radius);
            const int right = std::min(w, x + radius + 1);
            const double sum =
                cell(right, bottom) - cell(left, bottom) - cell(right, top) + cell(left, top);
            out.at(x, y) = float(sum / double((right - left) * (bottom - top)));
        }
    }
    return out;
}

// Source pixels of a row as brightness: 4-byte colour, or 8-bit grey.
void rowBrightness(const uchar *line, int width, bool grey, float *out)
{
    if (grey) {
        for (int x = 0; x < width; ++x)
            out[x] = line[x];
        return;
    }
    const auto *pixels = reinterpret_cast<const QRgb *>(line);
    for (int x = 0; x < width; ++x)
        out[x] =
            float(qRed(pixels[x]) * 77 + qGreen(pixels[x]) * 150 + qBlue(pixels[x]) * 29) / 256.0f;
}

int paddedSize(int size)
{
    return (size + size / 2 + 15) / 16 * 16;
}

} // namespace

Plane MarkSignal::brightness(const QImage &source, int longSide)
{
    QImage image = source;
    const QImage::Format format = image.format();
    const bool grey = format == QImage::Format_Grayscale8;
    if (!grey && format != QImage::Format_RGB32 && format != QImage::Format_ARGB32 &&
        format != QImage::Format_ARGB32_Premultiplied)
        image = image.convertToFormat(QImage::Format_RGB32);
    const int sourceLong = std::max(image.width(), image.height());
    const double scale = sourceLong > longSide ? double(longSide) / sourceLong : 1.0;
    const int w = std::max(1, int(image.width() * scale));
    const int h = std::max(1, int(image.height() * scale));
    Plane out(w, h);
    std::vector<float> count(out.values.size(), 0.0f);
    std::vector<int> column(static_cast<size_t>(image.width()));
    for (int x = 0; x < image.width(); ++x)
        column[size_t(x)] = std::min(w - 1, int(x * scale));
    std::vector<float> row(static_cast<size_t>(image.width()));
    for (int y = 0; y < image.height(); ++y) {
        rowBrightness(image.constScanLine(y), image.width(), grey, row.data());
        const size_t base = size_t(std::min(h - 1, int(y * scale))) * size_t(w);
        for (size_t x = 0; x < row.size(); ++x) {
            out.values[base + size_t(column[x])] += row[x];
            count[base + size_t(column[x])] += 1.0f;
        }
    }
    for (size_t i = 0; i < out.values.size(); ++i)
        out.values[i] /= std::max(1.0f, count[i]);
    return out;
}

Plane MarkSignal::whitened(const Plane &plane)
{
    // Content smoother than about 7 pixels is the picture's; the mark lies above it. Each pixel
    // is then divided by the local level of what is left (over 9 x 9 pixels, about two cells of
    // a copy cropped to its centre: a wider window let a busy area's edge drown a quiet
    // neighbour's mark), so that a busy area, where the picture drowns the mark, counts no more
    // than a quiet one.
    const Plane smooth = boxMean(plane, 3);
    Plane detail(plane.width, plane.height);
    Plane energy(plane.width, plane.height);
    for (size_t i = 0; i < plane.values.size(); ++i) {
        detail.values[i] = plane.values[i] - smooth.values[i];
        energy.values[i] = detail.values[i] * detail.values[i];
    }
    const Plane level = boxMean(energy, 4);
    for (size_t i = 0; i < detail.values.size(); ++i) {
        const float v = detail.values[i] / std::sqrt(level.values[i] + 0.25f);
        detail.values[i] = std::clamp(v, -3.0f, 3.0f);
    }
    return detail;
}

Plane MarkSignal::rotated(const Plane &plane, float angle)
{
    const float c = std::cos(angle), s = std::sin(angle);
    const int w = std::max(1, int(float(plane.width) * c - float(plane.height) * std::abs(s)));
    const int h = std::max(1, int(float(plane.height) * c - float(plane.width) * std::abs(s)));
    Plane out(w, h);
    const float centreX = float(plane.width - 1) / 2, centreY = float(plane.height - 1) / 2;
    for (int y = 0; y < h; ++y) {
        const float v = float(y) - float(h - 1) / 2;
        for (int x = 0; x < w; ++x) {
            // Where the point came from, turned back; y runs down the picture.
            const float u = float(x) - float(w - 1) / 2;
            const float sx = std::clamp(centreX + c * u - s * v, 0.0f, float(plane.width - 1));
            const float sy = std::clamp(centreY + s * u + c * v, 0.0f, float(plane.height - 1));
            const int x0 = std::min(int(sx), std::max(0, plane.width - 2));
            const int y0 = std::min(int(sy), std::max(0, plane.height - 2));
            const int x1 = std::min(x0 + 1, plane.width - 1),
                      y1 = std::min(y0 + 1, plane.height - 1);
            const float fx = sx - float(x0), fy = sy - float(y0);
            const float top = plane.at(x0, y0) + fx * (plane.at(x1, y0) - plane.at(x0, y0));
            const float bottom = plane.at(x0, y1) + fx * (plane.at(x1, y1) - plane.at(x0, y1));
            out.at(x, y) = top + fy * (bottom - top);
        }
    }
    return out;
}

Plane MarkSignal::autocorrelation(const Plane &plane)
{
    Fft fft(paddedSize(plane.width), paddedSize(plane.height));
    fft.load(plane);
    std::vector<std::complex<float>> spectrum = fft.forward();
    for (std::complex<float> &bin : spectrum)
        bin = std::norm(bin);
    Plane out = fft.backward(spectrum);
    const float zero = out.values[0];
    if (zero > 0) {
        for (float &v : out.values)
            v /= zero;
    }
    return out;
}

Plane MarkSignal::crossCorrelation(const Plane &a, const Plane &b)
{
    // The detector correlates hundreds of folds of one size: planning a transform costs more
    // than running it, so each thread keeps its plans.
    thread_local std::vector<std::unique_ptr<Fft>> plans;
    auto found = std::find_if(plans.begin(), plans.end(), [&](const auto &plan) {
        return plan->width() == a.width && plan->height() == a.height;
    });
    if (found == plans.end()) {
        plans.push_back(std::make_unique<Fft>(a.width, a.height));
        found = plans.end() - 1;
    }
    Fft &fft = **found;
    fft.load(a);
    std::vector<std::complex<float>> spectrumA = fft.forward();
    fft.load(b);
    const std::vector<std::complex<float>> spectrumB = fft.forward();
    for (size_t i = 0; i < spectrumA.size(); ++i)
        spectrumA[i] *= std::conj(spectrumB[i]);
    return fft.backward(spectrumA);
}

} // namespace inkveil
