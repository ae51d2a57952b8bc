// SPDX-FileCopyrightText: 2026 Tessaly
// SPDX-License-Identifier: GPL-3.0-or-later

#include "TestSupport.h"
#include "cli/BatchCommand.h"
#include "output/OutputOptions.h"
#include "render/PlaceholderExpander.h"
#include "render/Stamper.h"
#include "session/StateFile.h"
#include "sources/WorkFile.h"
#include "watermarks/Overlay.h"

#include <QCryptographicHash>
#include <QDir>
#include <QPainter>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

using namespace inkveil;

namespace {

PlaceholderExpander fixedExpander()
{
    return PlaceholderExpander(QStringLiteral("Ana Example"),
                               [] { return QDateTime(QDate(2024, 5, 1), QTime(10, 0)); });
}

// A photo with detail everywhere, so that any shifted or changed pixel changes the checksum.
QImage gradientPhoto(QSize size)
{
    QImage image(size, QImage::Format_RGB32);
    for (int y = 0; y < size.height(); ++y) {
        for (int x = 0; x < size.width(); ++x)
            image.setPixel(x, y, qRgb(x * 255 / size.width(), y * 255 / size.height(), 128));
    }
    return image;
}

QString checksum(const QImage &image)
{
    const QImage pixels = image.convertToFormat(QImage::Format_ARGB32);
    QCryptographicHash hash(QCryptographicHash::Md5);
    for (int y = 0; y < pixels.height(); ++y)
        hash.addData(QByteArrayView(reinterpret_cast<const char *>(pixels.constScanLine(y)),
                                    pixels.width() * 4));
    return QString::fromLatin1(hash.result().toHex());
}

constexpr QRgb White = 0xffffffff;

bool isInk(QRgb pixel)
{
    return !near(pixel, White, 8);
}

// The smallest rectangle holding every pixel that is not white.
QRect inkBounds(const QImage &image)
{
    QRect bounds;
    for (int y = 0; y < image.height(); ++y) {
        const auto *line = reinterpret_cast<const QRgb *>(image.constScanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            if (isInk(line[x]))
                bounds |= QRect(x, y, 1, 1);
        }
    }
    return bounds;
}

// How dark the image is in total: the sum of 255 minus the grey level over all pixels.
qint64 darkness(const QImage &image)
{
    qint64 sum = 0;
    for (int y = 0; y < image.height(); ++y) {
        const auto *line = reinterpret_cast<const QRgb *>(image.constScanLine(y));
        for (int x = 0; x < image.width(); ++x)
            sum += 255 - qGray(line[x]);
    }
    return sum;
}

std::shared_ptr<Overlay> blackText(float relativeSize, const QString &text = QStringLiteral("Hg"))
{
    auto overlay = std::make_shared<Overlay>();
    overlay->setText(text);
    overlay->setFontName(QStringLiteral("DejaVu Sans"));
    overlay->setColor(QColor(Qt::black));
    overlay->setAlpha(1.0f);
    overlay->setShow(false);
    overlay->setExtend(false);
    overlay->setPosition(4);
    overlay->setRelativeSize(relativeSize);
    return overlay;
}

QImage whitePhoto(QSize size)
{
    QImage image(size, QImage::Format_RGB32);
    image.fill(White);
    return image;
}

} // namespace

class TestFitting : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void oldStateUnchanged_data();
    void oldStateUnchanged();
    void archive();
    void textSizeFollowsPhoto_data();
    void textSizeFollowsPhoto();
    void pictureAndMargins_data();
    void pictureAndMargins();
    void nothingAtZeroSize();
    void tilesCoverPhoto_data();
    void tilesCoverPhoto();
    void whiteTextOnWhite_data();
    void whiteTextOnWhite();
    void boldIsHeavier();
    void batchToolReadsFittingKeys();
    void longTextShrinksToFit_data();
    void longTextShrinksToFit();
    void handPlacementDrawn_data();
    void handPlacementDrawn();

private:
    QImage stamp(QSize photoSize, const OverlayList &overlays, QSize reducedTo = QSize())
    {
        Stamper stamper(fixedExpander());
        QImage photo = whitePhoto(reducedTo.isEmpty() ? photoSize : reducedTo);
        return stamper
            .watermark(std::make_shared<WorkFile>(m_photo), DecodedImage(photo, 72.0f, photoSize),
                       overlays)
            .image;
    }
    // A 40 x 10 red picture.
    std::shared_ptr<Overlay> redPicture(float relativeSize)
    {
        auto overlay = std::make_shared<Overlay>();
        overlay->setFilePath(m_red);
        overlay->setWidth(40);
        overlay->setHeight(10);
        overlay->setShow(false);
        overlay->setExtend(false);
        overlay->setRelativeSize(relativeSize);
        return overlay;
    }

    // The watermarks of the first-run state as it was before the fitting keys existed, and a few
    // more records written without them.
    OverlayList oldStateOverlays()
    {
        QString xml =
            QString::fromUtf8(readFile(QStringLiteral(INKVEIL_RESOURCES_DIR "/state.bin")));
        xml.remove(QRegularExpression(
            QStringLiteral("\\s*<key>(relativeSize|margin|maxWidth)</key>\\s*<real>[^<]*</real>")));
        OverlayList overlays;
        std::shared_ptr<OutputOptions> options;
        (void)StateFile::decode(xml.toUtf8(), overlays, options);
        if (overlays.size() != 1)
            return {};
        auto turned = std::make_shared<Overlay>(*overlays.first());
        turned->setText(QStringLiteral("{FILENAME} {YEAR}"));
        turned->setRotation(45);
        turned->setPosition(8);
        turned->setBgColor(QColor::fromRgbF(0.2f, 0.3f, 0.9f, 0.5f));
        auto plain = std::make_shared<Overlay>(*overlays.first());
        plain->setPosition(3);
        plain->setShow(false);
        plain->setRotation(270);
        plain->setPointSize(20);
        auto picture = std::make_shared<Overlay>();
        picture->setFilePath(m_picture);
        picture->setWidth(60);
        picture->setHeight(30);
        picture->setImgRotation(90);
        picture->setPosition(4);
        picture->setExtend(false);
        overlays << turned << plain << picture;
        return overlays;
    }

    QTemporaryDir m_dir;
    QString m_picture;
    QString m_photo;
    QString m_red;
};

void TestFitting::initTestCase()
{
    QVERIFY(m_dir.isValid());
    QImage picture(60, 30, QImage::Format_ARGB32);
    picture.fill(qRgba(200, 30, 30, 200));
    QPainter(&picture).fillRect(30, 0, 30, 30, QColor(20, 160, 40));
    m_picture = m_dir.filePath(QStringLiteral("mark.png"));
    QVERIFY(picture.save(m_picture));
    QImage red(40, 10, QImage::Format_RGB32);
    red.fill(Qt::red);
    m_red = m_dir.filePath(QStringLiteral("red.png"));
    QVERIFY(red.save(m_red));
    m_photo = m_dir.filePath(QStringLiteral("photo.png"));
    QVERIFY(gradientPhoto({900, 600}).save(m_photo));
}

void TestFitting::oldStateUnchanged_data()
{
    QTest::addColumn<QSize>("reducedTo"); // empty: drawn at full size
    QTest::addColumn<QString>("expected");
    // Checksums of what the renderer drew before the fitting keys existed; on a reduced photo,
    // since turned content is shrunk with the Lanczos filter photos are resized with.
    QTest::newRow("full size") << QSize() << QStringLiteral("0b24d4dc2aef482722fff06737ccf40a");
    QTest::newRow("reduced") << QSize(300, 200)
                             << QStringLiteral("96962034b5dcc8197aa554f5aeaf4c05");
}

void TestFitting::oldStateUnchanged()
{
    QFETCH(QSize, reducedTo);
    QFETCH(QString, expected);
    const OverlayList overlays = oldStateOverlays();
    QCOMPARE(overlays.size(), 4);
    Stamper stamper(fixedExpander());
    const auto file = std::make_shared<WorkFile>(m_photo);
    QImage photo = gradientPhoto({900, 600});
    if (!reducedTo.isEmpty())
        photo = photo.scaled(reducedTo, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    const QImage drawn =
        stamper.watermark(file, DecodedImage(photo, 72.0f, QSize(900, 600)), overlays).image;
    QCOMPARE(checksum(drawn), expected);
}

void TestFitting::archive()
{
    // The new keys survive a round trip; a record without them reads as before they existed.
    auto overlay = Overlay::newWatermark();
    overlay->setTile(true);
    overlay->setTileSpacing(80);
    overlay->setOutlineWidth(6);
    overlay->setOutlineColor(QColor::fromRgbF(1.0f, 0.0f, 0.0f, 1.0f));
    overlay->setShadow(true);
    overlay->setShadowColor(QColor::fromRgbF(0.0f, 0.0f, 1.0f, 0.5f));
    overlay->setFontStyle(QStringLiteral("Bold"));
    overlay->setOffsetX(-12.5f);
    overlay->setOffsetY(7.0f);
    const auto back = Overlay::decode(overlay->encode());
    QCOMPARE(back->relativeSize(), Overlay::NewRelativeSize);
    QCOMPARE(back->margin(), Overlay::NewMargin);
    QCOMPARE(back->tile(), true);
    QCOMPARE(back->tileSpacing(), 80.0f);
    QCOMPARE(back->outlineWidth(), 6.0f);
    QCOMPARE(back->outlineColor(), overlay->outlineColor());
    QCOMPARE(back->shadow(), true);
    QCOMPARE(back->shadowColor(), overlay->shadowColor());
    QCOMPARE(back->fontStyle(), QStringLiteral("Bold"));
    QCOMPARE(back->offsetX(), -12.5f);
    QCOMPARE(back->offsetY(), 7.0f);
    QCOMPARE(back->maxWidth(), Overlay::NewMaxWidth);

    const auto old = Overlay::decode(ArchivedRecord{Overlay::ClassName, {}});
    const Overlay plain;
    QCOMPARE(old->relativeSize(), 0.0f);
    QCOMPARE(old->margin(), 0.0f);
    QCOMPARE(old->tile(), false);
    QCOMPARE(old->tileSpacing(), plain.tileSpacing());
    QCOMPARE(old->outlineWidth(), 0.0f);
    QCOMPARE(old->outlineColor(), plain.outlineColor());
    QCOMPARE(old->shadow(), false);
    QCOMPARE(old->shadowColor(), plain.shadowColor());
    QVERIFY(old->fontStyle().isNull());
    QCOMPARE(old->offsetX(), 0.0f);
    QCOMPARE(old->maxWidth(), 0.0f);

    // The first-run state gives new watermarks' sizes.
    OverlayList overlays;
    std::shared_ptr<OutputOptions> options;
    QVERIFY(StateFile::decode(readFile(QStringLiteral(INKVEIL_RESOURCES_DIR "/state.bin")),
                              overlays, options));
    QCOMPARE(overlays.size(), 1);
    QCOMPARE(overlays.first()->relativeSize(), Overlay::NewRelativeSize);
    QCOMPARE(overlays.first()->margin(), Overlay::NewMargin);
    QCOMPARE(overlays.first()->maxWidth(), Overlay::NewMaxWidth);
}

void TestFitting::textSizeFollowsPhoto_data()
{
    QTest::addColumn<QSize>("photo");
    QTest::addColumn<QSize>("other");
    QTest::addColumn<double>("ratio"); // of the other photo's text height to the first's
    QTest::newRow("three times the photo") << QSize(1000, 800) << QSize(3000, 2400) << 3.0;
    QTest::newRow("portrait and landscape") << QSize(800, 1000) << QSize(1000, 800) << 1.0;
    QTest::newRow("panorama, shorter side the same") << QSize(1000, 800) << QSize(6000, 800) << 1.0;
}

void TestFitting::textSizeFollowsPhoto()
{
    QFETCH(QSize, photo);
    QFETCH(QSize, other);
    QFETCH(double, ratio);
    const QRect first = inkBounds(stamp(photo, {blackText(5)}));
    const QRect second = inkBounds(stamp(other, {blackText(5)}));
    QVERIFY(!first.isEmpty());
    QVERIFY2(std::abs(second.height() / (first.height() * ratio) - 1.0) < 0.05,
             qPrintable(QStringLiteral("%1 and %2").arg(first.height()).arg(second.height())));
}

void TestFitting::pictureAndMargins_data()
{
    QTest::addColumn<int>("position");
    QTest::addColumn<float>("margin");
    QTest::addColumn<QRect>("expected");
    // A 40 x 10 picture at 10 % of a 1000 x 500 photo: 200 x 50; a 4 % margin is 20 pixels.
    QTest::newRow("no margin") << 0 << 0.0f << QRect(0, 450, 200, 50);
    QTest::newRow("bottom left") << 0 << 4.0f << QRect(20, 430, 200, 50);
    QTest::newRow("bottom right") << 2 << 4.0f << QRect(780, 430, 200, 50);
    QTest::newRow("top left") << 6 << 4.0f << QRect(20, 20, 200, 50);
    QTest::newRow("top right") << 8 << 4.0f << QRect(780, 20, 200, 50);
    QTest::newRow("top centre: one edge") << 7 << 4.0f << QRect(400, 20, 200, 50);
    QTest::newRow("middle left: one edge") << 3 << 4.0f << QRect(20, 225, 200, 50);
    QTest::newRow("centre: none") << 4 << 4.0f << QRect(400, 225, 200, 50);
}

void TestFitting::pictureAndMargins()
{
    QFETCH(int, position);
    QFETCH(float, margin);
    QFETCH(QRect, expected);
    auto picture = redPicture(10);
    picture->setPosition(static_cast<qint16>(position));
    picture->setMargin(margin);
    const QImage drawn = stamp({1000, 500}, {picture});
    QCOMPARE(inkBounds(drawn), expected);
    QVERIFY(near(drawn.pixel(expected.center()), qRgb(255, 0, 0), 2));
}

void TestFitting::nothingAtZeroSize()
{
    // A size of 0 or less (letters typed into the size field) draws nothing, not even the band.
    for (const float size : {0.0f, -3.0f}) {
        auto text = blackText(0);
        text->setPointSize(size);
        text->setShow(true);
        text->setExtend(true);
        QVERIFY(inkBounds(stamp({300, 200}, {text})).isEmpty());
    }
}

void TestFitting::tilesCoverPhoto_data()
{
    QTest::addColumn<float>("angle");
    QTest::addColumn<QSize>("reducedTo");
    QTest::newRow("level") << 0.0f << QSize();
    QTest::newRow("turned 45") << 45.0f << QSize();
    QTest::newRow("reduced canvas") << 45.0f << QSize(300, 200);
}

void TestFitting::tilesCoverPhoto()
{
    QFETCH(float, angle);
    QFETCH(QSize, reducedTo);
    // A 100 x 25 picture every 150 x 37.5 units: every 160-unit square of the photo holds some.
    auto picture = redPicture(5);
    picture->setTile(true);
    picture->setTileSpacing(50);
    picture->setImgRotation(angle);
    picture->setPosition(8);
    const QImage drawn = stamp({900, 600}, {picture}, reducedTo);
    const int cell = 160 * drawn.width() / 900;
    for (int y = 0; y + cell <= drawn.height(); y += cell / 2) {
        for (int x = 0; x + cell <= drawn.width(); x += cell / 2)
            QVERIFY2(!inkBounds(drawn.copy(x, y, cell, cell)).isEmpty(),
                     qPrintable(QStringLiteral("nothing at %1, %2").arg(x).arg(y)));
    }
    // The grid is anchored at the position: a level copy covers the top right corner.
    if (angle == 0.0f)
        QVERIFY(isInk(drawn.pixel(drawn.width() - 2, 1)));
}

void TestFitting::whiteTextOnWhite_data()
{
    QTest::addColumn<float>("outline");
    QTest::addColumn<bool>("shadow");
    QTest::addColumn<bool>("visible");
    QTest::newRow("plain") << 0.0f << false << false;
    QTest::newRow("outline") << 8.0f << false << true;
    QTest::newRow("shadow") << 0.0f << true << true;
    QTest::newRow("both") << 8.0f << true << true;
}

void TestFitting::whiteTextOnWhite()
{
    QFETCH(float, outline);
    QFETCH(bool, shadow);
    QFETCH(bool, visible);
    auto text = blackText(20, QStringLiteral("Mark"));
    text->setColor(QColor(Qt::white));
    text->setOutlineWidth(outline);
    text->setShadow(shadow);
    text->setShadowColor(QColor::fromRgbF(0.0f, 0.0f, 0.0f, 0.8f));
    const QImage drawn = stamp({400, 300}, {text});
    QCOMPARE(darkness(drawn) > 100 * 255, visible);
    if (visible) {
        // Around the text, not all over the photo.
        const QRect ink = inkBounds(drawn);
        QVERIFY(ink.width() < 380 && ink.height() < 150);
    }
}

void TestFitting::boldIsHeavier()
{
    auto regular = blackText(10, QStringLiteral("Watermark"));
    auto bold = blackText(10, QStringLiteral("Watermark"));
    bold->setFontStyle(QStringLiteral("Bold"));
    const qint64 light = darkness(stamp({800, 400}, {regular}));
    const qint64 heavy = darkness(stamp({800, 400}, {bold}));
    QVERIFY2(heavy * 5 > light * 6, qPrintable(QStringLiteral("%1 vs %2").arg(heavy).arg(light)));
}

void TestFitting::batchToolReadsFittingKeys()
{
    // The command-line tool draws what the state file says, fitting keys included, also when it
    // writes the photos smaller.
    auto picture = redPicture(10);
    picture->setMargin(4);
    picture->setPosition(0);
    const QString state = m_dir.filePath(QStringLiteral("fitting-state.bin"));
    QVERIFY(writeFile(state, StateFile::encode({picture}, OutputOptions())));
    const QString photo = m_dir.filePath(QStringLiteral("in/wide.png"));
    QVERIFY(QDir().mkpath(m_dir.filePath(QStringLiteral("in"))));
    QVERIFY(whitePhoto({1000, 500}).save(photo));
    const QString out = m_dir.filePath(QStringLiteral("out"));
    QCOMPARE(runTool({QStringLiteral("--state"), state, QStringLiteral("--output"), out,
                      QStringLiteral("--format"), QStringLiteral("png"), photo})
                 .exitCode,
             0);
    const QStringList written = QDir(out).entryList(QDir::Files);
    QCOMPARE(written.size(), 1);
    QCOMPARE(inkBounds(QImage(out + QLatin1Char('/') + written.first())), QRect(20, 430, 200, 50));
}

void TestFitting::longTextShrinksToFit_data()
{
    QTest::addColumn<float>("maxWidth");
    QTest::addColumn<float>("rotation");
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("shrunk");
    const QString line = QStringLiteral("Photograph by Ana Example, all rights reserved, 2024");
    QTest::newRow("no key: cut at both edges as before") << 0.0f << 0.0f << line << false;
    QTest::newRow("90 %") << 90.0f << 0.0f << line << true;
    QTest::newRow("turned: the photo's height counts") << 90.0f << 90.0f << line + line << true;
    QTest::newRow("short text keeps its size") << 90.0f << 0.0f << QStringLiteral("Hg") << false;
}

void TestFitting::longTextShrinksToFit()
{
    QFETCH(float, maxWidth);
    QFETCH(float, rotation);
    QFETCH(QString, text);
    QFETCH(bool, shrunk);
    const QSize portrait(600, 1000);
    auto overlay = blackText(6, text);
    overlay->setMaxWidth(maxWidth);
    overlay->setRotation(rotation);
    Stamper stamper(fixedExpander());
    const Stamper::Stamped stamped =
        stamper.watermark(std::make_shared<WorkFile>(m_photo),
                          DecodedImage(whitePhoto(portrait), 72.0f, portrait), {overlay});
    QCOMPARE(stamped.watermarksShrunk, shrunk ? 1 : 0);
    const QRect ink = inkBounds(stamped.image);
    const QRect allowed(30, 50, 540, 900); // 90 % of each side, centred
    if (maxWidth == 0.0f) {
        QCOMPARE(ink.left(), 0);
        QCOMPARE(ink.right(), portrait.width() - 1);
    } else {
        QVERIFY2(allowed.contains(ink), qPrintable(QStringLiteral("%1 x %2 at %3, %4")
                                                       .arg(ink.width())
                                                       .arg(ink.height())
                                                       .arg(ink.x())
                                                       .arg(ink.y())));
    }
    if (shrunk) // shrunk no more than needed
        QVERIFY(std::max(ink.width(), ink.height()) > 500);
}

void TestFitting::handPlacementDrawn_data()
{
    QTest::addColumn<QSize>("reducedTo"); // empty: drawn at full size, as the batch writes
    QTest::addColumn<QPoint>("expected");
    // The lower left corner, moved 10 % of 1000 right and 20 % of 500 up.
    QTest::newRow("batch") << QSize() << QPoint(100, 399);
    QTest::newRow("preview at half size") << QSize(500, 250) << QPoint(50, 199);
}

void TestFitting::handPlacementDrawn()
{
    QFETCH(QSize, reducedTo);
    QFETCH(QPoint, expected);
    auto picture = redPicture(0);
    picture->setPosition(0);
    picture->setOffsetX(10.0f);
    picture->setOffsetY(-20.0f);
    const QImage drawn = stamp({1000, 500}, {picture}, reducedTo);
    QCOMPARE(inkBounds(drawn).bottomLeft(), expected);
}

QTEST_MAIN(TestFitting)
#include "tst_fitting.moc"
