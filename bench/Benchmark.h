// SPDX-FileCopyrightText: 2026 Tessaly
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

// The whole benchmark: the photos generated once, each configuration measured in a child
// process, and the report.

#include <QString>

namespace inkveil::bench {

struct Configuration
{
    QString label;
    QString kind;
    int workers = 1;
    bool fit = false;
    int count = 0;
    QString tool;
    bool png = false;
};

struct Measurement
{
    Configuration configuration;
    double perPhoto = 0.0;
    double wall = 0.0;
    double processorPerPhoto = 0.0;
    long peakKiB = 0;
    qint64 outputBytes = 0;
    QString steps;
};

struct Settings
{
    int photos = 12;
    int repeat = 3;
    int workers = 0; // all
    bool memoryCheck = false;
    bool tools = true;
    QString vips;
    QString imageMagick;
};

// Answers the exit status.
int runBenchmark(const Settings &settings);

} // namespace inkveil::bench
