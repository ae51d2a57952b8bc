// SPDX-FileCopyrightText: 2026 Tessaly
// SPDX-License-Identifier: GPL-3.0-or-later

// What happens to the pixels themselves: resizing with a windowed filter, and photos of more
// than 8 bits a channel kept deep where the output format holds them.

#include "HeifBuilder.h"

#include "imageio/ImageToolkit.h"
#include "imageio/Resampler.h"

#include <QColorSpace>
#include <QTemporaryDir>
#include <QTest>

#include <cmath>
#include <numbers>
#include <set>

using namespace inkveil;

namespace {

// Rings whose frequency grows with the distance from the centre: edge / 2 pixels out it reaches
// the pixel grid's limit of half a cycle a pixel.
QImage zonePlate(const int edge)
{
    QImage image(edge, edge, QImage::Format_Grayscale8);
    for (int y = 0; y < edge; ++y) {
        for (int x = 0; x < edge; ++x) {
            const double dx = x - edge / 2.0, dy = y - edge / 2.0;
            const double phase = std::numbers::pi * (dx * dx + dy * dy) / edge;
            image.scanLine(y)[x] = uchar(std::lround(127.5 + 127.5 * std::cos(phase)));
        }
    }
    return image;
}

// The spread (largest minus smallest) of a square of grey pixels.
int spread(const QImage &grey, const QPoint centre, const int half)
{
    int low = 255, high = 0;
    for (int y = centre.y() - half; y <= centre.y() + half; ++y) {
        for (int x = centre.x() - half; x <= centre.x() + half; ++x) {
            low = std::min<int>(low, grey.constScanLine(y)[x]);
            high = std::max<int>(high, grey.constScanLine(y)[x]);
        }
    }
    return high - low;
}

// A horizontal ramp over all 65536 levels of 16-bit green: 8 bits would keep 256 of them.
QImage deepRamp(const QImage::Format format)
{
    QImage image(1024, 16, format);
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x)
            image.setPixelColor(
                x, y, QColor::fromRgba64(40000, quint16(x * 64), 20000, y < 8 ? 65535 : 40000));
    }
    return image;
}

int distinctGreens(const QImage &image)
{
    std::set<quint16> greens;
    for (int x = 0; x < image.width(); ++x)
        greens.insert(image.pixelColor(x, 2).rgba64().green());
    return int(greens.size());
}

// The AV1 configuration's third byte: high bit depth 0x40, chroma halved across 0x08, down 0x04.
int av1Flags(const QByteArray &avif)
{
    return uchar(heifbuilder::payloadOf(avif, "av1C").at(2));
}

} // namespace

class TestPixels : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void keepsLevelsAndFormat_data();
    void keepsLevelsAndFormat();
    void noMoire();
    void deepOutputs_data();
    void deepOutputs();
    void avifLayout_data();
    void avifLayout();
};

void TestPixels::keepsLevelsAndFormat_data()
{
    QTest::addColumn<QImage::Format>("format");
    QTest::addColumn<QImage::Format>("resultFormat");
    QTest::addColumn<double>("tolerance");
    QTest::newRow("RGB32") << QImage::Format_RGB32 << QImage::Format_RGB32 << 1.0 / 255;
    // Filtered premultiplied, so the transparent left half lends no colour to the edge.
    QTest::newRow("ARGB32") << QImage::Format_ARGB32 << QImage::Format_ARGB32_Premultiplied
                            << 2.0 / 255;
    QTest::newRow("RGB888 (converted)")
        << QImage::Format_RGB888 << QImage::Format_RGB32 << 1.0 / 255;
    QTest::newRow("RGBX64") << QImage::Format_RGBX64 << QImage::Format_RGBX64 << 2.0 / 65535;
    // Straight 16-bit RGBA comes back straight, without Qt 6.4's premultiplying fault.
    QTest::newRow("RGBA64") << QImage::Format_RGBA64 << QImage::Format_RGBA64 << 4.0 / 65535;
    QTest::newRow("Grayscale16") << QImage::Format_Grayscale16 << QImage::Format_Grayscale16
                                 << 2.0 / 65535;
}

void TestPixels::keepsLevelsAndFormat()
{
    QFETCH(QImage::Format, format);
    QFETCH(QImage::Format, resultFormat);
    QFETCH(double, tolerance);
    // Left half fully transparent black where the format holds alpha, right half a colour with
    // levels 8 bits cannot hold: a flat area must come out exactly as it went in.
    const QColor colour = QColor::fromRgba64(0x1234, 0x5678, 0x9abc, 0xc000);
    QImage image(90, 60, format);
    image.fill(Qt::transparent);
    for (int y = 0; y < image.height(); ++y) {
        for (int x = image.width() / 2; x < image.width(); ++x)
            image.setPixelColor(x, y, colour);
    }
    const QColor expected = image.pixelColor(image.width() - 1, 0);
    image.setColorSpace(QColorSpace::DisplayP3);
    image.setDotsPerMeterX(5000);

    for (const QSize size : {QSize(30, 20), QSize(200, 140)}) {
        const QImage resized = Resampler::resized(image, size);
        QCOMPARE(resized.size(), size);
        QCOMPARE(resized.format(), resultFormat);
        QCOMPARE(resized.colorSpace(), QColorSpace(QColorSpace::DisplayP3));
        QCOMPARE(resized.dotsPerMeterX(), 5000);
        const QColor right = resized.pixelColor(size.width() - 1, size.height() / 2);
        QVERIFY2(std::abs(right.redF() - expected.redF()) <= tolerance &&
                     std::abs(right.greenF() - expected.greenF()) <= tolerance &&
                     std::abs(right.alphaF() - expected.alphaF()) <= tolerance,
                 qPrintable(right.name(QColor::HexArgb) + " " + expected.name(QColor::HexArgb)));
        // Next to the transparent half, colour is weaker only in alpha, never in hue.
        if (image.hasAlphaChannel()) {
            const QColor edge = resized.pixelColor(size.width() / 2, size.height() / 2);
            QVERIFY(edge.alphaF() < expected.alphaF());
            QVERIFY(std::abs(edge.blueF() - expected.blueF()) < 0.02 || edge.alpha() == 0);
        }
    }
}

void TestPixels::noMoire()
{
    // Shrunk by four, rings of more than a quarter cycle a pixel can't be shown: a box average
    // folds them into false rings of high contrast, a windowed filter into flat grey. Rings of
    // less than a sixteenth keep their contrast.
    const int edge = 512;
    const QImage small = Resampler::resized(zonePlate(edge), QSize(edge / 4, edge / 4));
    QCOMPARE(small.format(), QImage::Format_Grayscale8);
    const int centre = edge / 8;
    for (const QPoint stop : {QPoint(centre + 42, centre), QPoint(centre, centre - 42),
                              QPoint(centre + 30, centre + 30)})
        QVERIFY2(spread(small, stop, 4) < 8, qPrintable(QString::number(spread(small, stop, 4))));
    QVERIFY(spread(small, QPoint(centre + 7, centre), 4) > 150);
}

void TestPixels::deepOutputs_data()
{
    QTest::addColumn<QImage::Format>("source");
    QTest::addColumn<QString>("format");
    QTest::newRow("to png") << QImage::Format_RGBX64 << "png";
    QTest::newRow("to tiff") << QImage::Format_RGBX64 << "tiff";
    QTest::newRow("with alpha to png") << QImage::Format_RGBA64 << "png";
    QTest::newRow("with alpha to tiff") << QImage::Format_RGBA64 << "tiff";
}

void TestPixels::deepOutputs()
{
    // A 10-bit AVIF (read by libheif, as HEIC is) rewritten as PNG or TIFF keeps its depth.
    QFETCH(QImage::Format, source);
    QFETCH(QString, format);
    QTemporaryDir dir;
    const QImage ramp = deepRamp(source);
    QImage image = ramp;
    for (const QString &written : {QStringLiteral("avif"), format}) {
        const QString path = dir.filePath(QStringLiteral("deep.") + written);
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(ImageToolkit::encode(image, written, 95, 72.0f).value());
        file.close();
        const Result<DecodedImage> decoded = ImageToolkit::decode(path);
        QVERIFY2(decoded, qPrintable(decoded.reason()));
        image = decoded->image();
        QCOMPARE(image.depth(), 64);
        QCOMPARE(image.hasAlphaChannel(), ramp.hasAlphaChannel());
    }
    // 10 bits keep most of the ramp's 1024 levels (lossy coding merges a few); 8 would keep 256.
    QVERIFY2(distinctGreens(image) > 600, qPrintable(QString::number(distinctGreens(image))));
    const QColor middle = image.pixelColor(512, 2);
    QVERIFY(std::abs(middle.greenF() - 512 * 64 / 65535.0) < 0.01);
    QVERIFY(std::abs(middle.redF() - 40000 / 65535.0) < 0.01);
    if (image.hasAlphaChannel())
        QVERIFY(std::abs(image.pixelColor(512, 12).alphaF() - 40000 / 65535.0) < 0.01);
}

void TestPixels::avifLayout_data()
{
    QTest::addColumn<QImage::Format>("source");
    QTest::addColumn<int>("quality");
    QTest::addColumn<QColorSpace>("space");
    QTest::addColumn<int>("flags");
    QTest::addColumn<QByteArray>("nclx");
    // Colours signalled as primaries, curve, matrix (BT.601) and full range: sRGB (BT.709
    // primaries, the sRGB curve) for photos without a profile, Display P3's primaries for
    // theirs.
    const QByteArray srgb = QByteArray::fromHex("0001000d000680");
    QTest::newRow("8-bit, quality 80: 4:2:0")
        << QImage::Format_RGB32 << 80 << QColorSpace() << 0x0c << srgb;
    QTest::newRow("8-bit, quality 90: 4:4:4")
        << QImage::Format_RGB32 << 90 << QColorSpace() << 0x00 << srgb;
    QTest::newRow("16-bit, quality 60: 10-bit 4:2:0")
        << QImage::Format_RGBX64 << 60 << QColorSpace() << 0x4c << srgb;
    QTest::newRow("16-bit, quality 95: 10-bit 4:4:4")
        << QImage::Format_RGBX64 << 95 << QColorSpace() << 0x40 << srgb;
    QTest::newRow("Display P3") << QImage::Format_RGB32 << 80 << QColorSpace(QColorSpace::DisplayP3)
                                << 0x0c << QByteArray::fromHex("000c000d000680");
}

void TestPixels::avifLayout()
{
    QFETCH(QImage::Format, source);
    QFETCH(int, quality);
    QFETCH(QColorSpace, space);
    QFETCH(int, flags);
    QFETCH(QByteArray, nclx);
    QImage image = deepRamp(source);
    image.setColorSpace(space);
    const QByteArray avif =
        ImageToolkit::encode(image, QStringLiteral("avif"), quality, 72.0f).value();
    QCOMPARE(av1Flags(avif) & 0x4c, flags);
    const qsizetype at = avif.indexOf("colrnclx");
    QVERIFY(at > 0);
    QCOMPARE(avif.mid(at + 8, 7), nclx);
}

QTEST_MAIN(TestPixels)
#include "tst_pixels.moc"
