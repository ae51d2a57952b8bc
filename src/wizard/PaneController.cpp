// SPDX-FileCopyrightText: 2026 Tessaly
// SPDX-License-Identifier: GPL-3.0-or-later

#include "wizard/PaneController.h"

#include "wizard/UiLoader.h"

#include <QDebug>

namespace inkveil {

PaneController::PaneController(QObject *parent)
    : QObject(parent)
{}

bool PaneController::setUpForm(const QString &form, const QString &title,
                               AppController *appController)
{
    m_appController = appController;
    m_title = title;
    UiLoader loader;
    m_ownView = loader.loadForm(form);
    if (!m_ownView) {
        qInfo().noquote() << QStringLiteral("PaneController: Can't load %1").arg(form);
        return false;
    }
    formLoaded();
    setStatus();
    return true;
}

} // namespace inkveil
