// SPDX-FileCopyrightText: 2026 Tessaly
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

namespace inkveil {

// The panes' compiled forms, registered under the names the pane list gives them.
class PaneForms
{
public:
    static void registerAll();
};

} // namespace inkveil
