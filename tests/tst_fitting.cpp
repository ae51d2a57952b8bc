#include "TestSupport.h"
#include "app/StateFile.h"
#include "output/OutputOptions.h"
#include "render/PlaceholderExpander.h"
#include "render/Stamper.h"
#include "sources/WorkFile.h"
#include "watermarks/Overlay.h"

#include <QCryptographicHash>
#include <QPainter>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

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

} // namespace

class TestFitting : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void oldStateUnchanged_data();
    void oldStateUnchanged();

private:
    // The watermarks of the first-run state as it was before the fitting keys existed, and a few
    // more records written without them.
    OverlayList oldStateOverlays()
    {
        QString xml =
            QString::fromUtf8(readFile(QStringLiteral(INKVEIL_RESOURCES_DIR "/state.bin")));
        xml.remove(QRegularExpression(
            QStringLiteral("\\s*<key>(relativeSize|margin)</key>\\s*<real>[^<]*</real>")));
        OverlayList overlays;
        std::shared_ptr<OutputOptions> options;
        StateFile::decode(xml.toUtf8(), overlays, options);
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
};

void TestFitting::initTestCase()
{
    QVERIFY(m_dir.isValid());
    QImage picture(60, 30, QImage::Format_ARGB32);
    picture.fill(qRgba(200, 30, 30, 200));
    QPainter(&picture).fillRect(30, 0, 30, 30, QColor(20, 160, 40));
    m_picture = m_dir.filePath(QStringLiteral("mark.png"));
    QVERIFY(picture.save(m_picture));
    m_photo = m_dir.filePath(QStringLiteral("photo.png"));
    QVERIFY(gradientPhoto({900, 600}).save(m_photo));
}

void TestFitting::oldStateUnchanged_data()
{
    QTest::addColumn<QSize>("reducedTo"); // empty: drawn at full size
    QTest::addColumn<QString>("expected");
    // Checksums of what the renderer drew before the fitting keys existed.
    QTest::newRow("full size") << QSize() << QStringLiteral("0b24d4dc2aef482722fff06737ccf40a");
    QTest::newRow("reduced") << QSize(300, 200)
                             << QStringLiteral("d5cc823686fbd8212c566db1d22ecc92");
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
        stamper.watermark(file, DecodedImage(photo, 72.0f, QSize(900, 600)), overlays);
    QCOMPARE(checksum(drawn), expected);
}

QTEST_MAIN(TestFitting)
#include "tst_fitting.moc"
