// SPDX-FileCopyrightText: 2026 Tessaly
// SPDX-License-Identifier: GPL-3.0-or-later

#include "Runs.h"

#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>

namespace inkveil::bench {

// One process per photo, one at a time.
Timing runExternalTool(const RunSettings &run)
{
    const QStringList files = inputFiles(run);
    Timing timing;
    for (int r = 0; r < run.repeat; ++r) {
        clearOutput(run.output);
        timing.beginRepeat(RUSAGE_CHILDREN);
        for (const QString &file : files) {
            const QString target = outputPath(run.output, file);
            QStringList arguments;
            if (run.kind == QLatin1String("vips") && run.png) {
                // libvips's own PNG defaults: libspng, zlib level 6, no filter.
                arguments = {QStringLiteral("copy"), file,
                             QFileInfo(target).path() + QLatin1Char('/') +
                                 QFileInfo(target).completeBaseName() + QStringLiteral(".png")};
            } else if (run.kind == QLatin1String("vips")) {
                arguments = {QStringLiteral("copy"), file,
                             target + QStringLiteral("[Q=%1]").arg(OutputQuality)};
            } else {
                arguments = {file,
                             QStringLiteral("-font"),
                             QStringLiteral("DejaVu-Sans"),
                             QStringLiteral("-gravity"),
                             QStringLiteral("center"),
                             QStringLiteral("-pointsize"),
                             QStringLiteral("120"),
                             QStringLiteral("-fill"),
                             QStringLiteral("rgba(255,255,255,0.8)"),
                             QStringLiteral("-undercolor"),
                             QStringLiteral("rgba(0,0,0,0.4)"),
                             QStringLiteral("-annotate"),
                             QStringLiteral("45x45+0+0"),
                             QStringLiteral("\u00A9 2024 Inkveil Bench"),
                             QStringLiteral("-quality"),
                             QString::number(OutputQuality),
                             target};
            }
            QElapsedTimer timer;
            timer.start();
            QProcess process;
            process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
            process.start(run.tool, arguments);
            if (!process.waitForFinished(-1) || process.exitStatus() != QProcess::NormalExit ||
                process.exitCode() != 0)
                die(QStringLiteral("%1 failed on %2").arg(run.tool, file));
            timing.perPhoto.push_back(seconds(timer));
        }
        timing.endRepeat(run.count);
    }
    return timing;
}

} // namespace inkveil::bench
