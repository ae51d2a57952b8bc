// SPDX-FileCopyrightText: 2026 Tessaly
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QColor>
#include <QObject>
#include <QPointer>

class QCheckBox;

namespace Ui {
class Watermarks;
}

namespace inkveil {

class ColorWell;
class Overlay;

// The background tab: the box behind the watermark, whether it is drawn and whether it is
// stretched into a band across the photo. The two switches are independent; the band needs
// both. Like the other editors it keeps its own values and lets the pane write them back.
class BackgroundEditor : public QObject
{
    Q_OBJECT

public:
    explicit BackgroundEditor(QObject *parent = nullptr);

    // Takes this editor's controls from the watermark pane's form and sets them up.
    void formLoaded(const Ui::Watermarks &form);
    void activate(const Overlay &overlay);

    QColor currentColor() const { return m_currentColor; }
    void setCurrentColor(const QColor &color) { m_currentColor = color; }
    bool currentShow() const { return m_currentShow; }
    void setCurrentShow(bool show) { m_currentShow = show; }
    bool currentExtend() const { return m_currentExtend; }
    void setCurrentExtend(bool extend) { m_currentExtend = extend; }
    // A tiled watermark has no band: the band box then has no effect and is disabled, as it is
    // while the box is off.
    void setBandPossible(bool possible);

public Q_SLOTS:
    void changeColor(const QColor &color);
    void changeShow(bool on);
    void changeExtend(bool on);

Q_SIGNALS:
    // The user changed a value: the pane writes every editor's values into the watermark.
    void edited();

private:
    void setButtons();

    QPointer<ColorWell> m_color;
    QPointer<QCheckBox> m_extend;
    QPointer<QCheckBox> m_show;
    QColor m_currentColor;
    bool m_currentShow = false;
    bool m_currentExtend = false;
    bool m_bandPossible = true;
};

} // namespace inkveil
