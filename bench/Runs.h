// SPDX-FileCopyrightText: 2026 Tessaly
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

// One configuration measured in a child process of its own, so that the peak memory it reports
// (ru_maxrss) is that configuration's alone: its settings, its timings, and the runs themselves.

#include "BenchSupport.h"

#include <QElapsedTimer>
#include <QList>
#include <QString>
#include <QStringList>

#include <sys/resource.h>

#include <utility>
#include <vector>

namespace inkveil::bench {

struct RunSettings
{
    QString kind;
    QString input;
    QString output;
    int count = 0;
    int repeat = 1;
    int workers = 1;
    bool fit = false;
    // PNG output instead of JPEG.
    bool png = false;
    QString tool;
};

QStringList inputFiles(const RunSettings &run);
// Where a run that names its outputs itself writes the output of a source photo.
QString outputPath(const QString &folder, const QString &source);
// An empty output folder for each repeat, so that no repeat writes over the last one's files.
void clearOutput(const QString &folder);

struct Timing
{
    std::vector<double> perPhoto; // seconds, one per photo and repeat
    std::vector<double> walls;    // seconds, one per repeat
    // Processor seconds per photo, one per repeat: on a machine shared with other work, the
    // figure that other work disturbs least.
    std::vector<double> processorPerPhoto;
    // Where a photo's time went, step by step, in the order the steps run.
    QList<std::pair<QString, std::vector<double>>> steps;

    // Around each repeat: its wall time and the processor time spent, by this process or by the
    // programs it ran.
    void beginRepeat(int whose)
    {
        m_whose = whose;
        m_processor = processorSeconds(whose);
        m_wall.start();
    }
    void endRepeat(int photos)
    {
        walls.push_back(seconds(m_wall));
        processorPerPhoto.push_back((processorSeconds(m_whose) - m_processor) / photos);
    }

    void addStep(const QString &name, double time)
    {
        for (auto &step : steps) {
            if (step.first == name) {
                step.second.push_back(time);
                return;
            }
        }
        steps.append({name, {time}});
    }

private:
    QElapsedTimer m_wall;
    double m_processor = 0.0;
    int m_whose = RUSAGE_SELF;
};
// The steps of a photo timed one after another in processor seconds, and the photo's own wall
// time alongside.
class Laps
{
public:
    Laps()
        : m_previous(processSeconds())
    {
        m_wall.start();
    }
    // Processor seconds since the previous lap, or the start.
    double lap()
    {
        const double now = processSeconds();
        const double time = now - m_previous;
        m_previous = now;
        return time;
    }
    double wall() const { return seconds(m_wall); }

private:
    QElapsedTimer m_wall;
    double m_previous;
};
// libjpeg-turbo alone, the floor the engine is measured against.
Timing runFloor(const RunSettings &run);
// The engine as the wizard and the command-line tool drive it.
Timing runEngine(const RunSettings &run);
// The same job by vips or ImageMagick, one process per photo.
Timing runExternalTool(const RunSettings &run);

// Runs the configuration `run` names and prints what it measured; answers the exit status.
int runChild(const RunSettings &run);

} // namespace inkveil::bench
