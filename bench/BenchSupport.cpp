// SPDX-FileCopyrightText: 2026 Tessaly
// SPDX-License-Identifier: GPL-3.0-or-later

#include "BenchSupport.h"

#include <QDir>

#include <sys/resource.h>
#include <time.h>

#include <algorithm>
#include <cstdlib>
#include <thread>

namespace inkveil::bench {

QTextStream &out()
{
    static QTextStream stream(stdout);
    return stream;
}

QTextStream &err()
{
    static QTextStream stream(stderr);
    return stream;
}

QString &temporaryFolder()
{
    static QString folder;
    return folder;
}

[[noreturn]] void die(const QString &message)
{
    err() << "inkveil-bench: " << message << Qt::endl;
    if (!temporaryFolder().isEmpty())
        QDir(temporaryFolder()).removeRecursively();
    std::exit(1);
}

volatile std::sig_atomic_t interrupted = 0;

void noteInterrupt(int)
{
    interrupted = 1;
}

void onThreads(const int threads, const std::function<void()> &work)
{
    std::vector<std::thread> helpers;
    for (int i = 1; i < threads; ++i)
        helpers.emplace_back(work);
    work();
    for (std::thread &helper : helpers)
        helper.join();
}

double median(std::vector<double> values)
{
    if (values.empty())
        return 0.0;
    std::sort(values.begin(), values.end());
    const size_t middle = values.size() / 2;
    return values.size() % 2 ? values[middle] : (values[middle - 1] + values[middle]) / 2.0;
}

double seconds(const QElapsedTimer &timer)
{
    return static_cast<double>(timer.nsecsElapsed()) / 1e9;
}

long peakKiB(const int whose)
{
    rusage usage{};
    getrusage(whose, &usage);
    return usage.ru_maxrss;
}

double processorSeconds(const int whose)
{
    rusage usage{};
    getrusage(whose, &usage);
    const auto toSeconds = [](const timeval &time) {
        return static_cast<double>(time.tv_sec) + static_cast<double>(time.tv_usec) / 1e6;
    };
    return toSeconds(usage.ru_utime) + toSeconds(usage.ru_stime);
}

double processSeconds()
{
    timespec time{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &time);
    return static_cast<double>(time.tv_sec) + static_cast<double>(time.tv_nsec) / 1e9;
}

} // namespace inkveil::bench
