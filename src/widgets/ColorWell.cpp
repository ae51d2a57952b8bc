// SPDX-FileCopyrightText: 2026 Tessaly
// SPDX-License-Identifier: GPL-3.0-or-later

#include "widgets/ColorWell.h"

#include <QColorDialog>
#include <QPainter>
#include <QStyleOptionButton>

namespace inkveil {

namespace {

QColor askWithDialog(const QColor &current, QWidget *parent, bool alphaShown)
{
    return QColorDialog::getColor(current, parent, QStringLiteral("Choose a colour"),
                                  alphaShown ? QColorDialog::ShowAlphaChannel
                                             : QColorDialog::ColorDialogOptions());
}

} // namespace

ColorWell::ColorWell(QWidget *parent)
    : QPushButton(parent)
    , m_chooser(askWithDialog)
{
    connect(this, &QPushButton::clicked, this, &ColorWell::choose);
}

void ColorWell::setColor(const QColor &color)
{
    if (color == m_color)
        return;
    m_color = color;
    update();
}

QSize ColorWell::sizeHint() const
{
    const QSize base = QPushButton::sizeHint();
    return {std::max(base.width(), 64), base.height()};
}

void ColorWell::choose()
{
    const QColor chosen = m_chooser(m_color, window(), m_alphaShown);
    if (!chosen.isValid())
        return;
    setColor(chosen);
    Q_EMIT colorChosen(chosen);
}

void ColorWell::paintEvent(QPaintEvent *event)
{
    QPushButton::paintEvent(event);
    QStyleOptionButton option;
    initStyleOption(&option);
    const QRect swatch = style()
                             ->subElementRect(QStyle::SE_PushButtonContents, &option, this)
                             .adjusted(3, 3, -3, -3);
    if (swatch.isEmpty())
        return;
    QPainter painter(this);
    if (!isEnabled())
        painter.setOpacity(0.4);
    // A checkerboard under the colour shows how transparent it is.
    const int cell = 4;
    for (int y = swatch.top(); y <= swatch.bottom(); y += cell) {
        for (int x = swatch.left(); x <= swatch.right(); x += cell) {
            const bool dark = ((x - swatch.left()) / cell + (y - swatch.top()) / cell) % 2 != 0;
            painter.fillRect(QRect(x, y, cell, cell).intersected(swatch),
                             dark ? QColor(200, 200, 200) : Qt::white);
        }
    }
    painter.fillRect(swatch, m_color);
    painter.setPen(
        palette().color(isEnabled() ? QPalette::Active : QPalette::Disabled, QPalette::WindowText));
    painter.drawRect(swatch.adjusted(0, 0, -1, -1));
}

} // namespace inkveil
