#pragma once

#include "output/OutputOptions.h"
#include "watermarks/Overlay.h"

#include <QByteArray>
#include <QString>

#include <memory>

// The watermarks and output options kept between runs, in state.bin in the user's data folder
// (XML property list). The wizard and the command-line tool load them the same way.
class StateFile
{
public:
    // Full path of state.bin; makes sure its folder exists first (best effort).
    static QString pathForStateFile();

    // Reads the user's state file, or the default one from the resources when the user has
    // none. The watermarks are always replaced; the options only when the file holds them.
    static void loadState(OverlayList &overlays, std::shared_ptr<OutputOptions> &outputOptions);
    // Reads a given state file (or the default when it cannot be read) the same way.
    static void loadStateFrom(const QString &path, OverlayList &overlays,
                              std::shared_ptr<OutputOptions> &outputOptions);
    // Writes both atomically; answers whether the file was written.
    static bool saveState(const OverlayList &overlays, const OutputOptions &outputOptions);
    // The same into a given file (a preset).
    static bool saveStateTo(const QString &path, const OverlayList &overlays,
                            const OutputOptions &outputOptions);

    static QByteArray encode(const OverlayList &overlays, const OutputOptions &outputOptions);
    // Bytes that are not a readable archive read as an archive holding neither key: one
    // default watermark, the options left as they are.
    static void decode(const QByteArray &data, OverlayList &overlays,
                       std::shared_ptr<OutputOptions> &outputOptions);
};
