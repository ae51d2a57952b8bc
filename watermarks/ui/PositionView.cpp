#include "watermarks/ui/PositionView.h"

#include "app/ui/UiLoader.h"

#include <QMouseEvent>
#include <QPainter>
#include <QTransform>

#include <array>

namespace {

// The grid is laid out with the origin at the view's lower left corner and y growing upward:
// cells are 7 x 7 with their lower left corners at 3, 12 and 21 on each axis.
constexpr qreal CellSize = 7;
constexpr std::array<qreal, 3> CellStarts{3, 12, 21};
// The grid with its margin: (3, 3) to (28, 28) plus 3 more.
constexpr int GridExtent = 31;

// The one conversion between the grid's y-up coordinates and the widget's y-down ones. It is its
// own inverse, so it maps both ways.
QTransform flipped(qreal viewHeight)
{
    return QTransform(1, 0, 0, -1, 0, viewHeight);
}

QRectF cellRect(int cell)
{
    return {CellStarts[static_cast<size_t>(cell % 3)], CellStarts[static_cast<size_t>(cell / 3)],
            CellSize, CellSize};
}

// A one-pixel frame just inside the rectangle, drawn as four fills so that it covers whole
// pixels.
void frameRect(QPainter &painter, const QRectF &rect, const QColor &colour)
{
    painter.fillRect(QRectF(rect.left(), rect.top(), rect.width(), 1), colour);
    painter.fillRect(QRectF(rect.left(), rect.bottom() - 1, rect.width(), 1), colour);
    painter.fillRect(QRectF(rect.left(), rect.top(), 1, rect.height()), colour);
    painter.fillRect(QRectF(rect.right() - 1, rect.top(), 1, rect.height()), colour);
}

} // namespace

PositionView::PositionView(QWidget *parent)
    : QWidget(parent)
{}

void PositionView::registerWithLoader()
{
    UiLoader::registerWidget(QStringLiteral("PositionView"),
                             [](QWidget *parent) { return new PositionView(parent); });
}

void PositionView::setPosition(int position)
{
    m_position = position;
    update();
}

int PositionView::hitTest(QPointF point, QSizeF viewSize)
{
    const QPointF up = flipped(viewSize.height()).map(point);
    for (int cell = 0; cell < 9; ++cell) {
        // Half-open on each axis: a point on a cell's right or top edge lies outside it.
        const QRectF rect = cellRect(cell);
        if (up.x() >= rect.left() && up.x() < rect.right() && up.y() >= rect.top() &&
            up.y() < rect.bottom())
            return cell;
    }
    return -1;
}

QSize PositionView::sizeHint() const
{
    return {GridExtent, GridExtent};
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
    frameRect(painter, bounds, QColor::fromRgbF(0.5f, 0.5f, 0.5f));
    for (int cell = 0; cell < 9; ++cell) {
        const QRectF rect = cellRect(cell);
        painter.fillRect(rect, cell == m_position ? Qt::black : Qt::white);
        frameRect(painter, rect, Qt::black);
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
    if (cell >= 0)
        m_position = cell;
    update();
    Q_EMIT positionChosen(m_position);
}
