#include "app/Resources.h"
#include "app/StateFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

namespace {

QByteArray withoutKey(QByteArray xml, const QByteArray &key)
{
    // Drops "<key>K</key>" and the value element after it (a one-line value).
    const QByteArray marker = QByteArray("<key>") + key + QByteArray("</key>");
    const qsizetype at = xml.indexOf(marker);
    if (at < 0)
        return xml;
    const qsizetype lineEnd = xml.indexOf('\n', at + marker.size());
    const qsizetype valueEnd = xml.indexOf('\n', lineEnd + 1);
    return xml.remove(at, valueEnd - at);
}

QString writeImage(const QString &path, int width, int height, int dpi)
{
    QImage image(width, height, QImage::Format_ARGB32);
    image.fill(Qt::red);
    const int dotsPerMetre = qRound(dpi / 0.0254);
    image.setDotsPerMeterX(dotsPerMetre);
    image.setDotsPerMeterY(dotsPerMetre);
    image.save(path);
    return path;
}

} // namespace

class TestStateFile : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();
    void overlayDefaults();
    void overlayRoundTrip();
    void overlayImageSizeFromFile_data();
    void overlayImageSizeFromFile();
    void overlayAbsentKeys();
    void overlayPosition_data();
    void overlayPosition();
    void outputOptionsRoundTrip();
    void outputOptionsAbsentKeys();
    void firstStartLoadsDefaultState();
    void emptyOverlayListStaysEmpty();
    void missingOptionsKeepDefaults();
    void damagedFileLoadsDefaults_data();
    void damagedFileLoadsDefaults();
    void saveWritesAgainAfterDelete();

private:
    QTemporaryDir m_dir;
    QString m_stateFile;
};

void TestStateFile::initTestCase()
{
    QVERIFY(m_dir.isValid());
    qputenv("XDG_DATA_HOME", m_dir.filePath(QStringLiteral("data")).toLocal8Bit());
    Resources::setDirectory(QStringLiteral(INKVEIL_RESOURCES_DIR));
    m_stateFile = m_dir.filePath(QStringLiteral("data/Tessaly Inkveil/state.bin"));
}

void TestStateFile::init()
{
    QDir(m_dir.filePath(QStringLiteral("data"))).removeRecursively();
}

void TestStateFile::overlayDefaults()
{
    const Overlay o;
    QCOMPARE(o.position(), qint16(1));
    QCOMPARE(o.name(), QStringLiteral("Default"));
    QVERIFY(o.use());
    QCOMPARE(o.bgColor(), QColor::fromRgbF(0, 0, 0, 1));
    QVERIFY(o.show());
    QVERIFY(o.extend());
    QCOMPARE(o.text(), QStringLiteral("\u00A9 {YEAR}, {USERNAME}"));
    QVERIFY(!o.fontName().isEmpty());
    QCOMPARE(o.pointSize(), 36.0f);
    QCOMPARE(o.alpha(), 0.8f);
    QCOMPARE(o.rotation(), 0.0f);
    QCOMPARE(o.color(), QColor::fromRgbF(1, 1, 1, 1));
    QVERIFY(o.filePath().isEmpty());
    QVERIFY(!o.isImage());
    QCOMPARE(o.width(), qint16(0));
    QCOMPARE(o.height(), qint16(0));
    QCOMPARE(o.imgAlpha(), 1.0f);
    QCOMPARE(o.imgRotation(), 0.0f);
}

void TestStateFile::overlayRoundTrip()
{
    auto o = std::make_shared<Overlay>();
    o->setPosition(8);
    o->setName(QStringLiteral("Signature \u00E9\u00E8 <&>"));
    o->setUse(false);
    o->setText(QStringLiteral("line one\nline two {YEAR}"));
    o->setColor(QColor::fromRgbF(0.25f, 0.5f, 0.75f, 0.5f));
    o->setFontName(QStringLiteral("DejaVu Serif"));
    o->setPointSize(12.345678f);
    o->setAlpha(0.123456789f);
    o->setRotation(315.0f);
    o->setImgAlpha(0.3f);
    o->setImgRotation(45.0f);
    o->setBgColor(QColor::fromRgbF(1.0f, 0.0f, 0.2f, 0.6f));
    o->setShow(false);
    o->setExtend(false);
    // Saved with a size but no image: the size does not come back.
    o->setWidth(99);
    o->setHeight(77);
    const OutputOptions options;

    OverlayList overlays;
    auto keptOptions = std::make_shared<OutputOptions>();
    StateFile::decode(StateFile::encode({o, std::make_shared<Overlay>()}, options), overlays,
                      keptOptions);
    QCOMPARE(overlays.size(), 2);
    const Overlay &d = *overlays.first();
    QCOMPARE(d.position(), o->position());
    QCOMPARE(d.name(), o->name());
    QCOMPARE(d.use(), o->use());
    QCOMPARE(d.text(), o->text());
    QCOMPARE(d.color(), o->color());
    QCOMPARE(d.fontName(), o->fontName());
    QCOMPARE(d.pointSize(), o->pointSize());
    QCOMPARE(d.alpha(), o->alpha());
    QCOMPARE(d.rotation(), o->rotation());
    QCOMPARE(d.filePath(), o->filePath());
    QCOMPARE(d.imgAlpha(), o->imgAlpha());
    QCOMPARE(d.imgRotation(), o->imgRotation());
    QCOMPARE(d.bgColor(), o->bgColor());
    QCOMPARE(d.show(), o->show());
    QCOMPARE(d.extend(), o->extend());
    QCOMPARE(d.width(), qint16(0));
    QCOMPARE(d.height(), qint16(0));
}

void TestStateFile::overlayImageSizeFromFile_data()
{
    QTest::addColumn<int>("pixelWidth");
    QTest::addColumn<int>("pixelHeight");
    QTest::addColumn<int>("dpi");
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("height");
    QTest::newRow("72 dpi") << 37 << 21 << 72 << 37 << 21;
    // Natural size in points, truncated toward zero: 301 * 72 / 300 = 72.24.
    QTest::newRow("300 dpi") << 301 << 149 << 300 << 72 << 35;
}

void TestStateFile::overlayImageSizeFromFile()
{
    QFETCH(int, pixelWidth);
    QFETCH(int, pixelHeight);
    QFETCH(int, dpi);
    QFETCH(int, width);
    QFETCH(int, height);
    const QString path =
        writeImage(m_dir.filePath(QStringLiteral("logo.png")), pixelWidth, pixelHeight, dpi);
    Overlay o;
    o.setFilePath(path);
    o.setWidth(1);
    o.setHeight(1);
    const auto d = Overlay::decode(o.encode());
    QCOMPARE(d->filePath(), path);
    QCOMPARE(int(d->width()), width);
    QCOMPARE(int(d->height()), height);

    // The image is gone by the next start: the placeholder stands in at its fixed size.
    QVERIFY(QFile::remove(path));
    const auto missing = Overlay::decode(o.encode());
    QCOMPARE(missing->filePath(), Resources::imagePath(QStringLiteral("bomb")));
    QVERIFY(QFileInfo::exists(missing->filePath()));
    QCOMPARE(missing->width(), Overlay::PlaceholderWidth);
    QCOMPARE(missing->height(), Overlay::PlaceholderHeight);
}

void TestStateFile::overlayAbsentKeys()
{
    const auto d = Overlay::decode(ArchivedRecord{Overlay::ClassName, {}});
    QVERIFY(d->name().isNull());
    QCOMPARE(d->position(), qint16(0));
    QCOMPARE(d->use(), false);
    QVERIFY(d->text().isNull());
    QVERIFY(!d->color().isValid());
    QVERIFY(d->fontName().isNull());
    QCOMPARE(d->pointSize(), 0.0f);
    QCOMPARE(d->alpha(), 0.0f);
    QVERIFY(d->filePath().isNull());
    QVERIFY(!d->isImage());
    QCOMPARE(d->imgAlpha(), 0.0f);
    QVERIFY(!d->bgColor().isValid());
    QCOMPARE(d->show(), false);
    QCOMPARE(d->extend(), false);
    // A value of the wrong type counts as absent.
    const auto wrongType = Overlay::decode(
        ArchivedRecord{Overlay::ClassName,
                       {{QStringLiteral("imgAlpha"), QVariant::fromValue(QStringLiteral("high"))},
                        {QStringLiteral("name"), QVariant::fromValue(qint64(5))}}});
    QCOMPARE(wrongType->imgAlpha(), 0.0f);
    QVERIFY(wrongType->name().isNull());
}

void TestStateFile::overlayPosition_data()
{
    QTest::addColumn<qint64>("stored");
    QTest::addColumn<int>("position");
    QTest::newRow("9") << qint64(9) << 9;
    QTest::newRow("-1") << qint64(-1) << -1;
    QTest::newRow("65537 keeps the low 16 bits") << qint64(65537) << 1;
    QTest::newRow("32768 wraps negative") << qint64(32768) << -32768;
}

void TestStateFile::overlayPosition()
{
    QFETCH(qint64, stored);
    QFETCH(int, position);
    // Through the file form, so the integer's XML text is read back too.
    const QByteArray xml = StateFile::encode({std::make_shared<Overlay>()}, OutputOptions());
    QByteArray patched = xml;
    const QByteArray storedEntry = QByteArray("<key>position</key>\n\t\t\t<integer>") +
                                   QByteArray::number(stored) + QByteArray("</integer>");
    patched.replace("<key>position</key>\n\t\t\t<integer>1</integer>", storedEntry);
    QVERIFY2(patched != xml, xml.constData());
    OverlayList overlays;
    auto options = std::make_shared<OutputOptions>();
    StateFile::decode(patched, overlays, options);
    QCOMPARE(overlays.size(), 1);
    QCOMPARE(int(overlays.first()->position()), position);
    // Negative positions survive a save and a load.
    if (position < 0) {
        StateFile::decode(StateFile::encode(overlays, *options), overlays, options);
        QCOMPARE(int(overlays.first()->position()), position);
    }
}

void TestStateFile::outputOptionsRoundTrip()
{
    OutputOptions o;
    o.setFolder(QStringLiteral("/home/ana/Pictures/out \u00FC"));
    o.setFolderCreate(false);
    o.setFileFormat(QStringLiteral("tif"));
    o.setQuality(55);
    o.setResize(true);
    o.setWidth(1024);
    o.setHeight(-3);
    o.setBaseIndex(1);
    o.setCustom(QStringLiteral("trip"));
    o.setUseCounter(true);
    o.setDigits(3);
    o.setLastValue(12);
    o.setUsePostfix(true);
    o.setPostfix(QStringLiteral("-web"));
    o.setCreateThumbnails(true);
    o.setFitIndex(8);
    o.setSourceIndex(1);

    OverlayList overlays;
    auto decoded = std::make_shared<OutputOptions>();
    StateFile::decode(StateFile::encode({}, o), overlays, decoded);
    QVERIFY(overlays.isEmpty());
    const QMetaObject &meta = OutputOptions::staticMetaObject;
    QCOMPARE(meta.propertyCount() - meta.propertyOffset(), 17);
    for (int i = meta.propertyOffset(); i < meta.propertyCount(); ++i) {
        const char *name = meta.property(i).name();
        QVERIFY2(decoded->property(name) == o.property(name), name);
    }
}

void TestStateFile::outputOptionsAbsentKeys()
{
    const auto d = OutputOptions::decode(ArchivedRecord{OutputOptions::ClassName, {}});
    QVERIFY(d->folder().isNull());
    QVERIFY(!d->isFolderSet());
    QCOMPARE(d->folderCreate(), false);
    QVERIFY(d->fileFormat().isNull());
    QCOMPARE(d->quality(), 0);
    QCOMPARE(d->width(), 0);
    QCOMPARE(d->digits(), 0);
    QCOMPARE(d->lastValue(), 0);
    QCOMPARE(d->fitIndex(), 0);
    // The two names that are never null come back empty.
    QVERIFY(!d->custom().isNull());
    QVERIFY(d->custom().isEmpty());
    QVERIFY(!d->postfix().isNull());
    QVERIFY(d->postfix().isEmpty());
}

void TestStateFile::firstStartLoadsDefaultState()
{
    QVERIFY(!QFileInfo::exists(m_stateFile));
    OverlayList overlays;
    auto options = std::make_shared<OutputOptions>();
    options->setQuality(12);
    StateFile::loadState(overlays, options);
    QVERIFY(QFileInfo(QFileInfo(m_stateFile).path()).isDir());
    QVERIFY(!QFileInfo::exists(m_stateFile));

    QCOMPARE(overlays.size(), 1);
    const Overlay defaults;
    const Overlay &o = *overlays.first();
    QCOMPARE(o.name(), defaults.name());
    QCOMPARE(o.position(), defaults.position());
    QCOMPARE(o.use(), defaults.use());
    QCOMPARE(o.text(), defaults.text());
    QCOMPARE(o.color(), defaults.color());
    QCOMPARE(o.pointSize(), defaults.pointSize());
    QCOMPARE(o.alpha(), defaults.alpha());
    QCOMPARE(o.filePath(), QStringLiteral(""));
    QCOMPARE(o.imgAlpha(), defaults.imgAlpha());
    QCOMPARE(o.bgColor(), defaults.bgColor());
    QCOMPARE(o.show(), defaults.show());
    QCOMPARE(o.extend(), defaults.extend());

    const OutputOptions defaultOptions;
    const QMetaObject &meta = OutputOptions::staticMetaObject;
    for (int i = meta.propertyOffset(); i < meta.propertyCount(); ++i) {
        const char *name = meta.property(i).name();
        QVERIFY2(options->property(name) == defaultOptions.property(name), name);
    }
}

void TestStateFile::emptyOverlayListStaysEmpty()
{
    QVERIFY(StateFile::saveState({}, OutputOptions()));
    OverlayList overlays{std::make_shared<Overlay>()};
    auto options = std::make_shared<OutputOptions>();
    StateFile::loadState(overlays, options);
    QVERIFY(overlays.isEmpty());
}

void TestStateFile::missingOptionsKeepDefaults()
{
    const QByteArray xml = StateFile::encode({}, OutputOptions());
    const qsizetype at = xml.indexOf("<key>OutputOptions</key>");
    QVERIFY(at > 0);
    const QByteArray withoutOptions = xml.left(at) + QByteArray("</dict>\n</plist>\n");
    OverlayList overlays;
    const auto held = std::make_shared<OutputOptions>();
    auto options = held;
    StateFile::decode(withoutOptions, overlays, options);
    QCOMPARE(options, held);
    QVERIFY(overlays.isEmpty());

    // A record missing single keys: those fields get empty values, the rest their stored ones.
    OutputOptions stored;
    stored.setQuality(70);
    QByteArray partial = withoutKey(StateFile::encode({}, stored), "custom");
    partial = withoutKey(partial, "folder");
    StateFile::decode(partial, overlays, options);
    QVERIFY(options != held);
    QCOMPARE(options->quality(), 70);
    QCOMPARE(options->custom(), QStringLiteral(""));
    QVERIFY(options->folder().isNull());
    QCOMPARE(options->postfix(), QStringLiteral("_iv"));
}

void TestStateFile::damagedFileLoadsDefaults_data()
{
    QTest::addColumn<QByteArray>("content");
    QByteArray random(4096, Qt::Uninitialized);
    QRandomGenerator generator(42);
    for (char &c : random)
        c = static_cast<char>(generator.bounded(256));
    const QByteArray good = StateFile::encode({std::make_shared<Overlay>()}, OutputOptions());
    QTest::newRow("random bytes") << random;
    QTest::newRow("truncated XML") << good.left(good.size() / 2);
    QTest::newRow("XML head then garbage")
        << QByteArray("<?xml version=\"1.0\"?>\n<plist>") + random;
    QTest::newRow("array at the top") << QByteArray(
        "<?xml version=\"1.0\"?><plist version=\"1.0\"><array><string>x</string></array></plist>");
    QTest::newRow("records of the wrong kind") << QByteArray(
        "<?xml version=\"1.0\"?><plist version=\"1.0\"><dict><key>Overlays</key><string>x</string>"
        "<key>OutputOptions</key><array/></dict></plist>");
    QTest::newRow("binary plist") << QByteArray("bplist00") + random;
    QTest::newRow("empty file") << QByteArray();
}

void TestStateFile::damagedFileLoadsDefaults()
{
    QFETCH(QByteArray, content);
    OverlayList overlays;
    auto options = std::make_shared<OutputOptions>();
    StateFile::pathForStateFile();
    QFile file(m_stateFile);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(content);
    file.close();
    StateFile::loadState(overlays, options);
    QCOMPARE(overlays.size(), 1);
    QCOMPARE(overlays.first()->name(), QStringLiteral("Default"));
    QCOMPARE(options->fileFormat(), QStringLiteral("jpeg"));
}

void TestStateFile::saveWritesAgainAfterDelete()
{
    auto overlay = std::make_shared<Overlay>();
    overlay->setName(QStringLiteral("Kept"));
    OutputOptions options;
    options.setFileFormat(QStringLiteral("png"));
    QVERIFY(StateFile::saveState({overlay}, options));
    QVERIFY(QFileInfo::exists(m_stateFile));

    QDir(m_dir.filePath(QStringLiteral("data"))).removeRecursively();
    QVERIFY(StateFile::saveState({overlay}, options));
    OverlayList overlays;
    auto loaded = std::make_shared<OutputOptions>();
    StateFile::loadState(overlays, loaded);
    QCOMPARE(overlays.size(), 1);
    QCOMPARE(overlays.first()->name(), QStringLiteral("Kept"));
    QCOMPARE(loaded->fileFormat(), QStringLiteral("png"));
    // The write went through a temporary file: nothing else is left in the folder.
    QCOMPARE(QDir(QFileInfo(m_stateFile).path()).entryList(QDir::Files),
             QStringList{QStringLiteral("state.bin")});
}

QTEST_MAIN(TestStateFile)
#include "tst_statefile.moc"
