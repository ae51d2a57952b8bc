// SPDX-FileCopyrightText: 2026 Tessaly
// SPDX-License-Identifier: GPL-3.0-or-later

#include "Report.h"

#include "BenchSupport.h"

#include <QFile>
#include <QSysInfo>
#include <QThread>

#include <algorithm>
#include <cmath>
#include <optional>

namespace inkveil::bench {

namespace {

QString cpuModel()
{
    QFile cpuinfo(QStringLiteral("/proc/cpuinfo"));
    if (cpuinfo.open(QIODevice::ReadOnly | QIODevice::Text)) {
        for (QByteArray line = cpuinfo.readLine(); !line.isEmpty(); line = cpuinfo.readLine()) {
            if (line.startsWith("model name"))
                return QString::fromUtf8(line.mid(line.indexOf(':') + 1)).trimmed();
        }
    }
    return QStringLiteral("unknown");
}

qint64 memoryTotalKiB()
{
    QFile meminfo(QStringLiteral("/proc/meminfo"));
    if (meminfo.open(QIODevice::ReadOnly | QIODevice::Text)) {
        for (QByteArray line = meminfo.readLine(); !line.isEmpty(); line = meminfo.readLine()) {
            if (line.startsWith("MemTotal:"))
                return line.mid(9).trimmed().split(' ').value(0).toLongLong();
        }
    }
    return 0;
}

QString megabytes(double bytes)
{
    return QString::number(bytes / 1e6, 'f', 0);
}

// A Markdown table, aligned for reading as text too: the first column left, numbers right.
void printTable(const QList<Measurement> &rows, double floor)
{
    const QStringList titles{QStringLiteral("Configuration"), QStringLiteral("Photos"),
                             QStringLiteral("s/photo"),       QStringLiteral("photos/s"),
                             QStringLiteral("x floor"),       QStringLiteral("CPU s/photo"),
                             QStringLiteral("Peak MB")};
    QList<QStringList> cells;
    for (const Measurement &row : rows) {
        cells.append({row.configuration.label, QString::number(row.configuration.count),
                      QString::number(row.perPhoto, 'f', 3),
                      QString::number(row.configuration.count / row.wall, 'f', 2),
                      QString::number(row.perPhoto / floor, 'f', 2),
                      QString::number(row.processorPerPhoto, 'f', 3),
                      megabytes(static_cast<double>(row.peakKiB) * 1024.0)});
    }
    QList<qsizetype> widths;
    for (const QString &title : titles)
        widths.append(title.size());
    for (const QStringList &line : std::as_const(cells)) {
        for (qsizetype i = 0; i < line.size(); ++i)
            widths[i] = std::max(widths[i], line[i].size());
    }
    const auto print = [&](const QStringList &line) {
        for (qsizetype i = 0; i < line.size(); ++i) {
            const int width = static_cast<int>(i == 0 ? -widths[i] : widths[i]);
            out() << "| " << QStringLiteral("%1").arg(line[i], width) << ' ';
        }
        out() << "|\n";
    };
    print(titles);
    for (qsizetype i = 0; i < widths.size(); ++i)
        out() << '|' << QString(widths[i] + 1, QLatin1Char('-')) << (i == 0 ? '-' : ':');
    out() << "|\n";
    for (const QStringList &line : std::as_const(cells))
        print(line);
    out() << Qt::flush;
}

QString verdict(bool met)
{
    return met ? QStringLiteral("met") : QStringLiteral("NOT met");
}

std::optional<Measurement> findRow(const QList<Measurement> &rows, const QString &kind, int workers,
                                   bool fit, int count)
{
    for (const Measurement &row : rows) {
        const Configuration &c = row.configuration;
        if (c.kind == kind && c.workers == workers && c.fit == fit && c.count == count && !c.png)
            return row;
    }
    return std::nullopt;
}

// Peak memory with a few workers: bounded, and the same for few photos as for many.
void printMemoryTarget(const QList<Measurement> &rows)
{
    const Measurement small =
        *findRow(rows, QStringLiteral("engine"), MemoryCheckWorkers, false, MemoryCheckSmall);
    const Measurement large =
        *findRow(rows, QStringLiteral("engine"), MemoryCheckWorkers, false, MemoryCheckLarge);
    const double limit = 6.0 * static_cast<double>(DecodedPhotoBytes);
    const double smallBytes = static_cast<double>(small.peakKiB) * 1024.0;
    const double largeBytes = static_cast<double>(large.peakKiB) * 1024.0;
    // "The same" allows for allocator noise: a tenth of the smaller run's peak.
    const bool flat = std::abs(largeBytes - smallBytes) <= 0.1 * smallBytes;
    out() << QStringLiteral("  peak memory, %1 workers, <= 6 decoded photos (%2 MB): "
                            "%3 MB with %4 photos, %5 MB with %6 (%7); "
                            "independent of the number of photos (%8)\n")
                 .arg(MemoryCheckWorkers)
                 .arg(megabytes(limit))
                 .arg(megabytes(smallBytes))
                 .arg(MemoryCheckSmall)
                 .arg(megabytes(largeBytes))
                 .arg(MemoryCheckLarge)
                 .arg(verdict(std::max(smallBytes, largeBytes) <= limit))
                 .arg(verdict(flat));
}

// Each target, met or not.
void printTargets(const QList<Measurement> &rows, const Settings &settings, const int allWorkers)
{
    const int n = settings.photos;
    const auto find = [&](const QString &kind, int workers, bool fit, int count) {
        return findRow(rows, kind, workers, fit, count);
    };
    const Measurement floor = *find(QStringLiteral("floor"), 1, false, n);
    const std::optional<Measurement> one = find(QStringLiteral("engine"), 1, false, n);
    const std::optional<Measurement> all = find(QStringLiteral("engine"), allWorkers, false, n);
    const std::optional<Measurement> fit = find(QStringLiteral("engine"), 1, true, n);
    const double oneRatio = one->perPhoto / floor.perPhoto;
    out() << QStringLiteral("  1 worker per photo <= 1.3 x floor: %1 x (%2)\n")
                 .arg(oneRatio, 0, 'f', 2)
                 .arg(verdict(oneRatio <= 1.3));
    if (all && allWorkers > 1) {
        const double speedup = one->wall / all->wall;
        // What the machine allows at the moment: the floor on as many threads, which other
        // programs running alongside hold back just as much.
        const std::optional<Measurement> floorAll =
            find(QStringLiteral("floor"), allWorkers, false, n);
        out() << QStringLiteral("  %1 workers >= 1.8 x the throughput of 1: %2 x (%3); "
                                "the floor on %1 threads: %4 x\n")
                     .arg(allWorkers)
                     .arg(speedup, 0, 'f', 2)
                     .arg(verdict(speedup >= 1.8))
                     .arg(floorAll ? floor.wall / floorAll->wall : 0.0, 0, 'f', 2);
    }
    const double fitSpeedup = one->perPhoto / fit->perPhoto;
    out() << QStringLiteral("  fit into %1 x %2 >= 2 x faster per photo: %3 x (%4)\n")
                 .arg(FitWidth)
                 .arg(FitHeight)
                 .arg(fitSpeedup, 0, 'f', 2)
                 .arg(verdict(fitSpeedup >= 2.0));
    if (const std::optional<Measurement> tiled =
            find(QStringLiteral("engine-tiled"), 1, false, n)) {
        const double tiledRatio = tiled->perPhoto / one->perPhoto;
        out() << QStringLiteral("  tiled text with shadow per photo <= 1.25 x the single text: "
                                "%1 x (%2)\n")
                     .arg(tiledRatio, 0, 'f', 2)
                     .arg(verdict(tiledRatio <= 1.25));
    }
    const auto pngRow = [&](const QString &kind) -> std::optional<Measurement> {
        for (const Measurement &row : std::as_const(rows)) {
            if (row.configuration.png && row.configuration.kind == kind)
                return row;
        }
        return std::nullopt;
    };
    const std::optional<Measurement> png = pngRow(QStringLiteral("engine"));
    const std::optional<Measurement> vipsPng = pngRow(QStringLiteral("vips"));
    if (png) {
        out() << QStringLiteral("  PNG: %1 s/photo, %2 MB a file")
                     .arg(png->perPhoto, 0, 'f', 3)
                     .arg(static_cast<double>(png->outputBytes) / 1e6, 0, 'f', 1);
        if (vipsPng)
            out() << QStringLiteral("; vips %1 s/photo, %2 MB: no slower (%3), no larger (%4)")
                         .arg(vipsPng->perPhoto, 0, 'f', 3)
                         .arg(static_cast<double>(vipsPng->outputBytes) / 1e6, 0, 'f', 1)
                         .arg(verdict(png->perPhoto <= vipsPng->perPhoto))
                         .arg(verdict(png->outputBytes <= vipsPng->outputBytes));
        out() << '\n';
    }
    if (settings.memoryCheck)
        printMemoryTarget(rows);
}

} // namespace

void printReport(const QList<Measurement> &rows, const Settings &settings, const int allWorkers,
                 const qint64 averageBytes)
{
    const Measurement floor = *findRow(rows, QStringLiteral("floor"), 1, false, settings.photos);
    out() << "\nMachine: " << QThread::idealThreadCount() << " cores, " << cpuModel() << ", "
          << QString::number(static_cast<double>(memoryTotalKiB()) / 1024.0 / 1024.0, 'f', 1)
          << " GiB; " << QSysInfo::prettyProductName() << "\n"
          << QStringLiteral("Photos: %1 x %2, quality %3, %4 MB each on average; output JPEG "
                            "quality %5; median of %6 repeats\n")
                 .arg(PhotoWidth)
                 .arg(PhotoHeight)
                 .arg(SourceQuality)
                 .arg(static_cast<double>(averageBytes) / 1e6, 0, 'f', 1)
                 .arg(OutputQuality)
                 .arg(settings.repeat)
          << "s/photo: one worker, the median photo; several workers, wall time / photos. "
             "x floor: s/photo over the floor's.\n\n"
          << Qt::flush;
    printTable(rows, floor.perPhoto);

    // One worker's steps: with several, the workers' processor time includes their contention.
    out() << "\nWhere a photo's time goes, one worker (median processor seconds per step):\n";
    for (const Measurement &row : std::as_const(rows)) {
        if (row.configuration.workers == 1 && !row.steps.isEmpty())
            out() << "  " << row.configuration.label << ": " << row.steps << '\n';
    }

    out() << "\nTargets:\n";
    printTargets(rows, settings, allWorkers);
    out() << Qt::flush;
}

} // namespace inkveil::bench
