// SPDX-FileCopyrightText: 2026 Tessaly
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QList>
#include <QPointF>
#include <QSizeF>
#include <QWidget>

namespace inkveil {

// The anchor position picker: a 3 x 3 grid of small cells, one per anchor position, numbered as
// the renderer places watermarks (column = position % 3 from the left, row = position / 3 from
// the bottom). The chosen cell is filled black. The grid sits at the view's lower left corner,
// drawn at the largest whole multiple of its 31-pixel design that fits the view (three times
// at the view's preferred size, so that it is easy to hit); the lower half of the view is
// tinted. The arrow keys move the chosen cell.
class PositionView : public QWidget
{
    Q_OBJECT

public:
    explicit PositionView(QWidget *parent = nullptr);

    int position() const { return m_position; }
    // Shows a position; one outside 0 to 8 fills no cell. Sends no signal.
    void setPosition(int position);

    // With automatic placement the grid shows the positions the watermark may take instead:
    // a click adds a cell at the end of the list or takes it out (one always stays), and the
    // first, which wins ties, is filled black, the others grey.
    bool choosingAllowed() const { return m_choosingAllowed; }
    void setChoosingAllowed(bool on);
    QList<int> allowed() const { return m_allowed; }
    void setAllowed(const QList<int> &positions);

    // The cell under a point in widget coordinates (y down) of a view of the given size, or -1
    // between and outside the cells.
    static int hitTest(QPointF point, QSizeF viewSize);
    // How many times the 31-pixel grid is enlarged in a view of that size (at least once).
    static int scaleFor(QSizeF viewSize);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

Q_SIGNALS:
    // Sent after every click, whether or not it hit a cell: the pane writes all its values back
    // at each click. Carries the position now shown.
    void positionChosen(int position);

protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    int m_position = 1;
    bool m_choosingAllowed = false;
    QList<int> m_allowed;
};

} // namespace inkveil
