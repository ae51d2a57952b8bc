// SPDX-FileCopyrightText: 2026 Tessaly
// SPDX-License-Identifier: GPL-3.0-or-later

// Feeds arbitrary bytes to the EXIF reader as if they were a whole JPEG file, then formats
// whatever it read the way the source files pane does.
#include "FuzzInput.h"

#include "imageio/ExifData.h"
#include "imageio/ExifParser.h"
#include "imageio/ExifSummary.h"

using namespace inkveil;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes = inputBytes(data, size);
    ExifData record;
    ExifParser::parseImageData(bytes, record);
    const QString summary = ExifSummary::text(record);
    Q_UNUSED(summary);
    return 0;
}
