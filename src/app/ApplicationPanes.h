// SPDX-FileCopyrightText: 2026 Tessaly
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

namespace inkveil {

// Registers the wizard's five pane classes and their forms under the names the pane list uses.
class ApplicationPanes
{
public:
    static void registerAll();
};

} // namespace inkveil
