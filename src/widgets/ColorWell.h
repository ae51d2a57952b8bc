// SPDX-FileCopyrightText: 2026 Tessaly
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QColor>
#include <QPushButton>

#include <functional>

namespace inkveil {

// A button that shows a colour, transparency included, and lets the user pick another in the
// colour dialog. Only the user's choice is announced; setColor() is silent, so loading a
// watermark into an editor never reads as an edit.
class ColorWell : public QPushButton
{
    Q_OBJECT

public:
    // Asks for a colour, starting from the given one; an invalid colour means "cancelled".
    using Chooser = std::function<QColor(const QColor &current, QWidget *parent, bool alphaShown)>;

    explicit ColorWell(QWidget *parent = nullptr);

    QColor color() const { return m_color; }
    void setColor(const QColor &color);

    // Whether the dialog offers transparency; off where the drawing has its own opacity.
    bool alphaShown() const { return m_alphaShown; }
    void setAlphaShown(bool shown) { m_alphaShown = shown; }
    // Replaces the colour dialog (tests answer it without a window).
    void setChooser(Chooser chooser) { m_chooser = std::move(chooser); }

    QSize sizeHint() const override;

Q_SIGNALS:
    void colorChosen(const QColor &color);

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    void choose();

    QColor m_color = QColor::fromRgbF(0.0f, 0.0f, 0.0f, 1.0f);
    Chooser m_chooser;
    bool m_alphaShown = true;
};

} // namespace inkveil
