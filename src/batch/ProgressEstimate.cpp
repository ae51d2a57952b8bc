// SPDX-FileCopyrightText: 2026 Tessaly
// SPDX-License-Identifier: GPL-3.0-or-later

#include "batch/ProgressEstimate.h"

#include <cmath>

namespace inkveil {

void ProgressEstimate::update(int done, qint64 elapsedMs)
{
    m_done = done;
    m_elapsedMs = elapsedMs;
}

double ProgressEstimate::photosPerSecond() const
{
    if (m_done <= 0 || m_elapsedMs <= 0)
        return 0;
    return m_done * 1000.0 / static_cast<double>(m_elapsedMs);
}

qint64 ProgressEstimate::remainingSeconds() const
{
    const double rate = photosPerSecond();
    if (rate <= 0)
        return -1;
    const int left = std::max(0, m_total - m_done);
    return static_cast<qint64>(std::ceil(left / rate));
}

QString ProgressEstimate::text() const
{
    const double rate = photosPerSecond();
    if (rate <= 0)
        return {};
    const QString perSecond = speedText(rate);
    if (m_done >= m_total)
        return perSecond;
    return QStringLiteral("%1, about %2 left").arg(perSecond, durationText(remainingSeconds()));
}

QString ProgressEstimate::durationText(qint64 seconds)
{
    if (seconds < 60)
        return QStringLiteral("%1 s").arg(std::max<qint64>(seconds, 0));
    const qint64 minutes = (seconds + 59) / 60;
    if (minutes < 60)
        return QStringLiteral("%1 min").arg(minutes);
    return QStringLiteral("%1 h %2 min")
        .arg(minutes / 60)
        .arg(minutes % 60, 2, 10, QLatin1Char('0'));
}

QString ProgressEstimate::speedText(double photosPerSecond)
{
    // One decimal below ten photos a second, where it still tells something.
    const QString speed = photosPerSecond < 10 ? QString::number(photosPerSecond, 'f', 1)
                                               : QString::number(qRound64(photosPerSecond));
    return QStringLiteral("%1 photos/s").arg(speed);
}

} // namespace inkveil
