// SPDX-FileCopyrightText: 2026 Tessaly
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QColor>
#include <QList>
#include <QObject>
#include <QPointer>

class QCheckBox;

namespace Ui {
class Watermarks;
}

namespace inkveil {

class ColorWell;
class Overlay;
class PositionView;

// The controls that fit a watermark to each photo: automatic placement (the position grid then
// picks the allowed positions) and automatic contrast with the second colour and the effects
// it may add. Like the other editors it holds its values and asks the pane to write them back.
class FittingEditor : public QObject
{
    Q_OBJECT

public:
    explicit FittingEditor(QObject *parent = nullptr);

    void formLoaded(const Ui::Watermarks &form);
    void activate(const Overlay &overlay);
    // Writes this editor's values into the watermark.
    void writeBack(Overlay &overlay) const;

public Q_SLOTS:
    void changeAutoPlace(bool on);
    void changeAutoContrast(bool on);
    void changeAltColor(const QColor &color);

Q_SIGNALS:
    void edited();

private:
    void setButtons();

    QPointer<QCheckBox> m_autoPlace;
    QPointer<PositionView> m_position;
    QPointer<QCheckBox> m_autoContrast;
    // The same setting on the image tab, where it chooses between the two pictures.
    QPointer<QCheckBox> m_imgAutoContrast;
    QPointer<ColorWell> m_altColor;
    QPointer<QCheckBox> m_autoShadow;
    QPointer<QCheckBox> m_autoOutline;
    bool m_currentAutoPlace = false;
    bool m_currentAutoContrast = false;
    QColor m_currentAltColor;
    bool m_currentAutoShadow = true;
    bool m_currentAutoOutline = true;
    bool m_text = true;
};

} // namespace inkveil
