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

} // namespace

void PaneRegistry::registerPane(const QString &className, Factory factory)
{
    factories().insert(className, std::move(factory));
}

void PaneRegistry::clear()
{
    factories().clear();
}

PaneController *PaneRegistry::create(const QString &className)
{
    const auto factory = factories().constFind(className);
    return factory == factories().constEnd() ? nullptr : (*factory)();
}

} // namespace inkveil
