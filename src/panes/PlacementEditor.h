// SPDX-FileCopyrightText: 2026 Tessaly
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QObject>
#include <QPointer>

class QCheckBox;
class QDoubleSpinBox;

namespace Ui {
class Watermarks;
}

namespace inkveil {

class Overlay;

// The controls beside the position picker: the margin kept from the photo's edges, whether
// the watermark is repeated over the whole photo, with the spacing of the repetitions, and the
// widest a text may be. Like the
// other editors it holds the values in fields of its own and asks the pane to write them back.
class PlacementEditor : public QObject
{
    Q_OBJECT

public:
    explicit PlacementEditor(QObject *parent = nullptr);

    // Takes this editor's controls from the watermark pane's form and sets them up.
    void formLoaded(const Ui::Watermarks &form);
    void activate(const Overlay &overlay);

    float currentMargin() const { return m_currentMargin; }
    void setCurrentMargin(float margin) { m_currentMargin = margin; }
    bool currentTile() const { return m_currentTile; }
    void setCurrentTile(bool tile) { m_currentTile = tile; }
    float currentTileSpacing() const { return m_currentTileSpacing; }
    void setCurrentTileSpacing(float spacing) { m_currentTileSpacing = spacing; }
    float currentMaxWidth() const { return m_currentMaxWidth; }
    void setCurrentMaxWidth(float percent) { m_currentMaxWidth = percent; }
    // The centre position keeps no distance from any edge: the margin is disabled there.
    void setMarginPossible(bool possible);
    // Only a text shrinks to a maximum width.
    void setMaxWidthPossible(bool possible);

public Q_SLOTS:
    void changeMargin(double margin);
    void changeTile(bool on);
    void changeTileSpacing(double spacing);
    void changeMaxWidth(double percent);

Q_SIGNALS:
    // The user changed a value: the pane writes every editor's values into the watermark.
    void edited();

private:
    void setButtons();

    QPointer<QDoubleSpinBox> m_margin;
    QPointer<QCheckBox> m_tile;
    QPointer<QDoubleSpinBox> m_tileSpacing;
    QPointer<QDoubleSpinBox> m_maxWidth;
    float m_currentMargin = 0.0f;
    bool m_currentTile = false;
    float m_currentTileSpacing = 0.0f;
    bool m_marginPossible = true;
    float m_currentMaxWidth = 0.0f;
    bool m_maxWidthPossible = true;
};

} // namespace inkveil
