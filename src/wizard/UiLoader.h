// SPDX-FileCopyrightText: 2026 Tessaly
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QString>
#include <QUiLoader>

#include <functional>

class QWidget;

namespace inkveil {

// Loads the interface descriptions in the resources at run time. Our own widget classes named
// in a form (ListView, drop views, previews) are made through factories registered here.
class UiLoader : public QUiLoader
{
    Q_OBJECT

public:
    using WidgetFactory = std::function<QWidget *(QWidget *parent)>;

    explicit UiLoader(QObject *parent = nullptr);

    static void registerWidget(const QString &className, WidgetFactory factory);

    // Loads resources/<name>.ui; null when the file is missing or not a form.
    QWidget *loadForm(const QString &name, QWidget *parent = nullptr);

protected:
    QWidget *createWidget(const QString &className, QWidget *parent, const QString &name) override;
};

} // namespace inkveil
