// SPDX-FileCopyrightText: 2026 Tessaly
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "wizard/PaneForm.h"

#include <QString>

#include <functional>
#include <memory>

namespace inkveil {

class PaneController;

// Pane classes and their forms by name, as the pane list names them. main() registers the
// application's panes and compiled forms; tests register their own.
class PaneRegistry
{
public:
    using Factory = std::function<PaneController *()>;
    using FormFactory = std::function<std::unique_ptr<PaneForm>()>;

    static void registerPane(const QString &className, Factory factory);
    template <typename T> static void registerPane(const QString &className)
    {
        registerPane(className, [] { return new T; });
    }
    static void registerForm(const QString &formName, FormFactory factory);
    // The form that uic's class Ui builds, under the name the pane list gives it.
    template <typename Ui> static void registerForm(const QString &formName)
    {
        registerForm(formName, [] { return std::make_unique<CompiledForm<Ui>>(); });
    }
    static void clear();

    // A new pane of the named class, or null for an unknown name. The caller takes ownership.
    static PaneController *create(const QString &className);
    // A new form of the given name, or null when no form has that name.
    static std::unique_ptr<PaneForm> createForm(const QString &formName);
};

} // namespace inkveil
