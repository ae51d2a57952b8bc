// The photo formats reached through libheif: HEIC and AVIF read upright, with their colours and
// their EXIF.

#include "TestSupport.h"

#include "render/ImageToolkit.h"
#include "sources/ExifData.h"
#include "sources/FileGathering.h"

#include <QColorSpace>
#include <QTemporaryDir>
#include <QTest>

#include <libheif/heif.h>

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
    void gathered();

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

    const DecodedImage decoded = ImageToolkit::decode(path);
    QVERIFY2(!decoded.isNull(), qPrintable(decoded.errorString()));
    QCOMPARE(decoded.image().size(), turned ? QSize(32, 64) : QSize(64, 32));
    QVERIFY(near(decoded.image().pixel(red), qRgb(255, 0, 0), 40));
    QVERIFY(near(decoded.image().pixel(blue), qRgb(0, 0, 255), 40));
    QCOMPARE(decoded.image().colorSpace(), QColorSpace(QColorSpace::DisplayP3));
    QCOMPARE(decoded.dpi(), 300.0f);

    WorkFile file(path);
    QCOMPARE(file.readExif().model(), QStringLiteral("PHONE-1"));
    QCOMPARE(file.readExif().iso(), quint16(200));
}

void TestFormats::gathered()
{
    for (const char *type : {"heic", "HEIC", "heif", "HEIF", "avif", "AVIF"})
        QVERIFY2(FileGathering::isSupportedFormat(QString::fromLatin1(type)), type);
    QVERIFY(!FileGathering::isSupportedFormat(QStringLiteral("Heic")));
}

QTEST_GUILESS_MAIN(TestFormats)
#include "tst_formats.moc"
