// SPDX-FileCopyrightText: 2026 Tessaly
// SPDX-License-Identifier: GPL-3.0-or-later

// Feeds arbitrary bytes to the check made when photos are added: it follows the lengths and
// offsets a file's header, boxes or TIFF directory give, whatever they say.
#include "FuzzInput.h"

#include "imageio/FileIntegrity.h"

#include <QBuffer>

using namespace inkveil;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    QByteArray bytes = inputBytes(data, size);
    QBuffer device(&bytes);
    if (!device.open(QIODevice::ReadOnly))
        return 0;
    const QString problem = FileIntegrity::endProblem(device);
    Q_UNUSED(problem);
    return 0;
}
