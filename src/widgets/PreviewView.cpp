// SPDX-FileCopyrightText: 2026 Tessaly
// SPDX-License-Identifier: GPL-3.0-or-later

#include "widgets/PreviewView.h"

#include "render/PreviewGeometry.h"
#include "render/PreviewRenderer.h"

#include <QPainter>

namespace inkveil {

PreviewView::PreviewView(QWidget *parent)
    : QWidget(parent)
    , m_renderer(new PreviewRenderer(this))
{
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
        m_renderer->setDisplaySize(size() * devicePixelRatio());
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
    m_renderer->setDisplaySize(size() * devicePixelRatio());
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
    return {400, 300};
}

void PreviewView::paintEvent(QPaintEvent * /*event*/)
{
    const QImage rendered = m_renderer->renderedImage();
    const QImage shown = m_renderer->displayImage();
    if (const QString words = message(); !words.isEmpty()) {
        // An empty view would leave the user guessing why nothing shows.
        QPainter painter(this);
        painter.setPen(palette().color(QPalette::WindowText));
        painter.drawText(rect(), Qt::AlignCenter | Qt::TextWordWrap, words);
        return;
    }
    if (rendered.isNull() || shown.isNull())
        return;
    const FloatRect fitted = PreviewGeometry::fitRect(
        {static_cast<float>(rendered.width()), static_cast<float>(rendered.height())},
        {static_cast<float>(width()), static_cast<float>(height())});
    QPainter painter(this);
    // The display image was made for the size the view had when the render started; after a
    // resize it is stretched until the next render arrives.
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawImage(
        QRectF(static_cast<double>(fitted.origin.x), static_cast<double>(fitted.origin.y),
               static_cast<double>(fitted.size.width), static_cast<double>(fitted.size.height)),
        shown);
}

void PreviewView::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    redraw();
}

} // namespace inkveil
