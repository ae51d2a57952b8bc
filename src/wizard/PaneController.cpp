// SPDX-FileCopyrightText: 2026 Tessaly
// SPDX-License-Identifier: GPL-3.0-or-later

#include "wizard/PaneController.h"

#include "wizard/PaneRegistry.h"

#include <QDebug>

namespace inkveil {

PaneController::PaneController(QObject *parent)
    : QObject(parent)
{}

PaneController::~PaneController() = default;

bool PaneController::setUpForm(const QString &form, const QString &title, PaneHost *host)
{
    m_host = host;
    m_title = title;
    m_form = PaneRegistry::createForm(form);
    if (!m_form || !formLoaded()) {
        m_form.reset();
        qInfo().noquote() << QStringLiteral("PaneController: Can't load %1").arg(form);
        return false;
    }
    setStatus();
    return true;
}

} // namespace inkveil
