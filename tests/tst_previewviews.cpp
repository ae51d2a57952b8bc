#include "render/PreviewGeometry.h"
#include "render/PreviewRenderer.h"
#include "sources/WorkFile.h"
#include "watermarks/Overlay.h"
#include "watermarks/PositionView.h"
#include "watermarks/PreviewView.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <cstdlib>
#include <memory>

namespace {

constexpr QRgb Photo = 0xff2050c0;
constexpr QRgb OtherPhoto = 0xff30a040;
constexpr QRgb Red = 0xffff0000;
constexpr QRgb Black = 0xff000000;
constexpr QRgb White = 0xffffffff;
constexpr QRgb Tint = 0xfff2f2f2;
constexpr QRgb FrameGrey = 0xff808080;

bool near(QRgb actual, QRgb expected)
{
    return std::abs(qRed(actual) - qRed(expected)) <= 8 &&
           std::abs(qGreen(actual) - qGreen(expected)) <= 8 &&
           std::abs(qBlue(actual) - qBlue(expected)) <= 8;
}

int dotsPerMetre(int dpi)
{
    return qRound(dpi / 0.0254);
}

} // namespace

class TestPreviewViews : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void fitRect_data();
    void fitRect();
    void pickerHitTest_data();
    void pickerHitTest();
    void pickerDrawsCellsWhereClicksHit_data();
    void pickerDrawsCellsWhereClicksHit();
    void pickerClick_data();
    void pickerClick();
    void previewShowsWatermarkedPhoto();
    void redrawsCollapseIntoOneFollowUp();
    void photoIsReadOnlyWhenPathChanges();
    void destroyedWhileRendering();

private:
    QString writePhoto(const QString &name, QSize size, QRgb colour, int dpi = 72);

    QTemporaryDir m_dir;
    std::shared_ptr<Overlay> m_picture;
};

QString TestPreviewViews::writePhoto(const QString &name, QSize size, QRgb colour, int dpi)
{
    QImage image(size, QImage::Format_RGB32);
    image.fill(colour);
    image.setDotsPerMeterX(dotsPerMetre(dpi));
    image.setDotsPerMeterY(dotsPerMetre(dpi));
    const QString path = m_dir.filePath(name);
    if (!image.save(path, "PNG"))
        qFatal("cannot write %s", qPrintable(path));
    return path;
}

void TestPreviewViews::initTestCase()
{
    QVERIFY(m_dir.isValid());
    // A red 40 x 20 picture at the top right, nothing behind it.
    m_picture = std::make_shared<Overlay>();
    m_picture->setFilePath(writePhoto(QStringLiteral("mark.png"), {40, 20}, Red));
    m_picture->setWidth(40);
    m_picture->setHeight(20);
    m_picture->setPosition(8);
    m_picture->setShow(false);
}

void TestPreviewViews::fitRect_data()
{
    QTest::addColumn<QSizeF>("image");
    QTest::addColumn<QSizeF>("view");
    QTest::addColumn<QRectF>("expected");
    QTest::newRow("wide") << QSizeF(3000, 2000) << QSizeF(300, 300) << QRectF(0, 50, 300, 200);
    QTest::newRow("tall") << QSizeF(2000, 3000) << QSizeF(300, 300) << QRectF(50, 0, 200, 300);
    QTest::newRow("small, not enlarged")
        << QSizeF(100, 50) << QSizeF(300, 300) << QRectF(100, 125, 100, 50);
    QTest::newRow("no area") << QSizeF(0, 50) << QSizeF(300, 300) << QRectF();
}

void TestPreviewViews::fitRect()
{
    QFETCH(QSizeF, image);
    QFETCH(QSizeF, view);
    QFETCH(QRectF, expected);
    const FloatRect fitted = PreviewGeometry::fitRect({float(image.width()), float(image.height())},
                                                      {float(view.width()), float(view.height())});
    QCOMPARE(QRectF(double(fitted.origin.x), double(fitted.origin.y), double(fitted.size.width),
                    double(fitted.size.height)),
             expected);
}

void TestPreviewViews::pickerHitTest_data()
{
    // Points as the grid is laid out, y up from the view's lower edge.
    QTest::addColumn<QPointF>("up");
    QTest::addColumn<int>("cell");
    QTest::newRow("(5, 5)") << QPointF(5, 5) << 0;
    QTest::newRow("(14, 23)") << QPointF(14, 23) << 7;
    QTest::newRow("right edge of cell 0") << QPointF(10, 3) << -1;
    QTest::newRow("top edge of cell 0") << QPointF(5, 10) << -1;
    QTest::newRow("centre") << QPointF(15.5, 15.5) << 4;
    QTest::newRow("margin") << QPointF(1, 1) << -1;
}

void TestPreviewViews::pickerHitTest()
{
    QFETCH(QPointF, up);
    QFETCH(int, cell);
    // The grid sits at the lower left whatever the view's height.
    for (const qreal height : {31.0, 80.0}) {
        const QPointF down(up.x(), height - up.y());
        QCOMPARE(PositionView::hitTest(down, QSizeF(31, height)), cell);
    }
}

void TestPreviewViews::pickerDrawsCellsWhereClicksHit_data()
{
    QTest::addColumn<int>("position");
    QTest::newRow("0") << 0;
    QTest::newRow("4") << 4;
    QTest::newRow("8") << 8;
    QTest::newRow("9 fills none") << 9;
}

void TestPreviewViews::pickerDrawsCellsWhereClicksHit()
{
    QFETCH(int, position);
    PositionView view;
    view.resize(40, 60);
    view.setPosition(position);
    const QImage image = view.grab().toImage();

    // Every black pixel belongs to a cell as the hit test sees it (a click names the pixel's
    // centre): the filled cell is black all over, the others only on their 24-pixel frame.
    int blackPerCell[9] = {};
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const int cell = PositionView::hitTest(QPointF(x + 0.5, y + 0.5), view.size());
            const bool black = near(image.pixel(x, y), Black);
            if (cell < 0)
                QVERIFY2(!black, qPrintable(QStringLiteral("(%1, %2)").arg(x).arg(y)));
            else
                blackPerCell[cell] += black ? 1 : 0;
        }
    }
    for (int cell = 0; cell < 9; ++cell)
        QCOMPARE(blackPerCell[cell], cell == position ? 49 : 24);

    // The lower half is tinted, the upper half white, the whole framed in grey.
    QVERIFY(near(image.pixel(35, 45), Tint));
    QVERIFY(near(image.pixel(35, 10), White));
    QVERIFY(near(image.pixel(0, 20), FrameGrey));
    QVERIFY(near(image.pixel(20, 59), FrameGrey));
}

void TestPreviewViews::pickerClick_data()
{
    // Pixels of a 31 x 31 view, y down.
    QTest::addColumn<QPoint>("pixel");
    QTest::addColumn<Qt::MouseButton>("button");
    QTest::addColumn<int>("shown");
    QTest::addColumn<int>("chosen"); // -1: no signal
    QTest::newRow("top right pixel of cell 0") << QPoint(9, 21) << Qt::LeftButton << 0 << 0;
    QTest::newRow("cell 7") << QPoint(14, 7) << Qt::LeftButton << 7 << 7;
    QTest::newRow("right of cell 0") << QPoint(10, 27) << Qt::LeftButton << 1 << 1;
    QTest::newRow("right button") << QPoint(5, 25) << Qt::RightButton << 1 << -1;
}

void TestPreviewViews::pickerClick()
{
    QFETCH(QPoint, pixel);
    QFETCH(Qt::MouseButton, button);
    QFETCH(int, shown);
    QFETCH(int, chosen);
    PositionView view;
    view.resize(31, 31);
    view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&view));
    QSignalSpy spy(&view, &PositionView::positionChosen);
    view.setPosition(1);
    QCOMPARE(spy.count(), 0);
    QTest::mouseClick(&view, button, {}, pixel);
    QCOMPARE(view.position(), shown);
    QCOMPARE(spy.count(), chosen < 0 ? 0 : 1);
    if (chosen >= 0)
        QCOMPARE(spy.first().first().toInt(), chosen);
}

void TestPreviewViews::previewShowsWatermarkedPhoto()
{
    // 200 x 100 at 144 dpi, in a 100 x 100 view: drawn at half size at (0, 25).
    auto file =
        std::make_shared<WorkFile>(writePhoto(QStringLiteral("photo.png"), {200, 100}, Photo, 144));
    PreviewView view;
    view.resize(100, 100);
    view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&view));
    QSignalSpy spy(&view, &PreviewView::rendered);
    view.setOverlays({m_picture});
    view.setFile(file);
    QVERIFY(spy.wait(10000));

    const QImage full = view.renderedImage();
    QCOMPARE(full.size(), QSize(200, 100));
    QVERIFY(near(full.pixel(180, 10), Red));
    QVERIFY(near(full.pixel(150, 10), Photo));
    QCOMPARE(file->originalSize(), QSizeF(100, 50));

    const QImage shown = view.grab().toImage();
    QVERIFY(near(shown.pixel(90, 30), Red));
    QVERIFY(near(shown.pixel(70, 30), Photo));
    QVERIFY(near(shown.pixel(10, 70), Photo));
    // Nothing is painted around the photo.
    const QRgb background = view.palette().color(QPalette::Window).rgb();
    QCOMPARE(shown.pixel(50, 10), background);
    QCOMPARE(shown.pixel(50, 90), background);

    view.setFile(nullptr);
    QVERIFY(view.renderedImage().isNull());
    QCOMPARE(view.grab().toImage().pixel(50, 50), background);
}

void TestPreviewViews::redrawsCollapseIntoOneFollowUp()
{
    auto file =
        std::make_shared<WorkFile>(writePhoto(QStringLiteral("large.png"), {3000, 2000}, Photo));
    auto mark = std::make_shared<Overlay>(*m_picture);
    PreviewView view;
    view.resize(300, 200);
    view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&view));
    QList<QImage> renders;
    connect(&view, &PreviewView::rendered, this, [&] { renders.append(view.renderedImage()); });
    view.setOverlays({mark});
    view.setFile(file);
    QTRY_COMPARE_WITH_TIMEOUT(renders.size(), 1, 10000);
    // After a new photo the renderer prepares a second canvas before it rests.
    auto *renderer = view.findChild<PreviewRenderer *>();
    QTRY_VERIFY_WITH_TIMEOUT(!renderer->isBusy(), 10000);

    // The first redraw starts a render; the others arrive while it runs. The record is edited
    // under the running render (the photo is large enough for it to still be restoring the
    // canvas), which must draw the state it started with.
    renders.clear();
    for (const int position : {2, 6, 7, 3, 4, 5, 1, 0}) {
        mark->setPosition(static_cast<qint16>(position));
        view.redraw();
    }
    QTRY_COMPARE_WITH_TIMEOUT(renders.size(), 2, 10000);
    QVERIFY(!renderer->isBusy());
    // Position 2 is the lower right corner, 0 the lower left.
    QVERIFY(near(renders[0].pixel(2980, 1990), Red));
    QVERIFY(near(renders[0].pixel(20, 1990), Photo));
    QVERIFY(near(renders[1].pixel(20, 1990), Red));
    QVERIFY(near(renders[1].pixel(2980, 1990), Photo));
    QVERIFY(near(renders[1].pixel(2980, 10), Photo));
}

void TestPreviewViews::photoIsReadOnlyWhenPathChanges()
{
    const QString first = writePhoto(QStringLiteral("first.png"), {64, 48}, Photo);
    const QString second = writePhoto(QStringLiteral("second.png"), {64, 48}, OtherPhoto);
    PreviewView view;
    view.resize(64, 48);
    auto *renderer = view.findChild<PreviewRenderer *>();
    QVERIFY(renderer);
    QSignalSpy spy(&view, &PreviewView::rendered);
    const auto showAndCount = [&](const std::shared_ptr<WorkFile> &file, bool redraw) {
        spy.clear();
        view.setFile(file);
        if (redraw)
            view.redraw();
        if (!spy.wait(10000) || !QTest::qWaitFor([&] { return !renderer->isBusy(); }, 10000))
            return -1;
        return renderer->decodeCount();
    };

    QCOMPARE(showAndCount(std::make_shared<WorkFile>(first), false), 1);
    QCOMPARE(showAndCount(renderer->file(), true), 1);
    // Another record for the same path is not read again.
    QCOMPARE(showAndCount(std::make_shared<WorkFile>(first), false), 1);
    QCOMPARE(showAndCount(std::make_shared<WorkFile>(second), false), 2);
    QVERIFY(near(view.renderedImage().pixel(10, 10), OtherPhoto));
    QCOMPARE(showAndCount(std::make_shared<WorkFile>(first), false), 3);
    QVERIFY(near(view.renderedImage().pixel(10, 10), Photo));

    // A file that cannot be read finishes a render that shows nothing.
    QCOMPARE(showAndCount(std::make_shared<WorkFile>(m_dir.filePath("missing.png")), false), 4);
    QVERIFY(view.renderedImage().isNull());
}

void TestPreviewViews::destroyedWhileRendering()
{
    auto file =
        std::make_shared<WorkFile>(writePhoto(QStringLiteral("busy.png"), {2000, 1500}, Photo));
    auto view = std::make_unique<PreviewView>();
    view->resize(200, 150);
    view->setOverlays({m_picture});
    view->setFile(file);
    QVERIFY(view->findChild<PreviewRenderer *>()->isBusy());
    view.reset();
}

QTEST_MAIN(TestPreviewViews)
#include "tst_previewviews.moc"
