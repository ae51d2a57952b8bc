// SPDX-FileCopyrightText: 2026 Tessaly
// SPDX-License-Identifier: GPL-3.0-or-later

#include "panes/PlacementEditor.h"

#include "watermarks/Overlay.h"

#include "ui_WatermarksPane.h"

#include <QCheckBox>
#include <QDoubleSpinBox>
#include <QSignalBlocker>

namespace inkveil {

PlacementEditor::PlacementEditor(QObject *parent)
    : QObject(parent)
{}

void PlacementEditor::formLoaded(const Ui::Watermarks &form)
{
    m_margin = form.margin;
    m_tile = form.tile;
    m_tileSpacing = form.tileSpacing;
    // Typing counts at Enter or when leaving the field; the arrows count at once.
    m_margin->setKeyboardTracking(false);
    connect(m_margin, &QDoubleSpinBox::valueChanged, this, &PlacementEditor::changeMargin);
    connect(m_tile, &QCheckBox::clicked, this, &PlacementEditor::changeTile);
    m_tileSpacing->setKeyboardTracking(false);
    connect(m_tileSpacing, &QDoubleSpinBox::valueChanged, this,
            &PlacementEditor::changeTileSpacing);
    m_maxWidth = form.maxWidth;
    m_maxWidth->setKeyboardTracking(false);
    connect(m_maxWidth, &QDoubleSpinBox::valueChanged, this, &PlacementEditor::changeMaxWidth);
}

void PlacementEditor::activate(const Overlay &overlay)
{
    m_currentMargin = overlay.margin();
    m_currentTile = overlay.tile();
    m_currentTileSpacing = overlay.tileSpacing();
    m_currentMaxWidth = overlay.maxWidth();
    if (m_margin) {
        const QSignalBlocker blocker(m_margin);
        m_margin->setValue(static_cast<double>(m_currentMargin));
    }
    if (m_tile)
        m_tile->setChecked(m_currentTile);
    if (m_tileSpacing) {
        const QSignalBlocker blocker(m_tileSpacing);
        m_tileSpacing->setValue(static_cast<double>(m_currentTileSpacing));
    }
    if (m_maxWidth) {
        const QSignalBlocker blocker(m_maxWidth);
        m_maxWidth->setValue(static_cast<double>(m_currentMaxWidth));
    }
    setButtons();
}

void PlacementEditor::changeMargin(double margin)
{
    m_currentMargin = static_cast<float>(margin);
    Q_EMIT edited();
}

void PlacementEditor::changeTile(bool on)
{
    m_currentTile = on;
    setButtons();
    Q_EMIT edited();
}

void PlacementEditor::changeTileSpacing(double spacing)
{
    m_currentTileSpacing = static_cast<float>(spacing);
    Q_EMIT edited();
}

void PlacementEditor::changeMaxWidth(double percent)
{
    m_currentMaxWidth = static_cast<float>(percent);
    Q_EMIT edited();
}

void PlacementEditor::setMaxWidthPossible(bool possible)
{
    m_maxWidthPossible = possible;
    setButtons();
}

void PlacementEditor::setMarginPossible(bool possible)
{
    m_marginPossible = possible;
    setButtons();
}

void PlacementEditor::setButtons()
{
    if (m_margin)
        m_margin->setEnabled(m_marginPossible);
    if (m_tileSpacing)
        m_tileSpacing->setEnabled(m_currentTile);
    if (m_maxWidth)
        m_maxWidth->setEnabled(m_maxWidthPossible);
}

} // namespace inkveil
