// SPDX-FileCopyrightText: 2026 Tessaly
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QBoxLayout>

namespace inkveil {

// A row of boxes that becomes a column when the room is narrower than the row's least width, so
// that a narrow window (a small screen, a large scale) scrolls its pane downwards only, never
// sideways. Where the row fits, it is laid out exactly as a QHBoxLayout would.
class ReflowBoxLayout : public QBoxLayout
{
    Q_OBJECT

public:
    explicit ReflowBoxLayout(QWidget *parent = nullptr);

    QSize minimumSize() const override;
    void setGeometry(const QRect &rect) override;

private:
    // The least width of the boxes side by side, margins included.
    int rowMinimumWidth() const;
};

} // namespace inkveil
