// SPDX-FileCopyrightText: 2026 Tessaly
// SPDX-License-Identifier: GPL-3.0-or-later

#include "batch/BatchTally.h"

#include "batch/ProgressEstimate.h"

namespace inkveil {

void BatchTally::add(const BatchEngine::FileResult &result)
{
    switch (result.status) {
    case BatchEngine::Status::Written:
        ++m_written;
        break;
    case BatchEngine::Status::Failed:
        ++m_failed;
        break;
    case BatchEngine::Status::Skipped:
        ++m_skipped;
        break;
    }
    if (result.renamed)
        ++m_renamed;
    if (result.shrunk && result.status == BatchEngine::Status::Written)
        ++m_shrunk;
}

QString BatchTally::shrunkNote() const
{
    if (m_shrunk == 0)
        return {};
    return QStringLiteral("text shrunk to fit on %1 %2")
        .arg(m_shrunk)
        .arg(m_shrunk == 1 ? QStringLiteral("photo") : QStringLiteral("photos"));
}

QString BatchTally::closingLine(bool stopped) const
{
    const QString note = shrunkNote();
    if (note.isEmpty())
        return counts(stopped);
    return counts(stopped) + QLatin1Char(' ') + note.at(0).toUpper() + note.mid(1) +
           QLatin1Char('.');
}

QString BatchTally::counts(bool stopped) const
{
    if (!stopped)
        return QStringLiteral("%1 written, %2 failed, %3 skipped.")
            .arg(m_written)
            .arg(m_failed)
            .arg(m_skipped);
    QString counts = QStringLiteral("%1 written").arg(m_written);
    if (m_failed > 0)
        counts += QStringLiteral(", %1 failed").arg(m_failed);
    if (m_skipped > 0)
        counts += QStringLiteral(", %1 skipped").arg(m_skipped);
    return QStringLiteral("Stopped after %1 of %2: %3.").arg(done()).arg(m_total).arg(counts);
}

QString BatchTally::closingLine(bool stopped, qint64 elapsedMs) const
{
    QString line = counts(stopped);
    line.chop(1); // the full stop
    const qint64 ms = std::max<qint64>(elapsedMs, 1);
    line = QStringLiteral("%1 in %2, %3")
               .arg(line, elapsedText(elapsedMs),
                    ProgressEstimate::speedText(done() * 1000.0 / static_cast<double>(ms)));
    if (const QString note = shrunkNote(); !note.isEmpty())
        line += QStringLiteral("; ") + note;
    return line;
}

QString BatchTally::elapsedText(qint64 elapsedMs)
{
    const qint64 ms = std::max<qint64>(elapsedMs, 0);
    if (ms < 59950)
        return QStringLiteral("%1 s").arg(
            QString::number(static_cast<double>(ms) / 1000.0, 'f', 1));
    const qint64 seconds = (ms + 500) / 1000;
    if (seconds < 3600)
        return QStringLiteral("%1 min %2 s")
            .arg(seconds / 60)
            .arg(seconds % 60, 2, 10, QLatin1Char('0'));
    const qint64 minutes = (seconds + 30) / 60;
    return QStringLiteral("%1 h %2 min")
        .arg(minutes / 60)
        .arg(minutes % 60, 2, 10, QLatin1Char('0'));
}

} // namespace inkveil
