// SPDX-FileCopyrightText: 2026 Tessaly
// SPDX-License-Identifier: GPL-3.0-or-later

// Feeds arbitrary bytes to the reader of HEIF/AVIF boxes that runs before libheif sees a file:
// it walks box lengths, item locations and grid records that anyone can forge.
#include "FuzzInput.h"

#include "imageio/HeifLayout.h"

#include <QBuffer>

using namespace inkveil;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    QByteArray bytes = inputBytes(data, size);
    QBuffer device(&bytes);
    if (!device.open(QIODevice::ReadOnly))
        return 0;
    const Result<HeifLayout> layout = HeifLayout::read(device);
    Q_UNUSED(layout);
    return 0;
}
