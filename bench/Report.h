// SPDX-FileCopyrightText: 2026 Tessaly
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

// The benchmark's report: the machine, a table of every configuration, where a photo's time goes,
// and each target met or not.

#include "Benchmark.h"

#include <QList>

namespace inkveil::bench {

void printReport(const QList<Measurement> &rows, const Settings &settings, int allWorkers,
                 qint64 averageBytes);

} // namespace inkveil::bench
