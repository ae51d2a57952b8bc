// SPDX-FileCopyrightText: 2026 Tessaly
// SPDX-License-Identifier: GPL-3.0-or-later

#include "Runs.h"

#include "Photos.h"

#include <QDir>
#include <QFileInfo>

namespace inkveil::bench {

QStringList inputFiles(const RunSettings &run)
{
    QStringList files;
    for (int i = 0; i < run.count; ++i)
        files.append(photoPath(run.input, i));
    return files;
}

QString outputPath(const QString &folder, const QString &source)
{
    return folder + QLatin1Char('/') + QFileInfo(source).fileName();
}

void clearOutput(const QString &folder)
{
    QDir dir(folder);
    dir.removeRecursively();
    if (!QDir().mkpath(folder))
        die(QStringLiteral("cannot create %1").arg(folder));
}

namespace {

// Prints what a run measured, with the peak memory (of this process or of the programs it ran)
// taken now, after the work.
void printResult(const RunSettings &run, const Timing &timing, int whose)
{
    const long peak = peakKiB(whose);
    // Several photos at once: a photo's own time says nothing about throughput, so the time per
    // photo is the run's wall time shared out.
    std::vector<double> perPhoto = timing.perPhoto;
    if (run.workers > 1) {
        perPhoto.clear();
        for (const double wall : timing.walls)
            perPhoto.push_back(wall / run.count);
    }
    if (!timing.steps.isEmpty()) {
        out() << "STEPS";
        for (const auto &[name, times] : timing.steps)
            out() << ' ' << name << '=' << QString::number(median(times), 'f', 3);
        out() << Qt::endl;
    }
    out() << QStringLiteral("RESULT per_photo=%1 wall=%2 processor_per_photo=%3 peak_kib=%4")
                 .arg(median(perPhoto), 0, 'f', 6)
                 .arg(median(timing.walls), 0, 'f', 6)
                 .arg(median(timing.processorPerPhoto), 0, 'f', 6)
                 .arg(peak)
          << Qt::endl;
}

// The average size of the files the last repeat wrote.
void printOutputSize(const RunSettings &run)
{
    qint64 bytes = 0;
    const QFileInfoList files = QDir(run.output).entryInfoList(QDir::Files);
    for (const QFileInfo &file : files)
        bytes += file.size();
    out() << "OUTPUT bytes=" << (files.isEmpty() ? 0 : bytes / files.size()) << Qt::endl;
}

} // namespace

int runChild(const RunSettings &run)
{
    if (run.kind == QLatin1String("floor")) {
        printResult(run, runFloor(run), RUSAGE_SELF);
    } else if (run.kind == QLatin1String("engine") || run.kind == QLatin1String("engine-tiled") ||
               run.kind == QLatin1String("engine-signed")) {
        printResult(run, runEngine(run), RUSAGE_SELF);
    } else if (run.kind == QLatin1String("vips") || run.kind == QLatin1String("imagemagick")) {
        printResult(run, runExternalTool(run), RUSAGE_CHILDREN);
    } else if (run.kind == QLatin1String("generate")) {
        if (!QDir().mkpath(run.output))
            die(QStringLiteral("cannot create %1").arg(run.output));
        out() << "GENERATED average_bytes=" << generatePhotos(run.output, run.count) << Qt::endl;
    } else {
        die(QStringLiteral("unknown configuration \"%1\"").arg(run.kind));
    }
    if (run.kind != QLatin1String("generate"))
        printOutputSize(run);
    return 0;
}

} // namespace inkveil::bench
