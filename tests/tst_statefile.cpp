// SPDX-FileCopyrightText: 2026 Tessaly
// SPDX-License-Identifier: GPL-3.0-or-later

#include "TestSupport.h"
#include "base/Resources.h"
#include "session/Presets.h"
#include "session/StateFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

using namespace inkveil;

namespace {

// Every stored field but the image size, which comes from the image file.
QVariantList storedFields(const Overlay &o)
{
    return {o.position(), o.name(),        o.use(),     o.text(),     o.color(),
            o.fontName(), o.pointSize(),   o.alpha(),   o.rotation(), o.filePath(),
            o.imgAlpha(), o.imgRotation(), o.bgColor(), o.show(),     o.extend()};
}

bool sameOptions(const OutputOptions &a, const OutputOptions &b)
{
    const QMetaObject &meta = OutputOptions::staticMetaObject;
    for (int i = meta.propertyOffset(); i < meta.propertyCount(); ++i)
        if (a.property(meta.property(i).name()) != b.property(meta.property(i).name()))
            return false;
    return true;
}

} // namespace

class TestStateFile : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        qputenv("XDG_DATA_HOME", m_dir.filePath(QStringLiteral("data")).toLocal8Bit());
        Resources::setDirectory(QStringLiteral(INKVEIL_RESOURCES_DIR));
        m_stateFile = m_dir.filePath(QStringLiteral("data/Tessaly Inkveil/state.bin"));
    }

    void init() { QDir(m_dir.filePath(QStringLiteral("data"))).removeRecursively(); }

    void overlayRoundTrip()
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

        OverlayList overlays;
        auto options = std::make_shared<OutputOptions>();
        QVERIFY(
            StateFile::decode(StateFile::encode({o, std::make_shared<Overlay>()}, OutputOptions()),
                              overlays, options));
        QCOMPARE(overlays.size(), 2);
        QCOMPARE(storedFields(*overlays.first()), storedFields(*o));
        QCOMPARE(overlays.first()->width(), qint16(0));
        QCOMPARE(overlays.first()->height(), qint16(0));
    }

    void overlayImageSizeFromFile()
    {
        // Natural size in points, truncated toward zero: 301 * 72 / 300 = 72.24.
        const QString path = m_dir.filePath(QStringLiteral("logo.png"));
        writePhoto(path, {301, 149}, Qt::red, 300);
        Overlay o;
        o.setFilePath(path);
        o.setWidth(1);
        o.setHeight(1);
        const auto d = Overlay::decode(o.encode());
        QCOMPARE(d->filePath(), path);
        QCOMPARE(QSize(d->width(), d->height()), QSize(72, 35));

        // The image is gone by the next start: the placeholder stands in at its fixed size.
        QVERIFY(QFile::remove(path));
        const auto missing = Overlay::decode(o.encode());
        QCOMPARE(missing->filePath(), Resources::imagePath(QStringLiteral("bomb")));
        QVERIFY(QFileInfo::exists(missing->filePath()));
        QCOMPARE(missing->width(), Overlay::PlaceholderWidth);
        QCOMPARE(missing->height(), Overlay::PlaceholderHeight);
    }

    void overlayAbsentKeys()
    {
        const auto d = Overlay::decode(ArchivedRecord{Overlay::ClassName, {}});
        QVERIFY(d->name().isNull() && d->text().isNull() && d->fontName().isNull());
        QVERIFY(d->filePath().isNull() && !d->isImage());
        QVERIFY(!d->color().isValid() && !d->bgColor().isValid());
        QVERIFY(!d->use() && !d->show() && !d->extend());
        QCOMPARE(d->position(), qint16(0));
        QCOMPARE(d->pointSize(), 0.0f);
        QCOMPARE(d->alpha(), 0.0f);
        QCOMPARE(d->imgAlpha(), 0.0f);
        // A value of the wrong type counts as absent.
        const auto wrongType = Overlay::decode(ArchivedRecord{
            Overlay::ClassName,
            {{QStringLiteral("imgAlpha"), QVariant::fromValue(QStringLiteral("high"))},
             {QStringLiteral("name"), QVariant::fromValue(qint64(5))}}});
        QCOMPARE(wrongType->imgAlpha(), 0.0f);
        QVERIFY(wrongType->name().isNull());
    }

    void outputOptionsRoundTrip()
    {
        // Every field in declaration order, none at its default.
        const QStringList values =
            QStringLiteral(
                "/home/ana/out \u00FC|false|tif|55|true|1024|-3|1|trip|true|3|12|true|"
                "-web|true|8|1|2|1|3|4000|25|6.5|true|true|/keys/chain.pem|/keys/signer.key|"
                "Ana|true|4242")
                .split(QLatin1Char('|'));
        OutputOptions o;
        const QMetaObject &meta = OutputOptions::staticMetaObject;
        for (int i = 0; i < values.size(); ++i)
            QVERIFY(o.setProperty(meta.property(meta.propertyOffset() + i).name(), values.at(i)));
        QCOMPARE(meta.propertyCount() - meta.propertyOffset(), int(values.size()));

        OverlayList overlays;
        auto decoded = std::make_shared<OutputOptions>();
        QVERIFY(StateFile::decode(StateFile::encode({}, o), overlays, decoded));
        QVERIFY(overlays.isEmpty());
        QVERIFY(sameOptions(*decoded, o));
    }

    void outputOptionsDefaults()
    {
        // Keys, their order and plist kinds, and the defaults, as state files have always held
        // them.
        const auto value = [](const char *key, const QVariant &v) {
            return std::pair<QString, QVariant>{QString::fromLatin1(key), v};
        };
        const QList<std::pair<QString, QVariant>> expected{
            value("folder", QStringLiteral("")),
            value("folderCreate", true),
            value("fileFormat", QStringLiteral("jpeg")),
            value("quality", 90),
            value("resize", false),
            value("width", 640),
            value("height", 480),
            value("baseIndex", 0),
            value("custom", QStringLiteral("image")),
            value("useCounter", false),
            value("digits", 5),
            value("lastValue", 1),
            value("usePostfix", false),
            value("postfix", QStringLiteral("_iv")),
            value("createThumbnails", false),
            value("fitIndex", 2),
            value("sourceIndex", 0),
            value("existing", 0),
            value("metadata", 0),
            value("resizeMode", 0),
            value("resizeEdge", 2048),
            value("resizePercent", 50),
            value("resizeMegapixels", 2.0f),
            value("neverEnlarge", false)};
        const ArchivedRecord record = OutputOptions().encode();
        QCOMPARE(record.values, expected);
        // Equal numbers of another kind would compare equal above.
        for (qsizetype i = 0; i < expected.size(); ++i)
            QCOMPARE(record.values.at(i).second.metaType(), expected.at(i).second.metaType());
    }

    void presetNames_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("valid");
        QTest::newRow("plain") << "Studio" << true;
        QTest::newRow("spaces and dots") << "Web 2.0 .. final" << true;
        QTest::newRow("empty") << "" << false;
        QTest::newRow("dot") << "." << false;
        QTest::newRow("dot dot") << ".." << false;
        QTest::newRow("slash") << "a/b" << false;
        QTest::newRow("leading slash") << "/etc" << false;
    }

    void presetNames()
    {
        QFETCH(QString, name);
        QFETCH(bool, valid);
        QCOMPARE(Presets::isValidName(name), valid);
        OutputOptions o;
        QCOMPARE(Presets::save(name, {}, o).ok(), valid);
        QCOMPARE(Presets::names(), valid ? QStringList{name} : QStringList());
        QCOMPARE(Presets::path(name).isNull(), !valid);
    }

    void presetsRoundTrip()
    {
        OutputOptions web;
        web.setFileFormat(QStringLiteral("webp"));
        web.setQuality(70);
        auto overlay = std::make_shared<Overlay>();
        overlay->setText(QStringLiteral("\u00A9 Ana"));
        QVERIFY(Presets::save(QStringLiteral("Web 10"), {overlay}, web));
        QVERIFY(Presets::save(QStringLiteral("web 2"), {}, OutputOptions()));
        QVERIFY(QFileInfo::exists(
            m_dir.filePath(QStringLiteral("data/Tessaly Inkveil/Presets/Web 10.inkveil"))));
        // Natural order, case aside; files of other kinds are not presets.
        QVERIFY(writeFile(Presets::folder() + QStringLiteral("/notes.txt"), "x"));
        QCOMPARE(Presets::names(),
                 (QStringList{QStringLiteral("web 2"), QStringLiteral("Web 10")}));

        OverlayList overlays;
        auto options = std::make_shared<OutputOptions>();
        QVERIFY(!Presets::load(QStringLiteral("Print"), overlays, options));
        QVERIFY(overlays.isEmpty());
        QVERIFY(Presets::load(QStringLiteral("Web 10"), overlays, options));
        QCOMPARE(overlays.size(), 1);
        QCOMPARE(overlays.first()->text(), QStringLiteral("\u00A9 Ana"));
        QVERIFY(sameOptions(*options, web));
    }

    void outputOptionsAbsentKeys()
    {
        const auto d = OutputOptions::decode(ArchivedRecord{OutputOptions::ClassName, {}});
        QVERIFY(d->folder().isNull() && !d->isFolderSet() && d->fileFormat().isNull());
        QVERIFY(!d->folderCreate());
        QCOMPARE(d->quality(), 0);
        QCOMPARE(d->width(), 0);
        QCOMPARE(d->digits(), 0);
        QCOMPARE(d->lastValue(), 0);
        QCOMPARE(d->fitIndex(), 0);
        // The choices added later read as they did before they existed.
        QCOMPARE(d->existing(), OutputOptions::ReplaceExisting);
        QCOMPARE(d->metadata(), OutputOptions::KeepMetadata);
        QCOMPARE(d->resizeMode(), OutputOptions::FitBox);
        QVERIFY(!d->neverEnlarge());
        // The other resize modes' sizes keep their defaults, ready for when one is chosen.
        QCOMPARE(d->resizeEdge(), 2048);
        QCOMPARE(d->resizeMegapixels(), 2.0f);
        // The two names that are never null come back empty.
        QVERIFY(!d->custom().isNull() && d->custom().isEmpty());
        QVERIFY(!d->postfix().isNull() && d->postfix().isEmpty());
    }

    void firstStartLoadsDefaultState()
    {
        OverlayList overlays;
        auto options = std::make_shared<OutputOptions>();
        options->setQuality(12);
        StateFile::loadState(overlays, options);
        QVERIFY(QFileInfo(QFileInfo(m_stateFile).path()).isDir());
        QVERIFY(!QFileInfo::exists(m_stateFile));
        QVERIFY(sameOptions(*options, OutputOptions()));

        QCOMPARE(overlays.size(), 1);
        Overlay defaults;
        // The bundled state names a font of its own; everything else is the defaults.
        QVERIFY(!overlays.first()->fontName().isEmpty());
        defaults.setFontName(overlays.first()->fontName());
        QCOMPARE(storedFields(*overlays.first()), storedFields(defaults));
        QCOMPARE(defaults.position(), qint16(1));
        QCOMPARE(defaults.name(), QStringLiteral("Default"));
        QCOMPARE(defaults.text(), QStringLiteral("\u00A9 {YEAR}, {USERNAME}"));
        QCOMPARE(defaults.pointSize(), 36.0f);
        QCOMPARE(defaults.alpha(), 0.8f);
    }

    void emptyOverlayListStaysEmpty()
    {
        QVERIFY(StateFile::saveState({}, OutputOptions()));
        // The write went through a temporary file: nothing else is left in the folder.
        QCOMPARE(QDir(QFileInfo(m_stateFile).path()).entryList(QDir::Files),
                 QStringList{QStringLiteral("state.bin")});
        OverlayList overlays{std::make_shared<Overlay>()};
        auto options = std::make_shared<OutputOptions>();
        StateFile::loadState(overlays, options);
        QVERIFY(overlays.isEmpty());
    }

    void damagedFileLoadsDefaults_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<bool>("kept"); // moved aside as state.bin.damaged
        QByteArray random(4096, Qt::Uninitialized);
        QRandomGenerator generator(42);
        for (char &c : random)
            c = static_cast<char>(generator.bounded(256));
        const QByteArray good = StateFile::encode({std::make_shared<Overlay>()}, OutputOptions());
        QTest::newRow("random bytes") << random << true;
        QTest::newRow("truncated XML") << good.left(good.size() / 2) << true;
        QTest::newRow("records of the wrong kind")
            << QByteArray("<?xml version=\"1.0\"?><plist "
                          "version=\"1.0\"><dict><key>Overlays</key><string>x</string>"
                          "<key>OutputOptions</key><array/></dict></plist>")
            << false;
        QTest::newRow("empty file") << QByteArray() << true;
    }

    void damagedFileLoadsDefaults()
    {
        QFETCH(QByteArray, content);
        QFETCH(bool, kept);
        StateFile::pathForStateFile();
        QFile::remove(m_stateFile + QStringLiteral(".damaged"));
        QVERIFY(writeFile(m_stateFile, content));
        OverlayList overlays;
        auto options = std::make_shared<OutputOptions>();
        const StateFile::LoadResult loaded = StateFile::loadState(overlays, options);
        QCOMPARE(overlays.size(), 1);
        QCOMPARE(overlays.first()->name(), QStringLiteral("Default"));
        QCOMPARE(options->fileFormat(), QStringLiteral("jpeg"));
        // Kept, untouched, beside the next state rather than overwritten by it.
        QCOMPARE(loaded.damaged(), kept);
        QCOMPARE(QFileInfo::exists(m_stateFile), !kept);
        if (kept) {
            QCOMPARE(loaded.keptAs, m_stateFile + QStringLiteral(".damaged"));
            QCOMPARE(readFile(loaded.keptAs), content);
        }
    }

private:
    QTemporaryDir m_dir;
    QString m_stateFile;
};

QTEST_MAIN(TestStateFile)
#include "tst_statefile.moc"
