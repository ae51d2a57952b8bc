// SPDX-FileCopyrightText: 2026 Tessaly
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "base/Result.h"
#include "output/OutputOptions.h"
#include "watermarks/Overlay.h"

#include <QString>
#include <QStringList>

#include <memory>

namespace inkveil {

// Named watermark setups: each preset is a state file (the same format as state.bin) kept as
// NAME.inkveil in the Presets folder beside state.bin. The wizard and the command-line tool share
// them.
class Presets
{
public:
    Presets() = delete;

    static const QString Extension;

    // $XDG_DATA_HOME/Tessaly Inkveil/Presets (not created here).
    static QString folder();
    // A name is the file's base name: not empty, not "." or "..", no "/".
    static bool isValidName(const QString &name);
    // Where the preset of that name is kept; null for an invalid name.
    static QString path(const QString &name);
    // The names of the saved presets, in natural order (Studio 2 before Studio 10).
    static QStringList names();
    static bool exists(const QString &name);

    // Writes the preset atomically, replacing one of the same name; creates the folder. Fails
    // with the reason when it was not written.
    static Status save(const QString &name, const OverlayList &overlays,
                       const OutputOptions &outputOptions);
    // Replaces the watermarks, and the options when the preset holds them, as opening a state
    // file does. Fails, changing nothing, for an unknown or invalid name (with ENOENT) and, with
    // the reason, for a preset that can't be read whole: damaged, too large, not a regular file
    // or a symbolic link. The defaults never stand in for a preset asked for by name.
    static Status load(const QString &name, OverlayList &overlays,
                       std::shared_ptr<OutputOptions> &outputOptions);
};

} // namespace inkveil
