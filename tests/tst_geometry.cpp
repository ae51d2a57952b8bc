#include "render/StamperGeometry.h"

#include <QTest>

#include <algorithm>
#include <cmath>

namespace {

// Tolerances, relative to the expected value. Results that go through cos and sin may differ in
// their last float steps between maths libraries; taking pi as the true value instead of 3.1415
// would move them by about 1.6e-5, far outside Trig.
constexpr float Exact = 0.0f;
constexpr float Trig = 1e-6f;

bool near(const float actual, const float expected, const float tolerance)
{
    return std::abs(actual - expected) <= tolerance * std::max(1.0f, std::abs(expected));
}

bool near(const FloatSize actual, const FloatSize expected, const float tolerance)
{
    return near(actual.width, expected.width, tolerance) &&
           near(actual.height, expected.height, tolerance);
}

bool near(const FloatPoint actual, const FloatPoint expected, const float tolerance)
{
    return near(actual.x, expected.x, tolerance) && near(actual.y, expected.y, tolerance);
}

QByteArray text(const FloatSize size)
{
    return QByteArray::number(size.width, 'g', 9) + " x " + QByteArray::number(size.height, 'g', 9);
}

QByteArray text(const FloatPoint point)
{
    return '(' + QByteArray::number(point.x, 'g', 9) + ", " + QByteArray::number(point.y, 'g', 9) +
           ')';
}

template <typename T> QByteArray mismatch(const T actual, const T expected)
{
    return "got " + text(actual) + ", expected " + text(expected);
}

#define VERIFY_NEAR(actual, expected, tolerance)                                                   \
    QVERIFY2(near(actual, expected, tolerance), mismatch(actual, expected).constData())

constexpr FloatRect Photo{{0, 0}, {1000, 800}};
constexpr FloatSize Content{200, 40};

} // namespace

class TestGeometry : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void turnedSize_data();
    void turnedSize();
    void drawPoint_data();
    void drawPoint();
    void offset_data();
    void offset();
    void endpoint_data();
    void endpoint();
    void bandLength_data();
    void bandLength();
    void workedExample_data();
    void workedExample();
};

void TestGeometry::turnedSize_data()
{
    QTest::addColumn<FloatSize>("content");
    QTest::addColumn<float>("angle");
    QTest::addColumn<FloatSize>("turned");
    QTest::addColumn<float>("tolerance");

    const FloatSize diagonal{169.708252f, 169.703003f};
    const FloatSize quarter{40.0092659f, 200.001846f};
    QTest::newRow("0") << Content << 0.0f << Content << Exact;
    QTest::newRow("45") << Content << 45.0f << diagonal << Trig;
    QTest::newRow("90") << Content << 90.0f << quarter << Trig;
    QTest::newRow("135") << Content << 135.0f << diagonal << Trig;
    QTest::newRow("180") << Content << 180.0f << Content << Exact;
    QTest::newRow("225") << Content << 225.0f << diagonal << Trig;
    QTest::newRow("270") << Content << 270.0f << quarter << Trig;
    QTest::newRow("315") << Content << 315.0f << diagonal << Trig;
    // A unit width turned gives (cos r, sin r) itself.
    QTest::newRow("unit 45") << FloatSize{1, 0} << 45.0f << FloatSize{0.70712316f, 0.70709038f}
                             << Trig;
    QTest::newRow("unit 90 keeps a sliver")
        << FloatSize{1, 0} << 90.0f << FloatSize{4.6326793e-5f, 1.0f} << Trig;
}

void TestGeometry::turnedSize()
{
    QFETCH(FloatSize, content);
    QFETCH(float, angle);
    QFETCH(FloatSize, turned);
    QFETCH(float, tolerance);

    VERIFY_NEAR(StamperGeometry::sizeFromRotation(content, angle), turned, tolerance);
}

void TestGeometry::drawPoint_data()
{
    QTest::addColumn<FloatRect>("canvas");
    QTest::addColumn<qint16>("position");
    QTest::addColumn<FloatSize>("size");
    QTest::addColumn<FloatPoint>("point");

    QTest::newRow("0 bottom left") << Photo << qint16{0} << Content << FloatPoint{0, 0};
    QTest::newRow("1 bottom centre") << Photo << qint16{1} << Content << FloatPoint{400, 0};
    QTest::newRow("2 bottom right") << Photo << qint16{2} << Content << FloatPoint{800, 0};
    QTest::newRow("3 middle left") << Photo << qint16{3} << Content << FloatPoint{0, 380};
    QTest::newRow("4 centre") << Photo << qint16{4} << Content << FloatPoint{400, 380};
    QTest::newRow("5 middle right") << Photo << qint16{5} << Content << FloatPoint{800, 380};
    QTest::newRow("6 top left") << Photo << qint16{6} << Content << FloatPoint{0, 760};
    QTest::newRow("7 top centre") << Photo << qint16{7} << Content << FloatPoint{400, 760};
    QTest::newRow("8 top right") << Photo << qint16{8} << Content << FloatPoint{800, 760};
    QTest::newRow("canvas origin ignored")
        << FloatRect{{50, 70}, {1000, 800}} << qint16{8} << Content << FloatPoint{800, 760};
    QTest::newRow("wider than photo, centre overhangs both sides")
        << Photo << qint16{4} << FloatSize{1200, 40} << FloatPoint{-100, 380};
    QTest::newRow("wider than photo, right sticks out left")
        << Photo << qint16{5} << FloatSize{1200, 40} << FloatPoint{-200, 380};
    QTest::newRow("taller than photo, top sticks out below")
        << Photo << qint16{7} << FloatSize{200, 1000} << FloatPoint{400, -200};
    QTest::newRow("fractional size")
        << Photo << qint16{4} << FloatSize{40.5f, 20.25f} << FloatPoint{479.75f, 389.875f};
}

void TestGeometry::drawPoint()
{
    QFETCH(FloatRect, canvas);
    QFETCH(qint16, position);
    QFETCH(FloatSize, size);
    QFETCH(FloatPoint, point);

    VERIFY_NEAR(StamperGeometry::findDrawPoint(canvas, position, size), point, Exact);
}

void TestGeometry::offset_data()
{
    QTest::addColumn<float>("angle");
    QTest::addColumn<FloatPoint>("offset");

    // For a turned size of 60 x 20.
    QTest::newRow("0") << 0.0f << FloatPoint{0, 10};
    QTest::newRow("45") << 45.0f << FloatPoint{0, 20};
    QTest::newRow("90") << 90.0f << FloatPoint{30, -40};
    QTest::newRow("135") << 135.0f << FloatPoint{60, 20};
    QTest::newRow("180") << 180.0f << FloatPoint{40, 10};
    QTest::newRow("225") << 225.0f << FloatPoint{60, 0};
    QTest::newRow("270") << 270.0f << FloatPoint{30, 0};
    QTest::newRow("315") << 315.0f << FloatPoint{0, 0};
    QTest::newRow("135.5 truncates to 135") << 135.5f << FloatPoint{60, 20};
}

void TestGeometry::offset()
{
    QFETCH(float, angle);
    QFETCH(FloatPoint, offset);

    VERIFY_NEAR(StamperGeometry::findOffset(angle, FloatSize{60, 20}), offset, Exact);
}

void TestGeometry::endpoint_data()
{
    QTest::addColumn<float>("angle");
    QTest::addColumn<float>("extra");
    QTest::addColumn<FloatPoint>("end");

    // From (100, 50), 1000 units along the reading direction, y up.
    QTest::newRow("0") << 0.0f << 0.0f << FloatPoint{1100, 50};
    QTest::newRow("45") << 45.0f << 0.0f << FloatPoint{1100, -950};
    QTest::newRow("90") << 90.0f << 0.0f << FloatPoint{100, -950};
    QTest::newRow("135") << 135.0f << 0.0f << FloatPoint{-900, -950};
    QTest::newRow("180") << 180.0f << 0.0f << FloatPoint{-900, 50};
    QTest::newRow("225") << 225.0f << 0.0f << FloatPoint{-900, 1050};
    QTest::newRow("270") << 270.0f << 0.0f << FloatPoint{100, 1050};
    QTest::newRow("315") << 315.0f << 0.0f << FloatPoint{1100, 1050};
    QTest::newRow("0 behind") << 0.0f << 180.0f << FloatPoint{-900, 50};
    QTest::newRow("180 behind wraps to 0") << 180.0f << 180.0f << FloatPoint{1100, 50};
    QTest::newRow("225 behind wraps to 45") << 225.0f << 180.0f << FloatPoint{1100, -950};
    QTest::newRow("315 behind wraps to 135") << 315.0f << 180.0f << FloatPoint{-900, -950};
}

void TestGeometry::endpoint()
{
    QFETCH(float, angle);
    QFETCH(float, extra);
    QFETCH(FloatPoint, end);

    VERIFY_NEAR(StamperGeometry::findEndpoint(FloatPoint{100, 50}, angle, extra, 1000), end, Exact);
}

void TestGeometry::bandLength_data()
{
    QTest::addColumn<FloatSize>("canvas");
    QTest::addColumn<qint16>("length");

    QTest::newRow("1000 x 800 truncates 1280.6") << Photo.size << qint16{1280};
    QTest::newRow("3 x 4") << FloatSize{3, 4} << qint16{5};
    QTest::newRow("empty") << FloatSize{0, 0} << qint16{0};
    // 4097 * 4097 + 1 is not a float; summed in float the root falls just under 4097.
    QTest::newRow("sum in float") << FloatSize{4097, 1} << qint16{4096};
    QTest::newRow("large photo") << FloatSize{18000, 24000} << qint16{30000};
    QTest::newRow("32768 saturates") << FloatSize{32768, 0} << qint16{32767};
    QTest::newRow("beyond 16 bits saturates") << FloatSize{40000, 30000} << qint16{32767};
}

void TestGeometry::bandLength()
{
    QFETCH(FloatSize, canvas);
    QFETCH(qint16, length);

    QCOMPARE(StamperGeometry::bandLength(canvas), length);
}

void TestGeometry::workedExample_data()
{
    QTest::addColumn<float>("angle");
    QTest::addColumn<float>("tolerance");
    QTest::addColumn<FloatSize>("turned");
    QTest::addColumn<FloatPoint>("drawPoint");
    QTest::addColumn<FloatPoint>("offset");
    QTest::addColumn<FloatPoint>("ahead");
    QTest::addColumn<FloatPoint>("behind");

    // 200 x 40 content in the top right corner of a 1000 x 800 photo.
    QTest::newRow("0") << 0.0f << Exact << Content << FloatPoint{800, 760} << FloatPoint{0, 20}
                       << FloatPoint{2080, 780} << FloatPoint{-480, 780};
    QTest::newRow("90") << 90.0f << Trig << FloatSize{40.0092659f, 200.001846f}
                        << FloatPoint{959.990723f, 599.998169f}
                        << FloatPoint{20.0046329f, 159.992584f}
                        << FloatPoint{979.995361f, -520.009277f}
                        << FloatPoint{979.995361f, 2039.99072f};
}

void TestGeometry::workedExample()
{
    QFETCH(float, angle);
    QFETCH(float, tolerance);
    QFETCH(FloatSize, turned);
    QFETCH(FloatPoint, drawPoint);
    QFETCH(FloatPoint, offset);
    QFETCH(FloatPoint, ahead);
    QFETCH(FloatPoint, behind);

    const FloatSize turnedSize = StamperGeometry::sizeFromRotation(Content, angle);
    VERIFY_NEAR(turnedSize, turned, tolerance);
    const FloatPoint d = StamperGeometry::findDrawPoint(Photo, 8, turnedSize);
    VERIFY_NEAR(d, drawPoint, tolerance);
    const FloatPoint o = StamperGeometry::findOffset(angle, turnedSize);
    VERIFY_NEAR(o, offset, tolerance);
    const qint16 m = StamperGeometry::bandLength(Photo.size);
    QCOMPARE(m, qint16{1280});
    const FloatPoint p{d.x + o.x, d.y + o.y};
    VERIFY_NEAR(StamperGeometry::findEndpoint(p, angle, 0, m), ahead, tolerance);
    VERIFY_NEAR(StamperGeometry::findEndpoint(p, angle, 180, m), behind, tolerance);
}

QTEST_GUILESS_MAIN(TestGeometry)
#include "tst_geometry.moc"
