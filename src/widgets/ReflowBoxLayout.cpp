// SPDX-FileCopyrightText: 2026 Tessaly
// SPDX-License-Identifier: GPL-3.0-or-later

#include "widgets/ReflowBoxLayout.h"

#include <algorithm>

namespace inkveil {

ReflowBoxLayout::ReflowBoxLayout(QWidget *parent)
    : QBoxLayout(LeftToRight, parent)
{}

int ReflowBoxLayout::rowMinimumWidth() const
{
    int width = 0;
    int shown = 0;
    for (int i = 0; i < count(); ++i) {
        const QLayoutItem *item = itemAt(i);
        if (item->isEmpty())
            continue;
        width += item->minimumSize().width();
        ++shown;
    }
    const QMargins margins = contentsMargins();
    return width + std::max(shown - 1, 0) * std::max(spacing(), 0) + margins.left() +
           margins.right();
}

QSize ReflowBoxLayout::minimumSize() const
{
    // Never wider than the widest box: narrower than the row, the boxes stack.
    QSize least = QBoxLayout::minimumSize();
    if (direction() == LeftToRight) {
        int widest = 0;
        for (int i = 0; i < count(); ++i)
            widest = std::max(widest, itemAt(i)->minimumSize().width());
        const QMargins margins = contentsMargins();
        least.setWidth(widest + margins.left() + margins.right());
    }
    return least;
}

void ReflowBoxLayout::setGeometry(const QRect &rect)
{
    const Direction fitting = rect.width() >= rowMinimumWidth() ? LeftToRight : TopToBottom;
    // Turning asks the parent for a new layout pass, which lands here again with the new least
    // height; the second pass finds the direction already right.
    if (fitting != direction())
        setDirection(fitting);
    QBoxLayout::setGeometry(rect);
}

} // namespace inkveil
