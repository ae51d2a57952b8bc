// SPDX-FileCopyrightText: 2026 Tessaly
// SPDX-License-Identifier: GPL-3.0-or-later

#include "mark/MarkSearch.h"

#include "base/Printable.h"
#include "sources/FileGathering.h"

#include <QDir>
#include <QFileInfo>
#include <QtConcurrent/QtConcurrentRun>

#include <algorithm>
#include <cmath>

namespace inkveil {

MarkSearch::MarkSearch(QObject *parent)
    : QObject(parent)
{
    m_pool.setMaxThreadCount(1);
    connect(&m_watcher, &QFutureWatcherBase::finished, this, &MarkSearch::finish);
}

MarkSearch::~MarkSearch()
{
    m_watcher.disconnect(this);
    m_waiting.clear();
    m_watcher.waitForFinished();
}

void MarkSearch::setKey(const MarkKey &key)
{
    m_detector = std::make_shared<const MarkDetector>(key);
}

void MarkSearch::look(const QStringList &paths)
{
    m_waiting.append(paths);
    if (!m_watcher.isRunning())
        startNext();
}

void MarkSearch::startNext()
{
    if (m_waiting.isEmpty() || !m_detector)
        return;
    // The task holds its own detector and path, so nothing it reads goes away under it.
    std::shared_ptr<const MarkDetector> detector = m_detector;
    const QString path = m_waiting.takeFirst();
    m_watcher.setFuture(QtConcurrent::run(&m_pool, [detector, path] {
        const Result<MarkFinding> finding = detector->findInFile(path);
        return Told{outcome(finding), confidence(finding)};
    }));
}

void MarkSearch::finish()
{
    const Told told = m_watcher.result();
    Q_EMIT looked(m_started++, told.outcome, told.confidence);
    startNext();
}

QString MarkSearch::outcome(const Result<MarkFinding> &finding)
{
    if (!finding)
        return QStringLiteral("can't be read: %1").arg(printable(finding.reason()));
    if (!finding->found)
        return QStringLiteral("no mark");
    return QStringLiteral("mark %1 serial %2")
        .arg(finding->payload.id)
        .arg(finding->payload.serial);
}

QString MarkSearch::line(const QString &path, const QString &outcome)
{
    return QStringLiteral("%1: %2").arg(printable(QFileInfo(path).fileName()), outcome);
}

QString MarkSearch::confidence(const Result<MarkFinding> &finding)
{
    if (!finding || !finding->found)
        return {};
    return QStringLiteral("%1 %").arg(std::lround(finding->confidence * 100));
}

QStringList MarkSearch::photosIn(const QStringList &paths)
{
    QStringList photos;
    for (const QString &path : paths) {
        const QFileInfo info(path);
        if (!info.isDir()) {
            photos.append(path);
            continue;
        }
        QStringList names = QDir(path).entryList(QDir::Files);
        std::sort(names.begin(), names.end(), &FileGathering::naturalLess);
        for (const QString &name : std::as_const(names)) {
            if (FileGathering::isSupportedFormat(QFileInfo(name).suffix()))
                photos.append(QDir(path).filePath(name));
        }
    }
    return photos;
}

} // namespace inkveil
