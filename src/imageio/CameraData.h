// SPDX-FileCopyrightText: 2026 Tessaly
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QByteArray>

namespace inkveil {

// A photo's camera data as an encoder embeds it in the file it writes: EXIF as a TIFF structure
// (byte-order mark first) and an XMP packet. Either may be empty.
struct CameraData
{
    QByteArray exif;
    QByteArray xmp;
};

} // namespace inkveil
