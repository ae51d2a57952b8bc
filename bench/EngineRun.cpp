// SPDX-FileCopyrightText: 2026 Tessaly
// SPDX-License-Identifier: GPL-3.0-or-later

#include "Runs.h"

#include "PhotoBuilders.h"
#include "batch/BatchEngine.h"
#include "credentials/OutputSigner.h"
#include "credentials/SigningIdentity.h"
#include "output/OutputOptions.h"
#include "render/PlaceholderExpander.h"
#include "watermarks/Overlay.h"

#include <QDateTime>
#include <QEventLoop>
#include <QHash>
#include <QImageReader>
#include <QProcess>

#include <algorithm>
#include <mutex>

namespace inkveil::bench {

namespace {

// The watermark used throughout: a text with placeholders, large enough to read on a
// 24-megapixel photo, on a box continued as a band across the photo at 45 degrees. The tiled
// run ("engine-tiled") repeats a text at 3 % of the photo over all of it instead, turned 45
// degrees, with an outline and a soft shadow.
OverlayList benchOverlays(const QString &kind)
{
    if (kind == QLatin1String("engine-tiled")) {
        auto tiled = Overlay::newWatermark();
        tiled->setText(QStringLiteral("\u00A9 {YEAR} {USERNAME}"));
        tiled->setFontName(QStringLiteral("DejaVu Sans"));
        tiled->setShow(false);
        tiled->setTile(true);
        tiled->setRotation(45.0f);
        tiled->setOutlineWidth(4.0f);
        tiled->setShadow(true);
        return {tiled};
    }
    auto overlay = std::make_shared<Overlay>();
    overlay->setText(QStringLiteral("\u00A9 {YEAR} {USERNAME} \u00B7 {EXIF_MODEL}"));
    overlay->setFontName(QStringLiteral("DejaVu Sans"));
    overlay->setPointSize(120.0f);
    overlay->setColor(QColor::fromRgbF(1.0f, 1.0f, 1.0f));
    overlay->setAlpha(0.8f);
    overlay->setBgColor(QColor::fromRgbF(0.0f, 0.0f, 0.0f, 0.4f));
    overlay->setShow(true);
    overlay->setExtend(true);
    overlay->setRotation(45.0f);
    overlay->setPosition(4); // centre
    return {overlay};
}

PlaceholderExpander benchExpander()
{
    return PlaceholderExpander(QStringLiteral("Inkveil Bench"),
                               [] { return QDateTime(QDate(2024, 6, 1), QTime(12, 0)); });
}

std::shared_ptr<OutputOptions> benchOptions(const RunSettings &run)
{
    auto options = std::make_shared<OutputOptions>();
    options->setFolder(run.output);
    options->setFileFormat(run.png ? QStringLiteral("png") : QStringLiteral("jpeg"));
    options->setQuality(OutputQuality);
    options->setResize(run.fit);
    options->setWidth(FitWidth);
    options->setHeight(FitHeight);
    options->setCreateThumbnails(false);
    return options;
}

// A wrong output would make every number meaningless: check the size of one.
void checkOutput(const QString &path, bool fit)
{
    // The engine rounds the fitted edge to the nearest pixel.
    const QSize expected =
        fit ? QSize(FitWidth, qRound(double(FitWidth) * PhotoHeight / PhotoWidth))
            : QSize(PhotoWidth, PhotoHeight);
    const QSize size = QImageReader(path).size();
    if (size != expected)
        die(QStringLiteral("%1 is %2 x %3, expected %4 x %5")
                .arg(path)
                .arg(size.width())
                .arg(size.height())
                .arg(expected.width())
                .arg(expected.height()));
}

// The signed run's signer: a throw-away ES256 chain made with the tests' script.
std::shared_ptr<const OutputSigner> benchSigner(const RunSettings &run)
{
    if (run.kind != QLatin1String("engine-signed"))
        return nullptr;
    const QString folder = run.output + QStringLiteral("-chain");
    if (QProcess::execute(QStringLiteral("bash"), {QStringLiteral(INKVEIL_CHAIN_SCRIPT), folder,
                                                   QStringLiteral("ec256")}) != 0)
        die(QStringLiteral("make-test-chain failed"));
    const auto identity = SigningIdentity::load(
        {folder + QStringLiteral("/chain.pem"), folder + QStringLiteral("/signer.key"), {}});
    if (!identity)
        die(identity.reason());
    return std::make_shared<OutputSigner>(*identity, QStringLiteral("Inkveil Bench"));
}

} // namespace

// The engine as the wizard and the command-line tool drive it. A photo's time runs from the
// previous photo's end (or the start) to its fileFinished signal, stamped on the worker thread.
// The engine's step messages, also received on the worker thread, split a photo's processor
// time into its steps (meaningful with one worker).
Timing runEngine(const RunSettings &run)
{
    const QStringList paths = inputFiles(run);
    const OverlayList overlays = benchOverlays(run.kind);
    const auto stepName = [&](const QString &message) {
        if (message == BatchEngine::ReadingMessage)
            return QStringLiteral("decode");
        if (message == BatchEngine::WatermarkingMessage)
            return run.fit ? QStringLiteral("draw+resize+encode") : QStringLiteral("draw+encode");
        if (message == BatchEngine::WritingMessage)
            return QStringLiteral("write");
        return message;
    };
    Timing timing;
    const std::shared_ptr<const OutputSigner> signer = benchSigner(run);
    for (int r = 0; r < run.repeat; ++r) {
        clearOutput(run.output);
        const auto options = benchOptions(run);
        const WorkFileList files = workFiles(paths);
        BatchEngine engine;
        engine.setExpander(benchExpander());
        engine.setSigner(signer);
        std::mutex lock;
        std::vector<double> finishedAt;
        QStringList failures;
        QString firstOutput;
        QElapsedTimer clock;
        // Per photo in progress: the step it is in, and the worker's processor time at its start.
        QHash<int, std::pair<QString, double>> current;
        const auto endStep = [&](int index, double now) {
            const auto step = current.constFind(index);
            if (step != current.constEnd())
                timing.addStep(step->first, now - step->second);
        };
        QObject::connect(
            &engine, &BatchEngine::statusChanged, &engine,
            [&](int index, const QString &message) {
                const double now = processSeconds();
                const std::lock_guard guard(lock);
                endStep(index, now);
                current.insert(index, {stepName(message), now});
            },
            Qt::DirectConnection);
        QObject::connect(
            &engine, &BatchEngine::fileFinished, &engine,
            [&](int index, const BatchEngine::FileResult &result) {
                const double at = seconds(clock);
                const double now = processSeconds();
                const std::lock_guard guard(lock);
                endStep(index, now);
                current.remove(index);
                finishedAt.push_back(at);
                if (!result.ok() || result.outputPath.isEmpty())
                    failures.append(paths.at(index) + QStringLiteral(": ") + result.failure);
                else if (firstOutput.isEmpty())
                    firstOutput = result.outputPath;
            },
            Qt::DirectConnection);
        QEventLoop loop;
        QObject::connect(&engine, &BatchEngine::finished, &loop, &QEventLoop::quit);
        timing.beginRepeat(RUSAGE_SELF);
        clock.start();
        if (const Status started = engine.start(files, overlays, options, run.workers); !started)
            die(started.reason());
        loop.exec();
        engine.wait();
        timing.endRepeat(run.count);
        if (!failures.isEmpty())
            die(failures.join(QLatin1Char('\n')));
        if (static_cast<int>(finishedAt.size()) != run.count)
            die(QStringLiteral("the engine finished %1 of %2 photos")
                    .arg(finishedAt.size())
                    .arg(run.count));
        checkOutput(firstOutput, run.fit);
        std::sort(finishedAt.begin(), finishedAt.end());
        double previous = 0.0;
        for (const double at : finishedAt) {
            timing.perPhoto.push_back(at - previous);
            previous = at;
        }
    }
    return timing;
}

} // namespace inkveil::bench
