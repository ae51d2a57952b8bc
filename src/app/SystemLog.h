// SPDX-FileCopyrightText: 2026 Tessaly
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

namespace inkveil {

// Where the wizard's log lines go. A desktop program started from a menu has no terminal to
// read: its lines go to the system log (syslog, which journald collects), and to the terminal
// too only when asked for, with --verbose or with QT_LOGGING_RULES set.
class SystemLog
{
public:
    SystemLog() = delete;

    // Sends every message of the process to the system log from now on, and to standard error
    // as well when `toTerminal` is set; libtiff's warnings join them as debug messages of
    // inkveil.imageio.
    static void install(bool toTerminal);

    // Whether the environment asks for log lines on the terminal (QT_LOGGING_RULES is set).
    static bool terminalRequested();
};

} // namespace inkveil
