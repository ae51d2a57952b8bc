// SPDX-FileCopyrightText: 2026 Tessaly
// SPDX-License-Identifier: GPL-3.0-or-later

#include "TestSupport.h"
#include "render/PreviewGeometry.h"
#include "render/PreviewRenderer.h"
#include "render/Stamper.h"
#include "sources/WorkFile.h"
#include "watermarks/Overlay.h"
#include "widgets/PositionView.h"
#include "widgets/PreviewView.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <cstdlib>
#include <memory>

using namespace inkveil;

namespace {

constexpr QRgb Photo = 0xff2050c0;
constexpr QRgb Red = 0xffff0000;

bool near(QRgb a, QRgb b)
{
    return ::near(a, b, 8);
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
    void pickerDrawsCellsWhereClicksHit();
    void pickerIsLargeAndTakesArrowKeys();
    void previewShowsWatermarkedPhoto();
    void redrawsCollapseIntoOneFollowUp();
    void previewEqualsOutputScaled_data();
    void previewEqualsOutputScaled();

private:
    QString photo(const QString &name, QSize size, QRgb colour, int dpi = 72)
    {
        return writePhoto(m_dir.filePath(name), size, QColor::fromRgb(colour), dpi);
    }

    QTemporaryDir m_dir;
    std::shared_ptr<Overlay> m_picture;
};

void TestPreviewViews::initTestCase()
{
    QVERIFY(m_dir.isValid());
    // A red 40 x 20 picture at the top right, nothing behind it.
    m_picture = std::make_shared<Overlay>();
    m_picture->setFilePath(photo(QStringLiteral("mark.png"), {40, 20}, Red));
    m_picture->setWidth(40);
    m_picture->setHeight(20);
    m_picture->setPosition(8);
    m_picture->setShow(false);
}

void TestPreviewViews::fitRect_data()
{
    QTest::addColumn<QSizeF>("image");
    QTest::addColumn<QRectF>("expected"); // in a 300 x 300 view
    QTest::newRow("wide") << QSizeF(3000, 2000) << QRectF(0, 50, 300, 200);
    QTest::newRow("tall") << QSizeF(2000, 3000) << QRectF(50, 0, 200, 300);
    QTest::newRow("small, not enlarged") << QSizeF(100, 50) << QRectF(100, 125, 100, 50);
    QTest::newRow("no area") << QSizeF(0, 50) << QRectF();
}

void TestPreviewViews::fitRect()
{
    QFETCH(QSizeF, image);
    QFETCH(QRectF, expected);
    const FloatRect r =
        PreviewGeometry::fitRect({float(image.width()), float(image.height())}, {300, 300});
    QCOMPARE(QRectF(r.origin.x, r.origin.y, r.size.width, r.size.height), expected);
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
}

void TestPreviewViews::pickerHitTest()
{
    QFETCH(QPointF, up);
    QFETCH(int, cell);
    // The grid sits at the lower left whatever the view's height.
    for (const qreal height : {31.0, 80.0})
        QCOMPARE(PositionView::hitTest(QPointF(up.x(), height - up.y()), QSizeF(31, height)), cell);
}

void TestPreviewViews::pickerDrawsCellsWhereClicksHit()
{
    PositionView view;
    view.resize(40, 60);
    for (const int position : {0, 8, 9}) { // 9 fills none
        view.setPosition(position);
        const QImage image = view.grab().toImage();
        // Every black pixel belongs to a cell as the hit test sees it (a click names the pixel's
        // centre): the filled cell is black all over, the others only on their 24-pixel frame.
        int blackPerCell[9] = {};
        for (int y = 0; y < image.height(); ++y) {
            for (int x = 0; x < image.width(); ++x) {
                const int cell = PositionView::hitTest(QPointF(x + 0.5, y + 0.5), view.size());
                const bool black = near(image.pixel(x, y), 0xff000000);
                QVERIFY(cell >= 0 || !black);
                if (cell >= 0)
                    blackPerCell[cell] += black ? 1 : 0;
            }
        }
        for (int cell = 0; cell < 9; ++cell)
            QCOMPARE(blackPerCell[cell], cell == position ? 49 : 24);
    }

    // Clicks (y down in a 31 x 31 view) choose the cell, one between cells the current one;
    // a right click does nothing.
    view.resize(31, 31);
    view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&view));
    QSignalSpy spy(&view, &PositionView::positionChosen);
    view.setPosition(1);
    QTest::mouseClick(&view, Qt::RightButton, {}, QPoint(5, 25));
    QCOMPARE(spy.count(), 0);
    for (const auto &[pixel, cell] :
         {std::pair{QPoint(10, 27), 1}, {QPoint(9, 21), 0}, {QPoint(14, 7), 7}}) {
        QTest::mouseClick(&view, Qt::LeftButton, {}, pixel);
        QCOMPARE(view.position(), cell);
        QCOMPARE(spy.takeFirst().first().toInt(), cell);
    }
}

// Big enough to hit (three times the drawn grid at its preferred size), and the arrow keys move
// the chosen cell within the grid, rows counting from the bottom.
void TestPreviewViews::pickerIsLargeAndTakesArrowKeys()
{
    PositionView view;
    QVERIFY(view.sizeHint().width() >= 90 && view.sizeHint().height() >= 90);
    QCOMPARE(view.focusPolicy(), Qt::StrongFocus);
    view.resize(view.sizeHint());
    QCOMPARE(PositionView::hitTest(QPointF(40, view.height() - 40), view.size()), 4);
    view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&view));
    view.setPosition(1);
    QSignalSpy spy(&view, &PositionView::positionChosen);
    for (const auto &[key, cell] : {std::pair{Qt::Key_Left, 0},
                                    {Qt::Key_Left, 0},
                                    {Qt::Key_Up, 3},
                                    {Qt::Key_Up, 6},
                                    {Qt::Key_Up, 6},
                                    {Qt::Key_Right, 7},
                                    {Qt::Key_Down, 4}}) {
        QTest::keyClick(&view, key);
        QCOMPARE(view.position(), cell);
    }
    // Only moves are announced.
    QCOMPARE(spy.count(), 5);
}

void TestPreviewViews::previewShowsWatermarkedPhoto()
{
    // 200 x 100 at 144 dpi, in a 100 x 100 view: drawn at half size at (0, 25).
    auto file = std::make_shared<WorkFile>(photo("photo.png", {200, 100}, Photo, 144));
    const auto view = std::make_unique<PreviewView>();
    view->resize(100, 100);
    QSignalSpy spy(view.get(), &PreviewView::rendered);
    view->setOverlays({m_picture});
    view->setFile(file);
    QVERIFY(spy.wait(10000));
    // Read and drawn at the size shown.
    const QImage drawn = view->renderedImage();
    QCOMPARE(drawn.size(), QSize(100, 50));
    QVERIFY(near(drawn.pixel(90, 5), Red));
    QVERIFY(near(drawn.pixel(75, 5), Photo));
    QCOMPARE(file->originalSize(), QSizeF(100, 50));

    const QImage shown = view->grab().toImage();
    QVERIFY(near(shown.pixel(90, 30), Red));
    QVERIFY(near(shown.pixel(10, 70), Photo));
    // Nothing is painted around the photo.
    const QRgb background = view->palette().color(QPalette::Window).rgb();
    QCOMPARE(shown.pixel(50, 10), background);
    QCOMPARE(shown.pixel(50, 90), background);
    QCOMPARE(view->message(), QString());
    // A file that cannot be read finishes a render that shows no photo, only why.
    view->setFile(std::make_shared<WorkFile>(m_dir.filePath("missing.png")));
    QVERIFY(spy.wait(10000));
    QVERIFY(view->renderedImage().isNull());
    QCOMPARE(view->message(), QStringLiteral("Can't read this photo."));
    QCOMPARE(view->grab().toImage().pixel(2, 2), background);
    view->setFile(file);
    QCOMPARE(view->message(), QString());
}

void TestPreviewViews::redrawsCollapseIntoOneFollowUp()
{
    auto file = std::make_shared<WorkFile>(photo("large.png", {3000, 2000}, Photo));
    auto mark = std::make_shared<Overlay>(*m_picture);
    auto view = std::make_unique<PreviewView>();
    view->resize(300, 200);
    QList<QImage> renders;
    connect(view.get(), &PreviewView::rendered, this,
            [&] { renders.append(view->renderedImage()); });
    view->setOverlays({mark});
    view->setFile(file);
    QTRY_COMPARE_WITH_TIMEOUT(renders.size(), 1, 10000);
    // After a new photo the renderer prepares a second canvas before it rests.
    auto *renderer = view->findChild<PreviewRenderer *>();
    QTRY_VERIFY_WITH_TIMEOUT(!renderer->isBusy(), 10000);

    // The first redraw starts a render; the others arrive while it runs. The record is edited
    // under the running render, which must draw the state it started with.
    renders.clear();
    for (const int position : {2, 6, 7, 3, 4, 5, 1, 0}) {
        mark->setPosition(static_cast<qint16>(position));
        view->redraw();
    }
    QTRY_COMPARE_WITH_TIMEOUT(renders.size(), 2, 10000);
    QVERIFY(!renderer->isBusy());
    // Position 2 is the lower right corner, 0 the lower left.
    // Renders are at the shown size, a tenth of the photo.
    QVERIFY(near(renders[0].pixel(298, 199), Red));
    QVERIFY(near(renders[0].pixel(2, 199), Photo));
    QVERIFY(near(renders[1].pixel(2, 199), Red));
    QVERIFY(near(renders[1].pixel(298, 199), Photo));
    QCOMPARE(renderer->decodeCount(), 1); // redraws do not read the photo again

    // Destroying the view while it renders waits for the render safely.
    view->redraw();
    QVERIFY(renderer->isBusy());
    view.reset();
}

void TestPreviewViews::previewEqualsOutputScaled_data()
{
    QTest::addColumn<bool>("tile");
    QTest::addColumn<float>("angle");
    QTest::newRow("corner, shadow and outline") << false << 0.0f;
    QTest::newRow("tiled, turned") << true << 45.0f;
}

void TestPreviewViews::previewEqualsOutputScaled()
{
    // The preview reads and draws the photo at the size shown; it must still show what the
    // full-size output looks like scaled to the view.
    QFETCH(bool, tile);
    QFETCH(float, angle);
    QImage gradient(1200, 800, QImage::Format_RGB32);
    for (int y = 0; y < gradient.height(); ++y) {
        for (int x = 0; x < gradient.width(); ++x)
            gradient.setPixel(x, y, qRgb(x * 200 / 1200 + 40, y * 200 / 800 + 40, 140));
    }
    const QString path = m_dir.filePath(QStringLiteral("gradient.jpg"));
    QVERIFY(gradient.save(path, "JPEG", 95));
    auto mark = Overlay::newWatermark();
    mark->setText(QStringLiteral("Inkveil 2024"));
    mark->setRelativeSize(6);
    mark->setPosition(8);
    mark->setShow(!tile);
    mark->setBgColor(QColor(0, 0, 0, 100));
    mark->setOutlineWidth(5);
    mark->setShadow(true);
    mark->setTile(tile);
    mark->setRotation(angle);

    PreviewRenderer renderer;
    QSignalSpy rendered(&renderer, &PreviewRenderer::rendered);
    renderer.setDisplaySize({300, 200});
    renderer.setOverlays({mark});
    renderer.setFile(std::make_shared<WorkFile>(path));
    QVERIFY(rendered.wait(10000));
    const QImage shown = renderer.displayImage().convertToFormat(QImage::Format_RGB32);
    QCOMPARE(shown.size(), QSize(300, 200));

    Stamper stamper;
    const QImage output =
        stamper.watermark(std::make_shared<WorkFile>(path), {mark})
            ->image.scaled(shown.size(), Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
            .convertToFormat(QImage::Format_RGB32);
    qint64 difference = 0;
    int far = 0;
    for (int y = 0; y < shown.height(); ++y) {
        for (int x = 0; x < shown.width(); ++x) {
            const QRgb a = shown.pixel(x, y);
            const QRgb b = output.pixel(x, y);
            const int d = std::abs(qRed(a) - qRed(b)) + std::abs(qGreen(a) - qGreen(b)) +
                          std::abs(qBlue(a) - qBlue(b));
            difference += d;
            far += d > 90;
        }
    }
    const double mean = static_cast<double>(difference) / (3.0 * 300 * 200);
    // Antialiased edges differ a little, and tiled copies sit on whole pixels of each canvas, so
    // up to half a view pixel apart; shapes and places must not differ.
    QVERIFY2(mean < 3.0 && far < 300 * 200 * 3 / 100,
             qPrintable(QStringLiteral("mean %1, far %2").arg(mean).arg(far)));
}

QTEST_MAIN(TestPreviewViews)
#include "tst_previewviews.moc"
