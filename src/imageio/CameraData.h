#pragma once

#include <QByteArray>

// A photo's camera data as an encoder embeds it in the file it writes: EXIF as a TIFF structure
// (byte-order mark first) and an XMP packet. Either may be empty.
struct CameraData
{
    QByteArray exif;
    QByteArray xmp;
};
