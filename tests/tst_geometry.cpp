// SPDX-FileCopyrightText: 2026 Tessaly
// SPDX-License-Identifier: GPL-3.0-or-later

#include "render/StamperGeometry.h"

#include <QPointF>
#include <QTest>

#include <algorithm>
#include <cmath>
#include <utility>

using namespace inkveil;

namespace {

// Tolerances, relative to the expected value. Results that go through cos and sin may differ in
// their last float steps between maths libraries; taking pi as the true value instead of 3.1415
// would move them by about 1.6e-5, far outside Trig.
constexpr float Exact = 0.0f;
constexpr float Trig = 1e-6f;

QPointF pair(const FloatSize size)
{
    return {size.width, size.height};
}
QPointF pair(const FloatPoint point)
{
    return {point.x, point.y};
}

bool near(const double actual, const double expected, const double tolerance)
{
    return std::abs(actual - expected) <= tolerance * std::max(1.0, std::abs(expected));
}

bool near(const QPointF actual, const QPointF expected, const double tolerance)
{
    return near(actual.x(), expected.x(), tolerance) && near(actual.y(), expected.y(), tolerance);
}

#define VERIFY_NEAR(actual, expected, tolerance)                                                   \
    QVERIFY2(near(pair(actual), pair(expected), tolerance),                                        \
             qPrintable(QStringLiteral("got %1, %2")                                               \
                            .arg(pair(actual).x(), 0, 'g', 9)                                      \
                            .arg(pair(actual).y(), 0, 'g', 9)))

constexpr FloatRect Photo{{0, 0}, {1000, 800}};
constexpr FloatSize Content{200, 40};

} // namespace

class TestGeometry : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void byAngle_data();
    void byAngle();
    void drawPoint();
    void bandLength();
    void workedExample();
    void handPlacement_data();
    void handPlacement();
};

void TestGeometry::byAngle_data()
{
    QTest::addColumn<float>("angle");
    QTest::addColumn<FloatSize>("turned"); // of Content
    QTest::addColumn<float>("tolerance");
    QTest::addColumn<FloatPoint>("offset"); // for a turned size of 60 x 20
    QTest::addColumn<FloatPoint>("ahead");  // from (100, 50), 1000 units along the text, y up
    QTest::addColumn<FloatPoint>("behind"); // the same with 180 added, wrapping past 360

    const FloatSize diagonal{169.708252f, 169.703003f};
    const FloatSize quarter{40.0092659f, 200.001846f}; // a sliver kept: pi is 3.1415
    QTest::newRow("0") << 0.0f << Content << Exact << FloatPoint{0, 10} << FloatPoint{1100, 50}
                       << FloatPoint{-900, 50};
    QTest::newRow("45") << 45.0f << diagonal << Trig << FloatPoint{0, 20} << FloatPoint{1100, -950}
                        << FloatPoint{-900, 1050};
    QTest::newRow("90") << 90.0f << quarter << Trig << FloatPoint{30, -40} << FloatPoint{100, -950}
                        << FloatPoint{100, 1050};
    QTest::newRow("135") << 135.0f << diagonal << Trig << FloatPoint{60, 20}
                         << FloatPoint{-900, -950} << FloatPoint{1100, 1050};
    QTest::newRow("180") << 180.0f << Content << Exact << FloatPoint{40, 10} << FloatPoint{-900, 50}
                         << FloatPoint{1100, 50};
    QTest::newRow("225") << 225.0f << diagonal << Trig << FloatPoint{60, 0}
                         << FloatPoint{-900, 1050} << FloatPoint{1100, -950};
    QTest::newRow("270") << 270.0f << quarter << Trig << FloatPoint{30, 0} << FloatPoint{100, 1050}
                         << FloatPoint{100, -950};
    QTest::newRow("315") << 315.0f << diagonal << Trig << FloatPoint{0, 0} << FloatPoint{1100, 1050}
                         << FloatPoint{-900, -950};
}

void TestGeometry::byAngle()
{
    QFETCH(float, angle);
    QFETCH(FloatSize, turned);
    QFETCH(float, tolerance);
    QFETCH(FloatPoint, offset);
    QFETCH(FloatPoint, ahead);
    QFETCH(FloatPoint, behind);

    VERIFY_NEAR(StamperGeometry::sizeFromRotation(Content, angle), turned, tolerance);
    VERIFY_NEAR(StamperGeometry::findOffset(angle, FloatSize{60, 20}), offset, Exact);
    const FloatPoint from{100, 50};
    VERIFY_NEAR(StamperGeometry::findEndpoint(from, angle, 0, 1000), ahead, Exact);
    VERIFY_NEAR(StamperGeometry::findEndpoint(from, angle, 180, 1000), behind, Exact);
}

void TestGeometry::drawPoint()
{
    const float xs[] = {0, 400, 800};
    const float ys[] = {0, 380, 760};
    for (qint16 position = 0; position < 9; ++position) {
        VERIFY_NEAR(StamperGeometry::findDrawPoint(Photo, position, Content),
                    (FloatPoint{xs[position % 3], ys[position / 3]}), Exact);
    }
    // Only the canvas size counts; oversized content sticks out on the side away from its anchor.
    VERIFY_NEAR(StamperGeometry::findDrawPoint({{50, 70}, {1000, 800}}, 8, Content),
                (FloatPoint{800, 760}), Exact);
    VERIFY_NEAR(StamperGeometry::findDrawPoint(Photo, 4, {1200, 40}), (FloatPoint{-100, 380}),
                Exact);
    VERIFY_NEAR(StamperGeometry::findDrawPoint(Photo, 7, {200, 1000}), (FloatPoint{400, -200}),
                Exact);
}

void TestGeometry::bandLength()
{
    // 1280.6 truncates; 4097 * 4097 + 1 is not a float, so summed in float the root falls just
    // under 4097; beyond 16 bits saturates.
    const std::pair<FloatSize, qint16> cases[] = {{Photo.size, 1280},  {{0, 0}, 0},
                                                  {{4097, 1}, 4096},   {{18000, 24000}, 30000},
                                                  {{32768, 0}, 32767}, {{40000, 30000}, 32767}};
    for (const auto &[canvas, length] : cases)
        QCOMPARE(StamperGeometry::bandLength(canvas), length);
}

// 200 x 40 content in the top right corner of a 1000 x 800 photo, followed through to its band.
void TestGeometry::workedExample()
{
    const auto check = [](float angle, float tolerance, FloatPoint drawPoint, FloatPoint offset,
                          FloatPoint ahead, FloatPoint behind) {
        const FloatSize turned = StamperGeometry::sizeFromRotation(Content, angle);
        const FloatPoint d = StamperGeometry::findDrawPoint(Photo, 8, turned);
        VERIFY_NEAR(d, drawPoint, tolerance);
        const FloatPoint o = StamperGeometry::findOffset(angle, turned);
        VERIFY_NEAR(o, offset, tolerance);
        const qint16 m = StamperGeometry::bandLength(Photo.size);
        const FloatPoint p{d.x + o.x, d.y + o.y};
        VERIFY_NEAR(StamperGeometry::findEndpoint(p, angle, 0, m), ahead, tolerance);
        VERIFY_NEAR(StamperGeometry::findEndpoint(p, angle, 180, m), behind, tolerance);
    };
    check(0, Exact, {800, 760}, {0, 20}, {2080, 780}, {-480, 780});
    if (QTest::currentTestFailed())
        return;
    check(90, Trig, {959.990723f, 599.998169f}, {20.0046329f, 159.992584f},
          {979.995361f, -520.009277f}, {979.995361f, 2039.99072f});
}

// A watermark put by hand is kept as the anchor of the third it sits in plus an offset, in
// percent of the photo, that brings it back exactly there.
void TestGeometry::handPlacement_data()
{
    QTest::addColumn<QPointF>("drawPoint");
    QTest::addColumn<float>("margin");
    QTest::addColumn<int>("position");
    QTest::addColumn<QPointF>("offset");
    QTest::newRow("lower left") << QPointF(100, 100) << 0.0f << 0 << QPointF(10, -12.5);
    QTest::newRow("upper right, margin") << QPointF(700, 700) << 20.0f << 8 << QPointF(-8, 5);
    QTest::newRow("centre ignores margin") << QPointF(400, 380) << 20.0f << 4 << QPointF(0, 0);
    QTest::newRow("partly off the photo") << QPointF(-150, 900) << 0.0f << 6 << QPointF(-15, -17.5);
}

void TestGeometry::handPlacement()
{
    QFETCH(QPointF, drawPoint);
    QFETCH(float, margin);
    QFETCH(int, position);
    QFETCH(QPointF, offset);
    const FloatPoint at{static_cast<float>(drawPoint.x()), static_cast<float>(drawPoint.y())};
    const auto anchoring = StamperGeometry::anchorFor(Photo.size, at, Content, margin);
    QCOMPARE(anchoring.position, position);
    VERIFY_NEAR((FloatPoint{anchoring.offsetX, anchoring.offsetY}),
                (FloatPoint{static_cast<float>(offset.x()), static_cast<float>(offset.y())}), Trig);
    const FloatPoint back = StamperGeometry::movedBy(
        StamperGeometry::findDrawPoint(Photo, anchoring.position, Content, margin), Photo.size,
        anchoring.offsetX, anchoring.offsetY);
    VERIFY_NEAR(back, at, Trig);
}

QTEST_GUILESS_MAIN(TestGeometry)
#include "tst_geometry.moc"
