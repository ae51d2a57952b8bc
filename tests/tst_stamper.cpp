#include "render/PlaceholderExpander.h"
#include "render/Stamper.h"
#include "sources/WorkFile.h"
#include "watermarks/Overlay.h"

#include <QFileInfo>
#include <QFontDatabase>
#include <QTemporaryDir>
#include <QTest>

#include <cmath>
#include <memory>

namespace {

constexpr QRgb White = 0xffffffff;
constexpr QRgb Red = 0xffff0000;
constexpr QRgb Blue = 0xff0000ff;
constexpr QRgb Green = 0xff00ff00;
// Per channel, for antialiased edges and premultiplied rounding.
constexpr int Tolerance = 3;

int dotsPerMetre(int dpi)
{
    return qRound(dpi / 0.0254);
}

bool near(QRgb actual, QRgb expected, int tolerance = Tolerance)
{
    return std::abs(qRed(actual) - qRed(expected)) <= tolerance &&
           std::abs(qGreen(actual) - qGreen(expected)) <= tolerance &&
           std::abs(qBlue(actual) - qBlue(expected)) <= tolerance;
}

QByteArray pixelMismatch(const QImage &image, QPoint at, QRgb expected)
{
    const QRgb actual = image.pixel(at);
    if (near(actual, expected))
        return {};
    return QStringLiteral("pixel (%1, %2) is #%3, expected #%4")
        .arg(at.x())
        .arg(at.y())
        .arg(actual & 0xffffff, 6, 16, QLatin1Char('0'))
        .arg(expected & 0xffffff, 6, 16, QLatin1Char('0'))
        .toLatin1();
}

// Points are in QImage's own coordinates: origin at the top left, y down.
#define VERIFY_PIXEL(image, point, expected)                                                       \
    do {                                                                                           \
        const QByteArray mismatch = pixelMismatch(image, point, expected);                         \
        QVERIFY2(mismatch.isEmpty(), mismatch.constData());                                        \
    } while (false)

// The smallest rectangle holding every pixel that differs from the background.
QRect inkBounds(const QImage &image, QRgb background)
{
    QRect bounds;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if (!near(image.pixel(x, y), background))
                bounds |= QRect(x, y, 1, 1);
        }
    }
    return bounds;
}

int countNear(const QImage &image, const QRect &area, QRgb colour)
{
    int count = 0;
    for (int y = area.top(); y <= area.bottom(); ++y) {
        for (int x = area.left(); x <= area.right(); ++x)
            count += near(image.pixel(x, y), colour) ? 1 : 0;
    }
    return count;
}

Stamper makeStamper()
{
    return Stamper(PlaceholderExpander(
        QStringLiteral("Test User"), [] { return QDateTime(QDate(2024, 5, 17), QTime(10, 30)); }));
}

std::shared_ptr<Overlay> imageOverlay(const QString &path, int width, int height, int position)
{
    auto overlay = std::make_shared<Overlay>();
    overlay->setFilePath(path);
    overlay->setWidth(static_cast<qint16>(width));
    overlay->setHeight(static_cast<qint16>(height));
    overlay->setPosition(static_cast<qint16>(position));
    overlay->setImgAlpha(1.0f);
    overlay->setImgRotation(0.0f);
    overlay->setShow(false);
    overlay->setExtend(false);
    overlay->setBgColor(QColor::fromRgb(Green));
    return overlay;
}

std::shared_ptr<Overlay> textOverlay(const QString &text)
{
    auto overlay = std::make_shared<Overlay>();
    overlay->setText(text);
    overlay->setFontName(QFontDatabase::systemFont(QFontDatabase::GeneralFont).family());
    overlay->setPointSize(36.0f);
    overlay->setColor(QColor::fromRgbF(0.0f, 0.0f, 0.0f));
    overlay->setAlpha(1.0f);
    overlay->setPosition(6);
    overlay->setShow(false);
    overlay->setExtend(false);
    overlay->setBgColor(QColor::fromRgb(Green));
    return overlay;
}

} // namespace

class TestStamper : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void positions_data();
    void positions();
    void turned_data();
    void turned();
    void pictureOverBox_data();
    void pictureOverBox();
    void band_data();
    void band();
    void translucentBandDenserUnderBox();
    void nothingDrawn_data();
    void nothingDrawn();
    void laterOverlayOnTop();
    void highResolutionSource();
    void highResolutionPicture();
    void sourceWithoutColour_data();
    void sourceWithoutColour();
    void textSizeIgnoresSourceResolution();
    void twoLinesAreTwiceAsTall();
    void unknownFontFallsBack();
    void textOpacity_data();
    void textOpacity();

private:
    QString writePng(const QString &name, QImage image, int dpi = 72);
    QString photo(int width, int height, int dpi = 72);
    QString solidPicture(QRgb colour, int width = 40, int height = 10);
    QImage stamp(const QString &photoPath, const OverlayList &overlays);
    QRect textBox(const std::shared_ptr<Overlay> &overlay, int dpi = 72);

    QTemporaryDir m_dir;
    // Left half red, right half blue, so that a turn shows.
    QString m_twoColourPicture;
};

QString TestStamper::writePng(const QString &name, QImage image, int dpi)
{
    image.setDotsPerMeterX(dotsPerMetre(dpi));
    image.setDotsPerMeterY(dotsPerMetre(dpi));
    const QString path = m_dir.filePath(name + QStringLiteral(".png"));
    if (!QFileInfo::exists(path))
        image.save(path, "PNG");
    return path;
}

QString TestStamper::photo(int width, int height, int dpi)
{
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(White);
    return writePng(QStringLiteral("photo-%1x%2-%3").arg(width).arg(height).arg(dpi), image, dpi);
}

QString TestStamper::solidPicture(QRgb colour, int width, int height)
{
    QImage image(width, height, QImage::Format_ARGB32);
    image.fill(colour);
    return writePng(QStringLiteral("picture-%1-%2x%3").arg(colour, 8, 16).arg(width).arg(height),
                    image);
}

QImage TestStamper::stamp(const QString &photoPath, const OverlayList &overlays)
{
    Stamper stamper = makeStamper();
    return stamper.watermark(std::make_shared<WorkFile>(photoPath), overlays);
}

// The drawn box of a text watermark shown on a blue box at the top left of a white photo.
QRect TestStamper::textBox(const std::shared_ptr<Overlay> &overlay, int dpi)
{
    overlay->setShow(true);
    overlay->setBgColor(QColor::fromRgb(Blue));
    return inkBounds(stamp(photo(500, 300, dpi), {overlay}), White);
}

void TestStamper::initTestCase()
{
    QVERIFY(m_dir.isValid());
    QImage image(40, 10, QImage::Format_ARGB32);
    image.fill(Red);
    for (int y = 0; y < 10; ++y) {
        for (int x = 20; x < 40; ++x)
            image.setPixel(x, y, Blue);
    }
    m_twoColourPicture = writePng(QStringLiteral("two-colour"), image);
}

void TestStamper::positions_data()
{
    QTest::addColumn<int>("position");
    QTest::addColumn<QRect>("expected");

    // A 40 x 10 picture on a 300 x 150 photo.
    QTest::newRow("0 bottom left") << 0 << QRect(0, 140, 40, 10);
    QTest::newRow("1 bottom centre") << 1 << QRect(130, 140, 40, 10);
    QTest::newRow("2 bottom right") << 2 << QRect(260, 140, 40, 10);
    QTest::newRow("3 middle left") << 3 << QRect(0, 70, 40, 10);
    QTest::newRow("4 centre") << 4 << QRect(130, 70, 40, 10);
    QTest::newRow("5 middle right") << 5 << QRect(260, 70, 40, 10);
    QTest::newRow("6 top left") << 6 << QRect(0, 0, 40, 10);
    QTest::newRow("7 top centre") << 7 << QRect(130, 0, 40, 10);
    QTest::newRow("8 top right") << 8 << QRect(260, 0, 40, 10);
}

void TestStamper::positions()
{
    QFETCH(int, position);
    QFETCH(QRect, expected);

    const QImage result =
        stamp(photo(300, 150), {imageOverlay(solidPicture(Red), 40, 10, position)});
    QCOMPARE(result.size(), QSize(300, 150));
    QCOMPARE(inkBounds(result, White), expected);
    QCOMPARE(countNear(result, expected, Red), 400);
}

void TestStamper::turned_data()
{
    QTest::addColumn<float>("angle");
    QTest::addColumn<int>("position");
    QTest::addColumn<QRect>("expected");
    QTest::addColumn<QPoint>("start"); // where the picture's left (red) end lands
    QTest::addColumn<QPoint>("end");   // and its right (blue) end

    // The two-colour 40 x 10 picture on a 300 x 150 photo, turned clockwise.
    QTest::newRow("90 top right") << 90.0f << 8 << QRect(290, 0, 10, 40) << QPoint(295, 10)
                                  << QPoint(295, 30);
    QTest::newRow("90 centre") << 90.0f << 4 << QRect(145, 55, 10, 40) << QPoint(150, 65)
                               << QPoint(150, 85);
    QTest::newRow("180 top right")
        << 180.0f << 8 << QRect(260, 0, 40, 10) << QPoint(290, 5) << QPoint(270, 5);
    QTest::newRow("180 bottom left")
        << 180.0f << 0 << QRect(0, 140, 40, 10) << QPoint(30, 145) << QPoint(10, 145);
    QTest::newRow("270 bottom left")
        << 270.0f << 0 << QRect(0, 110, 10, 40) << QPoint(5, 140) << QPoint(5, 120);
}

void TestStamper::turned()
{
    QFETCH(float, angle);
    QFETCH(int, position);
    QFETCH(QRect, expected);
    QFETCH(QPoint, start);
    QFETCH(QPoint, end);

    auto overlay = imageOverlay(m_twoColourPicture, 40, 10, position);
    overlay->setImgRotation(angle);
    overlay->setRotation(0.0f); // a text's angle, not ours
    const QImage result = stamp(photo(300, 150), {overlay});
    QCOMPARE(inkBounds(result, White), expected);
    VERIFY_PIXEL(result, start, Red);
    VERIFY_PIXEL(result, end, Blue);
}

void TestStamper::pictureOverBox_data()
{
    QTest::addColumn<bool>("show");
    QTest::addColumn<QRgb>("bgColor");
    QTest::addColumn<QRgb>("pictureColour");
    QTest::addColumn<float>("imgAlpha");
    QTest::addColumn<QSize>("boxSize");
    QTest::addColumn<QPoint>("sample");
    QTest::addColumn<QRgb>("expected");

    // A 40 x 10 picture at the bottom left of a white 100 x 100 photo: y 90 to 99.
    const QSize fits(40, 10);
    QTest::newRow("half opacity over an opaque box")
        << true << Blue << Red << 0.5f << fits << QPoint(20, 95) << qRgb(128, 0, 127);
    QTest::newRow("picture's own alpha over an opaque box")
        << true << Blue << qRgba(255, 0, 0, 128) << 1.0f << fits << QPoint(20, 95)
        << qRgb(128, 0, 127);
    QTest::newRow("no box: mixes with the photo")
        << false << Blue << Red << 0.5f << fits << QPoint(20, 95) << qRgb(255, 128, 128);
    QTest::newRow("translucent box and picture") << true << qRgba(0, 255, 0, 128) << Red << 0.5f
                                                 << fits << QPoint(20, 95) << qRgb(192, 128, 64);

    const QSize larger(60, 20);
    QTest::newRow("larger box: picture at its lower left")
        << true << Blue << Red << 1.0f << larger << QPoint(20, 95) << Red;
    QTest::newRow("larger box: the rest is box")
        << true << Blue << Red << 1.0f << larger << QPoint(50, 85) << Blue;

    const QSize smaller(20, 5);
    QTest::newRow("smaller box: picture cut at the right and top")
        << true << Blue << Red << 1.0f << smaller << QPoint(10, 97) << Red;
}

void TestStamper::pictureOverBox()
{
    QFETCH(bool, show);
    QFETCH(QRgb, bgColor);
    QFETCH(QRgb, pictureColour);
    QFETCH(float, imgAlpha);
    QFETCH(QSize, boxSize);
    QFETCH(QPoint, sample);
    QFETCH(QRgb, expected);

    auto overlay = imageOverlay(solidPicture(pictureColour), boxSize.width(), boxSize.height(), 0);
    overlay->setShow(show);
    overlay->setBgColor(QColor::fromRgba(bgColor));
    overlay->setImgAlpha(imgAlpha);
    const QImage result = stamp(photo(100, 100), {overlay});
    VERIFY_PIXEL(result, sample, expected);
    if (show)
        QCOMPARE(inkBounds(result, White), QRect(QPoint(0, 100 - boxSize.height()), boxSize));
}

void TestStamper::band_data()
{
    QTest::addColumn<QSize>("photoSize");
    QTest::addColumn<float>("angle");
    QTest::addColumn<int>("position");
    QTest::addColumn<bool>("show");
    QTest::addColumn<QList<QPoint>>("inBand");
    QTest::addColumn<QList<QPoint>>("outside");
    QTest::addColumn<QPoint>("content");

    // A red 40 x 10 picture on a green band 12 pixels thick.
    QTest::newRow("0 centre") << QSize(300, 150) << 0.0f << 4 << true
                              << QList<QPoint>{{0, 75}, {299, 75}, {100, 70}, {200, 80}}
                              << QList<QPoint>{{0, 60}, {299, 90}, {150, 60}} << QPoint(150, 75);
    QTest::newRow("0 top right") << QSize(300, 150) << 0.0f << 8 << true
                                 << QList<QPoint>{{0, 5}, {150, 0}, {150, 10}}
                                 << QList<QPoint>{{0, 20}, {299, 20}} << QPoint(280, 5);
    // Down from the upper left to the lower right, through the picture.
    QTest::newRow("45 centre") << QSize(200, 200) << 45.0f << 4 << true
                               << QList<QPoint>{{0, 0}, {3, 3}, {196, 196}, {199, 199}}
                               << QList<QPoint>{{3, 196}, {196, 3}, {30, 60}} << QPoint(100, 100);
    // The band starts at the left edge here: its two halves must join without a seam.
    QTest::newRow("45 bottom left")
        << QSize(200, 200) << 45.0f << 0 << true << QList<QPoint>{{0, 164}, {35, 199}}
        << QList<QPoint>{{0, 0}, {100, 100}, {199, 199}} << QPoint(18, 182);
    QTest::newRow("show off: no band")
        << QSize(300, 150) << 0.0f << 4 << false << QList<QPoint>{}
        << QList<QPoint>{{0, 75}, {299, 75}, {100, 75}} << QPoint(150, 75);
}

void TestStamper::band()
{
    QFETCH(QSize, photoSize);
    QFETCH(float, angle);
    QFETCH(int, position);
    QFETCH(bool, show);
    QFETCH(QList<QPoint>, inBand);
    QFETCH(QList<QPoint>, outside);
    QFETCH(QPoint, content);

    auto overlay = imageOverlay(solidPicture(Red), 40, 10, position);
    overlay->setImgRotation(angle);
    overlay->setShow(show);
    overlay->setExtend(true);
    const QImage result = stamp(photo(photoSize.width(), photoSize.height()), {overlay});
    for (const QPoint &point : inBand)
        VERIFY_PIXEL(result, point, Green);
    for (const QPoint &point : outside)
        VERIFY_PIXEL(result, point, White);
    VERIFY_PIXEL(result, content, Red);
}

void TestStamper::translucentBandDenserUnderBox()
{
    // A 60 x 20 box in the centre of 300 x 150 (x 120 to 179, y 65 to 84) with a 10 x 10 picture
    // in its lower-left corner; the band is 22 pixels thick (y 64 to 85).
    auto overlay = imageOverlay(solidPicture(Red, 10, 10), 60, 20, 4);
    overlay->setShow(true);
    overlay->setExtend(true);
    overlay->setBgColor(QColor::fromRgba(qRgba(0, 255, 0, 128)));
    const QImage result = stamp(photo(300, 150), {overlay});

    const QRgb once = qRgb(127, 255, 127);
    const QRgb twice = qRgb(63, 255, 63);
    VERIFY_PIXEL(result, QPoint(0, 75), once);
    VERIFY_PIXEL(result, QPoint(299, 75), once);
    VERIFY_PIXEL(result, QPoint(150, 64), once);
    VERIFY_PIXEL(result, QPoint(150, 70), twice);
    VERIFY_PIXEL(result, QPoint(175, 80), twice);
    VERIFY_PIXEL(result, QPoint(125, 80), Red);
}

void TestStamper::nothingDrawn_data()
{
    QTest::addColumn<bool>("use");
    QTest::addColumn<bool>("image");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QSize>("size");

    QTest::newRow("use off") << false << true << QString() << QSize(40, 10);
    QTest::newRow("zero width") << true << true << QString() << QSize(0, 10);
    QTest::newRow("zero height") << true << true << QString() << QSize(40, 0);
    QTest::newRow("empty text") << true << false << QString() << QSize();
    // A photo without EXIF: the placeholder expands to nothing.
    QTest::newRow("text empty once expanded")
        << true << false << QStringLiteral("{EXIF_MAKE}") << QSize();
}

void TestStamper::nothingDrawn()
{
    QFETCH(bool, use);
    QFETCH(bool, image);
    QFETCH(QString, text);
    QFETCH(QSize, size);

    auto overlay =
        image ? imageOverlay(solidPicture(Red), size.width(), size.height(), 4) : textOverlay(text);
    overlay->setUse(use);
    // A box or band drawn by mistake would show.
    overlay->setShow(true);
    overlay->setExtend(true);
    const QString path = photo(300, 150);
    const QImage result = stamp(path, {overlay});
    QCOMPARE(result.convertToFormat(QImage::Format_RGB32),
             QImage(path).convertToFormat(QImage::Format_RGB32));
}

void TestStamper::laterOverlayOnTop()
{
    const QImage result = stamp(photo(300, 150), {imageOverlay(solidPicture(Red), 40, 10, 4),
                                                  imageOverlay(solidPicture(Blue), 40, 10, 4)});
    QCOMPARE(countNear(result, QRect(130, 70, 40, 10), Blue), 400);
}

void TestStamper::highResolutionSource()
{
    Stamper stamper = makeStamper();
    const auto file = std::make_shared<WorkFile>(photo(600, 300, 300));
    const QImage result = stamper.watermark(file, {imageOverlay(solidPicture(Red), 40, 10, 8)});
    QCOMPARE(result.size(), QSize(600, 300));
    QCOMPARE(file->originalSize(), QSizeF(144, 72));
    QCOMPARE(stamper.baseImage(), file);
    // Watermark units are the photo's pixels, whatever its resolution.
    QCOMPARE(inkBounds(result, White), QRect(560, 0, 40, 10));
}

void TestStamper::highResolutionPicture()
{
    // 100 x 40 pixels at 300 dpi draw as 24 x 9.6; the box is the whole-number 24 x 9.
    QImage image(100, 40, QImage::Format_RGB32);
    image.fill(Red);
    const QString picture = writePng(QStringLiteral("picture-300dpi"), image, 300);
    const QImage result = stamp(photo(100, 100), {imageOverlay(picture, 24, 9, 0)});
    QCOMPARE(inkBounds(result, White), QRect(0, 91, 24, 9));
    QCOMPARE(countNear(result, QRect(0, 91, 24, 9), Red), 24 * 9);
}

void TestStamper::sourceWithoutColour_data()
{
    QTest::addColumn<int>("format");

    QTest::newRow("palette") << int(QImage::Format_Indexed8);
    QTest::newRow("greyscale") << int(QImage::Format_Grayscale8);
}

void TestStamper::sourceWithoutColour()
{
    QFETCH(int, format);

    QImage image(300, 150, QImage::Format_RGB32);
    image.fill(White);
    const QString path = writePng(QStringLiteral("photo-format-%1").arg(format),
                                  image.convertToFormat(QImage::Format(format)));
    const QImage result = stamp(path, {imageOverlay(solidPicture(Red), 40, 10, 4)});
    QCOMPARE(inkBounds(result, White), QRect(130, 70, 40, 10));
    QCOMPARE(countNear(result, QRect(130, 70, 40, 10), Red), 400);
}

void TestStamper::textSizeIgnoresSourceResolution()
{
    auto overlay = textOverlay(QStringLiteral("Inkveil Hg"));
    Stamper stamper = makeStamper();
    stamper.setBaseImage(std::make_shared<WorkFile>(photo(500, 300)));
    stamper.setAttribsFromOverlay(*overlay);
    const FloatSize measured = stamper.findContentSize(*overlay);
    // One line of a 36-pixel font, with its leading.
    QVERIFY2(measured.height >= 36.0f && measured.height <= 50.0f,
             qPrintable(QString::number(double(measured.height))));

    const QRect at72 = textBox(overlay, 72);
    const QRect at300 = textBox(overlay, 300);
    QCOMPARE(at72.topLeft(), QPoint(0, 0));
    QVERIFY(std::abs(at72.height() - qRound(measured.height)) <= 1);
    QVERIFY(std::abs(at72.width() - qRound(measured.width)) <= 1);
    QCOMPARE(at300, at72);
}

void TestStamper::twoLinesAreTwiceAsTall()
{
    const QRect one = textBox(textOverlay(QStringLiteral("Inkveil Inkveil")));
    const QRect two = textBox(textOverlay(QStringLiteral("Inkveil Inkveil\n{USERNAME}")));
    const double ratio = double(two.height()) / one.height();
    QVERIFY2(ratio > 1.8 && ratio < 2.2, qPrintable(QString::number(ratio)));
    // As wide as its widest line.
    QVERIFY(std::abs(two.width() - one.width()) <= 1);
}

void TestStamper::unknownFontFallsBack()
{
    auto overlay = textOverlay(QStringLiteral("Inkveil"));
    overlay->setFontName(QStringLiteral("Inkveil No Such Font"));
    overlay->setShow(true);
    overlay->setBgColor(QColor::fromRgb(Blue));
    const QImage result = stamp(photo(500, 300), {overlay});
    const QRect box = inkBounds(result, White);
    QVERIFY2(box.height() >= 36 && box.height() <= 50, qPrintable(QString::number(box.height())));
    QVERIFY(box.width() > 0);
    // The text itself, black on the blue box.
    QVERIFY(countNear(result, box, qRgb(0, 0, 0)) > 20);
}

void TestStamper::textOpacity_data()
{
    QTest::addColumn<float>("colourAlpha");
    QTest::addColumn<float>("alpha");
    QTest::addColumn<int>("expected"); // red and green of the densest text pixel

    QTest::newRow("colour's own alpha unused") << 0.2f << 1.0f << 0;
    QTest::newRow("watermark's alpha applies") << 1.0f << 0.5f << 127;
    QTest::newRow("applied once, not twice") << 0.5f << 0.5f << 127;
}

void TestStamper::textOpacity()
{
    QFETCH(float, colourAlpha);
    QFETCH(float, alpha);
    QFETCH(int, expected);

    // Blue text on white, large enough for fully covered pixels in its stems.
    auto overlay = textOverlay(QStringLiteral("HH"));
    overlay->setPointSize(72.0f);
    overlay->setColor(QColor::fromRgbF(0.0f, 0.0f, 1.0f, colourAlpha));
    overlay->setAlpha(alpha);
    const QImage result = stamp(photo(300, 150), {overlay});
    QRgb densest = White;
    for (int y = 0; y < result.height(); ++y) {
        for (int x = 0; x < result.width(); ++x) {
            if (qGreen(result.pixel(x, y)) < qGreen(densest))
                densest = result.pixel(x, y);
        }
    }
    QVERIFY(near(densest, qRgb(expected, expected, 255)));
}

QTEST_MAIN(TestStamper)

#include "tst_stamper.moc"
