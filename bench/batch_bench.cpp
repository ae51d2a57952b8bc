// SPDX-FileCopyrightText: 2026 Tessaly
// SPDX-License-Identifier: GPL-3.0-or-later

// Measures the batch engine on a realistic set of camera-sized JPEGs against the cost of the JPEG
// work alone (libjpeg-turbo decoding and encoding the same files) and, where installed, vips and
// ImageMagick doing a similar job; and PNG output against vips writing the same photos as PNG.
// Each configuration runs in a child process of its own, so that the peak memory reported
// (ru_maxrss) belongs to that configuration alone.
//
//   inkveil-bench [--photos N] [--repeat R] [--memory-check]
//
// The photos are generated into a temporary folder and removed afterwards.

#include "BenchSupport.h"
#include "Benchmark.h"
#include "Runs.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QStandardPaths>

#include <memory>

using namespace inkveil::bench;

namespace {

QString findTool(const QString &given, const QStringList &names)
{
    if (!given.isEmpty())
        return given == QLatin1String("none") ? QString() : given;
    for (const QString &name : names) {
        const QString path = QStandardPaths::findExecutable(name);
        if (!path.isEmpty())
            return path;
    }
    return {};
}

int positiveNumber(const QCommandLineParser &parser, const QCommandLineOption &option, int fallback)
{
    if (!parser.isSet(option))
        return fallback;
    bool ok = false;
    const int number = parser.value(option).toInt(&ok);
    if (!ok || number < 1)
        die(QStringLiteral("--%1 needs a whole number of at least 1").arg(option.names().first()));
    return number;
}

QtMessageHandler defaultMessageHandler = nullptr;

void quietMessageHandler(QtMsgType type, const QMessageLogContext &context, const QString &text)
{
    if (type != QtDebugMsg && type != QtInfoMsg && defaultMessageHandler)
        defaultMessageHandler(type, context, text);
}

} // namespace

int main(int argc, char *argv[])
{
    // Only a watermarking run needs fonts, hence a GUI application; the others stay lean, so
    // that their peak memory is the work's own.
    bool engineRun = false;
    for (int i = 1; i + 1 < argc; ++i) {
        if (qstrcmp(argv[i], "--run") == 0)
            engineRun = qstrncmp(argv[i + 1], "engine", 6) == 0;
    }
    std::unique_ptr<QCoreApplication> app;
    if (engineRun) {
        if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
            qputenv("QT_QPA_PLATFORM", "offscreen");
        app = std::make_unique<QGuiApplication>(argc, argv);
    } else {
        app = std::make_unique<QCoreApplication>(argc, argv);
    }
    // The engine logs each run's start and end; a benchmark's output is its table.
    defaultMessageHandler = qInstallMessageHandler(quietMessageHandler);

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Measures the batch engine on generated 24-megapixel JPEGs against libjpeg-turbo "
        "decoding and encoding the same files, and vips and ImageMagick when installed."));
    parser.addHelpOption();
    const QCommandLineOption photos(QStringLiteral("photos"),
                                    QStringLiteral("Photos per run (default 12)."),
                                    QStringLiteral("n"));
    const QCommandLineOption repeat(QStringLiteral("repeat"),
                                    QStringLiteral("Runs of each configuration (default 3)."),
                                    QStringLiteral("r"));
    const QCommandLineOption workers(
        QStringLiteral("workers"),
        QStringLiteral("Workers of the \"all workers\" runs (default: the cores)."),
        QStringLiteral("n"));
    const QCommandLineOption memoryCheck(
        QStringLiteral("memory-check"),
        QStringLiteral("Also measure peak memory with %1 workers on %2 and on %3 photos.")
            .arg(MemoryCheckWorkers)
            .arg(MemoryCheckSmall)
            .arg(MemoryCheckLarge));
    const QCommandLineOption vips(QStringLiteral("vips"),
                                  QStringLiteral("The vips program (default: from PATH; "
                                                 "\"none\" to skip)."),
                                  QStringLiteral("path"));
    const QCommandLineOption imageMagick(
        QStringLiteral("imagemagick"),
        QStringLiteral("ImageMagick's convert or magick (default: from PATH; \"none\" to skip)."),
        QStringLiteral("path"));
    const QCommandLineOption noTools(QStringLiteral("no-tools"),
                                     QStringLiteral("Skip vips and ImageMagick."));
    // Used by the benchmark to run one configuration in a child process.
    const QCommandLineOption run(QStringLiteral("run"), QStringLiteral("Internal."),
                                 QStringLiteral("kind"));
    const QCommandLineOption input(QStringLiteral("input"), QStringLiteral("Internal."),
                                   QStringLiteral("dir"));
    const QCommandLineOption output(QStringLiteral("output"), QStringLiteral("Internal."),
                                    QStringLiteral("dir"));
    const QCommandLineOption count(QStringLiteral("count"), QStringLiteral("Internal."),
                                   QStringLiteral("n"));
    const QCommandLineOption fit(QStringLiteral("fit"), QStringLiteral("Internal."));
    const QCommandLineOption png(QStringLiteral("png"), QStringLiteral("Internal."));
    const QCommandLineOption tool(QStringLiteral("tool"), QStringLiteral("Internal."),
                                  QStringLiteral("path"));
    for (QCommandLineOption internal : {run, input, output, count, fit, png, tool}) {
        internal.setFlags(QCommandLineOption::HiddenFromHelp);
        parser.addOption(internal);
    }
    parser.addOptions({photos, repeat, workers, memoryCheck, vips, imageMagick, noTools});
    parser.process(*app);

    if (parser.isSet(run)) {
        RunSettings settings;
        settings.kind = parser.value(run);
        settings.input = parser.value(input);
        settings.output = parser.value(output);
        settings.count = positiveNumber(parser, count, 1);
        settings.repeat = positiveNumber(parser, repeat, 1);
        settings.workers = positiveNumber(parser, workers, 1);
        settings.fit = parser.isSet(fit);
        settings.png = parser.isSet(png);
        settings.tool = parser.value(tool);
        return runChild(settings);
    }

    Settings settings;
    settings.photos = positiveNumber(parser, photos, settings.photos);
    settings.repeat = positiveNumber(parser, repeat, settings.repeat);
    settings.workers = positiveNumber(parser, workers, 0);
    settings.memoryCheck = parser.isSet(memoryCheck);
    settings.tools = !parser.isSet(noTools);
    settings.vips = findTool(parser.value(vips), {QStringLiteral("vips")});
    settings.imageMagick =
        findTool(parser.value(imageMagick), {QStringLiteral("magick"), QStringLiteral("convert")});
    return runBenchmark(settings);
}
