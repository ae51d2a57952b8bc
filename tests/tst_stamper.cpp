// SPDX-FileCopyrightText: 2026 Tessaly
// SPDX-License-Identifier: GPL-3.0-or-later

#include "TestSupport.h"
#include "render/PlaceholderExpander.h"
#include "render/Stamper.h"
#include "sources/WorkFile.h"
#include "watermarks/Overlay.h"

#include <QFileInfo>
#include <QPainter>
#include <QTemporaryDir>
#include <QTest>

#include <cmath>
#include <memory>
#include <tuple>
#include <utility>

using namespace inkveil;

namespace {

constexpr QRgb White = 0xffffffff;
constexpr QRgb Red = 0xffff0000;
constexpr QRgb Blue = 0xff0000ff;
constexpr QRgb Green = 0xff00ff00;

// Per channel, for antialiased edges and premultiplied rounding.
bool near(QRgb actual, QRgb expected)
{
    return ::near(actual, expected, 3);
}

// Points are in QImage's own coordinates: origin at the top left, y down.
#define VERIFY_PIXEL(image, point, expected)                                                       \
    QVERIFY2(near((image).pixel(point), expected),                                                 \
             qPrintable(QString::number((image).pixel(point) & 0xffffff, 16)))

// The smallest rectangle holding every pixel that differs from the background.
QRect inkBounds(const QImage &image, QRgb background)
{
    QRect bounds;
    for (int i = 0; i < image.width() * image.height(); ++i) {
        if (!near(image.pixel(i % image.width(), i / image.width()), background))
            bounds |= QRect(i % image.width(), i / image.width(), 1, 1);
    }
    return bounds;
}

int countNear(const QImage &image, const QRect &area, QRgb colour)
{
    int count = 0;
    for (int i = 0; i < area.width() * area.height(); ++i)
        count +=
            near(image.pixel(area.x() + i % area.width(), area.y() + i / area.width()), colour);
    return count;
}

// An image watermark and the format of the white photo under it; the defaults give no box and no
// band, so that only the picture shows.
struct Picture
{
    QRgb colour = Red; // 0: the two-colour picture
    QSize size{40, 10};
    QSize box{40, 10};
    int position = 0;
    float angle = 0;
    bool show = false;
    bool extend = false;
    QRgb bgColor = Green;
    float alpha = 1;
    QImage::Format photoFormat = QImage::Format_RGB32;
};

using Pixels = QList<std::pair<QPoint, QRgb>>;

Pixels at(QRgb colour, const QList<QPoint> &points)
{
    Pixels pixels;
    for (const QPoint &point : points)
        pixels.append({point, colour});
    return pixels;
}

std::shared_ptr<Overlay> textOverlay(const QString &text, bool show = false)
{
    auto overlay = std::make_shared<Overlay>();
    overlay->setText(text);
    overlay->setColor(QColor::fromRgbF(0.0f, 0.0f, 0.0f));
    overlay->setAlpha(1.0f);
    overlay->setPosition(6);
    overlay->setShow(show);
    overlay->setExtend(false);
    overlay->setBgColor(QColor::fromRgb(Blue));
    return overlay;
}

} // namespace

Q_DECLARE_METATYPE(Picture)

class TestStamper : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void pixels_data();
    void pixels();
    void nothingDrawn();
    void laterOverlayOnTop();
    void highResolution();
    void textSize();
    void textOpacity();
    void deepTranslucentPhoto_data();
    void deepTranslucentPhoto();

private:
    QString writePng(const QImage &image, int dpi = 72)
    {
        const QString path = m_dir.filePath(QStringLiteral("%1.png").arg(m_files++));
        withDpi(image, dpi).save(path, "PNG");
        return path;
    }
    QString photo(int width, int height, int dpi = 72, QImage::Format format = QImage::Format_RGB32)
    {
        QImage image(width, height, QImage::Format_RGB32);
        image.fill(White);
        return writePng(image.convertToFormat(format), dpi);
    }
    std::shared_ptr<Overlay> imageOverlay(const Picture &picture)
    {
        QImage image(picture.size, QImage::Format_ARGB32);
        image.fill(picture.colour ? picture.colour : Red);
        if (!picture.colour) // left half red, right half blue, so that a turn shows
            QPainter(&image).fillRect(20, 0, 20, 10, QColor::fromRgb(Blue));
        auto overlay = std::make_shared<Overlay>();
        overlay->setFilePath(writePng(image));
        overlay->setWidth(static_cast<qint16>(picture.box.width()));
        overlay->setHeight(static_cast<qint16>(picture.box.height()));
        overlay->setPosition(static_cast<qint16>(picture.position));
        overlay->setImgRotation(picture.angle);
        overlay->setShow(picture.show);
        overlay->setExtend(picture.extend);
        overlay->setBgColor(QColor::fromRgba(picture.bgColor));
        overlay->setImgAlpha(picture.alpha);
        return overlay;
    }
    static QImage stamp(const QString &photoPath, const OverlayList &overlays)
    {
        Stamper stamper(
            PlaceholderExpander(QStringLiteral("Test User"), [] { return QDateTime(); }));
        return stamper.watermark(std::make_shared<WorkFile>(photoPath), overlays)->image;
    }

    QTemporaryDir m_dir;
    int m_files = 0;
};

void TestStamper::pixels_data()
{
    QTest::addColumn<Picture>("picture");
    QTest::addColumn<QSize>("photoSize");
    QTest::addColumn<QRect>("bounds"); // null: not checked
    QTest::addColumn<Pixels>("pixels");

    // A 40 x 10 picture at each position, and on photos without colour.
    const QSize wide(300, 150);
    const int x[] = {0, 130, 260};
    const int y[] = {140, 70, 0};
    for (int position = 0; position < 9; ++position) {
        const QRect box(x[position % 3], y[position / 3], 40, 10);
        QTest::addRow("position %d", position)
            << Picture{.position = position} << wide << box << Pixels{{box.center(), Red}};
    }
    const QRect centre(130, 70, 40, 10);
    QTest::newRow("palette photo") << Picture{.position = 4, .photoFormat = QImage::Format_Indexed8}
                                   << wide << centre << Pixels{{centre.center(), Red}};
    QTest::newRow("greyscale photo")
        << Picture{.position = 4, .photoFormat = QImage::Format_Grayscale8} << wide << centre
        << Pixels{{centre.center(), Red}};

    // The two-colour 40 x 10 picture turned clockwise: where its red and blue ends land.
    QTest::newRow("90 top right") << Picture{.colour = 0, .position = 8, .angle = 90} << wide
                                  << QRect(290, 0, 10, 40)
                                  << Pixels{{{295, 10}, Red}, {{295, 30}, Blue}};
    QTest::newRow("180 top right")
        << Picture{.colour = 0, .position = 8, .angle = 180} << wide << QRect(260, 0, 40, 10)
        << Pixels{{{290, 5}, Red}, {{270, 5}, Blue}};

    // The picture over its box at the bottom left of a 100 x 100 photo: y 90 to 99.
    const QSize square(100, 100);
    const QRect fits(0, 90, 40, 10);
    QTest::newRow("half opacity over an opaque box")
        << Picture{.show = true, .bgColor = Blue, .alpha = 0.5f} << square << fits
        << Pixels{{{20, 95}, qRgb(128, 0, 127)}};
    QTest::newRow("picture's own alpha over an opaque box")
        << Picture{.colour = qRgba(255, 0, 0, 128), .show = true, .bgColor = Blue} << square << fits
        << Pixels{{{20, 95}, qRgb(128, 0, 127)}};
    QTest::newRow("no box: mixes with the photo")
        << Picture{.alpha = 0.5f} << square << QRect() << Pixels{{{20, 95}, qRgb(255, 128, 128)}};
    QTest::newRow("larger box: picture at its lower left, the rest is box")
        << Picture{.box = {60, 20}, .show = true, .bgColor = Blue} << square << QRect(0, 80, 60, 20)
        << Pixels{{{20, 95}, Red}, {{50, 85}, Blue}};
    QTest::newRow("smaller box: picture cut at the right and top")
        << Picture{.box = {20, 5}, .show = true, .bgColor = Blue} << square << QRect(0, 95, 20, 5)
        << Pixels{{{10, 97}, Red}};

    // A red picture on a green band 12 pixels thick.
    QTest::newRow("band 0 centre")
        << Picture{.position = 4, .show = true, .extend = true} << wide << QRect()
        << at(Green, {{0, 75}, {299, 75}, {100, 70}, {200, 80}}) +
               at(White, {{0, 60}, {299, 90}, {150, 60}}) + at(Red, {{150, 75}});
    // Down from the upper left to the lower right, through the picture.
    QTest::newRow("band 45 centre")
        << Picture{.position = 4, .angle = 45, .show = true, .extend = true} << QSize(200, 200)
        << QRect()
        << at(Green, {{0, 0}, {3, 3}, {196, 196}, {199, 199}}) +
               at(White, {{3, 196}, {196, 3}, {30, 60}}) + at(Red, {{100, 100}});
    // The band starts at the left edge here: its two halves must join without a seam.
    QTest::newRow("band 45 bottom left")
        << Picture{.position = 0, .angle = 45, .show = true, .extend = true} << QSize(200, 200)
        << QRect()
        << at(Green, {{0, 164}, {35, 199}}) + at(White, {{0, 0}, {100, 100}, {199, 199}}) +
               at(Red, {{18, 182}});
    QTest::newRow("show off: no band")
        << Picture{.position = 4, .extend = true} << wide << QRect(130, 70, 40, 10)
        << at(White, {{0, 75}, {299, 75}, {100, 75}}) + at(Red, {{150, 75}});
    // A 60 x 20 box in the centre (x 120 to 179, y 65 to 84) with a 10 x 10 picture in its
    // lower-left corner; the band is 22 pixels thick (y 64 to 85) and the box is denser over it.
    Picture under{.size = {10, 10}, .box = {60, 20}, .position = 4, .show = true, .extend = true};
    under.bgColor = qRgba(0, 255, 0, 128);
    QTest::newRow("translucent band under the box")
        << under << wide << QRect()
        << at(qRgb(127, 255, 127), {{0, 75}, {299, 75}, {150, 64}}) +
               at(qRgb(63, 255, 63), {{150, 70}, {175, 80}}) + at(Red, {{125, 80}});
}

void TestStamper::pixels()
{
    QFETCH(Picture, picture);
    QFETCH(QSize, photoSize);
    QFETCH(QRect, bounds);
    QFETCH(Pixels, pixels);

    const QImage result =
        stamp(photo(photoSize.width(), photoSize.height(), 72, picture.photoFormat),
              {imageOverlay(picture)});
    QCOMPARE(result.size(), photoSize);
    if (!bounds.isNull())
        QCOMPARE(inkBounds(result, White), bounds);
    for (const auto &[point, colour] : pixels)
        VERIFY_PIXEL(result, point, colour);
}

void TestStamper::nothingDrawn()
{
    // Use off, zero width, zero height, empty text and a text empty once expanded (a photo without
    // EXIF); each with box and band on, which would show if drawn by mistake.
    const std::shared_ptr<Overlay> overlays[] = {
        imageOverlay({.position = 4, .show = true}), imageOverlay({.box = {0, 10}, .show = true}),
        imageOverlay({.box = {40, 0}, .show = true}), textOverlay(QString(), true),
        textOverlay(QStringLiteral("{EXIF_MAKE}"), true)};
    overlays[0]->setUse(false);
    const QString path = photo(300, 150);
    for (const auto &overlay : overlays) {
        overlay->setExtend(true);
        QCOMPARE(stamp(path, {overlay}).convertToFormat(QImage::Format_RGB32),
                 QImage(path).convertToFormat(QImage::Format_RGB32));
    }
}

void TestStamper::laterOverlayOnTop()
{
    const QImage result = stamp(photo(300, 150), {imageOverlay({.position = 4}),
                                                  imageOverlay({.colour = Blue, .position = 4})});
    QCOMPARE(countNear(result, QRect(130, 70, 40, 10), Blue), 400);
}

void TestStamper::highResolution()
{
    Stamper stamper(PlaceholderExpander(QStringLiteral("Test User"), [] { return QDateTime(); }));
    const auto file = std::make_shared<WorkFile>(photo(600, 300, 300));
    const Result<Stamper::Stamped> stamped =
        stamper.watermark(file, {imageOverlay({.position = 8})});
    const QImage result = stamped->image;
    QCOMPARE(result.size(), QSize(600, 300));
    QCOMPARE(stamped->originalSize, QSizeF(144, 72));
    QCOMPARE(stamper.baseImage(), file);
    // Watermark units are the photo's pixels, whatever its resolution.
    QCOMPARE(inkBounds(result, White), QRect(560, 0, 40, 10));

    // 100 x 40 pixels at 300 dpi draw as 24 x 9.6; the box is the whole-number 24 x 9.
    QImage image(100, 40, QImage::Format_RGB32);
    image.fill(Red);
    auto overlay = imageOverlay({.box = {24, 9}});
    overlay->setFilePath(writePng(image, 300));
    const QImage picture = stamp(photo(100, 100), {overlay});
    QCOMPARE(inkBounds(picture, White), QRect(0, 91, 24, 9));
    QCOMPARE(countNear(picture, QRect(0, 91, 24, 9), Red), 24 * 9);
}

void TestStamper::textSize()
{
    // The drawn box of a text watermark on a blue box at the top left of a white photo.
    const auto box = [this](const QString &text, int dpi) {
        return inkBounds(stamp(photo(500, 300, dpi), {textOverlay(text, true)}), White);
    };
    auto overlay = textOverlay(QStringLiteral("Inkveil Hg"));
    Stamper stamper(PlaceholderExpander(QStringLiteral("Test User"), [] { return QDateTime(); }));
    stamper.setBaseImage(std::make_shared<WorkFile>(photo(500, 300)));
    stamper.setAttribsFromOverlay(*overlay);
    const FloatSize measured = stamper.findContentSize(*overlay);
    // One line of a 36-pixel font, with its leading.
    QVERIFY2(measured.height >= 36.0f && measured.height <= 50.0f,
             qPrintable(QString::number(double(measured.height))));

    const QRect at72 = box(overlay->text(), 72);
    QCOMPARE(at72.topLeft(), QPoint(0, 0));
    QVERIFY(std::abs(at72.height() - qRound(measured.height)) <= 1);
    QVERIFY(std::abs(at72.width() - qRound(measured.width)) <= 1);
    QCOMPARE(box(overlay->text(), 300), at72);

    const QRect one = box(QStringLiteral("Inkveil Inkveil"), 72);
    const QRect two = box(QStringLiteral("Inkveil Inkveil\n{USERNAME}"), 72);
    const double ratio = double(two.height()) / one.height();
    QVERIFY2(ratio > 1.8 && ratio < 2.2, qPrintable(QString::number(ratio)));
    // As wide as its widest line.
    QVERIFY(std::abs(two.width() - one.width()) <= 1);
}

void TestStamper::textOpacity()
{
    // Blue text on white, large enough for fully covered pixels in its stems. The colour's own
    // alpha is unused; the watermark's applies, once.
    const std::tuple<float, float, int> cases[] = {
        {0.2f, 1.0f, 0}, {1.0f, 0.5f, 127}, {0.5f, 0.5f, 127}};
    for (const auto &[colourAlpha, alpha, expected] : cases) {
        auto overlay = textOverlay(QStringLiteral("HH"));
        overlay->setPointSize(72.0f);
        overlay->setColor(QColor::fromRgbF(0.0f, 0.0f, 1.0f, colourAlpha));
        overlay->setAlpha(alpha);
        const QImage result = stamp(photo(300, 150), {overlay});
        QRgb densest = White; // red and green of the densest text pixel tell the opacity
        for (int i = 0; i < result.width() * result.height(); ++i) {
            const QRgb pixel = result.pixel(i % result.width(), i / result.width());
            densest = qGreen(pixel) < qGreen(densest) ? pixel : densest;
        }
        QVERIFY2(near(densest, qRgb(expected, expected, 255)),
                 qPrintable(QString::number(densest, 16)));
    }
}

void TestStamper::deepTranslucentPhoto_data()
{
    QTest::addColumn<QString>("suffix");
    QTest::newRow("png") << QStringLiteral("png");
    QTest::newRow("tiff") << QStringLiteral("tif");
}

void TestStamper::deepTranslucentPhoto()
{
    // A half-transparent 16-bit photo under a half-opaque red bar turned 45 degrees, whose
    // bounding box has transparent corners.
    QFETCH(QString, suffix);
    const QColor photoColour = QColor::fromRgba64(40000, 20000, 10000, 32768);
    QImage image(100, 100, QImage::Format_RGBA64);
    image.fill(photoColour);
    const QString path = m_dir.filePath(QStringLiteral("deep.%1").arg(suffix));
    QVERIFY(image.save(path));

    const QImage result = stamp(path, {imageOverlay({.angle = 45, .alpha = 0.5f})});
    QCOMPARE(result.format(), QImage::Format_RGBA64);
    // Source over: alpha 0.5 + 0.5 x 0.5, colour mixed on premultiplied values. The photo's
    // pixels come back within a 16-bit step of how they were.
    const float r = photoColour.redF();
    const float g = photoColour.greenF();
    const std::tuple<QPoint, float, float, float> expected[] = {
        {{2, 97}, r, g, 0.5f}, // inside the box, outside the bar
        {{60, 20}, r, g, 0.5f},
        {{17, 82}, (0.5f + 0.25f * r) / 0.75f, 0.25f * g / 0.75f, 0.75f}};
    for (const auto &[point, red, green, alpha] : expected) {
        const QColor actual = result.pixelColor(point);
        QVERIFY2(std::abs(actual.redF() - red) < 0.005f &&
                     std::abs(actual.greenF() - green) < 0.005f &&
                     std::abs(actual.alphaF() - alpha) < 0.005f,
                 qPrintable(actual.name(QColor::HexArgb)));
    }
}

QTEST_MAIN(TestStamper)

#include "tst_stamper.moc"
