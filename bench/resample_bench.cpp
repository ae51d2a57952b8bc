// SPDX-FileCopyrightText: 2026 Tessaly
// SPDX-License-Identifier: GPL-3.0-or-later

// Resampling, measured and judged:
//
//   inkveil-resample-bench [--repeat R]           times Qt's smooth scaling against Resampler
//                                                 on 24 MP and 6 MP photos shrunk to 2048 px
//   inkveil-resample-bench --zone-plate OUT.png   writes a 2400 x 2400 zone plate
//   inkveil-resample-bench --resize IN WxH OUT [--qt]
//   inkveil-resample-bench --compare A B          PSNR and SSIM of B against A (luma, 0-255)
//
// The reference to compare with is another program's Lanczos-3, for instance ImageMagick's
// `convert IN -filter Lanczos -resize WxH! REF.png`.

#include "BenchSupport.h"

#include "imageio/Resampler.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QRandomGenerator>

#include <cmath>
#include <numbers>
#include <sys/resource.h>
#include <vector>

using namespace inkveil;
using inkveil::bench::median;
using inkveil::bench::out;

namespace {

QImage zonePlate(const int edge)
{
    QImage image(edge, edge, QImage::Format_RGB32);
    const double k = std::numbers::pi / edge;
    for (int y = 0; y < edge; ++y) {
        auto *const line = reinterpret_cast<QRgb *>(image.scanLine(y));
        for (int x = 0; x < edge; ++x) {
            const double dx = x - edge / 2.0, dy = y - edge / 2.0;
            const int v = qRound(127.5 + 127.5 * std::cos(k * (dx * dx + dy * dy)));
            line[x] = qRgb(v, v, v);
        }
    }
    return image;
}

// Grain over a gradient: detail at every scale, as a camera photo has.
QImage photoLike(const QSize size)
{
    QImage image(size, QImage::Format_RGB32);
    QRandomGenerator random(7);
    for (int y = 0; y < size.height(); ++y) {
        auto *const line = reinterpret_cast<QRgb *>(image.scanLine(y));
        for (int x = 0; x < size.width(); ++x) {
            const int base = 60 + 120 * x / size.width();
            const int grain = static_cast<int>(random.bounded(40u));
            line[x] = qRgb(base + grain, 200 - base / 2 + grain / 2, 90 + grain);
        }
    }
    return image;
}

std::vector<double> luma(const QImage &image)
{
    const QImage rgb = image.convertToFormat(QImage::Format_RGB32);
    std::vector<double> values;
    values.reserve(static_cast<std::size_t>(rgb.width()) * static_cast<std::size_t>(rgb.height()));
    for (int y = 0; y < rgb.height(); ++y) {
        const auto *const line = reinterpret_cast<const QRgb *>(rgb.constScanLine(y));
        for (int x = 0; x < rgb.width(); ++x)
            values.push_back(0.299 * qRed(line[x]) + 0.587 * qGreen(line[x]) +
                             0.114 * qBlue(line[x]));
    }
    return values;
}

// Mean SSIM over 8 x 8 windows (step 4), with the usual constants for 8-bit values.
double ssim(const std::vector<double> &a, const std::vector<double> &b, const int width,
            const int height)
{
    const double c1 = std::pow(0.01 * 255, 2), c2 = std::pow(0.03 * 255, 2);
    double total = 0;
    int windows = 0;
    for (int y = 0; y + 8 <= height; y += 4) {
        for (int x = 0; x + 8 <= width; x += 4) {
            double ma = 0, mb = 0, va = 0, vb = 0, cov = 0;
            for (int j = 0; j < 8; ++j)
                for (int i = 0; i < 8; ++i) {
                    const std::size_t at = static_cast<std::size_t>((y + j) * width + x + i);
                    ma += a[at];
                    mb += b[at];
                }
            ma /= 64;
            mb /= 64;
            for (int j = 0; j < 8; ++j)
                for (int i = 0; i < 8; ++i) {
                    const std::size_t at = static_cast<std::size_t>((y + j) * width + x + i);
                    va += (a[at] - ma) * (a[at] - ma);
                    vb += (b[at] - mb) * (b[at] - mb);
                    cov += (a[at] - ma) * (b[at] - mb);
                }
            va /= 63;
            vb /= 63;
            cov /= 63;
            total +=
                ((2 * ma * mb + c1) * (2 * cov + c2)) / ((ma * ma + mb * mb + c1) * (va + vb + c2));
            ++windows;
        }
    }
    return windows ? total / windows : 1.0;
}

int compare(const QString &first, const QString &second)
{
    const QImage a(first), b(second);
    if (a.isNull() || b.isNull() || a.size() != b.size()) {
        bench::err() << "need two images of the same size\n";
        return 1;
    }
    const std::vector<double> la = luma(a), lb = luma(b);
    double squares = 0;
    for (std::size_t i = 0; i < la.size(); ++i)
        squares += (la[i] - lb[i]) * (la[i] - lb[i]);
    const double mse = squares / static_cast<double>(la.size());
    out() << QStringLiteral("PSNR %1 dB  SSIM %2\n")
                 .arg(10 * std::log10(255.0 * 255.0 / std::max(mse, 1e-12)), 0, 'f', 2)
                 .arg(ssim(la, lb, a.width(), a.height()), 0, 'f', 4);
    return 0;
}

QImage resizedBy(const QImage &image, const QSize size, const bool qt)
{
    return qt ? image.scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
              : Resampler::resized(image, size);
}

void timeBoth(const int repeat)
{
    const QSize target(2048, 1365);
    for (const QSize source : {QSize(6000, 4000), QSize(3000, 2000)}) {
        const QImage photo = photoLike(source);
        for (const bool qt : {true, false}) {
            std::vector<double> times, processor;
            for (int r = 0; r < repeat; ++r) {
                QElapsedTimer timer;
                const double started = bench::processorSeconds(RUSAGE_SELF);
                timer.start();
                const QImage small = resizedBy(photo, target, qt);
                times.push_back(bench::seconds(timer));
                processor.push_back(bench::processorSeconds(RUSAGE_SELF) - started);
            }
            out() << QStringLiteral("%1 x %2 -> %3 x %4, %5: %6 ms, processor %7 ms\n")
                         .arg(source.width())
                         .arg(source.height())
                         .arg(target.width())
                         .arg(target.height())
                         .arg(qt ? QStringLiteral("Qt smooth (box)") : QStringLiteral("Lanczos-3"))
                         .arg(median(times) * 1000, 0, 'f', 1)
                         .arg(median(processor) * 1000, 0, 'f', 1);
        }
    }
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    parser.addHelpOption();
    const QCommandLineOption repeat(QStringLiteral("repeat"), QStringLiteral("Timed runs."),
                                    QStringLiteral("r"), QStringLiteral("7"));
    const QCommandLineOption plate(QStringLiteral("zone-plate"),
                                   QStringLiteral("Write a zone plate."), QStringLiteral("file"));
    const QCommandLineOption resize(QStringLiteral("resize"),
                                    QStringLiteral("Resize IN (then WxH OUT as arguments)."),
                                    QStringLiteral("in"));
    const QCommandLineOption qt(QStringLiteral("qt"), QStringLiteral("Resize with Qt's scaling."));
    const QCommandLineOption compared(QStringLiteral("compare"),
                                      QStringLiteral("Compare A (then B as argument)."),
                                      QStringLiteral("a"));
    parser.addOptions({repeat, plate, resize, qt, compared});
    parser.process(app);
    const QStringList rest = parser.positionalArguments();

    if (parser.isSet(plate))
        return zonePlate(2400).save(parser.value(plate)) ? 0 : 1;
    if (parser.isSet(compared) && rest.size() == 1)
        return compare(parser.value(compared), rest[0]);
    if (parser.isSet(resize) && rest.size() == 2) {
        const QStringList edges = rest[0].split(QLatin1Char('x'));
        const QSize size(edges.value(0).toInt(), edges.value(1).toInt());
        return resizedBy(QImage(parser.value(resize)), size, parser.isSet(qt)).save(rest[1]) ? 0
                                                                                             : 1;
    }
    timeBoth(std::max(1, parser.value(repeat).toInt()));
    return 0;
}
