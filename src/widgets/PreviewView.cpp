// SPDX-FileCopyrightText: 2026 Tessaly
// SPDX-License-Identifier: GPL-3.0-or-later

#include "widgets/PreviewView.h"

#include "render/PreviewGeometry.h"
#include "render/PreviewRenderer.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QWheelEvent>

#include <algorithm>
#include <cmath>

namespace inkveil {

PreviewView::PreviewView(QWidget *parent)
    : QWidget(parent)
    , m_renderer(new PreviewRenderer(this))
{
    // Arrow keys nudge the watermark once the view has been clicked or tabbed to.
    setFocusPolicy(Qt::StrongFocus);
    connect(m_renderer, &PreviewRenderer::rendered, this, [this] {
        update();
        Q_EMIT rendered();
    });
}

void PreviewView::setFile(const std::shared_ptr<WorkFile> &file)
{
    if (file == m_renderer->file())
        return;
    if (file)
        m_renderer->setDisplaySize(renderBox());
    m_renderer->setFile(file);
    if (!file)
        update();
}

void PreviewView::setOverlays(const OverlayList &overlays)
{
    m_renderer->setOverlays(overlays);
}

void PreviewView::redraw()
{
    m_renderer->setDisplaySize(renderBox());
    m_renderer->render();
}

QImage PreviewView::renderedImage() const
{
    return m_renderer->renderedImage();
}

QString PreviewView::message() const
{
    return m_renderer->isUnreadable() ? QStringLiteral("Can't read this photo.") : QString();
}

QSize PreviewView::sizeHint() const
{
    // No more than its minimum: beside the editors it takes whatever width they leave.
    return {200, 150};
}

void PreviewView::paintEvent(QPaintEvent * /*event*/)
{
    QPainter painter(this);
    if (const QString words = message(); !words.isEmpty()) {
        // An empty view would leave the user guessing why nothing shows.
        painter.setPen(palette().color(QPalette::WindowText));
        painter.drawText(rect(), Qt::AlignCenter | Qt::TextWordWrap, words);
        return;
    }
    const QImage shown = m_renderer->displayImage();
    if (m_renderer->renderedImage().isNull() || shown.isNull())
        return;
    // The display image was made for the size the view had when the render started; after a
    // resize it is stretched until the next render arrives.
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawImage(photoRect(), shown);
    if (hasFocus()) {
        // Shows that the arrow keys now move the watermark.
        painter.setPen(QPen(palette().color(QPalette::Highlight), 2));
        painter.drawRect(rect().adjusted(1, 1, -1, -1));
    }
}

QRectF PreviewView::photoRect() const
{
    const QImage rendered = m_renderer->renderedImage();
    const QSize pixels = m_renderer->photoPixelSize();
    if (rendered.isNull())
        return {};
    if (m_zoom <= 0.0f || pixels.isEmpty()) {
        const FloatRect fitted = PreviewGeometry::fitRect(
            {static_cast<float>(rendered.width()), static_cast<float>(rendered.height())},
            {static_cast<float>(width()), static_cast<float>(height())});
        return {static_cast<double>(fitted.origin.x), static_cast<double>(fitted.origin.y),
                static_cast<double>(fitted.size.width), static_cast<double>(fitted.size.height)};
    }
    const QSizeF drawn = QSizeF(pixels) * static_cast<double>(m_zoom) / devicePixelRatioF();
    // Centred where it is smaller than the view; elsewhere the point chosen by panning is at the
    // centre, without showing past the photo's edges.
    const auto place = [](double view, double length, double centre) {
        if (length <= view)
            return (view - length) / 2.0;
        return std::clamp(view / 2.0 - centre * length, view - length, 0.0);
    };
    return {place(width(), drawn.width(), m_centre.x()),
            place(height(), drawn.height(), m_centre.y()), drawn.width(), drawn.height()};
}

float PreviewView::shownScale() const
{
    const QSize pixels = m_renderer->photoPixelSize();
    if (pixels.isEmpty() || m_renderer->renderedImage().isNull())
        return 0.0f;
    return static_cast<float>(photoRect().width() * devicePixelRatioF() / pixels.width());
}

QSize PreviewView::photoPixelSize() const
{
    return m_renderer->photoPixelSize();
}

QList<FloatRect> PreviewView::placements() const
{
    return m_renderer->placements();
}

float PreviewView::fitScale() const
{
    const QSize pixels = m_renderer->photoPixelSize();
    if (pixels.isEmpty())
        return 0.0f;
    const QSizeF view = QSizeF(size()) * devicePixelRatioF();
    return static_cast<float>(
        std::min({view.width() / pixels.width(), view.height() / pixels.height(), 1.0}));
}

QSize PreviewView::renderBox() const
{
    const QSize pixels = m_renderer->photoPixelSize();
    if (m_zoom <= 0.0f || pixels.isEmpty())
        return size() * devicePixelRatio();
    // Never more than the photo itself: beyond 100 % its pixels are only enlarged on screen.
    return (QSizeF(pixels) * static_cast<double>(std::min(m_zoom, 1.0f))).toSize();
}

void PreviewView::setZoom(float zoom)
{
    float wanted = std::min(zoom, MaxZoom);
    // A zoom at which the whole photo shows is what fitting shows.
    if (!(wanted > fitScale()))
        wanted = 0.0f;
    if (wanted == m_zoom)
        return;
    m_zoom = wanted;
    if (m_zoom <= 0.0f)
        m_centre = {0.5, 0.5};
    redraw();
    update();
    Q_EMIT zoomChanged();
}

void PreviewView::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    redraw();
}

void PreviewView::wheelEvent(QWheelEvent *event)
{
    const double steps = event->angleDelta().y() / 120.0;
    const float scale = shownScale();
    if (steps == 0.0 || scale <= 0.0f) {
        event->ignore();
        return;
    }
    // Keeps the point under the pointer where it is, as photo viewers do.
    const QRectF photo = photoRect();
    const QPointF at = event->position();
    const QPointF anchor((at.x() - photo.x()) / photo.width(),
                         (at.y() - photo.y()) / photo.height());
    const float zoom = scale * static_cast<float>(std::pow(1.25, steps));
    const QSizeF drawn = photo.size() * static_cast<double>(zoom / scale);
    m_centre = {anchor.x() + (width() / 2.0 - at.x()) / drawn.width(),
                anchor.y() + (height() / 2.0 - at.y()) / drawn.height()};
    setZoom(zoom);
    update();
    event->accept();
}

void PreviewView::mousePressEvent(QMouseEvent *event)
{
    const bool onPhoto = photoRect().contains(event->position());
    if (m_dragButton != Qt::NoButton || !onPhoto) {
        QWidget::mousePressEvent(event);
        return;
    }
    m_dragButton = event->button();
    m_lastPointer = event->position();
    m_moved = false;
    if (m_dragButton == Qt::LeftButton) {
        if (const int index = watermarkAt(event->position()); index >= 0)
            Q_EMIT watermarkPressed(index);
    }
    setCursor(m_dragButton == Qt::LeftButton ? Qt::SizeAllCursor : Qt::ClosedHandCursor);
    event->accept();
}

int PreviewView::watermarkAt(QPointF point) const
{
    const QRectF photo = photoRect();
    const QSize pixels = m_renderer->photoPixelSize();
    if (photo.isEmpty() || pixels.isEmpty())
        return -1;
    // Placements are in the photo's pixels with y growing upward.
    const double x = (point.x() - photo.x()) / photo.width() * pixels.width();
    const double y = (photo.bottom() - point.y()) / photo.height() * pixels.height();
    const QList<FloatRect> placed = m_renderer->placements();
    for (qsizetype i = placed.size() - 1; i >= 0; --i) {
        const FloatRect &r = placed.at(i);
        if (x >= r.origin.x && x <= r.origin.x + r.size.width && y >= r.origin.y &&
            y <= r.origin.y + r.size.height)
            return static_cast<int>(i);
    }
    return -1;
}

void PreviewView::mouseMoveEvent(QMouseEvent *event)
{
    const QRectF photo = photoRect();
    if (m_dragButton == Qt::NoButton || photo.isEmpty()) {
        QWidget::mouseMoveEvent(event);
        return;
    }
    const QPointF delta = event->position() - m_lastPointer;
    m_lastPointer = event->position();
    if (delta.isNull())
        return;
    if (m_dragButton == Qt::LeftButton) {
        m_moved = true;
        Q_EMIT watermarkMoved(
            {delta.x() * 100.0 / photo.width(), delta.y() * 100.0 / photo.height()});
    } else {
        m_centre -= QPointF(delta.x() / photo.width(), delta.y() / photo.height());
        m_centre = {std::clamp(m_centre.x(), 0.0, 1.0), std::clamp(m_centre.y(), 0.0, 1.0)};
        update();
    }
}

void PreviewView::mouseReleaseEvent(QMouseEvent *event)
{
    if (event->button() != m_dragButton || m_dragButton == Qt::NoButton) {
        QWidget::mouseReleaseEvent(event);
        return;
    }
    const bool placed = m_dragButton == Qt::LeftButton && m_moved;
    m_dragButton = Qt::NoButton;
    unsetCursor();
    if (placed)
        Q_EMIT watermarkPlaced();
}

void PreviewView::keyPressEvent(QKeyEvent *event)
{
    const double step = event->modifiers() & Qt::ShiftModifier ? NudgeStep * 10.0 : NudgeStep;
    QPointF move;
    switch (event->key()) {
    case Qt::Key_Left:
        move = {-step, 0.0};
        break;
    case Qt::Key_Right:
        move = {step, 0.0};
        break;
    case Qt::Key_Up:
        move = {0.0, -step};
        break;
    case Qt::Key_Down:
        move = {0.0, step};
        break;
    default:
        QWidget::keyPressEvent(event);
        return;
    }
    if (m_renderer->renderedImage().isNull())
        return;
    Q_EMIT watermarkMoved(move);
    Q_EMIT watermarkPlaced();
}

} // namespace inkveil
