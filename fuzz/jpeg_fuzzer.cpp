// Feeds arbitrary bytes to the JPEG decoder as a whole file, at full and at reduced size, into a
// buffer kept from one input to the next as a batch worker keeps it, and encodes what it gives.
#include "render/JpegCodec.h"

#include <QByteArray>
#include <QImage>

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    // Wrapped, not copied, so that ASan sees any read past the end of the input.
    const QByteArray bytes =
        QByteArray::fromRawData(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size));
    static QImage buffer;
    // The last byte picks the reduction, so that every scaled decoder is reached.
    const int reduction = size > 0 ? 1 << (data[size - 1] % 4) : 1;
    const JpegCodec::Decoding decoding = JpegCodec::decode(bytes, reduction, buffer);
    // Refuse what a batch would never hold, so that memory and time go to the parsing.
    if (decoding.status == JpegCodec::Status::Decoded &&
        qint64(buffer.width()) * buffer.height() <= 4'000'000) {
        const QByteArray encoded = JpegCodec::encode(buffer, 75, 72);
        Q_UNUSED(encoded);
    }
    if (qint64(buffer.width()) * buffer.height() > 4'000'000)
        buffer = QImage();
    return 0;
}
