#include "render/PlaceholderExpander.h"
#include "sources/FileGathering.h"
#include "sources/WorkFile.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <QTimeZone>

namespace {

void touch(const QString &path)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
}

QStringList pathsOf(const WorkFileList &files)
{
    QStringList paths;
    for (const auto &file : files)
        paths.append(file->filePath());
    return paths;
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
    file->setExifParsed(true);
    return file;
}

} // namespace

class TestSources : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void workFile_data();
    void workFile();
    void supportedFormats_data();
    void supportedFormats();
    void gathering_data();
    void gathering();
    void duplicatesAreLogged();
    void exifIsReadOnce();
    void placeholders_data();
    void placeholders();
    void invalidExifRemovesExifPlaceholders();
};

void TestSources::workFile_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("description");
    QTest::newRow("plain") << "/x/y.tif"
                           << "y.tif"
                           << "/x/y.tif - y.tif";
    QTest::newRow("trailing slash") << "/x/folder.jpg/"
                                    << "folder.jpg"
                                    << "/x/folder.jpg/ - folder.jpg";
    QTest::newRow("no folder") << "a.jpg"
                               << "a.jpg"
                               << "a.jpg - a.jpg";
}

void TestSources::workFile()
{
    QFETCH(QString, path);
    QFETCH(QString, name);
    QFETCH(QString, description);
    const WorkFile file(path);
    QCOMPARE(file.fileName(), name);
    QCOMPARE(file.filePath(), path);
    QCOMPARE(file.description(), description);
    QCOMPARE(file.originalSize(), QSizeF(0, 0));
    QVERIFY(!file.exifParsed());
    QVERIFY(!file.exifData().valid());

    const WorkFile empty;
    QCOMPARE(empty.filePath(), QStringLiteral(""));
    QCOMPARE(empty.fileName(), QStringLiteral(""));
    // Identity is the path text, not the file it names.
    QVERIFY(WorkFile(QStringLiteral("/a/b.jpg")) == WorkFile(QStringLiteral("/a/b.jpg")));
    QVERIFY(!(WorkFile(QStringLiteral("/a/b.jpg")) == WorkFile(QStringLiteral("/a/./b.jpg"))));
}

void TestSources::supportedFormats_data()
{
    QTest::addColumn<QString>("extension");
    QTest::addColumn<bool>("supported");
    for (const char *ext : {"jpg", "JPG", "jpeg", "JPEG", "tif", "TIFF", "png", "gif", "bmp"})
        QTest::newRow(ext) << QString::fromLatin1(ext) << true;
    for (const char *ext : {"Jpg", "jPeG", "txt", "", "raw", "cr2", "xmp"})
        QTest::newRow(ext) << QString::fromLatin1(ext) << false;
}

void TestSources::supportedFormats()
{
    QFETCH(QString, extension);
    QFETCH(bool, supported);
    QCOMPARE(FileGathering::isSupportedFormat(extension), supported);
}

void TestSources::gathering_data()
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
    QTest::newRow("file twice") << tree << QStringList{"a/IMG_2.jpg", "a/IMG_2.jpg"}
                                << QStringList{"a/IMG_2.jpg"};
    QTest::newRow("folder and a file inside it") << tree << QStringList{"a/sub/b.gif", "a/sub"}
                                                 << QStringList{"a/sub/b.gif", "a/sub/deep/z.tif"};
    QTest::newRow("paths compared as text") << tree << QStringList{"a/IMG_2.jpg", "a/./IMG_2.jpg"}
                                            << QStringList{"a/IMG_2.jpg", "a/./IMG_2.jpg"};
    QTest::newRow("empty folder") << QStringList{"e/.keep/x.txt"} << QStringList{"e/.keep"}
                                  << QStringList{};
    QTest::newRow("trailing slash")
        << tree << QStringList{"a/sub/"} << QStringList{"a/sub/b.gif", "a/sub/deep/z.tif"};
    QTest::newRow("missing file kept")
        << tree << QStringList{"gone.jpg"} << QStringList{"gone.jpg"};
}

void TestSources::gathering()
{
    QFETCH(QStringList, tree);
    QFETCH(QStringList, dropped);
    QFETCH(QStringList, expected);
    QTemporaryDir dir;
    for (const QString &file : tree)
        touch(dir.filePath(file));
    QDir(dir.filePath(QStringLiteral("e/.keep"))).removeRecursively();
    QDir().mkpath(dir.filePath(QStringLiteral("e/.keep")));

    QStringList paths;
    for (const QString &path : dropped)
        paths.append(dir.path() + QLatin1Char('/') + path);
    QStringList absolute;
    for (const QString &path : expected)
        absolute.append(dir.path() + QLatin1Char('/') + path);

    WorkFileList files;
    QtMessageHandler previous =
        qInstallMessageHandler([](QtMsgType, const QMessageLogContext &, const QString &) {});
    FileGathering::appendWorkFiles(files, FileGathering::expandPaths(paths));
    qInstallMessageHandler(previous);
    QCOMPARE(pathsOf(files), absolute);
}

void TestSources::duplicatesAreLogged()
{
    WorkFileList files;
    QTest::ignoreMessage(QtInfoMsg, "/x/a.jpg - a.jpg");
    FileGathering::appendWorkFiles(files, {QStringLiteral("/x/a.jpg")});
    QTest::ignoreMessage(QtInfoMsg, "/x/a.jpg - a.jpg");
    QTest::ignoreMessage(QtInfoMsg, "Ignoring duplicate /x/a.jpg - a.jpg");
    QCOMPARE(FileGathering::appendWorkFiles(
                 files, {QStringLiteral("/x/a.jpg"), QStringLiteral("/x/notes.txt")}),
             0);
    QCOMPARE(files.size(), 1);
}

void TestSources::exifIsReadOnce()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("photo.jpg"));
    touch(path);
    WorkFile file(path);
    QVERIFY(!file.readExif().valid());
    QVERIFY(file.exifParsed());
    // Once read, the file is not consulted again: values set since stay.
    file.exifData().setModel(QStringLiteral("kept"));
    QFile::remove(path);
    QCOMPARE(file.readExif().model(), QStringLiteral("kept"));
}

void TestSources::placeholders_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("fileName");
    QTest::addColumn<QString>("expected");
    const QString name = QStringLiteral("IMG_1.JPG");
    QTest::newRow("no braces") << "plain text" << name << "plain text";
    QTest::newRow("user") << "\u00A9 {YEAR}, {USERNAME}" << name << "\u00A9 2026, Ana Lima";
    QTest::newRow("file name") << "{FILENAME}" << name << "IMG_1.JPG";
    QTest::newRow("full date") << "{FULLDATE}" << name << "2026-12-05 09:07:03 +0130";
    QTest::newRow("year twice") << "{YEAR}{YEAR}" << name << "20262026";
    QTest::newRow("month, date") << "{MONTH}/{DATE}" << name << "12/05";
    QTest::newRow("lower case untouched") << "{year} {Year}" << name << "{year} {Year}";
    QTest::newRow("unknown word untouched") << "{TIME}" << name << "{TIME}";
    // The file name is put in before the date rows run over the text.
    QTest::newRow("order effect") << "{FILENAME}"
                                  << "{YEAR}.jpg"
                                  << "2026.jpg";
    QTest::newRow("exif date beside date")
        << "{EXIF_DATE} {DATE}" << name << "2006:08:14 10:30:00 05";
    QTest::newRow("camera") << "{EXIF_MAKE} {EXIF_MODEL}" << name << "Maker CAM-1";
    QTest::newRow("exposure") << "{EXIF_SHUTTER}s f/{EXIF_FNUMBER} {EXIF_FOCALLENGTH}mm" << name
                              << "1/125s f/2.8 50mm";
    QTest::newRow("iso 40000") << "ISO {EXIF_ISO}" << name << "ISO 40000";
    QTest::newRow("size") << "{EXIF_WIDTH}x{EXIF_HEIGHT}" << name << "3008x2000";
    QTest::newRow("resolution") << "{EXIF_RESOLUTION}" << name << "72.5";
}

void TestSources::placeholders()
{
    QFETCH(QString, text);
    QFETCH(QString, fileName);
    QFETCH(QString, expected);
    const PlaceholderExpander expander(QStringLiteral("Ana Lima"), fixedNow);
    auto file = fileWithExif(QStringLiteral("/photos/") + fileName, true);
    QCOMPARE(expander.expandText(text, *file), expected);
}

void TestSources::invalidExifRemovesExifPlaceholders()
{
    const PlaceholderExpander expander(QStringLiteral("Ana"), fixedNow);
    auto file = fileWithExif(QStringLiteral("/photos/a.jpg"), false);
    QCOMPARE(expander.expandText(QStringLiteral("ISO {EXIF_ISO}"), *file), QStringLiteral("ISO "));
    QCOMPARE(expander.expandText(QStringLiteral("{EXIF_MODEL}{EXIF_RESOLUTION}{YEAR}"), *file),
             QStringLiteral("2026"));
    // A valid record without the tags keeps its defaults: 0 and 72.
    auto bare = std::make_shared<WorkFile>(QStringLiteral("/photos/b.jpg"));
    bare->exifData().setValid(true);
    bare->setExifParsed(true);
    QCOMPARE(expander.expandText(QStringLiteral("{EXIF_ISO} {EXIF_RESOLUTION}"), *bare),
             QStringLiteral("0 72"));
    // The weekday follows the user's language.
    QCOMPARE(expander.expandText(QStringLiteral("{DAY}"), *bare),
             QLocale::system().dayName(6, QLocale::LongFormat));
    QCOMPARE(PlaceholderExpander::placeholders().size(), 17);
}

QTEST_GUILESS_MAIN(TestSources)
#include "tst_sources.moc"
