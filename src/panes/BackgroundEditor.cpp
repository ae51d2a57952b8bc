// SPDX-FileCopyrightText: 2026 Tessaly
// SPDX-License-Identifier: GPL-3.0-or-later

#include "panes/BackgroundEditor.h"

#include "panes/WatermarksPane.h"
#include "watermarks/Overlay.h"
#include "widgets/ColorWell.h"

#include <QCheckBox>

namespace inkveil {

BackgroundEditor::BackgroundEditor(WatermarksPane *controller)
    : QObject(controller)
    , m_controller(controller)
{}

void BackgroundEditor::formLoaded()
{
    m_color = m_controller->outlet<ColorWell>(QStringLiteral("bgColor"));
    m_extend = m_controller->outlet<QCheckBox>(QStringLiteral("extend"));
    m_show = m_controller->outlet<QCheckBox>(QStringLiteral("show"));
    if (m_color)
        connect(m_color, &ColorWell::colorChosen, this, &BackgroundEditor::changeColor);
    // clicked, not toggled: loading a watermark sets the boxes without it counting as an edit.
    if (m_extend)
        connect(m_extend, &QCheckBox::clicked, this, &BackgroundEditor::changeExtend);
    if (m_show)
        connect(m_show, &QCheckBox::clicked, this, &BackgroundEditor::changeShow);
}

void BackgroundEditor::activate(const Overlay &overlay)
{
    m_currentExtend = overlay.extend();
    m_currentShow = overlay.show();
    m_currentColor = overlay.bgColor();
    if (m_extend)
        m_extend->setChecked(m_currentExtend);
    if (m_show)
        m_show->setChecked(m_currentShow);
    if (m_color)
        m_color->setColor(m_currentColor);
    setButtons();
}

void BackgroundEditor::setBandPossible(bool possible)
{
    m_bandPossible = possible;
    setButtons();
}

void BackgroundEditor::setButtons()
{
    if (m_extend)
        m_extend->setEnabled(m_currentShow && m_bandPossible);
}

void BackgroundEditor::changeColor(const QColor &color)
{
    m_currentColor = color;
    m_controller->refresh(this);
}

void BackgroundEditor::changeShow(bool on)
{
    m_currentShow = on;
    setButtons();
    m_controller->refresh(this);
}

void BackgroundEditor::changeExtend(bool on)
{
    m_currentExtend = on;
    m_controller->refresh(this);
}

} // namespace inkveil
