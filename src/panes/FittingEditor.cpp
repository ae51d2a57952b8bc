// SPDX-FileCopyrightText: 2026 Tessaly
// SPDX-License-Identifier: GPL-3.0-or-later

#include "panes/FittingEditor.h"

#include "watermarks/Overlay.h"
#include "widgets/ColorWell.h"
#include "widgets/PositionView.h"

#include "ui_WatermarksPane.h"

#include <QCheckBox>

namespace inkveil {

FittingEditor::FittingEditor(QObject *parent)
    : QObject(parent)
{}

void FittingEditor::formLoaded(const Ui::Watermarks &form)
{
    m_autoPlace = form.autoPlace;
    m_position = form.position;
    m_autoContrast = form.autoContrast;
    m_imgAutoContrast = form.imgAutoContrast;
    m_altColor = form.altColor;
    m_autoShadow = form.autoShadow;
    m_autoOutline = form.autoOutline;
    connect(m_autoPlace, &QCheckBox::clicked, this, &FittingEditor::changeAutoPlace);
    connect(m_autoContrast, &QCheckBox::clicked, this, &FittingEditor::changeAutoContrast);
    connect(m_imgAutoContrast, &QCheckBox::clicked, this, &FittingEditor::changeAutoContrast);
    connect(m_altColor, &ColorWell::colorChosen, this, &FittingEditor::changeAltColor);
    connect(m_autoShadow, &QCheckBox::clicked, this, [this](bool on) {
        m_currentAutoShadow = on;
        Q_EMIT edited();
    });
    connect(m_autoOutline, &QCheckBox::clicked, this, [this](bool on) {
        m_currentAutoOutline = on;
        Q_EMIT edited();
    });
}

void FittingEditor::activate(const Overlay &overlay)
{
    m_currentAutoPlace = overlay.autoPlace();
    m_currentAutoContrast = overlay.autoContrast();
    m_currentAltColor = overlay.altColor();
    m_currentAutoShadow = overlay.autoShadow();
    m_currentAutoOutline = overlay.autoOutline();
    m_text = !overlay.isImage();
    if (m_position) {
        QList<int> allowed;
        for (const qint16 position : overlay.autoPositions())
            allowed.append(position);
        m_position->setAllowed(allowed);
    }
    if (m_autoPlace)
        m_autoPlace->setChecked(m_currentAutoPlace);
    if (m_altColor)
        m_altColor->setColor(m_currentAltColor);
    if (m_autoShadow)
        m_autoShadow->setChecked(m_currentAutoShadow);
    if (m_autoOutline)
        m_autoOutline->setChecked(m_currentAutoOutline);
    setButtons();
}

void FittingEditor::writeBack(Overlay &overlay) const
{
    overlay.setAutoPlace(m_currentAutoPlace);
    if (m_position) {
        QList<qint16> allowed;
        for (const int position : m_position->allowed())
            allowed.append(static_cast<qint16>(position));
        overlay.setAutoPositions(allowed);
    }
    overlay.setAutoContrast(m_currentAutoContrast);
    overlay.setAltColor(m_currentAltColor);
    overlay.setAutoShadow(m_currentAutoShadow);
    overlay.setAutoOutline(m_currentAutoOutline);
}

void FittingEditor::changeAutoPlace(bool on)
{
    m_currentAutoPlace = on;
    setButtons();
    Q_EMIT edited();
}

void FittingEditor::changeAutoContrast(bool on)
{
    m_currentAutoContrast = on;
    setButtons();
    Q_EMIT edited();
}

void FittingEditor::changeAltColor(const QColor &color)
{
    m_currentAltColor = color;
    Q_EMIT edited();
}

void FittingEditor::setButtons()
{
    if (m_position)
        m_position->setChoosingAllowed(m_currentAutoPlace);
    for (QWidget *control :
         {static_cast<QWidget *>(m_altColor.data()), static_cast<QWidget *>(m_autoShadow.data()),
          static_cast<QWidget *>(m_autoOutline.data())}) {
        if (control)
            control->setEnabled(m_text && m_currentAutoContrast);
    }
    for (QCheckBox *box : {m_autoContrast.data(), m_imgAutoContrast.data()}) {
        if (box)
            box->setChecked(m_currentAutoContrast);
    }
    if (m_autoContrast)
        m_autoContrast->setEnabled(m_text);
}

} // namespace inkveil
