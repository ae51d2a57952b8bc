// SPDX-FileCopyrightText: 2026 Tessaly
// SPDX-License-Identifier: GPL-3.0-or-later

#include "widgets/PositionView.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QTransform>

#include <algorithm>
#include <array>

namespace inkveil {

namespace {

// The grid is laid out with the origin at the view's lower left corner and y growing upward:
// at scale 1, cells are 7 x 7 with their lower left corners at 3, 12 and 21 on each axis.
constexpr qreal CellSize = 7;
constexpr std::array<qreal, 3> CellStarts{3, 12, 21};
// The grid with its margin: (3, 3) to (28, 28) plus 3 more.
constexpr int GridExtent = 31;
// The view asks for the grid at three times its design size: 93 x 93 pixels.
constexpr int PreferredScale = 3;

// The one conversion between the grid's y-up coordinates and the widget's y-down ones. It is its
// own inverse, so it maps both ways.
QTransform flipped(qreal viewHeight)
{
    return QTransform(1, 0, 0, -1, 0, viewHeight);
}

QRectF cellRect(int cell, int scale)
{
    return {CellStarts[static_cast<size_t>(cell % 3)] * scale,
            CellStarts[static_cast<size_t>(cell / 3)] * scale, CellSize * scale, CellSize * scale};
}

// A frame of the given width just inside the rectangle, drawn as four fills so that it covers
// whole pixels.
void frameRect(QPainter &painter, const QRectF &rect, const QColor &colour, qreal width = 1)
{
    painter.fillRect(QRectF(rect.left(), rect.top(), rect.width(), width), colour);
    painter.fillRect(QRectF(rect.left(), rect.bottom() - width, rect.width(), width), colour);
    painter.fillRect(QRectF(rect.left(), rect.top(), width, rect.height()), colour);
    painter.fillRect(QRectF(rect.right() - width, rect.top(), width, rect.height()), colour);
}

} // namespace

PositionView::PositionView(QWidget *parent)
    : QWidget(parent)
{
    setFocusPolicy(Qt::StrongFocus);
}

void PositionView::setPosition(int position)
{
    m_position = position;
    update();
}

void PositionView::setChoosingAllowed(bool on)
{
    m_choosingAllowed = on;
    update();
}

void PositionView::setAllowed(const QList<int> &positions)
{
    m_allowed = positions;
    update();
}

int PositionView::scaleFor(QSizeF viewSize)
{
    const qreal edge = std::min(viewSize.width(), viewSize.height());
    return std::max(1, static_cast<int>(edge) / GridExtent);
}

int PositionView::hitTest(QPointF point, QSizeF viewSize)
{
    const QPointF up = flipped(viewSize.height()).map(point);
    const int scale = scaleFor(viewSize);
    for (int cell = 0; cell < 9; ++cell) {
        // Half-open on each axis: a point on a cell's right or top edge lies outside it.
        const QRectF rect = cellRect(cell, scale);
        if (up.x() >= rect.left() && up.x() < rect.right() && up.y() >= rect.top() &&
            up.y() < rect.bottom())
            return cell;
    }
    return -1;
}

QSize PositionView::sizeHint() const
{
    return {GridExtent * PreferredScale, GridExtent * PreferredScale};
}

QSize PositionView::minimumSizeHint() const
{
    return sizeHint();
}

void PositionView::paintEvent(QPaintEvent * /*event*/)
{
    QPainter painter(this);
    painter.save();
    painter.setTransform(flipped(height()));
    const QRectF bounds(0, 0, width(), height());
    painter.fillRect(bounds, Qt::white);
    painter.fillRect(QRectF(0, 0, bounds.width(), bounds.height() * 0.5),
                     QColor::fromRgbF(0.95f, 0.95f, 0.95f, 1.0f));
    // With the keyboard focus the border takes the highlight colour, so that the arrow keys
    // visibly act here.
    const int scale = scaleFor(size());
    if (hasFocus())
        frameRect(painter, bounds, palette().color(QPalette::Highlight), 2);
    else
        frameRect(painter, bounds, QColor::fromRgbF(0.5f, 0.5f, 0.5f));
    for (int cell = 0; cell < 9; ++cell) {
        const QRectF rect = cellRect(cell, scale);
        QColor fill = cell == m_position ? Qt::black : Qt::white;
        if (m_choosingAllowed)
            fill = m_allowed.value(0, -1) == cell ? Qt::black
                   : m_allowed.contains(cell)     ? Qt::gray
                                                  : Qt::white;
        painter.fillRect(rect, fill);
        frameRect(painter, rect, Qt::black, scale);
    }
    painter.restore();
}

void PositionView::mousePressEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton) {
        QWidget::mousePressEvent(event);
        return;
    }
    // A click names a pixel: test its centre, so that a click hits exactly the pixels drawn as a
    // cell.
    const int cell = hitTest(event->position() + QPointF(0.5, 0.5), size());
    if (m_choosingAllowed) {
        if (cell >= 0 && !m_allowed.contains(cell))
            m_allowed.append(cell);
        else if (cell >= 0 && m_allowed.size() > 1)
            m_allowed.removeOne(cell);
    } else if (cell >= 0) {
        m_position = cell;
    }
    update();
    Q_EMIT positionChosen(m_position);
}

void PositionView::keyPressEvent(QKeyEvent *event)
{
    if (m_choosingAllowed) {
        QWidget::keyPressEvent(event);
        return;
    }
    // Rows count from the bottom: Up moves to a higher row.
    int column = 0, row = 0;
    switch (event->key()) {
    case Qt::Key_Left:
        column = -1;
        break;
    case Qt::Key_Right:
        column = 1;
        break;
    case Qt::Key_Up:
        row = 1;
        break;
    case Qt::Key_Down:
        row = -1;
        break;
    default:
        QWidget::keyPressEvent(event);
        return;
    }
    event->accept();
    // From no cell at all the keys start in the middle.
    const int from = m_position >= 0 && m_position < 9 ? m_position : 4;
    const int to = std::clamp(from / 3 + row, 0, 2) * 3 + std::clamp(from % 3 + column, 0, 2);
    if (to == m_position)
        return;
    m_position = to;
    update();
    Q_EMIT positionChosen(m_position);
}

} // namespace inkveil
