#include "wizard/PaneRegistry.h"

#include "wizard/PaneController.h"

#include <QHash>

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
