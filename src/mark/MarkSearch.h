// SPDX-FileCopyrightText: 2026 Tessaly
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "base/Result.h"
#include "mark/MarkDetector.h"

#include <QFutureWatcher>
#include <QObject>
#include <QStringList>
#include <QThreadPool>

#include <memory>

namespace inkveil {

// Looks for the mark in photos one at a time, off the interface thread, and tells what it found
// in each as it is done; photos handed over while it works wait their turn. Destroying it drops
// the photos waiting and waits for the one being read.
class MarkSearch : public QObject
{
    Q_OBJECT

public:
    explicit MarkSearch(QObject *parent = nullptr);
    ~MarkSearch() override;

    // The key the photos not yet started are looked at with.
    void setKey(const MarkKey &key);
    // Queues the photos; they are told of by their place in all the photos ever queued.
    void look(const QStringList &paths);
    bool isBusy() const { return m_watcher.isRunning() || !m_waiting.isEmpty(); }

    // What is said of a photo: "mark N serial S", "no mark" or "can't be read: REASON".
    static QString outcome(const Result<MarkFinding> &finding);
    // The line for a photo, its file name and its outcome: "NAME: no mark".
    static QString line(const QString &path, const QString &outcome);
    // How sure a mark found is, "98 %"; empty when none was found.
    static QString confidence(const Result<MarkFinding> &finding);
    // The photos that dropped or chosen paths stand for: a file as it is (to be told if it is
    // no picture), a folder's image files in name order, not those of its sub-folders.
    static QStringList photosIn(const QStringList &paths);

Q_SIGNALS:
    void looked(qsizetype index, const QString &outcome, const QString &confidence);

private:
    struct Told
    {
        QString outcome;
        QString confidence;
    };
    void startNext();
    void finish();

    std::shared_ptr<const MarkDetector> m_detector;
    QStringList m_waiting;
    qsizetype m_started = 0;
    QThreadPool m_pool;
    QFutureWatcher<Told> m_watcher;
};

} // namespace inkveil
