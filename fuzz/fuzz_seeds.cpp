// SPDX-FileCopyrightText: 2026 Tessaly
// SPDX-License-Identifier: GPL-3.0-or-later

// Writes a starting corpus for each fuzzer into FOLDER/<fuzzer>/: tiny camera photos with EXIF in
// every format the readers take, made by our own encoders, so that a fresh machine needs no
// image tools and nothing binary is kept in the repository.
//
//   fuzz_seeds FOLDER
#include "HeifBuilder.h"
#include "PhotoBuilders.h"

#include "credentials/CredentialReader.h"
#include "credentials/OutputSigner.h"
#include "credentials/SigningIdentity.h"
#include "imageio/CameraData.h"
#include "imageio/ImageToolkit.h"
#include "imageio/JpegCodec.h"
#include "imageio/MetadataCopier.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QPainter>
#include <QTextStream>

#include <cstdlib>

using namespace inkveil;

namespace {

constexpr QSize PhotoSize(16, 12);
constexpr float Dpi = 300.0f;

void save(const QString &folder, const QString &name, const QByteArray &bytes)
{
    QDir().mkpath(folder);
    QFile file(folder + QLatin1Char('/') + name);
    if (bytes.isEmpty() || !file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size()) {
        QTextStream(stderr) << "fuzz_seeds: cannot write " << file.fileName() << Qt::endl;
        std::exit(1);
    }
}

QImage photo(QImage::Format format)
{
    QImage image(PhotoSize, format);
    image.fill(Qt::darkCyan);
    QPainter(&image).fillRect(0, 0, 8, 6, Qt::yellow);
    return image;
}

QByteArray exifOf(const Tiff &t)
{
    return cameraTiff(t, "Seed Optics", "SX-1", "2024:06:01 12:00:00", quint32(PhotoSize.width()),
                      quint32(PhotoSize.height()));
}

// Signed files, when the fuzz smoke has made a test chain in FOLDER/chain.
int saveSignedSeeds(const QString &root, const QByteArray &colour)
{
    const QString chain = root + QStringLiteral("/chain/");
    if (!QFileInfo::exists(chain + QStringLiteral("chain.pem")))
        return 0;
    const auto identity = SigningIdentity::load(
        {chain + QStringLiteral("chain.pem"), chain + QStringLiteral("signer.key"), {}});
    if (!identity) {
        QTextStream(stderr) << "fuzz_seeds: " << identity.reason() << Qt::endl;
        return 1;
    }
    const OutputSigner signer(*identity, QStringLiteral("Seed Author"));
    const QString seeds = root + QStringLiteral("/credentials");
    for (const QString &format : {QStringLiteral("jpg"), QStringLiteral("png")}) {
        Provenance provenance;
        provenance.title = QStringLiteral("signed.") + format;
        provenance.format = OutputSigner::mediaType(provenance.title);
        provenance.actions.append({QStringLiteral("c2pa.resized"), QString()});
        const QByteArray file =
            format == QLatin1String("jpg")
                ? colour
                : ImageToolkit::encode(photo(QImage::Format_RGB32), format, 80, Dpi).value();
        const auto signedFile = signer.sign(file, provenance, seeds + QStringLiteral("/none"));
        if (!signedFile) {
            QTextStream(stderr) << "fuzz_seeds: " << signedFile.reason() << Qt::endl;
            return 1;
        }
        save(seeds, provenance.title, signedFile->asset);
        if (format == QLatin1String("png"))
            save(seeds, QStringLiteral("store.jumbf"),
                 CredentialReader::read(signedFile->asset).store);
    }
    return 0;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    if (argc != 2) {
        QTextStream(stderr) << "usage: fuzz_seeds FOLDER" << Qt::endl;
        return 2;
    }
    const QString root = QString::fromLocal8Bit(argv[1]);
    const QString exifSeeds = root + QStringLiteral("/exif");
    const QString jpegSeeds = root + QStringLiteral("/jpeg");
    const QString heifSeeds = root + QStringLiteral("/heif");
    const QString metadataSeeds = root + QStringLiteral("/metadata");

    // Both byte orders, the big-endian one with a thumbnail directory after the first.
    const Tiff little{false};
    const Tiff big{true};
    const QByteArray colour = JpegCodec::encode(photo(QImage::Format_RGB32), 75, 72).value();
    const QByteArray camera = withExifSegment(colour, little.app1(exifOf(little)));
    save(exifSeeds, QStringLiteral("little-endian.jpg"), camera);
    save(exifSeeds, QStringLiteral("big-endian.jpg"),
         jpeg(big.app1(big.tiff({big.text(0x010F, "Seed Optics"), big.ratio(0x011A, 72, 1)},
                                {big.ratio(0x829D, 28, 10)}, {big.long32(0x0201, 0)}))));

    // 4:2:0, 4:4:4 (high quality) and greyscale.
    save(jpegSeeds, QStringLiteral("camera.jpg"), camera);
    save(jpegSeeds, QStringLiteral("full-chroma.jpg"),
         JpegCodec::encode(photo(QImage::Format_RGB32), 95, 72).value());
    save(jpegSeeds, QStringLiteral("grey.jpg"),
         JpegCodec::encode(photo(QImage::Format_Grayscale8), 75, 72).value());

    // What the metadata copier reads from: a camera JPEG, and the same data carried into every
    // format Exiv2 reads.
    save(metadataSeeds, QStringLiteral("camera.jpg"), camera);
    const QString source = metadataSeeds + QStringLiteral("/camera.jpg");
    MetadataCopier copier(source, MetadataCopier::Mode::Keep);
    for (const QString &format :
         {QStringLiteral("png"), QStringLiteral("tif"), QStringLiteral("webp")}) {
        QByteArray file =
            ImageToolkit::encode(photo(QImage::Format_RGB32), format, 80, Dpi).value();
        if (const Status carried = copier.writeInto(file, format, PhotoSize, Dpi); !carried) {
            QTextStream(stderr) << "fuzz_seeds: " << carried.reason() << Qt::endl;
            return 1;
        }
        save(metadataSeeds, QStringLiteral("camera.") + format, file);
    }
    const QByteArray avif =
        ImageToolkit::encode(photo(QImage::Format_RGB32), QStringLiteral("avif"), 60, Dpi,
                             CameraData{exifOf(big), {}})
            .value();
    save(metadataSeeds, QStringLiteral("camera.avif"), avif);
    save(heifSeeds, QStringLiteral("camera.avif"), avif);
    // A grid, whose boxes are checked before libheif reads them.
    save(heifSeeds, QStringLiteral("grid.avif"), heifbuilder::gridFile({}));
    const QString layoutSeeds = root + QStringLiteral("/heiflayout");
    save(layoutSeeds, QStringLiteral("camera.avif"), avif);
    save(layoutSeeds, QStringLiteral("grid.avif"), heifbuilder::gridFile({}));

    // One photo in every format whose end the check looks for.
    const QString integritySeeds = root + QStringLiteral("/integrity");
    save(integritySeeds, QStringLiteral("camera.jpg"), camera);
    save(integritySeeds, QStringLiteral("camera.avif"), avif);
    for (const QString &format :
         {QStringLiteral("png"), QStringLiteral("gif"), QStringLiteral("bmp"),
          QStringLiteral("webp"), QStringLiteral("tif")})
        save(integritySeeds, QStringLiteral("photo.") + format,
             ImageToolkit::encode(photo(QImage::Format_RGB32), format, 80, Dpi).value());
    return saveSignedSeeds(root, colour);
}
