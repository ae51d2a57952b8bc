// SPDX-FileCopyrightText: 2026 Tessaly
// SPDX-License-Identifier: GPL-3.0-or-later

// The photo formats reached through libheif: HEIC and AVIF read upright, with their colours and
// their EXIF.

#include "TestSupport.h"

#include "imageio/ExifData.h"
#include "imageio/HeifLayout.h"
#include "imageio/ImageFormat.h"
#include "imageio/ImageToolkit.h"
#include "sources/FileGathering.h"

#include <QBuffer>
#include <QColorSpace>
#include <QTemporaryDir>
#include <QTest>

#include <libheif/heif.h>

using namespace inkveil;

namespace {

// A photo as a phone stores it: the pixels as shot, the turn to show them upright, an optional
// ICC profile and EXIF block.
QByteArray heifFile(const QImage &shot, heif_compression_format compression,
                    heif_orientation orientation, const QByteArray &icc, const QByteArray &exif)
{
    heif_context *context = heif_context_alloc();
    heif_encoder *encoder = nullptr;
    heif_context_get_encoder_for_format(context, compression, &encoder);
    heif_encoder_set_lossy_quality(encoder, 90);
    heif_image *image = nullptr;
    heif_image_create(shot.width(), shot.height(), heif_colorspace_RGB, heif_chroma_interleaved_RGB,
                      &image);
    heif_image_add_plane(image, heif_channel_interleaved, shot.width(), shot.height(), 8);
    int stride = 0;
    uint8_t *plane = heif_image_get_plane(image, heif_channel_interleaved, &stride);
    const QImage rgb = shot.convertToFormat(QImage::Format_RGB888);
    for (int y = 0; y < rgb.height(); ++y)
        memcpy(plane + y * stride, rgb.constScanLine(y), size_t(rgb.width()) * 3);
    if (!icc.isEmpty())
        heif_image_set_raw_color_profile(image, "prof", icc.constData(), size_t(icc.size()));
    heif_encoding_options *options = heif_encoding_options_alloc();
    options->image_orientation = orientation;
    heif_image_handle *handle = nullptr;
    heif_context_encode_image(context, image, encoder, options, &handle);
    if (!exif.isEmpty())
        heif_context_add_exif_metadata(context, handle, exif.constData(), int(exif.size()));

    QByteArray bytes;
    heif_writer writer{1, [](heif_context *, const void *data, size_t size, void *out) {
                           static_cast<QByteArray *>(out)->append(static_cast<const char *>(data),
                                                                  qsizetype(size));
                           return heif_error{heif_error_Ok, heif_suberror_Unspecified, ""};
                       }};
    heif_context_write(context, &writer, &bytes);
    heif_encoding_options_free(options);
    heif_image_handle_release(handle);
    heif_image_release(image);
    heif_encoder_release(encoder);
    heif_context_free(context);
    return bytes;
}

// Left half red, right half blue: after a quarter turn the red half is on top.
QImage halves(QSize size)
{
    QImage image(size, QImage::Format_RGB32);
    image.fill(Qt::blue);
    for (int y = 0; y < size.height(); ++y)
        for (int x = 0; x < size.width() / 2; ++x)
            image.setPixel(x, y, qRgb(255, 0, 0));
    return image;
}

} // namespace

class TestFormats : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void readHeif_data();
    void readHeif();
    void unknownColourBox();
    void gathered();
    void write_data();
    void write();
    void tableMatchesTheEncoders_data();
    void tableMatchesTheEncoders();

private:
    QTemporaryDir m_dir;
};

void TestFormats::initTestCase()
{
    heif_init(nullptr);
    if (!heif_have_encoder_for_format(heif_compression_HEVC) ||
        !heif_have_encoder_for_format(heif_compression_AV1))
        QSKIP("this libheif cannot write HEIC and AVIF test photos");
}

void TestFormats::readHeif_data()
{
    QTest::addColumn<int>("compression");
    QTest::addColumn<int>("orientation");
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("turned");
    QTest::addColumn<QPoint>("red");
    QTest::addColumn<QPoint>("blue");

    // 64 x 32 as shot; the turned ones show 32 x 64.
    QTest::newRow("heic upright") << int(heif_compression_HEVC) << int(heif_orientation_normal)
                                  << "a.heic" << false << QPoint(8, 16) << QPoint(56, 16);
    QTest::newRow("HEIC turned clockwise")
        << int(heif_compression_HEVC) << int(heif_orientation_rotate_90_cw) << "b.HEIC" << true
        << QPoint(16, 8) << QPoint(16, 56);
    QTest::newRow("avif mirrored")
        << int(heif_compression_AV1) << int(heif_orientation_flip_horizontally) << "c.avif" << false
        << QPoint(56, 16) << QPoint(8, 16);
    QTest::newRow("avif turned anticlockwise")
        << int(heif_compression_AV1) << int(heif_orientation_rotate_270_cw) << "d.avif" << true
        << QPoint(16, 56) << QPoint(16, 8);
}

void TestFormats::readHeif()
{
    QFETCH(int, compression);
    QFETCH(int, orientation);
    QFETCH(QString, name);
    QFETCH(bool, turned);
    QFETCH(QPoint, red);
    QFETCH(QPoint, blue);

    const Tiff t{true};
    const QByteArray exif =
        t.tiff({t.text(0x0110, "PHONE-1"), t.ratio(0x011A, 300, 1)}, {t.short16(0x8827, 200)});
    const QByteArray p3 = QColorSpace(QColorSpace::DisplayP3).iccProfile();
    const QString path = m_dir.filePath(name);
    QVERIFY(writeFile(path, heifFile(halves({64, 32}), heif_compression_format(compression),
                                     heif_orientation(orientation), p3, exif)));

    const Result<DecodedImage> read = ImageToolkit::decode(path);
    QVERIFY2(read, qPrintable(read.reason()));
    const DecodedImage &decoded = *read;
    QCOMPARE(decoded.image().size(), turned ? QSize(32, 64) : QSize(64, 32));
    // The memory budget's estimate reads the same upright size from the header alone.
    const auto header = ImageToolkit::readHeader(path);
    QVERIFY(header);
    QCOMPARE(header->size, decoded.image().size());
    QVERIFY(near(decoded.image().pixel(red), qRgb(255, 0, 0), 40));
    QVERIFY(near(decoded.image().pixel(blue), qRgb(0, 0, 255), 40));
    QCOMPARE(decoded.image().colorSpace(), QColorSpace(QColorSpace::DisplayP3));
    QCOMPARE(decoded.dpi(), 300.0f);

    WorkFile file(path);
    QCOMPARE(file.readExif().model(), QStringLiteral("PHONE-1"));
    QCOMPARE(file.readExif().iso(), quint16(200));
    // AV1's picture size is read ahead of decoding from its stream's header: the picture
    // itself, or padded up to the coder's blocks. (libheif writes HEVC as a grid.)
    for (const QSize shot : {QSize(64, 32), QSize(100, 75)}) {
        if (compression != heif_compression_AV1)
            break;
        QByteArray bytes = heifFile(halves(shot), heif_compression_format(compression),
                                    heif_orientation(orientation), {}, {});
        QBuffer buffer(&bytes);
        QVERIFY(buffer.open(QIODevice::ReadOnly));
        const Result<HeifLayout> layout = HeifLayout::read(buffer);
        QVERIFY(layout);
        const QSize upright = turned ? shot.transposed() : shot;
        QVERIFY2(
            layout->coded.expandedTo(upright) == layout->coded &&
                layout->coded.boundedTo(upright + QSize(63, 63)) == layout->coded,
            qPrintable(
                QStringLiteral("%1 x %2").arg(layout->coded.width()).arg(layout->coded.height())));
    }
}

// A colour box whose transfer curve libheif does not know: the photo still reads, in sRGB (and,
// under the sanitizers, leaves nothing behind).
void TestFormats::unknownColourBox()
{
    QImage shot(16, 8, QImage::Format_RGB32);
    shot.fill(Qt::red);
    QByteArray bytes = ImageToolkit::encode(shot, QStringLiteral("avif"), 90, 72.0f).value();
    const qsizetype box = bytes.indexOf("colrnclx");
    QVERIFY(box >= 0);
    qToBigEndian<quint16>(0x0502, bytes.data() + box + 10); // after the primaries
    const QString path = m_dir.filePath(QStringLiteral("odd-colour.avif"));
    QVERIFY(writeFile(path, bytes));

    const Result<DecodedImage> read = ImageToolkit::decode(path);
    QVERIFY2(read, qPrintable(read.reason()));
    const DecodedImage &decoded = *read;
    QCOMPARE(decoded.image().colorSpace(), QColorSpace());
    QVERIFY(near(decoded.image().pixel(8, 4), qRgb(255, 0, 0), 40));
}

void TestFormats::gathered()
{
    for (const char *type : {"heic", "HEIC", "heif", "HEIF", "avif", "AVIF"})
        QVERIFY2(FileGathering::isSupportedFormat(QString::fromLatin1(type)), type);
    QVERIFY(!FileGathering::isSupportedFormat(QStringLiteral("Heic")));
}

void TestFormats::write_data()
{
    QTest::addColumn<QString>("format");
    QTest::addColumn<bool>("alpha");
    QTest::addColumn<bool>("exact");
    QTest::newRow("webp") << "webp" << false << false;
    QTest::newRow("webp with alpha") << "webp" << true << false;
    QTest::newRow("avif") << "avif" << false << false;
    QTest::newRow("avif with alpha") << "avif" << true << false;
    QTest::newRow("png") << "png" << false << true;
    QTest::newRow("png with alpha") << "png" << true << true;
}

// A photo-like picture, smooth with fine detail, so that quality changes the size; written at
// quality 30, 90 and 100 and read back through the application's own decoder.
void TestFormats::write()
{
    QFETCH(QString, format);
    QFETCH(bool, alpha);
    QFETCH(bool, exact);

    QImage image(96, 64, alpha ? QImage::Format_ARGB32 : QImage::Format_RGB32);
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            image.setPixel(
                x, y, qRgba(x * 2, y * 3, 100 + (x * y * 7) % 24, alpha && x < 48 ? 128 : 255));
    image.setColorSpace(QColorSpace(QColorSpace::DisplayP3));

    qsizetype previous = 0;
    for (const int quality : {30, 90, 100}) {
        const Result<QByteArray> encoded = ImageToolkit::encode(image, format, quality, 150.0f);
        QVERIFY2(encoded, qPrintable(encoded.reason()));
        const QByteArray &bytes = *encoded;
        // Lossy formats: quality 30 smaller than 90.
        if (!exact && quality == 90)
            QVERIFY(bytes.size() > previous);
        previous = bytes.size();
        const QString path = m_dir.filePath(QStringLiteral("out%1.%2").arg(quality).arg(format));
        QVERIFY(writeFile(path, bytes));
        const Result<DecodedImage> read = ImageToolkit::decode(path);
        QVERIFY2(read, qPrintable(read.reason()));
        const DecodedImage &decoded = *read;
        QCOMPARE(decoded.image().size(), image.size());
        QCOMPARE(decoded.image().hasAlphaChannel(), alpha);
        QCOMPARE(decoded.image().colorSpace(), image.colorSpace());
        // Lossless formats, and WebP at 100, give back every pixel.
        const bool lossless = exact || (format == QLatin1String("webp") && quality == 100);
        const int tolerance = lossless ? 0 : quality == 30 ? 60 : 24;
        for (const QPoint point : {QPoint(10, 10), QPoint(70, 50), QPoint(90, 5)}) {
            const QRgb got = decoded.image().pixel(point);
            const QRgb want = image.pixel(point);
            QVERIFY2(near(got, want, tolerance),
                     qPrintable(QStringLiteral("%1 at quality %2: %3 for %4")
                                    .arg(format)
                                    .arg(quality)
                                    .arg(got, 8, 16)
                                    .arg(want, 8, 16)));
        }
        if (format == QLatin1String("png"))
            QCOMPARE(decoded.dpi(), 150.0f);
    }
}

void TestFormats::tableMatchesTheEncoders_data()
{
    QTest::addColumn<int>("format");
    for (const ImageFormatInfo &row : ImageFormats::all())
        QTest::newRow(row.names[0]) << int(row.format);
}

// What the format table says of a format against what its encoder writes and the decoder reads
// back: written at all, alpha kept, the colour profile kept, the quality heeded.
void TestFormats::tableMatchesTheEncoders()
{
    QFETCH(int, format);
    const ImageFormatInfo &row = ImageFormats::info(ImageFormat(format));
    for (const char *name : row.names) {
        if (name)
            QCOMPARE(ImageFormats::fromName(QString::fromLatin1(name)), row.format);
    }
    const QString name = QString::fromLatin1(row.names[0]);
    QImage image(48, 32, QImage::Format_ARGB32);
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            image.setPixel(x, y, qRgba(x * 5, y * 7, (x * y * 13) % 256, x < 24 ? 0 : 255));
    image.setColorSpace(QColorSpace(QColorSpace::DisplayP3));
    const Result<QByteArray> low = ImageToolkit::encode(image, name, 30, 72.0f);
    QCOMPARE(low.ok(), row.writable);
    if (!row.writable)
        return;
    QCOMPARE(*low != *ImageToolkit::encode(image, name, 90, 72.0f), row.quality);

    const QString path = m_dir.filePath(QStringLiteral("table.") + name);
    QVERIFY(writeFile(path, *low));
    const Result<DecodedImage> decoded = ImageToolkit::decode(path);
    QVERIFY2(decoded.ok(), qPrintable(decoded.reason()));
    QCOMPARE(decoded->image().hasAlphaChannel(), row.alpha);
    QCOMPARE(decoded->image().colorSpace() == image.colorSpace(), row.iccProfile);
}

QTEST_GUILESS_MAIN(TestFormats)
#include "tst_formats.moc"
