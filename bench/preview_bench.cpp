// SPDX-FileCopyrightText: 2026 Tessaly
// SPDX-License-Identifier: GPL-3.0-or-later

// Measures the live preview: the time from a watermark edit (an opacity change followed by
// redraw()) to the preview's rendered() signal, on a generated 24-megapixel JPEG (or one of
// --megapixels), for a few kinds of watermark, and the time to switch to another photo. Then
// times the steps of one full-size render on their own, on this thread, for comparison.
//
//   inkveil-preview-bench [--edits N] [--megapixels M]

#include "BenchSupport.h"

#include "imageio/ImageToolkit.h"
#include "render/PreviewGeometry.h"
#include "render/Stamper.h"
#include "sources/WorkFile.h"
#include "watermarks/Overlay.h"
#include "widgets/PreviewView.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTextStream>
#include <QThread>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <functional>
#include <memory>
#include <vector>

using namespace inkveil;
using inkveil::bench::median;
using inkveil::bench::out;

namespace {

// 6000 x 4000 unless --megapixels asks for another size of the same 3:2 shape.
int PhotoWidth = 6000;
int PhotoHeight = 4000;
// About the preview's size in the watermark pane.
constexpr int ViewWidth = 640;
constexpr int ViewHeight = 440;
constexpr int WarmUpEdits = 3;

// A photo with detail everywhere, so that the JPEG decoder does real work.
QString writePhoto(const QString &path, quint32 seed)
{
    QImage photo(PhotoWidth, PhotoHeight, QImage::Format_RGB32);
    QRandomGenerator random(seed);
    for (int y = 0; y < PhotoHeight; ++y) {
        auto *line = reinterpret_cast<QRgb *>(photo.scanLine(y));
        for (int x = 0; x < PhotoWidth; ++x) {
            const int noise = static_cast<int>(random.bounded(32));
            line[x] = qRgb((x / 24 + noise) & 0xff, (y / 16 + noise) & 0xff, ((x + y) / 40) & 0xff);
        }
    }
    photo.save(path, "JPEG", 92);
    return path;
}

QString writePicture(const QString &path)
{
    QImage picture(600, 300, QImage::Format_ARGB32);
    picture.fill(QColor(255, 255, 255, 160));
    picture.setDotsPerMeterX(2835);
    picture.setDotsPerMeterY(2835);
    picture.save(path, "PNG");
    return path;
}

double millisecondsOf(const std::function<void()> &work)
{
    QElapsedTimer timer;
    timer.start();
    work();
    return static_cast<double>(timer.nsecsElapsed()) / 1e6;
}

struct Scenario
{
    QString name;
    std::shared_ptr<Overlay> overlay;
};

std::vector<Scenario> scenarios(const QString &picturePath)
{
    std::vector<Scenario> list;
    list.push_back(
        {QStringLiteral("default text watermark, band at 0 degrees"), std::make_shared<Overlay>()});
    auto large = std::make_shared<Overlay>();
    large->setPointSize(240);
    large->setBgColor(QColor(0, 0, 0, 90));
    list.push_back({QStringLiteral("240-pixel text, band at 0 degrees"), large});
    auto diagonal = std::make_shared<Overlay>(*large);
    diagonal->setRotation(45);
    list.push_back({QStringLiteral("240-pixel text, band at 45 degrees"), diagonal});
    auto picture = std::make_shared<Overlay>();
    picture->setFilePath(picturePath);
    picture->setWidth(600);
    picture->setHeight(300);
    picture->setShow(false);
    picture->setPosition(4);
    list.push_back({QStringLiteral("600 x 300 picture, no box"), picture});
    auto fitted = Overlay::newWatermark();
    fitted->setRelativeSize(4);
    fitted->setShow(false);
    fitted->setShadow(true);
    fitted->setPosition(2);
    list.push_back({QStringLiteral("text at 4 % of the photo, 2 % margin, shadow"), fitted});
    auto tiled = Overlay::newWatermark();
    tiled->setTile(true);
    tiled->setRotation(45);
    tiled->setShow(false);
    tiled->setShadow(true);
    tiled->setOutlineWidth(4);
    list.push_back({QStringLiteral("text at 3 %, tiled at 45 degrees, outline and shadow"), tiled});
    return list;
}

// Edit -> rendered() on the real view, as the pane drives it.
void measureView(const Scenario &scenario, const WorkFileList &files, int edits)
{
    PreviewView view;
    view.resize(ViewWidth, ViewHeight);
    view.show();
    QEventLoop loop;
    QObject::connect(&view, &PreviewView::rendered, &loop, &QEventLoop::quit);
    view.setOverlays({scenario.overlay});
    const double first = millisecondsOf([&] {
        view.setFile(files[0]);
        loop.exec();
    });

    std::vector<double> latencies;
    for (int edit = 0; edit < WarmUpEdits + edits; ++edit) {
        const float opacity = 0.3f + 0.02f * static_cast<float>(edit % 30);
        const double ms = millisecondsOf([&] {
            scenario.overlay->setAlpha(opacity);
            scenario.overlay->setImgAlpha(opacity);
            view.redraw();
            loop.exec();
        });
        if (edit >= WarmUpEdits)
            latencies.push_back(ms);
    }
    // Stepping to the next photo, as the pane's buttons do.
    std::vector<double> switches;
    for (int step = 1; step <= 4; ++step) {
        switches.push_back(millisecondsOf([&] {
            view.setFile(files[step % 2]);
            loop.exec();
        }));
    }
    out() << scenario.name << Qt::endl
          << QStringLiteral("  first render (read + render): %1 ms").arg(first, 0, 'f', 1)
          << Qt::endl
          << QStringLiteral("  edit -> shown, median of %1: %2 ms (min %3, max %4)")
                 .arg(edits)
                 .arg(median(latencies), 0, 'f', 1)
                 .arg(*std::min_element(latencies.begin(), latencies.end()), 0, 'f', 1)
                 .arg(*std::max_element(latencies.begin(), latencies.end()), 0, 'f', 1)
          << Qt::endl
          << QStringLiteral("  switch to another photo of the same size, median of 4: %1 ms")
                 .arg(median(switches), 0, 'f', 1)
          << Qt::endl;
}

// The steps of one render, each on its own, on this thread.
void measureSteps(const Scenario &scenario, const std::shared_ptr<WorkFile> &file)
{
    const DecodedImage photo = ImageToolkit::decode(file->filePath()).value();
    QImage canvas = photo.image().copy();
    Stamper stamper;
    const FloatRect fitted = PreviewGeometry::fitRect(
        {static_cast<float>(PhotoWidth), static_cast<float>(PhotoHeight)}, {ViewWidth, ViewHeight});
    const QSize shown(qRound(fitted.size.width), qRound(fitted.size.height));
    std::vector<double> copy;
    std::vector<double> stamp;
    std::vector<double> scale;
    for (int round = 0; round < 7; ++round) {
        copy.push_back(millisecondsOf([&] {
            std::memcpy(canvas.bits(), photo.image().constBits(),
                        static_cast<size_t>(photo.image().sizeInBytes()));
        }));
        QImage rendered;
        stamp.push_back(millisecondsOf([&] {
            rendered = stamper
                           .watermark(file, DecodedImage(std::move(canvas), photo.dpi()),
                                      {scenario.overlay})
                           .image;
        }));
        scale.push_back(millisecondsOf([&] {
            const QImage small =
                rendered.scaled(shown, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
            Q_UNUSED(small);
        }));
        canvas = std::move(rendered);
    }
    out() << QStringLiteral("  steps, median: restore canvas %1 ms, Stamper %2 ms, scale to "
                            "%3 x %4 %5 ms")
                 .arg(median(copy), 0, 'f', 1)
                 .arg(median(stamp), 0, 'f', 1)
                 .arg(shown.width())
                 .arg(shown.height())
                 .arg(median(scale), 0, 'f', 1)
          << Qt::endl;
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Time from a watermark edit to the updated preview."));
    parser.addHelpOption();
    const QCommandLineOption editsOption(QStringLiteral("edits"),
                                         QStringLiteral("Edits timed per watermark (20)."),
                                         QStringLiteral("N"), QStringLiteral("20"));
    parser.addOption(editsOption);
    const QCommandLineOption megapixelsOption(QStringLiteral("megapixels"),
                                              QStringLiteral("Size of the generated photos (24)."),
                                              QStringLiteral("M"), QStringLiteral("24"));
    parser.addOption(megapixelsOption);
    parser.process(app);
    const int edits = std::max(1, parser.value(editsOption).toInt());
    const double megapixels = std::clamp(parser.value(megapixelsOption).toDouble(), 1.0, 190.0);
    PhotoWidth = static_cast<int>(std::lround(std::sqrt(megapixels * 1e6 * 1.5)));
    PhotoHeight = PhotoWidth * 2 / 3;

    QTemporaryDir dir;
    if (!dir.isValid())
        return 1;
    out() << QStringLiteral("Generating two %1 x %2 photos...").arg(PhotoWidth).arg(PhotoHeight)
          << Qt::endl;
    const WorkFileList files{
        std::make_shared<WorkFile>(writePhoto(dir.filePath(QStringLiteral("first.jpg")), 7)),
        std::make_shared<WorkFile>(writePhoto(dir.filePath(QStringLiteral("second.jpg")), 8))};
    const QString picture = writePicture(dir.filePath(QStringLiteral("mark.png")));
    out() << QStringLiteral("Preview %1 x %2, %3 threads")
                 .arg(ViewWidth)
                 .arg(ViewHeight)
                 .arg(QThread::idealThreadCount())
          << Qt::endl;
    for (const Scenario &scenario : scenarios(picture)) {
        measureView(scenario, files, edits);
        // The full-size steps take seconds on the largest photos and say nothing new there.
        if (megapixels <= 30.0)
            measureSteps(scenario, files[0]);
    }
    return 0;
}
