// SPDX-FileCopyrightText: 2026 Tessaly
// SPDX-License-Identifier: GPL-3.0-or-later

// Feeds arbitrary bytes to the metadata copier as a source photo (Exiv2 judges the kind from the
// bytes: JPEG, TIFF, PNG, WebP, HEIF, ...), then carries what it read into a small output of
// one format, as a batch worker does after encoding.
#include "FuzzInput.h"

#include "imageio/CameraData.h"
#include "imageio/ImageToolkit.h"
#include "imageio/MetadataCopier.h"

#include <QImage>
#include <QStringList>

#include <array>

using namespace inkveil;

namespace {

constexpr QSize OutputSize(8, 8);
constexpr float Dpi = 72.0f;

const QStringList &formats()
{
    static const QStringList names{QStringLiteral("jpeg"), QStringLiteral("png"),
                                   QStringLiteral("tif"), QStringLiteral("webp"),
                                   QStringLiteral("avif")};
    return names;
}

// One encoded output per format, made once.
const QByteArray &output(qsizetype format)
{
    static const std::array<QByteArray, 5> encoded = [] {
        QImage image(OutputSize, QImage::Format_RGB32);
        image.fill(Qt::gray);
        std::array<QByteArray, 5> files;
        for (qsizetype i = 0; i < formats().size(); ++i)
            files[size_t(i)] = ImageToolkit::encode(image, formats().at(i), 80, Dpi).value();
        return files;
    }();
    return encoded[size_t(format)];
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    // The last byte picks the output format and what is carried, so that every path is reached.
    const int choice = size > 0 ? data[size - 1] : 0;
    const qsizetype format = choice % formats().size();
    const auto mode = (choice / formats().size()) % 2 ? MetadataCopier::Mode::Private
                                                      : MetadataCopier::Mode::Keep;
    // A source that can't be read fails each step at once.
    const MetadataCopier copier(inputFile(data, size), mode);
    const QString &name = formats().at(format);
    if (MetadataCopier::formatEmbedsMetadata(name)) {
        const Result<CameraData> camera = copier.embeddedData(name, OutputSize, Dpi);
        Q_UNUSED(camera);
    } else {
        QByteArray file = output(format);
        (void)copier.writeInto(file, name, OutputSize, Dpi);
    }
    return 0;
}
