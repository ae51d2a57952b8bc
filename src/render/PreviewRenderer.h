// SPDX-FileCopyrightText: 2026 Tessaly
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "base/FloatGeometry.h"
#include "sources/WorkFile.h"
#include "watermarks/Overlay.h"

#include <QFutureWatcher>
#include <QImage>
#include <QObject>
#include <QSize>
#include <QThreadPool>

#include <memory>

namespace inkveil {

// Renders one photo with its watermarks for a live preview, off the interface thread. The photo
// is read at the size the display box shows it, and the Stamper places and sizes the watermarks
// on its full size and draws them shrunk onto it, as the batch does for a photo written small:
// the view equals the full-size output scaled to the view, at the cost of the shown size only.
// The photo as read is kept until another photo is set or the box needs another size.
//
// Renders run one at a time. Requests made while one runs collapse into a single follow-up that
// renders the state of the moment it starts, so the last request is never lost. The worker gets
// copies of the photo's record and of the watermarks, taken when its render starts: the records
// the editors write into are never read off the interface thread. Lives on the interface thread.
class PreviewRenderer : public QObject
{
    Q_OBJECT

public:
    explicit PreviewRenderer(QObject *parent = nullptr);
    // Asks a running render to stop early, then waits for it.
    ~PreviewRenderer() override;

    std::shared_ptr<WorkFile> file() const { return m_file; }
    // Another photo: renders it. Null shows nothing at once. The record already held does nothing.
    // The photo is read again only when its path differs from the one read last.
    void setFile(const std::shared_ptr<WorkFile> &file);
    // The watermarks to draw, in order; the records stay shared, so edits show at the next render.
    void setOverlays(const OverlayList &overlays) { m_overlays = overlays; }
    // The box, in device pixels, that the display image is fitted into.
    void setDisplaySize(QSize size) { m_displaySize = size; }

    // Asks for a render of the current state (nothing without a photo).
    void render();

    // The last finished render, at the size the display box shows the photo (its full size when
    // the box is empty); null when there is none or the photo cannot be read.
    QImage renderedImage() const { return m_rendered; }
    // The same fitted into the display box as it was when the render started; null when that
    // box was empty.
    QImage displayImage() const { return m_display; }
    // A render runs, or a canvas is being made ahead of the next one.
    bool isBusy() const { return m_task != nullptr; }
    // The last render of the current photo found that it cannot be read.
    bool isUnreadable() const { return m_unreadable; }
    // The current photo's full pixel size, and where each watermark went on it (as the Stamper
    // reports, in full-size pixels, y-up), as of the last finished render.
    QSize photoPixelSize() const { return m_photoPixelSize; }
    QList<FloatRect> placements() const { return m_placements; }
    // How many times a photo has been read from its file.
    int decodeCount() const { return m_decodeCount; }

Q_SIGNALS:
    // A render of the current photo has finished and is available.
    void rendered();

private:
    struct Workspace;
    struct Task;

    void start(bool spareOnly = false);
    void finish();
    void recycle(QImage canvas);
    static void run(Task &task);

    std::shared_ptr<WorkFile> m_file;
    OverlayList m_overlays;
    QSize m_displaySize;
    // Changes with every photo, so that a render of the previous one is not shown.
    quint64 m_fileSerial = 0;
    // The decoded photo and its canvases: here between renders, with the running task during one.
    std::unique_ptr<Workspace> m_workspace;
    std::shared_ptr<Task> m_task;
    bool m_pending = false;
    QImage m_rendered;
    QImage m_display;
    int m_decodeCount = 0;
    QSize m_photoPixelSize;
    QList<FloatRect> m_placements;
    bool m_unreadable = false;
    // A pool of its own, so that a render never waits behind other work; Qt's image scaling
    // spreads over the global pool.
    QThreadPool m_pool;
    QFutureWatcher<void> m_watcher;
};

} // namespace inkveil
