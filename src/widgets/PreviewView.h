// SPDX-FileCopyrightText: 2026 Tessaly
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "base/FloatGeometry.h"
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
//
// The wheel zooms in and out (down to fitting the view again); dragging with the middle or
// right button pans a zoomed photo. Dragging with the left button, or the arrow keys (Shift for
// bigger steps), move the selected watermark: the view reports by how much, the pane moves it.
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

    // 0 fits the photo into the view; otherwise device pixels per photo pixel (1 is 100 %),
    // at most MaxZoom. A zoom no larger than fitting fits.
    float zoom() const { return m_zoom; }
    void setZoom(float zoom);
    static constexpr float MaxZoom = 8.0f;
    // The device pixels per photo pixel shown now; 0 before the first render.
    float shownScale() const;
    // Where the photo is drawn in the view, as of the last render.
    QRectF photoRect() const;
    // The photo's full pixel size and where each watermark went on it (full-size pixels, y-up),
    // as of the last render.
    QSize photoPixelSize() const;
    QList<FloatRect> placements() const;
    // What one arrow key moves the watermark by, in percent of the photo; Shift moves ten times.
    static constexpr double NudgeStep = 0.5;

public Q_SLOTS:
    void zoomToFit() { setZoom(0.0f); }
    void zoomToActualSize() { setZoom(1.0f); }

Q_SIGNALS:
    // A new render is shown (an empty view when the photo cannot be read).
    void rendered();
    void zoomChanged();
    // The user moves the selected watermark by this much, in percent of the photo's width and
    // height, rightward and downward.
    void watermarkMoved(QPointF percent);
    // A drag or a nudge is over: the watermark stays where it was moved to.
    void watermarkPlaced();
    // The user pressed on the watermark of this index in the list (the topmost where several
    // overlap): the one a drag then moves.
    void watermarkPressed(int index);

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void wheelEvent(QWheelEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    // The index of the topmost watermark drawn under a point of the view; -1 for none.
    int watermarkAt(QPointF point) const;
    // The box the renderer fits the photo into: the view, or the photo at the zoom.
    QSize renderBox() const;
    // The device pixels per photo pixel at which the whole photo shows.
    float fitScale() const;

    PreviewRenderer *const m_renderer;
    float m_zoom = 0.0f;
    // The point of the photo (in fractions of its size) at the view's centre when zoomed.
    QPointF m_centre{0.5, 0.5};
    // The button of a drag in progress, and where the pointer was last.
    Qt::MouseButton m_dragButton = Qt::NoButton;
    QPointF m_lastPointer;
    bool m_moved = false;
};

} // namespace inkveil
