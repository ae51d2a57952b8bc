// SPDX-FileCopyrightText: 2026 Tessaly
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QString>
#include <QtGlobal>

namespace inkveil {

// How fast a run goes and when it will end, from the photos done so far and the time they
// took: the average since the start, which steadies as the run goes on. The wizard's batch
// pane shows it during a run; it needs no window.
class ProgressEstimate
{
public:
    explicit ProgressEstimate(int total = 0)
        : m_total(total)
    {}

    int total() const { return m_total; }
    int done() const { return m_done; }
    // The photos finished (written or failed) after `elapsedMs` milliseconds of the run.
    void update(int done, qint64 elapsedMs);

    // Photos per second; 0 until a photo is done.
    double photosPerSecond() const;
    // Whole seconds until the last photo is done, rounded up; -1 while unknown.
    qint64 remainingSeconds() const;

    // "2.5 photos/s, about 3 min left"; the rate alone once all photos are done; empty while
    // unknown.
    QString text() const;
    // "45 s", "3 min", "1 h 05 min": minutes and hours rounded up, as a wait is best overstated.
    static QString durationText(qint64 seconds);
    // "4.2 photos/s": one decimal below ten photos a second, whole numbers above.
    static QString speedText(double photosPerSecond);

private:
    int m_total = 0;
    int m_done = 0;
    qint64 m_elapsedMs = 0;
};

} // namespace inkveil
