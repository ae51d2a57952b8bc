// SPDX-FileCopyrightText: 2026 Tessaly
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QStringList>

class QTextStream;

namespace inkveil {

// inkveil-batch: runs the batch engine on the given photos and folders without a window, with
// the watermarks and output options the wizard saved (or those of a given state file).
class BatchCommand
{
public:
    enum ExitCode { Success = 0, SomeFailed = 1, UsageError = 2, Interrupted = 130 };

    // Parses the arguments (the program name first), runs, and answers the exit code. Normal
    // output goes to `out`, progress and failures to `err`; `interactive` draws a progress bar
    // instead of one line per photo.
    static int run(const QStringList &arguments, QTextStream &out, QTextStream &err,
                   bool interactive);

    // Asks a running command to stop after the photos in progress (Ctrl-C).
    static void interrupt();
};

} // namespace inkveil
