// SPDX-FileCopyrightText: 2026 Tessaly
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "sources/WorkFile.h"
#include "watermarks/Overlay.h"

#include <QImage>
#include <QWidget>

#include <memory>

namespace inkveil {

class PreviewRenderer;

// The live preview of the watermark pane: one source photo with every used watermark drawn on it
// as the batch will write it, scaled down to fit the view and centred; never enlarged. The
// photo is read and drawn at the size shown. Nothing else is painted, so the pane's background
// shows around the photo. Rendering runs off the interface thread; the view keeps showing the
// previous render until the next one is ready.
class PreviewView : public QWidget
{
    Q_OBJECT

public:
    explicit PreviewView(QWidget *parent = nullptr);

    // The photo to show; null shows nothing. Another photo is rendered at once.
    void setFile(const std::shared_ptr<WorkFile> &file);
    // The watermarks to draw, in order. The records stay shared: call redraw() after editing one.
    void setOverlays(const OverlayList &overlays);
    // Asks for a new render. Calls made while one runs collapse into one more render with the
    // state at its start, so the last call is always shown.
    void redraw();
    // The last finished render, at the size shown.
    QImage renderedImage() const;
    // The words shown in place of the photo ("Can't read this photo."), or an empty string.
    QString message() const;

    QSize sizeHint() const override;

Q_SIGNALS:
    // A new render is shown (an empty view when the photo cannot be read).
    void rendered();

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    PreviewRenderer *const m_renderer;
};

} // namespace inkveil
