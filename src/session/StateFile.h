// SPDX-FileCopyrightText: 2026 Tessaly
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "base/Result.h"
#include "output/OutputOptions.h"
#include "watermarks/Overlay.h"

#include <QByteArray>
#include <QString>

#include <memory>

namespace inkveil {

// The watermarks and output options kept between runs, in state.bin in the user's data folder
// (XML property list). The wizard and the command-line tool load them the same way.
class StateFile
{
public:
    // Full path of state.bin; makes sure its folder exists first (best effort).
    static QString pathForStateFile();

    // What became of a state file that exists but could not be read.
    struct LoadResult
    {
        // Why the file was not used, as a sentence ("It nests deeper than 16 levels."); empty
        // when it was read, or when there was none.
        QString problem;
        // Where the damaged file was moved to keep it; empty when it was not moved.
        QString keptAs;
        bool damaged() const { return !problem.isEmpty(); }
    };

    // Reads the user's state file, or the default one from the resources when the user has
    // none. The watermarks are always replaced; the options only when the file holds them.
    // A damaged file is moved aside to state.bin.damaged before the defaults are used, so that
    // the next save does not destroy it; the caller tells the user once.
    static LoadResult loadState(OverlayList &overlays,
                                std::shared_ptr<OutputOptions> &outputOptions);
    // Reads a given state file (or the default when it cannot be read) the same way, without
    // moving it.
    static LoadResult loadStateFrom(const QString &path, OverlayList &overlays,
                                    std::shared_ptr<OutputOptions> &outputOptions);

    // At most this much of a state file is read, counted as it arrives (a device or a pipe has
    // no size to trust). Settable so that tests need not write 16 MB.
    static constexpr qint64 DefaultMaxFileSize = 16 * 1024 * 1024;
    static void setMaxFileSize(qint64 bytes);
    // Writes both atomically; fails with the reason when the file was not written.
    static Status saveState(const OverlayList &overlays, const OutputOptions &outputOptions);
    // The same into a given file (a preset).
    static Status saveStateTo(const QString &path, const OverlayList &overlays,
                            const OutputOptions &outputOptions);

    static QByteArray encode(const OverlayList &overlays, const OutputOptions &outputOptions);
    // Bytes that are not a readable archive read as an archive holding neither key: one
    // default watermark, the options left as they are. Fails with why the bytes were not
    // readable (what was read is used all the same).
    static Status decode(const QByteArray &data, OverlayList &overlays,
                          std::shared_ptr<OutputOptions> &outputOptions);
};

} // namespace inkveil
