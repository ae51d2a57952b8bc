// SPDX-FileCopyrightText: 2026 Tessaly
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

// What every part of inkveil-bench shares: the photos' and outputs' settings, its output streams,
// ending on a failure, and the clocks and counters it measures with.

#include <QElapsedTimer>
#include <QString>
#include <QTextStream>

#include <csignal>
#include <functional>
#include <vector>

namespace inkveil::bench {

// A 24-megapixel camera frame, 3:2.
constexpr int PhotoWidth = 6000;
constexpr int PhotoHeight = 4000;
constexpr int SourceQuality = 92;
constexpr int OutputQuality = 90;
constexpr int FitWidth = 640;
constexpr int FitHeight = 480;
// One decoded photo as the engine holds it (4 bytes a pixel).
constexpr qint64 DecodedPhotoBytes = qint64(PhotoWidth) * PhotoHeight * 4;
constexpr int MemoryCheckSmall = 12;
constexpr int MemoryCheckLarge = 48;
constexpr int MemoryCheckWorkers = 2;

QTextStream &out();
QTextStream &err();

// The benchmark's temporary folder: a failure ends the program without unwinding, so it is
// removed by die() rather than by its owner's destructor.
QString &temporaryFolder();
[[noreturn]] void die(const QString &message);

// Ctrl-C stops the configuration being measured (a child process, in the same process group);
// the benchmark itself lives on until that child has ended, to remove its files.
extern volatile std::sig_atomic_t interrupted;
void noteInterrupt(int);

// Runs `work` on this thread and on threads - 1 others at once, and waits for all.
void onThreads(int threads, const std::function<void()> &work);

double median(std::vector<double> values);
double seconds(const QElapsedTimer &timer);

// Peak memory, and processor time (user + system), of this process (RUSAGE_SELF) or of the
// programs it ran and waited for (RUSAGE_CHILDREN).
long peakKiB(int whose);
double processorSeconds(int whose);

// Processor seconds of the whole process, page faults and the kernel's copying included. Steps
// are timed with it: unlike wall time, it hardly changes when other programs share the machine.
// The whole process and not the calling thread, because Qt hands parts of some image operations
// (smooth scaling, format conversion) to a pool of threads. So a step's time means something
// only while one photo is processed at a time.
double processSeconds();

} // namespace inkveil::bench
