#include "batch/BatchTally.h"

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
}

QString BatchTally::closingLine(bool stopped) const
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
