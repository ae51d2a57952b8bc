// SPDX-FileCopyrightText: 2026 Tessaly
// SPDX-License-Identifier: GPL-3.0-or-later

#include "panes/PlacementEditor.h"

#include "panes/WatermarksPane.h"
#include "watermarks/Overlay.h"

#include <QCheckBox>
#include <QDoubleSpinBox>
#include <QSignalBlocker>

namespace inkveil {

PlacementEditor::PlacementEditor(WatermarksPane *controller)
    : QObject(controller)
    , m_controller(controller)
{}

void PlacementEditor::formLoaded()
{
    m_margin = m_controller->outlet<QDoubleSpinBox>(QStringLiteral("margin"));
    m_tile = m_controller->outlet<QCheckBox>(QStringLiteral("tile"));
    m_tileSpacing = m_controller->outlet<QDoubleSpinBox>(QStringLiteral("tileSpacing"));
    // Typing counts at Enter or when leaving the field; the arrows count at once.
    if (m_margin) {
        m_margin->setKeyboardTracking(false);
        connect(m_margin, &QDoubleSpinBox::valueChanged, this, &PlacementEditor::changeMargin);
    }
    if (m_tile)
        connect(m_tile, &QCheckBox::clicked, this, &PlacementEditor::changeTile);
    if (m_tileSpacing) {
        m_tileSpacing->setKeyboardTracking(false);
        connect(m_tileSpacing, &QDoubleSpinBox::valueChanged, this,
                &PlacementEditor::changeTileSpacing);
    }
}

void PlacementEditor::activate(const Overlay &overlay)
{
    m_currentMargin = overlay.margin();
    m_currentTile = overlay.tile();
    m_currentTileSpacing = overlay.tileSpacing();
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
    setButtons();
}

void PlacementEditor::changeMargin(double margin)
{
    m_currentMargin = static_cast<float>(margin);
    m_controller->refresh(this);
}

void PlacementEditor::changeTile(bool on)
{
    m_currentTile = on;
    setButtons();
    m_controller->refresh(this);
}

void PlacementEditor::changeTileSpacing(double spacing)
{
    m_currentTileSpacing = static_cast<float>(spacing);
    m_controller->refresh(this);
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
}

} // namespace inkveil
