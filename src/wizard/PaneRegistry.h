// SPDX-FileCopyrightText: 2026 Tessaly
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QString>

#include <functional>

namespace inkveil {

class PaneController;

// Pane classes by name, as the pane list names them. main() registers the application's panes;
// tests register panes of their own.
class PaneRegistry
{
public:
    using Factory = std::function<PaneController *()>;

    static void registerPane(const QString &className, Factory factory);
    template <typename T> static void registerPane(const QString &className)
    {
        registerPane(className, [] { return new T; });
    }
    static void clear();

    // A new pane of the named class, or null for an unknown name. The caller takes ownership.
    static PaneController *create(const QString &className);
};

} // namespace inkveil
