// SPDX-FileCopyrightText: 2026 Tessaly
// SPDX-License-Identifier: GPL-3.0-or-later

#include "TestSupport.h"
#include "imageio/ImageToolkit.h"

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

#include <cstdio> // jpeglib.h needs FILE
#include <jpeglib.h>
#include <lcms2.h>
#include <tiffio.h>

#include <algorithm>
#include <memory>

using namespace inkveil;

namespace {

constexpr QRgb Red = 0xffff0000;
constexpr QRgb Blue = 0xff0000ff;
const QColorSpace AdobeRgb(QColorSpace::AdobeRgb);

// Left half red, right half blue, in Adobe RGB; with alpha, the top-left corner is transparent.
QImage twoColourImage(int width, int height, bool alpha = false)
{
    QImage image(width, height, alpha ? QImage::Format_ARGB32 : QImage::Format_RGB32);
    image.fill(Blue);
    image.setColorSpace(AdobeRgb);
    QPainter painter(&image);
    painter.fillRect(0, 0, width / 2, height, QColor::fromRgb(Red));
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    if (alpha)
        painter.fillRect(0, 0, 8, 8, Qt::transparent);
    return image;
}

QByteArray qtEncoded(const QImage &image, const char *format, int dpi, int quality = -1)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, format);
    writer.setQuality(quality);
    return writer.write(withDpi(image, dpi)) ? bytes : QByteArray();
}

// Qt's JPEG opens with a JFIF header; units 0 with a 1:1 density records an aspect ratio only.
QByteArray withoutJfifDensity(QByteArray jpeg)
{
    Q_ASSERT(jpeg.mid(6, 5) == QByteArray("JFIF\0", 5));
    return jpeg.replace(13, 5, QByteArray("\0\0\1\0\1", 5));
}

// The JPEG with an EXIF segment right after SOI, where cameras put it: orientation, X resolution
// and its unit (2 inches, 3 centimetres, 1 none).
QByteArray withExif(const QByteArray &jpeg, quint16 orientation, quint32 xResolution,
                    quint16 unit = 2)
{
    const Tiff t{false};
    return withExifSegment(
        jpeg, t.app1(t.tiff({t.short16(0x0112, orientation), t.ratio(0x011A, xResolution, 1),
                             t.short16(0x0128, unit)})));
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

// The sampling factors of each component in a baseline JPEG's frame header: 0x22 0x11 0x11 is
// 4:2:0, 0x11 0x11 0x11 is 4:4:4.
QByteArray samplingFactors(const QByteArray &jpeg)
{
    qsizetype at = 2;
    while (at + 4 < jpeg.size() && uchar(jpeg[at + 1]) != 0xC0)
        at += 2 + qFromBigEndian<quint16>(jpeg.constData() + at + 2);
    QByteArray factors;
    for (int component = 0; component < uchar(jpeg.at(at + 9)); ++component)
        factors.append(jpeg.at(at + 11 + 3 * component));
    return factors;
}

// The summed difference of every channel of every pixel.
qint64 difference(const QImage &a, const QImage &b)
{
    qint64 sum = 0;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x) {
            const QRgb p = a.pixel(x, y);
            const QRgb q = b.pixel(x, y);
            sum += std::abs(qRed(p) - qRed(q)) + std::abs(qGreen(p) - qGreen(q)) +
                   std::abs(qBlue(p) - qBlue(q));
        }
    return sum;
}

// A CMYK profile whose colours are the plain ink mix with red and blue swapped, so that pixels
// converted through it are told from pixels converted without: full cyan reads as yellow.
QByteArray swappedCmykProfile()
{
    const auto lab = [](const cmsUInt16Number in[], cmsUInt16Number out[], void *toLab) {
        const auto clear = [&](int ink) { return (65535u - in[ink]) * (65535u - in[3]) / 65535u; };
        const cmsUInt16Number rgb[3] = {cmsUInt16Number(clear(2)), cmsUInt16Number(clear(1)),
                                        cmsUInt16Number(clear(0))};
        cmsDoTransform(toLab, rgb, out, 1);
        return 1;
    };
    cmsHPROFILE srgb = cmsCreate_sRGBProfile();
    cmsHPROFILE labProfile = cmsCreateLab4Profile(nullptr);
    cmsHTRANSFORM toLab =
        cmsCreateTransform(srgb, TYPE_RGB_16, labProfile, TYPE_Lab_16, INTENT_PERCEPTUAL, 0);
    cmsHPROFILE profile = cmsCreateProfilePlaceholder(nullptr);
    cmsSetDeviceClass(profile, cmsSigInputClass);
    cmsSetColorSpace(profile, cmsSigCmykData);
    cmsSetPCS(profile, cmsSigLabData);
    cmsWriteTag(profile, cmsSigMediaWhitePointTag, cmsD50_XYZ());
    cmsPipeline *pipeline = cmsPipelineAlloc(nullptr, 4, 3);
    cmsStage *table = cmsStageAllocCLut16bit(nullptr, 9, 4, 3, nullptr);
    cmsStageSampleCLut16bit(table, lab, toLab, 0);
    cmsPipelineInsertStage(pipeline, cmsAT_END, table);
    cmsWriteTag(profile, cmsSigAToB0Tag, pipeline);
    cmsUInt32Number size = 0;
    cmsSaveProfileToMem(profile, nullptr, &size);
    QByteArray bytes(qsizetype(size), '\0');
    cmsSaveProfileToMem(profile, bytes.data(), &size);
    cmsPipelineFree(pipeline);
    cmsCloseProfile(profile);
    cmsDeleteTransform(toLab);
    cmsCloseProfile(labProfile);
    cmsCloseProfile(srgb);
    return bytes;
}

// A CMYK (or YCCK) JPEG as prepress tools write it (Adobe's inverted values), with the given
// profile: every pixel cyan.
QByteArray cmykJpeg(int width, int height, const QByteArray &profile = {}, bool ycck = false)
{
    jpeg_compress_struct info{};
    jpeg_error_mgr error{};
    info.err = jpeg_std_error(&error);
    jpeg_create_compress(&info);
    unsigned char *data = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&info, &data, &size);
    info.image_width = JDIMENSION(width);
    info.image_height = JDIMENSION(height);
    info.input_components = 4;
    info.in_color_space = JCS_CMYK;
    jpeg_set_defaults(&info);
    jpeg_set_colorspace(&info, ycck ? JCS_YCCK : JCS_CMYK);
    info.write_Adobe_marker = TRUE;
    jpeg_start_compress(&info, TRUE);
    if (!profile.isEmpty())
        jpeg_write_icc_profile(&info, reinterpret_cast<const JOCTET *>(profile.constData()),
                               unsigned(profile.size()));
    QByteArray row;
    for (int x = 0; x < width; ++x)
        row.append(QByteArray("\x00\xff\xff\xff", 4)); // inverted: full cyan, no M, Y, K
    while (info.next_scanline < info.image_height) {
        JSAMPROW line = reinterpret_cast<JSAMPROW>(row.data());
        jpeg_write_scanlines(&info, &line, 1);
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    std::free(data);
    return bytes;
}

} // namespace

class TestImageToolkit : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void resize_data();
    void resize();
    void resizeRule_data();
    void resizeRule();
    void encodeRoundTrip_data();
    void encodeRoundTrip();
    void tiffTagsAndJpegQuality();
    void decode_data();
    void decode();
    void decodeIntoReusesBuffer();
    void reducedDecode_data();
    void reducedDecode();
    void jpegKinds_data();
    void jpegKinds();
    void jpegWrittenAsQtWritesIt_data();
    void jpegWrittenAsQtWritesIt();
    void decodeFailure_data();
    void decodeFailure();
    void damagedOrWhole_data();
    void damagedOrWhole();

private:
    QString write(const QString &name, const QByteArray &bytes)
    {
        const QString path = m_dir.filePath(name);
        if (!writeFile(path, bytes))
            qFatal("cannot write %s", qPrintable(path));
        return path;
    }

    QTemporaryDir m_dir;
};

void TestImageToolkit::resize_data()
{
    QTest::addColumn<QSize>("source");
    QTest::addColumn<QSize>("box");
    QTest::addColumn<QSize>("result"); // invalid: a null image

    QTest::newRow("wide") << QSize(3000, 2000) << QSize(640, 480) << QSize(640, 427);
    QTest::newRow("tall") << QSize(2000, 3000) << QSize(640, 480) << QSize(320, 480);
    QTest::newRow("small is enlarged") << QSize(100, 50) << QSize(640, 480) << QSize(640, 320);
    QTest::newRow("sliver keeps a pixel") << QSize(4000, 2) << QSize(100, 100) << QSize(100, 1);
    // 66176 is 640 in 16 bits.
    QTest::newRow("box over 16 bits") << QSize(3000, 2000) << QSize(66176, 480) << QSize(640, 427);
    QTest::newRow("width 0") << QSize(3000, 2000) << QSize(0, 480) << QSize();
    QTest::newRow("height 0") << QSize(3000, 2000) << QSize(640, 0) << QSize();
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
        QCOMPARE(resized.colorSpace(), AdobeRgb);
    }
}

void TestImageToolkit::resizeRule_data()
{
    QTest::addColumn<QSize>("photo");
    QTest::addColumn<int>("mode");
    QTest::addColumn<double>("value"); // the box's edges for FitBox
    QTest::addColumn<bool>("neverEnlarge");
    QTest::addColumn<QSize>("result"); // invalid: no size

    const auto row = [](const char *name, QSize photo, ResizeRule::Mode mode, double value,
                        bool neverEnlarge, QSize result) {
        QTest::newRow(name) << photo << int(mode) << value << neverEnlarge << result;
    };
    using R = ResizeRule;
    row("box as before", {3000, 2000}, R::FitBox, 640, false, {640, 427});
    row("box enlarges", {100, 50}, R::FitBox, 640, false, {640, 320});
    row("box never enlarges", {100, 50}, R::FitBox, 640, true, {100, 50});
    row("box shrinks all the same", {3000, 2000}, R::FitBox, 640, true, {640, 427});
    row("long edge, wide", {6000, 4000}, R::LongEdge, 2048, false, {2048, 1365});
    row("long edge, tall", {4000, 6000}, R::LongEdge, 2048, false, {1365, 2048});
    row("long edge, odd size", {2999, 1000}, R::LongEdge, 1000, false, {1000, 333});
    row("short edge", {6000, 4000}, R::ShortEdge, 1080, false, {1620, 1080});
    row("short edge enlarges", {600, 400}, R::ShortEdge, 800, false, {1200, 800});
    row("short edge never enlarges", {600, 400}, R::ShortEdge, 800, true, {600, 400});
    row("percent", {6000, 4000}, R::Percent, 25, false, {1500, 1000});
    row("percent keeps a pixel", {4000, 2}, R::Percent, 1, false, {40, 1});
    row("megapixels", {6000, 4000}, R::Megapixels, 6, false, {3000, 2000});
    row("megapixels never enlarge", {600, 400}, R::Megapixels, 6, true, {600, 400});
    row("edge 0", {6000, 4000}, R::LongEdge, 0, false, {});
    row("percent 0", {6000, 4000}, R::Percent, 0, true, {});
    row("past the decoder's limit", {20000, 10000}, R::Percent, 1000, false, {});
    row("empty photo", {0, 0}, R::LongEdge, 100, false, {});
}

// The rules of the output pane, as the batch, its memory estimate and the summary size photos.
void TestImageToolkit::resizeRule()
{
    QFETCH(QSize, photo);
    QFETCH(int, mode);
    QFETCH(double, value);
    QFETCH(bool, neverEnlarge);
    QFETCH(QSize, result);
    ResizeRule rule = ResizeRule::fitInto(int(value), int(value * 3 / 4));
    rule.mode = static_cast<ResizeRule::Mode>(mode);
    rule.edge = int(value);
    rule.percent = int(value);
    rule.megapixels = float(value);
    rule.neverEnlarge = neverEnlarge;
    QCOMPARE(rule.outputSize(photo), result);
    if (result.isValid() && photo.width() <= 600)
        QCOMPARE(
            ImageToolkit::imageFromResizing(twoColourImage(photo.width(), photo.height()), rule)
                .size(),
            result);
}

void TestImageToolkit::encodeRoundTrip_data()
{
    QTest::addColumn<QString>("format");
    QTest::addColumn<QByteArray>("readAs"); // empty: nothing written
    QTest::addColumn<bool>("alpha");

    QTest::newRow("jpeg") << QStringLiteral("jpeg") << QByteArray("jpeg") << false;
    QTest::newRow("jpg") << QStringLiteral("jpg") << QByteArray("jpeg") << false;
    QTest::newRow("tiff") << QStringLiteral("tiff") << QByteArray("tiff") << false;
    QTest::newRow("tif, alpha") << QStringLiteral("tif") << QByteArray("tiff") << true;
    QTest::newRow("png, alpha") << QStringLiteral("png") << QByteArray("png") << true;
    QTest::newRow("bmp") << QStringLiteral("bmp") << QByteArray("bmp") << false;
    // Formats without alpha show transparent areas on white.
    QTest::newRow("jpeg, alpha") << QStringLiteral("jpeg") << QByteArray("jpeg") << true;
    QTest::newRow("bmp, alpha") << QStringLiteral("bmp") << QByteArray("bmp") << true;
    QTest::newRow("gif, alpha") << QStringLiteral("gif") << QByteArray("gif") << true;
    // Names are exact: no case folding, no dots, and reading a format is not writing it.
    for (const char *format : {"JPG", ".png", "heic", ""})
        QTest::newRow(format) << QString::fromLatin1(format) << QByteArray() << false;
}

void TestImageToolkit::encodeRoundTrip()
{
    QFETCH(QString, format);
    QFETCH(QByteArray, readAs);
    QFETCH(bool, alpha);

    const Result<QByteArray> encoded =
        ImageToolkit::encode(twoColourImage(64, 48, alpha), format, 90, 300.0f);
    QCOMPARE(encoded.ok(), !readAs.isEmpty());
    if (readAs.isEmpty())
        return;
    QByteArray bytes = *encoded;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    QCOMPARE(QImageReader(&buffer).format(), readAs);
    const QImage decoded = QImage::fromData(bytes);
    const int tolerance = readAs == "jpeg" ? 6 : 0;
    QCOMPARE(decoded.size(), QSize(64, 48));
    QVERIFY(near(decoded.pixel(16, 30), Red, tolerance));
    QVERIFY(near(decoded.pixel(48, 30), Blue, tolerance));
    if (alpha && (readAs == "jpeg" || readAs == "bmp"))
        QVERIFY(near(decoded.pixel(2, 2), qRgb(255, 255, 255), tolerance));
    else if (alpha)
        QCOMPARE(qAlpha(decoded.pixel(2, 2)), 0);
    // JPEG, TIFF and PNG record resolution and colour profile; BMP resolution only.
    if (readAs != "bmp" && readAs != "gif")
        QCOMPARE(decoded.colorSpace(), AdobeRgb);
    if (readAs != "gif")
        QCOMPARE(dpiOf(decoded), 300);
}

void TestImageToolkit::tiffTagsAndJpegQuality()
{
    const QString path = write(
        QStringLiteral("lzw.tif"),
        ImageToolkit::encode(twoColourImage(64, 48), QStringLiteral("tif"), 90, 240.0f).value());
    const std::unique_ptr<TIFF, void (*)(TIFF *)> tiff(TIFFOpen(QFile::encodeName(path), "r"),
                                                       TIFFClose);
    QVERIFY(tiff);
    const int tags[][2] = {{TIFFTAG_COMPRESSION, COMPRESSION_LZW},
                           {TIFFTAG_PREDICTOR, PREDICTOR_HORIZONTAL},
                           {TIFFTAG_SAMPLESPERPIXEL, 3},
                           {TIFFTAG_BITSPERSAMPLE, 8},
                           {TIFFTAG_RESOLUTIONUNIT, RESUNIT_INCH}};
    for (const auto &[tag, expected] : tags) {
        uint16_t value = 0;
        QVERIFY(TIFFGetField(tiff.get(), ttag_t(tag), &value));
        QCOMPARE(int(value), expected);
    }
    for (const int tag : {TIFFTAG_XRESOLUTION, TIFFTAG_YRESOLUTION}) {
        float dpi = 0;
        QVERIFY(TIFFGetField(tiff.get(), ttag_t(tag), &dpi));
        QCOMPARE(dpi, 240.0f);
    }

    // Noise at quality 90 takes far more room than at 30.
    QImage noise(256, 256, QImage::Format_RGB32);
    QRandomGenerator random(42);
    for (int i = 0; i < 256 * 256; ++i)
        noise.setPixel(i % 256, i / 256, 0xff000000 | (random.generate() & 0xffffff));
    const qsizetype fine = ImageToolkit::encode(noise, QStringLiteral("jpg"), 90, 72.0f)->size();
    const qsizetype coarse = ImageToolkit::encode(noise, QStringLiteral("jpg"), 30, 72.0f)->size();
    QVERIFY(coarse > 0);
    QVERIFY2(fine > coarse * 3 / 2, qPrintable(QStringLiteral("%1 vs %2").arg(fine).arg(coarse)));
}

void TestImageToolkit::decode_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<float>("dpi");

    const QImage image = twoColourImage(600, 300);
    const QByteArray bare = withoutJfifDensity(qtEncoded(image, "jpeg", 300));
    QTest::newRow("jpeg JFIF") << qtEncoded(image, "jpeg", 300) << 300.0f;
    QTest::newRow("jpeg EXIF only") << withExif(bare, 1, 300) << 300.0f;
    QTest::newRow("EXIF in centimetres") << withExif(bare, 1, 100, 3) << 254.0f;
    // Unit "none" records an aspect ratio, not a print size.
    QTest::newRow("EXIF without unit") << withExif(bare, 1, 1, 1) << 72.0f;
    QTest::newRow("EXIF zero") << withExif(bare, 1, 0) << 72.0f;
    QTest::newRow("JFIF over EXIF") << withExif(qtEncoded(image, "jpeg", 150), 1, 300) << 150.0f;
    // Qt gives an image the screen's resolution when the file has none; that must not leak.
    QTest::newRow("jpeg without") << bare << 72.0f;
    QTest::newRow("png pHYs") << qtEncoded(image, "png", 300) << 300.0f;
    QTest::newRow("tiff") << ImageToolkit::encode(image, QStringLiteral("tiff"), 0, 200.0f).value()
                          << 200.0f;
    // Stored a quarter turn anticlockwise, as a camera held upright writes it; orientation 6 asks
    // for a quarter turn clockwise to view it.
    QImage stored = image.transformed(QTransform().rotate(-90));
    stored.setColorSpace(AdobeRgb);
    QTest::newRow("EXIF turned") << withExif(qtEncoded(stored, "jpeg", 300), 6, 72) << 300.0f;
}

void TestImageToolkit::decode()
{
    QFETCH(QByteArray, file);
    QFETCH(float, dpi);
    const Result<DecodedImage> read = ImageToolkit::decode(write(QStringLiteral("photo"), file));
    QVERIFY2(read, qPrintable(read.reason()));
    const DecodedImage &decoded = *read;
    QCOMPARE(decoded.image().size(), QSize(600, 300));
    QVERIFY(near(decoded.image().pixel(150, 150), Red, 8));
    QVERIFY(near(decoded.image().pixel(450, 150), Blue, 8));
    QCOMPARE(decoded.image().colorSpace(), AdobeRgb);
    QCOMPARE(decoded.dpi(), dpi);
    QCOMPARE(decoded.sizeInPoints(), (FloatSize{600.0f * 72.0f / dpi, 300.0f * 72.0f / dpi}));
    QCOMPARE(dpiOf(decoded.image()), qRound(dpi));
}

void TestImageToolkit::decodeIntoReusesBuffer()
{
    QImage buffer;
    const QByteArray first = qtEncoded(twoColourImage(64, 48), "jpeg", 300);
    QCOMPARE(ImageToolkit::decodeInto(write(QStringLiteral("first.jpg"), first), buffer)->dpi(),
             300.0f);
    const uchar *const pixels = buffer.constBits();
    // The second photo lands in the same memory, with nothing of the first's resolution or profile.
    QImage green(64, 48, QImage::Format_RGB32);
    green.fill(Qt::green);
    const QString second =
        write(QStringLiteral("second.jpg"), withoutJfifDensity(qtEncoded(green, "jpeg", 300)));
    const Result<DecodedImage> read = ImageToolkit::decodeInto(second, buffer);
    QVERIFY(read);
    const DecodedImage &decoded = *read;
    QVERIFY(decoded.image().constBits() == pixels);
    QCOMPARE(decoded.dpi(), 72.0f);
    QVERIFY(!decoded.image().colorSpace().isValid());
    QVERIFY(near(decoded.image().pixel(10, 10), 0xff00ff00, 8));

    // Zeroed, so that bytes the decoder leaves alone show: RGB32 needs each fourth byte 0xff.
    // Full and reduced sizes take different paths through libjpeg-turbo.
    for (const QList<QSize> &boxes : {QList<QSize>{}, {{32, 24}}, {{16, 12}}, {{8, 6}}}) {
        QVERIFY(ImageToolkit::decodeInto(second, buffer, boxes));
        std::fill_n(buffer.bits(), buffer.sizeInBytes(), uchar(0));
        const QImage again = ImageToolkit::decodeInto(second, buffer, boxes)->image();
        const auto *const words = reinterpret_cast<const QRgb *>(again.constBits());
        QVERIFY(std::all_of(words, words + again.width() * again.height(),
                            [](QRgb word) { return qAlpha(word) == 255; }));
    }
}

void TestImageToolkit::decodeFailure_data()
{
    QTest::addColumn<QByteArray>("file"); // null: no file at all
    QTest::addColumn<QString>("reason");

    const QByteArray jpeg = qtEncoded(twoColourImage(64, 48), "jpeg", 72);
    QTest::newRow("missing") << QByteArray() << QString();
    QTest::newRow("not an image") << QByteArray("this is not a photo") << QString();
    QTest::newRow("absurd size") << withFrameSize(jpeg, 60000, 60000)
                                 << QStringLiteral("megapixels");
    // The header promises a frame that the data does not hold.
    QTest::newRow("scan data missing")
        << jpeg.left(jpeg.indexOf("\xFF\xDA")) + "\xFF\xD9" << QString();
}

void TestImageToolkit::decodeFailure()
{
    QFETCH(QByteArray, file);
    QFETCH(QString, reason);
    const QString path = file.isNull() ? m_dir.filePath(QStringLiteral("missing.jpg"))
                                       : write(QStringLiteral("broken.jpg"), file);
    const Result<DecodedImage> decoded = ImageToolkit::decode(path);
    QVERIFY(!decoded);
    QVERIFY2(!decoded.reason().isEmpty() && decoded.reason().contains(reason),
             qPrintable(decoded.reason()));
}

// A file that lacks part of its image fails when it is read, and when it is added if its end
// shows it; one whose image is all there never does, whatever follows it.
void TestImageToolkit::damagedOrWhole_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QString>("suffix");
    QTest::addColumn<bool>("whole");
    QTest::addColumn<bool>("endShowsIt");

    QImage noise(320, 240, QImage::Format_RGB32);
    QRandomGenerator random(3);
    for (int y = 0; y < noise.height(); ++y)
        for (int x = 0; x < noise.width(); ++x)
            noise.setPixel(x, y, 0xff000000 | (random.generate() & 0xffffff));
    const auto cut = [](const QByteArray &bytes) { return bytes.left(bytes.size() * 3 / 5); };
    const QByteArray jpeg = qtEncoded(noise, "jpeg", 72);
    QByteArray progressive;
    {
        QBuffer buffer(&progressive);
        buffer.open(QIODevice::WriteOnly);
        QImageWriter writer(&buffer, "jpeg");
        writer.setProgressiveScanWrite(true);
        QVERIFY(writer.write(noise));
    }
    QTest::newRow("jpeg cut short") << cut(jpeg) << "jpg" << false << true;
    QTest::newRow("progressive jpeg cut short") << cut(progressive) << "jpg" << false << true;
    QTest::newRow("cmyk jpeg cut short") << cut(cmykJpeg(640, 480)) << "jpg" << false << true;
    QByteArray struck = jpeg;
    struck.replace(jpeg.size() / 2, 2, "\xFF\xD3");
    QTest::newRow("jpeg with a marker in its data") << struck << "jpg" << false << false;
    QTest::newRow("jpeg with 64 KB after its end")
        << jpeg + QByteArray(64 * 1024, '\x5a') << "jpg" << true << false;
    QTest::newRow("jpeg without its end marker") << jpeg.chopped(2) << "jpg" << true << false;
    QTest::newRow("progressive jpeg whole") << progressive << "jpg" << true << false;
    // A grey TIFF with its directory first, as cameras write it: cut in its pixels, the
    // directory still tells where they should end.
    QByteArray tiff("II*\0\x08\0\0\0\x08\0", 10);
    const quint32 pixelsAt = 10 + 8 * 12 + 4;
    for (const auto &[tag, type, value] : {std::tuple{256, 3, 64u},
                                           {257, 3, 48u},
                                           {258, 3, 8u},
                                           {259, 3, 1u},
                                           {262, 3, 1u},
                                           {273, 4, pixelsAt},
                                           {278, 3, 48u},
                                           {279, 4, 64u * 48u}}) {
        char entry[12];
        qToLittleEndian<quint16>(quint16(tag), entry);
        qToLittleEndian<quint16>(quint16(type), entry + 2);
        qToLittleEndian<quint32>(1, entry + 4);
        qToLittleEndian<quint32>(value, entry + 8);
        tiff.append(entry, 12);
    }
    tiff += QByteArray(4, '\0') + QByteArray(64 * 48, '\x80');
    QTest::newRow("tiff whole, directory first") << tiff << "tif" << true << false;
    QTest::newRow("tiff cut in its pixels") << cut(tiff) << "tif" << false << true;
    for (const char *format : {"png", "gif", "bmp", "webp", "avif", "tiff"}) {
        const QByteArray bytes =
            ImageToolkit::encode(noise, QString::fromLatin1(format), 90, 72.0f).value();
        QTest::addRow("%s cut short", format) << cut(bytes) << format << false << true;
        QTest::addRow("%s whole", format) << bytes << format << true << false;
    }
}

void TestImageToolkit::damagedOrWhole()
{
    QFETCH(QByteArray, file);
    QFETCH(QString, suffix);
    QFETCH(bool, whole);
    QFETCH(bool, endShowsIt);
    const QString path = write(QStringLiteral("photo.") + suffix, file);
    const Result<DecodedImage> decoded = ImageToolkit::decode(path);
    const Status checked = ImageToolkit::checkSource(path);
    QVERIFY2(decoded.ok() == whole, qPrintable(decoded.reason()));
    QVERIFY2(checked.ok() == !endShowsIt, qPrintable(checked.reason()));
    QVERIFY2(whole || decoded.reason().startsWith(QLatin1String("Damaged: ")),
             qPrintable(decoded.reason()));
    if (endShowsIt)
        QCOMPARE(checked.reason(), QStringLiteral("Damaged: ends early."));
}

void TestImageToolkit::reducedDecode_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QList<QSize>>("boxes");
    QTest::addColumn<QSize>("decoded");
    QTest::addColumn<QSize>("full");

    const QSize size(600, 300);
    const QByteArray jpeg = qtEncoded(twoColourImage(600, 300), "jpeg", 300);
    QTest::newRow("no box") << jpeg << QList<QSize>{} << size << size;
    QTest::newRow("enlarged") << jpeg << QList<QSize>{{640, 480}} << size << size;
    // Fitted 150 x 75: a quarter is exactly that, an eighth too small.
    QTest::newRow("quarter") << jpeg << QList<QSize>{{150, 100}} << QSize(150, 75) << size;
    QTest::newRow("the larger box decides")
        << jpeg << QList<QSize>{{150, 100}, {300, 300}} << QSize(300, 150) << size;
    QTest::newRow("eighth") << jpeg << QList<QSize>{{64, 64}} << QSize(75, 38) << size;
    QTest::newRow("bad box") << jpeg << QList<QSize>{{64, 64}, {0, 480}} << size << size;
    // Odd sizes round up: 601 x 301 fitted into 75 x 75 is 75 x 38, an eighth 76 x 38.
    QTest::newRow("odd size") << qtEncoded(twoColourImage(601, 301), "jpeg", 300)
                              << QList<QSize>{{75, 75}} << QSize(76, 38) << QSize(601, 301);
    // Fitted upright: 600 x 300 into 150 x 150 is 150 x 75.
    QImage stored = twoColourImage(600, 300).transformed(QTransform().rotate(-90));
    stored.setColorSpace(AdobeRgb);
    QTest::newRow("turned") << withExif(qtEncoded(stored, "jpeg", 300), 6, 72)
                            << QList<QSize>{{150, 150}} << QSize(150, 75) << size;
    QTest::newRow("png at full size") << qtEncoded(twoColourImage(600, 300), "png", 300)
                                      << QList<QSize>{{150, 100}} << size << size;
}

void TestImageToolkit::reducedDecode()
{
    QFETCH(QByteArray, file);
    QFETCH(QList<QSize>, boxes);
    QFETCH(QSize, decoded);
    QFETCH(QSize, full);
    QImage buffer;
    const Result<DecodedImage> read =
        ImageToolkit::decodeInto(write(QStringLiteral("photo"), file), buffer, boxes);
    QVERIFY2(read, qPrintable(read.reason()));
    const DecodedImage &photo = *read;
    QCOMPARE(photo.image().size(), decoded);
    // Everything but the pixels is the full photo's.
    QCOMPARE(photo.pixelSize(), full);
    QCOMPARE(photo.dpi(), 300.0f);
    QCOMPARE(photo.sizeInPoints(), (FloatSize{static_cast<float>(full.width()) * 72.0f / 300.0f,
                                              static_cast<float>(full.height()) * 72.0f / 300.0f}));
    QCOMPARE(photo.image().colorSpace(), AdobeRgb);
    QVERIFY(near(photo.image().pixel(decoded.width() / 4, decoded.height() / 2), Red, 8));
    QVERIFY(near(photo.image().pixel(decoded.width() * 3 / 4, decoded.height() / 2), Blue, 8));
    // Fitting keeps the full photo's proportions (76 x 38 alone would fit 75 x 75 as 75 x 37).
    for (const QSize &box : boxes) {
        const QSize fitted = ImageToolkit::fittedSize(full, box.width(), box.height());
        if (fitted.isValid())
            QCOMPARE(ImageToolkit::imageFromResizing(photo.image(), box.width(), box.height(),
                                                     photo.pixelSize())
                         .size(),
                     fitted);
    }
}

void TestImageToolkit::jpegKinds_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QImage::Format>("format");
    QTest::addColumn<QRgb>("topLeft");

    QImage grey(64, 48, QImage::Format_Grayscale8);
    grey.fill(QColor(100, 100, 100));
    QTest::newRow("greyscale") << qtEncoded(grey, "jpeg", 72) << QImage::Format_Grayscale8
                               << qRgb(100, 100, 100);
    QTest::newRow("cmyk, read by Qt")
        << cmykJpeg(64, 48) << QImage::Format_RGB32 << qRgb(0, 255, 255);
    // Through the profile: the swapped one makes cyan yellow.
    QTest::newRow("cmyk with its profile")
        << cmykJpeg(64, 48, swappedCmykProfile()) << QImage::Format_RGB32 << qRgb(255, 255, 0);
    QTest::newRow("ycck with its profile") << cmykJpeg(64, 48, swappedCmykProfile(), true)
                                           << QImage::Format_RGB32 << qRgb(255, 255, 0);
}

void TestImageToolkit::jpegKinds()
{
    QFETCH(QByteArray, file);
    QFETCH(QImage::Format, format);
    QFETCH(QRgb, topLeft);
    const Result<DecodedImage> read = ImageToolkit::decode(write(QStringLiteral("kind.jpg"), file));
    QVERIFY2(read, qPrintable(read.reason()));
    const DecodedImage &decoded = *read;
    QCOMPARE(decoded.image().format(), format);
    QVERIFY(near(decoded.image().pixel(1, 1), topLeft, 8));
}

void TestImageToolkit::jpegWrittenAsQtWritesIt_data()
{
    QTest::addColumn<QImage>("image");
    QTest::addColumn<int>("quality");
    QTest::addColumn<bool>("fullChroma");

    QImage noise(67, 45, QImage::Format_RGB32); // odd sizes: partial chroma blocks
    QRandomGenerator random(7);
    for (int y = 0; y < noise.height(); ++y)
        for (int x = 0; x < noise.width(); ++x)
            noise.setPixel(x, y, 0xff000000 | (random.generate() & 0xffffff));
    noise.setColorSpace(AdobeRgb);
    QTest::newRow("rgb32 q90") << noise << 90 << true;
    QTest::newRow("rgb32 q89") << noise << 89 << false;
    QTest::newRow("rgb32 q30") << noise << 30 << false;
    QTest::newRow("argb32 premultiplied, opaque")
        << twoColourImage(64, 48).convertToFormat(QImage::Format_ARGB32_Premultiplied) << 75
        << false;
    QTest::newRow("rgb888 q100") << noise.convertToFormat(QImage::Format_RGB888) << 100 << true;
    QTest::newRow("greyscale") << noise.convertToFormat(QImage::Format_Grayscale8) << 90 << false;
}

void TestImageToolkit::jpegWrittenAsQtWritesIt()
{
    QFETCH(QImage, image);
    QFETCH(int, quality);
    QFETCH(bool, fullChroma);
    const QByteArray qts = qtEncoded(image, "jpeg", 300, quality);
    QVERIFY(!qts.isEmpty());
    const QByteArray ours =
        ImageToolkit::encode(image, QStringLiteral("jpg"), quality, 300.0f).value();
    if (!fullChroma) {
        QCOMPARE(ours, qts);
        return;
    }
    // Qt's writer halves the chroma at every quality; at high quality ours keeps it, and with it
    // the colours of single pixels.
    QCOMPARE(samplingFactors(qts), QByteArray("\x22\x11\x11"));
    QCOMPARE(samplingFactors(ours), QByteArray("\x11\x11\x11"));
    QCOMPARE(ours.size() > qts.size(), true);
    QVERIFY(difference(QImage::fromData(ours), image) * 3 <
            difference(QImage::fromData(qts), image) * 2);
}

QTEST_MAIN(TestImageToolkit)
#include "tst_imagetoolkit.moc"
