// SPDX-FileCopyrightText: 2026 Tessaly
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QLabel>

namespace inkveil {

// A label of one line that never wraps and never grows its window: when its text is wider than
// the room it has, it shows the text shortened with "…" (in the middle, so that a file name
// keeps its start and its extension) and offers the whole text as a tooltip. text() is always
// the whole text.
class ElidedLabel : public QLabel
{
    Q_OBJECT

public:
    explicit ElidedLabel(QWidget *parent = nullptr);

    // The text as it is drawn now.
    QString shownText() const;

    QSize minimumSizeHint() const override;
    QSize sizeHint() const override;
    // One line at any width, whatever the word wrap of the form says.
    bool hasHeightForWidth() const override { return false; }

protected:
    void paintEvent(QPaintEvent *event) override;
    bool event(QEvent *event) override;
};

} // namespace inkveil
