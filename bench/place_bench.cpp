// SPDX-FileCopyrightText: 2026 Tessaly
// SPDX-License-Identifier: GPL-3.0-or-later

// Measures automatic placement and contrast on real photographs: crops and scales of the
// wallpapers Debian ships, plus generated scenes with one clearly calm region. Prints, over the
// corpus: the share of photos whose text reaches a 4.5:1 contrast with automatic contrast and
// with fixed white text and a shadow, measured on the full-size pixels under the text; the
// detail covered with automatic placement against the fixed bottom-right position; how often a
// photo keeps its position when resized to 50 % or recompressed at quality 75; how often the
// calm region wins on the generated scenes; and the time the analysis adds to a 24-megapixel
// photo. The wallpapers are not part of the project: scripts/place-bench installs them and runs
// this.
//
//   inkveil-place-bench [--limit N] [--edge PX] [FOLDER...]

#include "BenchSupport.h"
#include "SyntheticScenes.h"

#include "render/AutoAdjuster.h"
#include "render/Stamper.h"
#include "render/StamperGeometry.h"

#include <QBuffer>
#include <QCommandLineParser>
#include <QDirIterator>
#include <QGuiApplication>
#include <QImageReader>

#include <sys/resource.h>

#include <algorithm>
#include <vector>

using namespace inkveil;
using inkveil::bench::median;
using inkveil::bench::out;

namespace {

struct Sample
{
    QString name;
    QImage image;
};

// Each wallpaper (the largest file of each picture) scaled to `edge` on its longer side, whole
// and as four crops of 60 % and one of 40 % around the centre.
QList<Sample> corpus(const QStringList &folders, int edge, int limit)
{
    QMap<QString, QString> largest; // picture folder -> file
    for (const QString &folder : folders) {
        QDirIterator it(folder, {"*.jpg", "*.jpeg", "*.png", "*.webp"}, QDir::Files,
                        QDirIterator::Subdirectories);
        while (it.hasNext()) {
            const QString path = it.next();
            const QString key = path.contains(QLatin1String("/contents/"))
                                    ? path.section(QLatin1String("/contents/"), 0, 0) +
                                          (path.contains(QLatin1String("_dark")) ? "-dark" : "")
                                    : path;
            if (!largest.contains(key) || QFileInfo(path).size() > QFileInfo(largest[key]).size())
                largest[key] = path;
        }
    }
    QList<Sample> samples;
    for (const QString &path : std::as_const(largest)) {
        QImageReader reader(path);
        reader.setAutoTransform(true);
        QImage image = reader.read();
        if (image.isNull())
            continue;
        image = image.convertToFormat(QImage::Format_RGB32);
        const int w = image.width();
        const int h = image.height();
        const QList<QRect> crops{image.rect(),
                                 QRect(0, 0, w * 3 / 5, h * 3 / 5),
                                 QRect(w * 2 / 5, 0, w * 3 / 5, h * 3 / 5),
                                 QRect(0, h * 2 / 5, w * 3 / 5, h * 3 / 5),
                                 QRect(w * 2 / 5, h * 2 / 5, w * 3 / 5, h * 3 / 5),
                                 QRect(w * 3 / 10, h * 3 / 10, w * 2 / 5, h * 2 / 5)};
        for (qsizetype i = 0; i < crops.size(); ++i) {
            samples.append(
                {QFileInfo(path).dir().path() + QStringLiteral(" #%1").arg(i),
                 image.copy(crops.at(i))
                     .scaled(edge, edge, Qt::KeepAspectRatio, Qt::SmoothTransformation)});
            if (limit > 0 && samples.size() >= limit)
                return samples;
        }
    }
    return samples;
}

std::shared_ptr<Overlay> mark(bool place, bool contrast)
{
    auto overlay = Overlay::newWatermark();
    overlay->setText(QStringLiteral("\u00A9 2026 Tessaly Photography"));
    overlay->setShow(false);
    overlay->setAutoPlace(place);
    overlay->setAutoContrast(contrast);
    return overlay;
}

// Percentiles of the full-size luminance under a canvas rectangle: the check does not trust
// the proxy the choice was made on.
AutoContrast::Backdrop fullSizeBackdrop(const QImage &image, FloatRect rect)
{
    const QRect area = QRect(static_cast<int>(rect.origin.x),
                             static_cast<int>(static_cast<float>(image.height()) - rect.origin.y -
                                              rect.size.height),
                             static_cast<int>(rect.size.width), static_cast<int>(rect.size.height))
                           .intersected(image.rect());
    std::vector<float> values;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            values.push_back(static_cast<float>(AutoContrast::luminance(image.pixelColor(x, y))));
    if (values.empty())
        return {};
    const auto at = [&](double share) {
        auto nth =
            values.begin() + static_cast<ptrdiff_t>(share * static_cast<double>(values.size() - 1));
        std::nth_element(values.begin(), nth, values.end());
        return *nth;
    };
    return {at(0.5), at(0.1), at(0.9)};
}

struct Placed
{
    qint16 position = 0;
    FloatRect rect;
    Overlay drawn;
};

// The watermark fitted to the image as the stamper fits it, with the rectangle it covers.
Placed fit(const QImage &image, const std::shared_ptr<Overlay> &overlay)
{
    const FloatSize canvas{static_cast<float>(image.width()), static_cast<float>(image.height())};
    Stamper stamper;
    stamper.setAttribsFromOverlay(*overlay, canvas);
    const FloatSize content = stamper.findContentSize(*overlay);
    AutoAdjuster adjuster(image, canvas);
    AutoChoice choice;
    Placed placed{0, {}, adjuster.adjust(*overlay, content, choice)};
    placed.position = choice.position;
    const FloatSize turned =
        StamperGeometry::sizeFromRotation(content, Stamper::findRotationToUse(*overlay));
    const float margin = StamperGeometry::percentOfShorterSide(canvas, overlay->margin());
    placed.rect = {
        StamperGeometry::findDrawPoint({{0, 0}, canvas}, placed.position, turned, margin), turned};
    return placed;
}

AutoContrast::Style styleOf(const Overlay &drawn, AutoContrast::Effect &effect, QColor &effectColor)
{
    effect = drawn.outlineWidth() > 0.0f ? AutoContrast::Effect::Outline
             : drawn.shadow()            ? AutoContrast::Effect::Shadow
                                         : AutoContrast::Effect::None;
    effectColor =
        effect == AutoContrast::Effect::Outline ? drawn.outlineColor() : drawn.shadowColor();
    return {drawn.color(), drawn.altColor(),
            drawn.alpha(), QColor(),
            true,          static_cast<float>(drawn.shadowColor().alphaF()),
            true};
}

QImage recompressed(const QImage &image, int quality)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "JPEG", quality);
    return QImage::fromData(bytes, "JPEG").convertToFormat(QImage::Format_RGB32);
}

struct Tally
{
    int photos = 0;
    int autoLegible = 0;
    int fixedLegible = 0;
    double autoDetail = 0;
    double fixedDetail = 0;
    double leastDetail = 0;
    int stableHalf = 0;
    int stableQ75 = 0;
};

void measurePhoto(const QImage &image, Tally &tally)
{
    const FloatSize canvas{static_cast<float>(image.width()), static_cast<float>(image.height())};
    const Placed automatic = fit(image, mark(true, true));
    AutoContrast::Effect effect{};
    QColor effectColor;
    const AutoContrast::Style style = styleOf(automatic.drawn, effect, effectColor);
    const auto backdrop = fullSizeBackdrop(image, automatic.rect);
    tally.autoLegible += AutoContrast::ratio(backdrop, style, automatic.drawn.color(), effect,
                                             effectColor) >= AutoContrast::Target;

    // Fixed: white text at the bottom right with the default shadow.
    auto fixed = mark(false, false);
    fixed->setPosition(2);
    fixed->setShadow(true);
    const Placed still = fit(image, fixed);
    const auto fixedBackdrop = fullSizeBackdrop(image, still.rect);
    tally.fixedLegible +=
        AutoContrast::ratio(fixedBackdrop, style, fixed->color(), AutoContrast::Effect::Shadow,
                            fixed->shadowColor()) >= AutoContrast::Target;

    const PhotoProxy proxy = PhotoProxy::fromImage(image);
    const CalmPlacement calm(proxy, canvas);
    tally.autoDetail += calm.detail(automatic.rect);
    tally.fixedDetail += calm.detail(still.rect);
    double least = calm.detail(automatic.rect);
    for (const qint16 position : Overlay::DefaultAutoPositions) {
        FloatRect rect = automatic.rect;
        rect.origin = StamperGeometry::findDrawPoint(
            {{0, 0}, canvas}, position, rect.size,
            StamperGeometry::percentOfShorterSide(canvas, fixed->margin()));
        least = std::min(least, calm.detail(rect));
    }
    tally.leastDetail += least;

    const QImage half = image.scaled(image.width() / 2, image.height() / 2, Qt::IgnoreAspectRatio,
                                     Qt::SmoothTransformation);
    tally.stableHalf += fit(half, mark(true, true)).position == automatic.position;
    tally.stableQ75 +=
        fit(recompressed(image, 75), mark(true, true)).position == automatic.position;
    ++tally.photos;
}

// Processor milliseconds (which hardly change when other programs share the machine) the
// analysis takes on a photo of the given size: the proxy and one watermark's
// placement and colour, median of `runs`.
double analysisMs(const QImage &photo, int runs)
{
    const FloatSize canvas{static_cast<float>(photo.width()), static_cast<float>(photo.height())};
    const auto overlay = mark(true, true);
    Stamper stamper;
    stamper.setAttribsFromOverlay(*overlay, canvas);
    const FloatSize content = stamper.findContentSize(*overlay);
    std::vector<double> times;
    for (int i = 0; i < runs; ++i) {
        const double start = bench::processorSeconds(RUSAGE_SELF);
        AutoAdjuster adjuster(photo, canvas);
        AutoChoice choice;
        adjuster.adjust(*overlay, content, choice);
        times.push_back((bench::processorSeconds(RUSAGE_SELF) - start) * 1e3);
    }
    return median(times);
}

double proxyMs(const QImage &photo, int runs)
{
    std::vector<double> times;
    for (int i = 0; i < runs; ++i) {
        const double start = bench::processorSeconds(RUSAGE_SELF);
        const PhotoProxy proxy = PhotoProxy::fromImage(photo);
        times.push_back((bench::processorSeconds(RUSAGE_SELF) - start) * 1e3);
    }
    return median(times);
}

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM",
            qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
    QGuiApplication app(argc, argv);
    QCommandLineParser parser;
    parser.addHelpOption();
    const QCommandLineOption limit{"limit", "Photos of the corpus at most (default all).", "N"};
    const QCommandLineOption edge{"edge", "Longer side of each corpus photo (default 1600).", "px"};
    parser.addOptions({limit, edge});
    parser.addPositionalArgument("FOLDER", "Folders of wallpapers (default: Debian's).");
    parser.process(app);
    QStringList folders = parser.positionalArguments();
    if (folders.isEmpty())
        folders = {"/usr/share/wallpapers", "/usr/share/backgrounds"};

    const QList<Sample> samples =
        corpus(folders, parser.value(edge).isEmpty() ? 1600 : parser.value(edge).toInt(),
               parser.value(limit).toInt());
    Tally tally;
    for (const Sample &sample : samples)
        measurePhoto(sample.image, tally);
    const double n = std::max(1, tally.photos);
    out() << "corpus: " << tally.photos << " photos (crops and scales of " << folders.join(", ")
          << ")\n"
          << "contrast >= 4.5:1, automatic contrast: " << 100.0 * tally.autoLegible / n << " %\n"
          << "contrast >= 4.5:1, fixed white text with shadow at bottom right: "
          << 100.0 * tally.fixedLegible / n << " %\n"
          << "mean covered detail, automatic: " << tally.autoDetail / n
          << ", fixed bottom right: " << tally.fixedDetail / n << " (ratio "
          << (tally.fixedDetail > 0 ? tally.autoDetail / tally.fixedDetail : 0)
          << "; the least of the allowed positions: " << tally.leastDetail / n << ")\n"
          << "same position at 50 %: " << 100.0 * tally.stableHalf / n
          << " %, after recompression at q75: " << 100.0 * tally.stableQ75 / n << " %\n";

    int scenesRun = 0;
    int calmChosen = 0;
    for (quint32 seed = 1; seed <= 20; ++seed) {
        for (const scenes::Kind kind : scenes::allKinds()) {
            const scenes::Scene scene = scenes::scene(kind, {1800, 1200}, seed);
            calmChosen += scene.calm.contains(fit(scene.image, mark(true, false)).position);
            ++scenesRun;
        }
    }
    out() << "generated scenes: calm region chosen in " << calmChosen << " of " << scenesRun
          << "\n";

    QImage big = samples.isEmpty() ? scenes::scene(scenes::Kind::SkyOverGround, {600, 400}).image
                                   : samples.first().image;
    big = big.scaled(6000, 4000, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    out() << "analysis of a 24-megapixel photo: " << analysisMs(big, 31)
          << " ms of processor time (median of 31)\n"
          << "  of which the proxy: " << proxyMs(big, 31) << " ms\n"
          << "analysis of a 1600 x 1067 preview: " << analysisMs(big.scaled(1600, 1067), 31)
          << " ms\n";
    return 0;
}
