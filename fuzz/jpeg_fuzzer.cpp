// SPDX-FileCopyrightText: 2026 Tessaly
// SPDX-License-Identifier: GPL-3.0-or-later

// Feeds arbitrary bytes to the JPEG decoder as a whole file, at full and at reduced size, into a
// buffer kept from one input to the next as a batch worker keeps it, and encodes what it gives.
#include "FuzzInput.h"

#include "imageio/JpegCodec.h"

#include <QImage>

using namespace inkveil;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes = inputBytes(data, size);
    static QImage buffer;
    // The last byte picks the reduction, so that every scaled decoder is reached.
    const int reduction = size > 0 ? 1 << (data[size - 1] % 4) : 1;
    // Small images only, so that time goes to parsing rather than to filling pixels.
    constexpr qint64 MaxPixels = 4'000'000;
    const auto decoding = JpegCodec::decode(bytes, reduction, MaxPixels, buffer);
    if (decoding && decoding->status == JpegCodec::Status::Decoded) {
        const auto encoded = JpegCodec::encode(buffer, 75, 72);
        Q_UNUSED(encoded);
    }
    return 0;
}
