#include "render/ImageToolkit.h"

#include <QBuffer>
#include <QColorSpace>
#include <QFile>
#include <QImageReader>
#include <QImageWriter>
#include <QPainter>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>
#include <QtEndian>

#include <tiffio.h>

#include <memory>

namespace {

constexpr QRgb Red = 0xffff0000;
constexpr QRgb Blue = 0xff0000ff;

// Left half red, right half blue, in Adobe RGB; with alpha, the top-left corner is transparent.
QImage twoColourImage(int width, int height, bool alpha = false)
{
    QImage image(width, height, alpha ? QImage::Format_ARGB32 : QImage::Format_RGB32);
    image.fill(Blue);
    image.setColorSpace(QColorSpace::AdobeRgb);
    QPainter painter(&image);
    painter.fillRect(0, 0, width / 2, height, QColor::fromRgb(Red));
    if (alpha) {
        painter.setCompositionMode(QPainter::CompositionMode_Source);
        painter.fillRect(0, 0, 8, 8, Qt::transparent);
    }
    return image;
}

bool near(QRgb actual, QRgb expected, int tolerance)
{
    return std::abs(qRed(actual) - qRed(expected)) <= tolerance &&
           std::abs(qGreen(actual) - qGreen(expected)) <= tolerance &&
           std::abs(qBlue(actual) - qBlue(expected)) <= tolerance &&
           qAlpha(actual) == qAlpha(expected);
}

int dpiOf(const QImage &image)
{
    return qRound(image.dotsPerMeterX() * 0.0254);
}

QByteArray qtEncoded(QImage image, const char *format, int dpi)
{
    image.setDotsPerMeterX(qRound(dpi / 0.0254));
    image.setDotsPerMeterY(qRound(dpi / 0.0254));
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter(&buffer, format).write(image);
    return bytes;
}

// Qt's JPEG opens with a JFIF header; units 0 with a 1:1 density records an aspect ratio only.
QByteArray withoutJfifDensity(QByteArray jpeg)
{
    Q_ASSERT(jpeg.mid(6, 5) == QByteArray("JFIF\0", 5));
    jpeg.replace(13, 5, QByteArray("\0\0\1\0\1", 5));
    return jpeg;
}

// A little-endian APP1 EXIF segment, spliced in right after SOI where cameras put it. Tags with
// a value of 0 are left out.
QByteArray withExif(const QByteArray &jpeg, quint16 orientation, quint32 xResolution)
{
    QByteArray tiff("II*\0\x08\0\0\0", 8);
    auto put = [&tiff](auto value) {
        const auto le = qToLittleEndian(value);
        tiff.append(reinterpret_cast<const char *>(&le), sizeof le);
    };
    auto entry = [&put](quint16 tag, quint16 type, quint32 value) {
        put(tag);
        put(type);
        put(quint32(1));
        put(value);
    };
    const int count = (orientation ? 1 : 0) + (xResolution ? 2 : 0);
    put(quint16(count));
    if (orientation)
        entry(0x0112, 3, orientation);
    if (xResolution) {
        entry(0x011A, 5, quint32(8 + 2 + 12 * count + 4)); // the fraction follows the table
        entry(0x0128, 3, 2);                               // inches
    }
    put(quint32(0));
    put(xResolution);
    put(quint32(1));
    QByteArray segment = QByteArray("\xFF\xE1\0\0Exif\0\0", 10) + tiff;
    qToBigEndian<quint16>(static_cast<quint16>(segment.size() - 2), segment.data() + 2);
    return jpeg.left(2) + segment + jpeg.mid(2);
}

// The JPEG with its frame header claiming another pixel size.
QByteArray withFrameSize(QByteArray jpeg, quint16 width, quint16 height)
{
    qsizetype at = 2;
    while (uchar(jpeg[at + 1]) != 0xC0)
        at += 2 + qFromBigEndian<quint16>(jpeg.constData() + at + 2);
    qToBigEndian<quint16>(height, jpeg.data() + at + 5);
    qToBigEndian<quint16>(width, jpeg.data() + at + 7);
    return jpeg;
}

struct TiffCloser
{
    void operator()(TIFF *tiff) const { TIFFClose(tiff); }
};

} // namespace

class TestImageToolkit : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void resize_data();
    void resize();
    void encodeRoundTrip_data();
    void encodeRoundTrip();
    void tiffTags();
    void jpegQuality();
    void unknownFormat();
    void decodeResolution_data();
    void decodeResolution();
    void decodeUpright();
    void decodeIntoReusesBuffer();
    void decodeFailure_data();
    void decodeFailure();

private:
    QString write(const QString &name, const QByteArray &bytes);

    QTemporaryDir m_dir;
};

QString TestImageToolkit::write(const QString &name, const QByteArray &bytes)
{
    const QString path = m_dir.filePath(name);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        qFatal("cannot write %s", qPrintable(path));
    return path;
}

void TestImageToolkit::resize_data()
{
    QTest::addColumn<QSize>("source");
    QTest::addColumn<QSize>("box");
    QTest::addColumn<QSize>("result"); // invalid: a null image

    QTest::newRow("wide") << QSize(3000, 2000) << QSize(640, 480) << QSize(640, 427);
    QTest::newRow("tall") << QSize(2000, 3000) << QSize(640, 480) << QSize(320, 480);
    QTest::newRow("small is enlarged") << QSize(100, 50) << QSize(640, 480) << QSize(640, 320);
    QTest::newRow("square box") << QSize(3000, 2000) << QSize(128, 128) << QSize(128, 85);
    QTest::newRow("same proportions") << QSize(800, 600) << QSize(640, 480) << QSize(640, 480);
    QTest::newRow("sliver keeps a pixel") << QSize(4000, 2) << QSize(100, 100) << QSize(100, 1);
    // 66176 is 640 in 16 bits, 40000 negative.
    QTest::newRow("box over 16 bits") << QSize(3000, 2000) << QSize(66176, 480) << QSize(640, 427);
    QTest::newRow("negative box") << QSize(3000, 2000) << QSize(40000, 480) << QSize();
    QTest::newRow("width 0") << QSize(3000, 2000) << QSize(0, 480) << QSize();
    QTest::newRow("height 0") << QSize(3000, 2000) << QSize(640, 0) << QSize();
    QTest::newRow("0 by 0") << QSize(3000, 2000) << QSize(0, 0) << QSize();
}

void TestImageToolkit::resize()
{
    QFETCH(QSize, source);
    QFETCH(QSize, box);
    QFETCH(QSize, result);
    const QImage resized = ImageToolkit::imageFromResizing(
        twoColourImage(source.width(), source.height()), box.width(), box.height());
    QCOMPARE(resized.size(), result.isValid() ? result : QSize(0, 0));
    QCOMPARE(resized.isNull(), !result.isValid());
    if (result.isValid() && result.width() >= 8) {
        QVERIFY(near(resized.pixel(result.width() / 4, result.height() / 2), Red, 2));
        QVERIFY(near(resized.pixel(result.width() * 3 / 4, result.height() / 2), Blue, 2));
        QCOMPARE(resized.colorSpace(), QColorSpace(QColorSpace::AdobeRgb));
    }
}

void TestImageToolkit::encodeRoundTrip_data()
{
    QTest::addColumn<QString>("format");
    QTest::addColumn<QByteArray>("readAs");
    QTest::addColumn<bool>("alpha");
    QTest::addColumn<int>("tolerance");
    QTest::addColumn<bool>("full"); // records resolution and colour profile

    QTest::newRow("jpeg") << QStringLiteral("jpeg") << QByteArray("jpeg") << false << 6 << true;
    QTest::newRow("jpg") << QStringLiteral("jpg") << QByteArray("jpeg") << false << 6 << true;
    QTest::newRow("tiff") << QStringLiteral("tiff") << QByteArray("tiff") << false << 0 << true;
    QTest::newRow("tif") << QStringLiteral("tif") << QByteArray("tiff") << false << 0 << true;
    QTest::newRow("tif, alpha") << QStringLiteral("tif") << QByteArray("tiff") << true << 0 << true;
    QTest::newRow("png") << QStringLiteral("png") << QByteArray("png") << false << 0 << true;
    QTest::newRow("png, alpha") << QStringLiteral("png") << QByteArray("png") << true << 0 << true;
    QTest::newRow("bmp") << QStringLiteral("bmp") << QByteArray("bmp") << false << 0 << false;
    QTest::newRow("gif") << QStringLiteral("gif") << QByteArray("gif") << false << 0 << false;
    QTest::newRow("gif, alpha") << QStringLiteral("gif") << QByteArray("gif") << true << 0 << false;
}

void TestImageToolkit::encodeRoundTrip()
{
    QFETCH(QString, format);
    QFETCH(QByteArray, readAs);
    QFETCH(bool, alpha);
    QFETCH(int, tolerance);
    QFETCH(bool, full);

    QByteArray bytes = ImageToolkit::encode(twoColourImage(64, 48, alpha), format, 90, 300.0f);
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    QCOMPARE(reader.format(), readAs);
    const QImage decoded = reader.read();
    QCOMPARE(decoded.size(), QSize(64, 48));
    QVERIFY(near(decoded.pixel(16, 30), Red, tolerance));
    QVERIFY(near(decoded.pixel(48, 30), Blue, tolerance));
    if (alpha)
        QCOMPARE(qAlpha(decoded.pixel(2, 2)), 0);
    if (full)
        QCOMPARE(decoded.colorSpace(), QColorSpace(QColorSpace::AdobeRgb));
    if (full || format == QLatin1String("bmp"))
        QCOMPARE(dpiOf(decoded), 300);
}

void TestImageToolkit::tiffTags()
{
    const QString path =
        write(QStringLiteral("lzw.tif"),
              ImageToolkit::encode(twoColourImage(64, 48), QStringLiteral("tif"), 90, 240.0f));
    const std::unique_ptr<TIFF, TiffCloser> tiff(TIFFOpen(QFile::encodeName(path), "r"));
    QVERIFY(tiff);
    auto tag16 = [&tiff](ttag_t tag) {
        uint16_t value = 0;
        return TIFFGetField(tiff.get(), tag, &value) ? int(value) : -1;
    };
    QCOMPARE(tag16(TIFFTAG_COMPRESSION), COMPRESSION_LZW);
    QCOMPARE(tag16(TIFFTAG_PREDICTOR), PREDICTOR_HORIZONTAL);
    QCOMPARE(tag16(TIFFTAG_SAMPLESPERPIXEL), 3);
    QCOMPARE(tag16(TIFFTAG_BITSPERSAMPLE), 8);
    QCOMPARE(tag16(TIFFTAG_RESOLUTIONUNIT), RESUNIT_INCH);
    float x = 0, y = 0;
    QVERIFY(TIFFGetField(tiff.get(), TIFFTAG_XRESOLUTION, &x));
    QVERIFY(TIFFGetField(tiff.get(), TIFFTAG_YRESOLUTION, &y));
    QCOMPARE(x, 240.0f);
    QCOMPARE(y, 240.0f);
}

void TestImageToolkit::jpegQuality()
{
    QImage noise(256, 256, QImage::Format_RGB32);
    QRandomGenerator random(42);
    for (int y = 0; y < noise.height(); ++y) {
        for (int x = 0; x < noise.width(); ++x)
            noise.setPixel(x, y, 0xff000000 | (random.generate() & 0xffffff));
    }
    const qsizetype fine = ImageToolkit::encode(noise, QStringLiteral("jpg"), 90, 72.0f).size();
    const qsizetype coarse = ImageToolkit::encode(noise, QStringLiteral("jpg"), 30, 72.0f).size();
    QVERIFY(coarse > 0);
    QVERIFY2(fine > coarse * 3 / 2, qPrintable(QStringLiteral("%1 vs %2").arg(fine).arg(coarse)));
}

void TestImageToolkit::unknownFormat()
{
    // Names are exact: no case folding, no dots, and reading a format is not writing it.
    for (const char *format : {"JPG", ".png", "webp", ""}) {
        QVERIFY2(
            ImageToolkit::encode(twoColourImage(16, 16), QString::fromLatin1(format), 90, 72.0f)
                .isEmpty(),
            format);
    }
}

void TestImageToolkit::decodeResolution_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<float>("dpi");

    const QImage image = twoColourImage(600, 300);
    const QByteArray bare = withoutJfifDensity(qtEncoded(image, "jpeg", 300));
    QTest::newRow("jpeg JFIF") << qtEncoded(image, "jpeg", 300) << 300.0f;
    QTest::newRow("jpeg JFIF 72") << qtEncoded(image, "jpeg", 72) << 72.0f;
    QTest::newRow("jpeg EXIF only") << withExif(bare, 0, 300) << 300.0f;
    QTest::newRow("JFIF over EXIF") << withExif(qtEncoded(image, "jpeg", 150), 0, 300) << 150.0f;
    // Qt gives an image the screen's resolution when the file has none; that must not leak.
    QTest::newRow("jpeg without") << bare << 72.0f;
    QTest::newRow("png pHYs") << qtEncoded(image, "png", 300) << 300.0f;
    QTest::newRow("tiff") << ImageToolkit::encode(image, QStringLiteral("tiff"), 0, 200.0f)
                          << 200.0f;
}

void TestImageToolkit::decodeResolution()
{
    QFETCH(QByteArray, file);
    QFETCH(float, dpi);
    const DecodedImage decoded = ImageToolkit::decode(write(QStringLiteral("photo"), file));
    QVERIFY2(!decoded.isNull(), qPrintable(decoded.errorString()));
    QCOMPARE(decoded.image().size(), QSize(600, 300));
    QCOMPARE(decoded.dpi(), dpi);
    QCOMPARE(decoded.sizeInPoints(), (FloatSize{600.0f * 72.0f / dpi, 300.0f * 72.0f / dpi}));
    QCOMPARE(dpiOf(decoded.image()), qRound(dpi));
}

void TestImageToolkit::decodeUpright()
{
    // Stored a quarter turn anticlockwise, as a camera held upright writes it; orientation 6 asks
    // for a quarter turn clockwise to view it.
    QImage stored = twoColourImage(40, 20).transformed(QTransform().rotate(-90));
    stored.setColorSpace(QColorSpace::AdobeRgb);
    const QString path =
        write(QStringLiteral("turned.jpg"), withExif(qtEncoded(stored, "jpeg", 300), 6, 0));
    const DecodedImage decoded = ImageToolkit::decode(path);
    QVERIFY2(!decoded.isNull(), qPrintable(decoded.errorString()));
    QCOMPARE(decoded.image().size(), QSize(40, 20));
    QVERIFY(near(decoded.image().pixel(10, 10), Red, 8));
    QVERIFY(near(decoded.image().pixel(30, 10), Blue, 8));
    QCOMPARE(decoded.image().colorSpace(), QColorSpace(QColorSpace::AdobeRgb));
    QCOMPARE(decoded.sizeInPoints(), (FloatSize{40.0f * 72.0f / 300.0f, 20.0f * 72.0f / 300.0f}));
}

void TestImageToolkit::decodeIntoReusesBuffer()
{
    const QString first =
        write(QStringLiteral("first.jpg"), qtEncoded(twoColourImage(64, 48), "jpeg", 300));
    QImage green(64, 48, QImage::Format_RGB32);
    green.fill(Qt::green);
    const QString second =
        write(QStringLiteral("second.jpg"), withoutJfifDensity(qtEncoded(green, "jpeg", 300)));

    QImage buffer;
    QCOMPARE(ImageToolkit::decodeInto(first, buffer).dpi(), 300.0f);
    const uchar *const pixels = buffer.constBits();
    // The second photo lands in the same memory, with nothing of the first's resolution or profile.
    const DecodedImage decoded = ImageToolkit::decodeInto(second, buffer);
    QVERIFY(decoded.image().constBits() == pixels);
    QCOMPARE(decoded.dpi(), 72.0f);
    QVERIFY(!decoded.image().colorSpace().isValid());
    QVERIFY(near(decoded.image().pixel(10, 10), 0xff00ff00, 8));
}

void TestImageToolkit::decodeFailure_data()
{
    QTest::addColumn<QByteArray>("file"); // null: no file at all
    QTest::addColumn<QString>("reason");

    const QByteArray jpeg = qtEncoded(twoColourImage(64, 48), "jpeg", 72);
    QTest::newRow("missing") << QByteArray() << QString();
    QTest::newRow("empty") << QByteArray("") << QString();
    QTest::newRow("not an image") << QByteArray("this is not a photo") << QString();
    QTest::newRow("cut in the header") << jpeg.left(100) << QString();
    QTest::newRow("absurd size") << withFrameSize(jpeg, 60000, 60000)
                                 << QStringLiteral("megapixels");
}

void TestImageToolkit::decodeFailure()
{
    QFETCH(QByteArray, file);
    QFETCH(QString, reason);
    const QString path = file.isNull() ? m_dir.filePath(QStringLiteral("missing.jpg"))
                                       : write(QStringLiteral("broken.jpg"), file);
    const DecodedImage decoded = ImageToolkit::decode(path);
    QVERIFY(decoded.isNull());
    QVERIFY2(decoded.errorString().contains(path), qPrintable(decoded.errorString()));
    QVERIFY2(decoded.errorString().contains(reason), qPrintable(decoded.errorString()));
}

QTEST_MAIN(TestImageToolkit)
#include "tst_imagetoolkit.moc"
