// SPDX-FileCopyrightText: 2026 Tessaly
// SPDX-License-Identifier: GPL-3.0-or-later

#include "Benchmark.h"

#include "BenchSupport.h"
#include "Report.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

#include <algorithm>
#include <csignal>

namespace inkveil::bench {

namespace {

double value(const QString &line, const QString &key)
{
    for (const QString &field : line.split(QLatin1Char(' '))) {
        if (field.startsWith(key + QLatin1Char('=')))
            return field.mid(key.size() + 1).toDouble();
    }
    return 0.0;
}

// Runs this program on one configuration and answers what it printed. A child starts with its
// parent's peak memory as its own, so the parent stays small: even the photos are made in one.
QStringList runChildProcess(const QStringList &arguments, const QString &runtimeFolder)
{
    QProcess child;
    child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    // Fonts need a GUI application, which wants a runtime folder of its own.
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    if (!environment.contains(QStringLiteral("XDG_RUNTIME_DIR")))
        environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtimeFolder);
    child.setProcessEnvironment(environment);
    child.start(QCoreApplication::applicationFilePath(), arguments);
    const bool finished = child.waitForFinished(-1);
    if (interrupted)
        die(QStringLiteral("interrupted"));
    if (!finished || child.exitStatus() != QProcess::NormalExit || child.exitCode() != 0)
        return {};
    return QString::fromUtf8(child.readAllStandardOutput()).split(QLatin1Char('\n'));
}

Measurement measure(const Configuration &configuration, const QString &input,
                    const QString &outputRoot, int repeat, const QString &runtimeFolder)
{
    const QString output = QStringLiteral("%1/%2-%3%4")
                               .arg(outputRoot, configuration.kind)
                               .arg(configuration.workers)
                               .arg(configuration.png ? QStringLiteral("-png") : QString());
    QStringList arguments{QStringLiteral("--run"),     configuration.kind,
                          QStringLiteral("--input"),   input,
                          QStringLiteral("--output"),  output,
                          QStringLiteral("--count"),   QString::number(configuration.count),
                          QStringLiteral("--repeat"),  QString::number(repeat),
                          QStringLiteral("--workers"), QString::number(configuration.workers)};
    if (configuration.fit)
        arguments.append(QStringLiteral("--fit"));
    if (configuration.png)
        arguments.append(QStringLiteral("--png"));
    if (!configuration.tool.isEmpty())
        arguments << QStringLiteral("--tool") << configuration.tool;

    err() << "  " << configuration.label << "..." << Qt::flush;
    const QStringList lines = runChildProcess(arguments, runtimeFolder);
    QDir(output).removeRecursively();
    if (lines.isEmpty())
        die(QStringLiteral("the run \"%1\" failed").arg(configuration.label));

    Measurement measurement;
    measurement.configuration = configuration;
    for (const QString &line : lines) {
        if (line.startsWith(QLatin1String("RESULT "))) {
            measurement.perPhoto = value(line, QStringLiteral("per_photo"));
            measurement.wall = value(line, QStringLiteral("wall"));
            measurement.processorPerPhoto = value(line, QStringLiteral("processor_per_photo"));
            measurement.peakKiB = static_cast<long>(value(line, QStringLiteral("peak_kib")));
        } else if (line.startsWith(QLatin1String("OUTPUT "))) {
            measurement.outputBytes = static_cast<qint64>(value(line, QStringLiteral("bytes")));
        } else if (line.startsWith(QLatin1String("STEPS "))) {
            measurement.steps = line.mid(6);
        }
    }
    if (!(measurement.perPhoto > 0.0))
        die(QStringLiteral("the run \"%1\" reported nothing").arg(configuration.label));
    err() << QStringLiteral(" %1 s/photo").arg(measurement.perPhoto, 0, 'f', 3) << Qt::endl;
    return measurement;
}

// Generates the photos into `input` in a child process; answers their average size in bytes.
qint64 generatePhotosFor(const Settings &settings, const QString &input,
                         const QString &runtimeFolder)
{
    const int generated =
        settings.memoryCheck ? std::max(settings.photos, MemoryCheckLarge) : settings.photos;
    err() << "Generating " << generated << " photos of " << PhotoWidth << " x " << PhotoHeight
          << " at quality " << SourceQuality << " in " << input << "..." << Qt::flush;
    QElapsedTimer timer;
    timer.start();
    qint64 averageBytes = 0;
    const QStringList generatedLines = runChildProcess(
        {QStringLiteral("--run"), QStringLiteral("generate"), QStringLiteral("--output"), input,
         QStringLiteral("--count"), QString::number(generated)},
        runtimeFolder);
    for (const QString &line : generatedLines) {
        if (line.startsWith(QLatin1String("GENERATED ")))
            averageBytes = static_cast<qint64>(value(line, QStringLiteral("average_bytes")));
    }
    if (averageBytes <= 0)
        die(QStringLiteral("cannot generate the photos"));
    err() << QStringLiteral(" %1 s, %2 MB each on average")
                 .arg(seconds(timer), 0, 'f', 1)
                 .arg(static_cast<double>(averageBytes) / 1e6, 0, 'f', 1)
          << Qt::endl;
    return averageBytes;
}

// What is measured, in the order the report lists it.
QList<Configuration> configurationsFor(const Settings &settings, const int allWorkers)
{
    QList<Configuration> configurations;
    const int n = settings.photos;
    configurations.append({QStringLiteral("libjpeg-turbo decode + encode (floor)"),
                           QStringLiteral("floor"),
                           1,
                           false,
                           n,
                           {}});
    if (allWorkers > 1)
        configurations.append(
            {QStringLiteral("libjpeg-turbo decode + encode, %1 threads").arg(allWorkers),
             QStringLiteral("floor"),
             allWorkers,
             false,
             n,
             {}});
    configurations.append(
        {QStringLiteral("Inkveil, 1 worker"), QStringLiteral("engine"), 1, false, n, {}});
    if (allWorkers > 1)
        configurations.append({QStringLiteral("Inkveil, %1 workers").arg(allWorkers),
                               QStringLiteral("engine"),
                               allWorkers,
                               false,
                               n,
                               {}});
    configurations.append(
        {QStringLiteral("Inkveil, fit into %1 x %2, 1 worker").arg(FitWidth).arg(FitHeight),
         QStringLiteral("engine"),
         1,
         true,
         n,
         {}});
    configurations.append({QStringLiteral("Inkveil, signed with content credentials, 1 worker"),
                           QStringLiteral("engine-signed"),
                           1,
                           false,
                           n,
                           {}});
    configurations.append({QStringLiteral("Inkveil, tiled text with outline and shadow, 1 worker"),
                           QStringLiteral("engine-tiled"),
                           1,
                           false,
                           n,
                           {}});
    if (settings.tools && !settings.vips.isEmpty())
        configurations.append({QStringLiteral("vips copy [Q=90], 1 process at a time"),
                               QStringLiteral("vips"), 1, false, n, settings.vips});
    if (settings.tools && !settings.imageMagick.isEmpty())
        configurations.append({QStringLiteral("ImageMagick -annotate, 1 process at a time"),
                               QStringLiteral("imagemagick"), 1, false, n, settings.imageMagick});
    // PNG output against libvips writing the same photos as PNG.
    configurations.append({QStringLiteral("Inkveil, PNG, 1 worker"),
                           QStringLiteral("engine"),
                           1,
                           false,
                           n,
                           {},
                           true});
    if (settings.tools && !settings.vips.isEmpty())
        configurations.append({QStringLiteral("vips copy to PNG, 1 process at a time"),
                               QStringLiteral("vips"), 1, false, n, settings.vips, true});
    if (settings.memoryCheck) {
        for (const int count : {MemoryCheckSmall, MemoryCheckLarge}) {
            // Already measured when the machine has as many cores as the check has workers.
            const bool measured = std::any_of(
                configurations.cbegin(), configurations.cend(), [&](const Configuration &c) {
                    return c.kind == QLatin1String("engine") && c.workers == MemoryCheckWorkers &&
                           !c.fit && !c.png && c.count == count;
                });
            if (!measured)
                configurations.append(
                    {QStringLiteral("Inkveil, %1 workers").arg(MemoryCheckWorkers),
                     QStringLiteral("engine"),
                     MemoryCheckWorkers,
                     false,
                     count,
                     {}});
        }
    }
    return configurations;
}

} // namespace

int runBenchmark(const Settings &settings)
{
    const int allWorkers =
        settings.workers > 0 ? settings.workers : std::max(1, QThread::idealThreadCount());
    const QString tempRoot = QDir::tempPath() + QStringLiteral("/inkveil-bench-XXXXXX");
    QTemporaryDir work(tempRoot);
    if (!work.isValid())
        die(QStringLiteral("cannot create a temporary folder"));
    temporaryFolder() = work.path();
    // A handler rather than SIG_IGN: a handler is reset in the children, an ignored signal is not.
    std::signal(SIGINT, noteInterrupt);
    std::signal(SIGTERM, noteInterrupt);
    const QString input = work.filePath(QStringLiteral("photos"));
    const QString runtimeFolder = work.filePath(QStringLiteral("runtime"));
    QDir().mkpath(runtimeFolder);
    QFile::setPermissions(runtimeFolder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);

    const qint64 averageBytes = generatePhotosFor(settings, input, runtimeFolder);

    const QList<Configuration> configurations = configurationsFor(settings, allWorkers);
    err() << "Measuring, " << settings.repeat << " repeats each:" << Qt::endl;
    QList<Measurement> rows;
    for (const Configuration &configuration : std::as_const(configurations)) {
        rows.append(measure(configuration, input, work.filePath(QStringLiteral("out")),
                            settings.repeat, runtimeFolder));
    }
    printReport(rows, settings, allWorkers, averageBytes);
    return 0;
}

} // namespace inkveil::bench
