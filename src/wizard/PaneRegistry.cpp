// SPDX-FileCopyrightText: 2026 Tessaly
// SPDX-License-Identifier: GPL-3.0-or-later

#include "wizard/PaneRegistry.h"

#include "wizard/PaneController.h"

#include <QHash>

namespace inkveil {

namespace {

QHash<QString, PaneRegistry::Factory> &factories()
{
    static QHash<QString, PaneRegistry::Factory> map;
    return map;
}

QHash<QString, PaneRegistry::FormFactory> &formFactories()
{
    static QHash<QString, PaneRegistry::FormFactory> map;
    return map;
}

} // namespace

void PaneRegistry::registerPane(const QString &className, Factory factory)
{
    factories().insert(className, std::move(factory));
}

void PaneRegistry::registerForm(const QString &formName, FormFactory factory)
{
    formFactories().insert(formName, std::move(factory));
}

void PaneRegistry::clear()
{
    factories().clear();
    formFactories().clear();
}

PaneController *PaneRegistry::create(const QString &className)
{
    const auto factory = factories().constFind(className);
    return factory == factories().constEnd() ? nullptr : (*factory)();
}

std::unique_ptr<PaneForm> PaneRegistry::createForm(const QString &formName)
{
    const auto factory = formFactories().constFind(formName);
    return factory == formFactories().constEnd() ? nullptr : (*factory)();
}

} // namespace inkveil
