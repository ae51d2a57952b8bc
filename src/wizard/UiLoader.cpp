// SPDX-FileCopyrightText: 2026 Tessaly
// SPDX-License-Identifier: GPL-3.0-or-later

#include "wizard/UiLoader.h"

#include "base/Resources.h"
#include "widgets/ElidedLabel.h"

#include <QFile>
#include <QHash>
#include <QWidget>

namespace inkveil {

namespace {

QHash<QString, UiLoader::WidgetFactory> &factories()
{
    // The frame's own widgets that any form may use.
    static QHash<QString, UiLoader::WidgetFactory> map{
        {QStringLiteral("ElidedLabel"),
         [](QWidget *parent) -> QWidget * { return new ElidedLabel(parent); }}};
    return map;
}

} // namespace

UiLoader::UiLoader(QObject *parent)
    : QUiLoader(parent)
{}

void UiLoader::registerWidget(const QString &className, WidgetFactory factory)
{
    factories().insert(className, std::move(factory));
}

QWidget *UiLoader::loadForm(const QString &name, QWidget *parent)
{
    const QString path = Resources::path(name, QStringLiteral("ui"));
    if (path.isNull())
        return nullptr;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return nullptr;
    return load(&file, parent);
}

QWidget *UiLoader::createWidget(const QString &className, QWidget *parent, const QString &name)
{
    const auto factory = factories().constFind(className);
    if (factory == factories().constEnd())
        return QUiLoader::createWidget(className, parent, name);
    QWidget *widget = (*factory)(parent);
    widget->setObjectName(name);
    return widget;
}

} // namespace inkveil
