// SPDX-FileCopyrightText: 2026 Tessaly
// SPDX-License-Identifier: GPL-3.0-or-later

#include "panes/BackgroundEditor.h"

#include "watermarks/Overlay.h"
#include "widgets/ColorWell.h"

#include "ui_WatermarksPane.h"

#include <QCheckBox>

namespace inkveil {

BackgroundEditor::BackgroundEditor(QObject *parent)
    : QObject(parent)
{}

void BackgroundEditor::formLoaded(const Ui::Watermarks &form)
{
    m_color = form.bgColor;
    m_extend = form.extend;
    m_show = form.show;
    connect(m_color, &ColorWell::colorChosen, this, &BackgroundEditor::changeColor);
    // clicked, not toggled: loading a watermark sets the boxes without it counting as an edit.
    connect(m_extend, &QCheckBox::clicked, this, &BackgroundEditor::changeExtend);
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
    Q_EMIT edited();
}

void BackgroundEditor::changeShow(bool on)
{
    m_currentShow = on;
    setButtons();
    Q_EMIT edited();
}

void BackgroundEditor::changeExtend(bool on)
{
    m_currentExtend = on;
    Q_EMIT edited();
}

} // namespace inkveil
