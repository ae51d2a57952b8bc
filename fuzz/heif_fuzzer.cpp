// SPDX-FileCopyrightText: 2026 Tessaly
// SPDX-License-Identifier: GPL-3.0-or-later

// Feeds arbitrary bytes to the HEIF/AVIF reader as the image toolkit does: the size from the
// boxes, the decoded picture, and the EXIF block the file carries, read by our EXIF parser.
#include "FuzzInput.h"

#include "imageio/ExifData.h"
#include "imageio/ExifParser.h"
#include "imageio/HeifCodec.h"

#include <QBuffer>

using namespace inkveil;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes = inputBytes(data, size);
    if (!HeifCodec::recognises(bytes))
        return 0;
    QBuffer device;
    device.setData(bytes);
    if (!device.open(QIODevice::ReadOnly))
        return 0;
    const Result<QSize> upright = HeifCodec::imageSize(device);
    Q_UNUSED(upright);
    // Small pictures only, so that time goes to parsing rather than to filling pixels.
    constexpr qint64 MaxPixels = 1'000'000;
    const Result<QImage> decoding = HeifCodec::decode(device, MaxPixels);
    Q_UNUSED(decoding);
    ExifData record;
    (void)ExifParser::parseImage(inputFile(data, size), record);
    return 0;
}
