// SPDX-FileCopyrightText: 2026 Tessaly
// SPDX-License-Identifier: GPL-3.0-or-later

#include "render/PlaceholderExpander.h"
#include "sources/FileGathering.h"
#include "sources/WorkFile.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <QTimeZone>

using namespace inkveil;

namespace {

void touch(const QString &path)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    QVERIFY(path.endsWith(QLatin1Char('/')) || file.open(QIODevice::WriteOnly));
}

// A fixed moment: Saturday 2026-12-05, 09:07:03 at UTC+01:30.
QDateTime fixedNow()
{
    return QDateTime(QDate(2026, 12, 5), QTime(9, 7, 3), QTimeZone(90 * 60));
}

std::shared_ptr<WorkFile> fileWithExif(const QString &path, bool valid)
{
    auto file = std::make_shared<WorkFile>(path);
    ExifData &exif = file->exifData();
    exif.setValid(valid);
    exif.setMake(QStringLiteral("Maker"));
    exif.setModel(QStringLiteral("CAM-1"));
    exif.setDateTime(QStringLiteral("2006:08:14 10:30:00"));
    exif.setFocalLength(DecimalNumber(50, 1));
    exif.setFNumber(DecimalNumber(28, 10));
    exif.setExposure(QStringLiteral("1/125"));
    exif.setIso(40000);
    exif.setWidth(3008);
    exif.setHeight(2000);
    exif.setResx(72.5f);
    exif.setArtist(QStringLiteral("Ana Lima"));
    exif.setLensModel(QStringLiteral("EF50mm f/1.8"));
    file->setExifParsed(true);
    return file;
}

} // namespace

class TestSources : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void workFile()
    {
        const WorkFile file(QStringLiteral("/x/folder.jpg/"));
        QCOMPARE(file.fileName(), QStringLiteral("folder.jpg"));
        QCOMPARE(file.description(), QStringLiteral("/x/folder.jpg/ - folder.jpg"));
        QVERIFY(!file.exifParsed() && !file.exifData().valid());
        for (const char *ext : {"jpg", "JPG", "jpeg", "JPEG", "tif", "TIFF", "png", "gif", "bmp"})
            QVERIFY2(FileGathering::isSupportedFormat(QString::fromLatin1(ext)), ext);
        for (const char *ext : {"Jpg", "jPeG", "txt", "", "raw"})
            QVERIFY2(!FileGathering::isSupportedFormat(QString::fromLatin1(ext)), ext);
    }

    void gathering_data()
    {
        QTest::addColumn<QStringList>("tree");    // files made under the temporary folder
        QTest::addColumn<QStringList>("dropped"); // relative to it
        QTest::addColumn<QStringList>("expected");

        const QStringList tree{"a/IMG_10.JPG", "a/IMG_2.jpg",   "a/img_3.png",
                               "a/notes.txt",  "a/.hidden.jpg", "a/sub/deep/z.tif",
                               "a/sub/b.gif",  "a/Photo.Jpg",   "a/raw.jpg/inside.bmp"};
        QTest::newRow("folder, natural order, depth first")
            << tree << QStringList{"a"}
            << QStringList{"a/.hidden.jpg", "a/IMG_2.jpg", "a/img_3.png", "a/IMG_10.JPG",
                           // A folder named like an image is taken as one, then walked.
                           "a/raw.jpg", "a/raw.jpg/inside.bmp", "a/sub/b.gif", "a/sub/deep/z.tif"};
        QTest::newRow("file twice")
            << tree << QStringList{"a/IMG_2.jpg", "a/IMG_2.jpg"} << QStringList{"a/IMG_2.jpg"};
        QTest::newRow("folder and a file inside it")
            << tree << QStringList{"a/sub/b.gif", "a/sub/"}
            << QStringList{"a/sub/b.gif", "a/sub/deep/z.tif"};
        QTest::newRow("paths compared as text")
            << tree << QStringList{"a/IMG_2.jpg", "a/./IMG_2.jpg"}
            << QStringList{"a/IMG_2.jpg", "a/./IMG_2.jpg"};
        QTest::newRow("empty folder") << QStringList{"e/"} << QStringList{"e"} << QStringList{};
        QTest::newRow("missing file kept")
            << tree << QStringList{"gone.jpg"} << QStringList{"gone.jpg"};
    }

    void gathering()
    {
        QFETCH(QStringList, tree);
        QFETCH(QStringList, dropped);
        QFETCH(QStringList, expected);
        QTemporaryDir dir;
        for (const QString &file : tree)
            touch(dir.filePath(file));

        QStringList paths;
        for (const QString &path : dropped)
            paths.append(dir.path() + QLatin1Char('/') + path);

        WorkFileList files;
        QtMessageHandler previous =
            qInstallMessageHandler([](QtMsgType, const QMessageLogContext &, const QString &) {});
        FileGathering::appendWorkFiles(files, FileGathering::expandPaths(paths));
        qInstallMessageHandler(previous);
        QStringList found;
        for (const auto &file : files)
            found.append(file->filePath().mid(dir.path().size() + 1));
        QCOMPARE(found, expected);
    }

    void placeholders_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("fileName");
        QTest::addColumn<QString>("expected");
        QTest::addColumn<bool>("valid"); // the file's EXIF record
        const QString name = QStringLiteral("IMG_1.JPG");
        QTest::newRow("no braces") << "plain text" << name << "plain text" << true;
        QTest::newRow("user") << "\u00A9 {YEAR}, {USERNAME}" << name << "\u00A9 2026, Ana Lima"
                              << true;
        QTest::newRow("file name") << "{FILENAME}" << name << "IMG_1.JPG" << true;
        QTest::newRow("full date") << "{FULLDATE}" << name << "2026-12-05 09:07:03 +0130" << true;
        QTest::newRow("year twice, month, date")
            << "{YEAR}{YEAR} {MONTH}/{DATE}" << name << "20262026 12/05" << true;
        QTest::newRow("lower case, unknown untouched")
            << "{year} {Year} {TIME}" << name << "{year} {Year} {TIME}" << true;
        // The file name is put in before the date rows run over the text.
        QTest::newRow("order effect") << "{FILENAME}"
                                      << "{YEAR}.jpg"
                                      << "2026.jpg" << true;
        QTest::newRow("exif date beside date")
            << "{EXIF_DATE} {DATE}" << name << "2006:08:14 10:30:00 05" << true;
        QTest::newRow("exif values")
            << "{EXIF_MAKE} {EXIF_MODEL} {EXIF_SHUTTER}s f/{EXIF_FNUMBER} {EXIF_FOCALLENGTH}mm "
               "ISO {EXIF_ISO} {EXIF_WIDTH}x{EXIF_HEIGHT} {EXIF_RESOLUTION}"
            << name << "Maker CAM-1 1/125s f/2.8 50mm ISO 40000 3008x2000 72.5" << true;
        QTest::newRow("weekday in the user's language")
            << "{DAY}" << name << QLocale::system().dayName(6, QLocale::LongFormat) << true;
        QTest::newRow("artist, copyright, lens") << "{EXIF_ARTIST}|{EXIF_COPYRIGHT}|{EXIF_LENS}"
                                                 << name << "Ana Lima||EF50mm f/1.8" << true;
        // An optional part goes with a value the photo lacks (here the copyright), words and
        // all; the braces of one it has go.
        QTest::newRow("optional parts")
            << "{EXIF_MODEL}{?, f/{EXIF_FNUMBER}}{? \u00A9 {EXIF_COPYRIGHT}}." << name
            << "CAM-1, f/2.8." << true;
        QTest::newRow("optional parts, invalid exif")
            << "{?f/{EXIF_FNUMBER} }{?ISO {EXIF_ISO}}{YEAR}" << name << "2026" << false;
        QTest::newRow("unclosed optional part")
            << "{?f/{EXIF_FNUMBER}" << name << "{?f/2.8" << true;
        // Without a valid record the EXIF words go, the others stay.
        QTest::newRow("invalid exif") << "ISO {EXIF_ISO}" << name << "ISO " << false;
        QTest::newRow("invalid exif, year")
            << "{EXIF_MODEL}{EXIF_RESOLUTION}{YEAR}" << name << "2026" << false;
    }

    void placeholders()
    {
        QFETCH(QString, text);
        QFETCH(QString, fileName);
        QFETCH(QString, expected);
        QFETCH(bool, valid);
        const PlaceholderExpander expander(QStringLiteral("Ana Lima"), fixedNow);
        auto file = fileWithExif(QStringLiteral("/photos/") + fileName, valid);
        QCOMPARE(expander.expandText(text, *file), expected);
    }

    void missingTagsGiveDefaults()
    {
        // A valid record without the tags keeps its defaults: 0 and 72.
        WorkFile bare(QStringLiteral("/photos/b.jpg"));
        bare.exifData().setValid(true);
        bare.setExifParsed(true);
        QCOMPARE(PlaceholderExpander(QStringLiteral("Ana"), fixedNow)
                     .expandText(QStringLiteral("{EXIF_ISO} {EXIF_RESOLUTION}"), bare),
                 QStringLiteral("0 72"));
        // A number the photo lacks reads as 0, which an optional part counts as no value.
        QCOMPARE(PlaceholderExpander(QStringLiteral("Ana"), fixedNow)
                     .expandText(QStringLiteral("{?ISO {EXIF_ISO}}{EXIF_RESOLUTION}"), bare),
                 QStringLiteral("72"));
    }
};

QTEST_GUILESS_MAIN(TestSources)
#include "tst_sources.moc"
