#include "output/OutputOptions.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

class TestOutputOptions : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void defaults();
    void fileName_data();
    void fileName();
    void counterString_data();
    void counterString();
    void thumbnailDim_data();
    void thumbnailDim();
    void paths_data();
    void paths();
    void folderCreation_data();
    void folderCreation();
    void stringSetters();
    void setterWithHeldValueIsSilent();
};

void TestOutputOptions::defaults()
{
    const OutputOptions o;
    QVERIFY(o.folder().isEmpty());
    QVERIFY(!o.folder().isNull());
    QVERIFY(!o.isFolderSet());
    QCOMPARE(o.folderCreate(), true);
    QCOMPARE(o.fileFormat(), QStringLiteral("jpeg"));
    QCOMPARE(o.quality(), 90);
    QCOMPARE(o.resize(), false);
    QCOMPARE(o.width(), 640);
    QCOMPARE(o.height(), 480);
    QCOMPARE(o.baseIndex(), 0);
    QCOMPARE(o.custom(), QStringLiteral("image"));
    QCOMPARE(o.useCounter(), false);
    QCOMPARE(o.digits(), 5);
    QCOMPARE(o.lastValue(), 1);
    QCOMPARE(o.usePostfix(), false);
    QCOMPARE(o.postfix(), QStringLiteral("_iv"));
    QCOMPARE(o.createThumbnails(), false);
    QCOMPARE(o.fitIndex(), 2);
    QCOMPARE(o.sourceIndex(), 0);
    // A fresh object keeps the source's name and swaps the extension for the format.
    QCOMPARE(o.buildFileName(QStringLiteral("IMG_0001.JPG")), QStringLiteral("IMG_0001.jpeg"));
}

void TestOutputOptions::fileName_data()
{
    QTest::addColumn<QString>("source");
    QTest::addColumn<int>("baseIndex");
    QTest::addColumn<bool>("useCounter");
    QTest::addColumn<bool>("usePostfix");
    QTest::addColumn<QString>("custom");
    QTest::addColumn<int>("digits");
    QTest::addColumn<int>("lastValue");
    QTest::addColumn<QString>("postfix");
    QTest::addColumn<QString>("format");
    QTest::addColumn<QString>("expected");

    const QString src = QStringLiteral("IMG_0042.JPG");
    const QString img = QStringLiteral("image");
    const QString iv = QStringLiteral("_iv");
    const QString jpeg = QStringLiteral("jpeg");
    // Every combination of base, counter and postfix.
    QTest::newRow("source") << src << 0 << false << false << img << 5 << 1 << iv << jpeg
                            << "IMG_0042.jpeg";
    QTest::newRow("source+postfix")
        << src << 0 << false << true << img << 5 << 1 << iv << jpeg << "IMG_0042_iv.jpeg";
    QTest::newRow("source+counter")
        << src << 0 << true << false << img << 5 << 1 << iv << jpeg << "IMG_004200001.jpeg";
    QTest::newRow("source+counter+postfix")
        << src << 0 << true << true << img << 5 << 1 << iv << jpeg << "IMG_004200001_iv.jpeg";
    QTest::newRow("custom") << src << 1 << false << false << img << 5 << 1 << iv << jpeg
                            << "image.jpeg";
    QTest::newRow("custom+postfix")
        << src << 1 << false << true << img << 5 << 1 << iv << jpeg << "image_iv.jpeg";
    QTest::newRow("custom+counter")
        << src << 1 << true << false << img << 5 << 1 << iv << jpeg << "image00001.jpeg";
    QTest::newRow("custom+counter+postfix")
        << src << 1 << true << true << img << 5 << 1 << iv << jpeg << "image00001_iv.jpeg";

    QTest::newRow("tif, 3 digits at 7") << src << 0 << true << false << img << 3 << 7 << iv << "tif"
                                        << "IMG_0042007.tif";
    QTest::newRow("no separators")
        << src << 1 << true << true << "trip" << 3 << 12 << "-web" << jpeg << "trip012-web.jpeg";
    QTest::newRow("digits 0") << src << 0 << true << false << img << 0 << 7 << iv << jpeg
                              << "IMG_0042.jpeg";
    QTest::newRow("digits 10") << src << 0 << true << false << img << 10 << 7 << iv << jpeg
                               << "IMG_00420000000007.jpeg";
    QTest::newRow("last period only")
        << "a.b.tif" << 0 << false << false << img << 5 << 1 << iv << jpeg << "a.b.jpeg";
    QTest::newRow("no period") << "README" << 0 << false << false << img << 5 << 1 << iv << "png"
                               << "README.png";
    QTest::newRow("null source uses custom")
        << QString() << 0 << false << false << img << 5 << 1 << iv << jpeg << "image.jpeg";
    // Only index 1 means the custom name.
    QTest::newRow("other base index")
        << src << 2 << false << false << img << 5 << 1 << iv << jpeg << "IMG_0042.jpeg";
}

void TestOutputOptions::fileName()
{
    QFETCH(QString, source);
    QFETCH(int, baseIndex);
    QFETCH(bool, useCounter);
    QFETCH(bool, usePostfix);
    QFETCH(QString, custom);
    QFETCH(int, digits);
    QFETCH(int, lastValue);
    QFETCH(QString, postfix);
    QFETCH(QString, format);
    QFETCH(QString, expected);

    OutputOptions o;
    o.setBaseIndex(baseIndex);
    o.setUseCounter(useCounter);
    o.setUsePostfix(usePostfix);
    o.setCustom(custom);
    o.setDigits(digits);
    o.setLastValue(lastValue);
    o.setPostfix(postfix);
    o.setFileFormat(format);
    QCOMPARE(o.buildFileName(source), expected);
}

void TestOutputOptions::counterString_data()
{
    QTest::addColumn<int>("lastValue");
    QTest::addColumn<int>("digits");
    QTest::addColumn<QString>("expected");
    QTest::newRow("padded") << 7 << 5 << "00007";
    QTest::newRow("low digits kept") << 123456 << 3 << "456";
    QTest::newRow("no digits") << 7 << 0 << "";
    QTest::newRow("ten digits") << 7 << 10 << "0000000007";
    QTest::newRow("wider than the field") << 42 << 12 << "0000000042";
    QTest::newRow("largest value") << 2147483647 << 10 << "2147483647";
    QTest::newRow("written without sign") << -12 << 4 << "0012";
    QTest::newRow("zero") << 0 << 2 << "00";
}

void TestOutputOptions::counterString()
{
    QFETCH(int, lastValue);
    QFETCH(int, digits);
    QFETCH(QString, expected);
    OutputOptions o;
    o.setLastValue(lastValue);
    o.setDigits(digits);
    QCOMPARE(o.counterString(), expected);
}

void TestOutputOptions::thumbnailDim_data()
{
    QTest::addColumn<int>("index");
    QTest::addColumn<int>("edge");
    const int edges[] = {32, 0, 64, 100, 128, 0, 192, 200, 256};
    for (int i = 0; i < 9; ++i)
        QTest::addRow("%d", i) << i << edges[i];
    QTest::newRow("-1") << -1 << 0;
    QTest::newRow("9") << 9 << 0;
}

void TestOutputOptions::thumbnailDim()
{
    QFETCH(int, index);
    QFETCH(int, edge);
    QCOMPARE(OutputOptions::thumbnailDim(index), edge);
}

void TestOutputOptions::paths_data()
{
    QTest::addColumn<QString>("folder");
    QTest::newRow("without slash") << "/data/out";
    QTest::newRow("with slash") << "/data/out/";
}

void TestOutputOptions::paths()
{
    QFETCH(QString, folder);
    OutputOptions o;
    o.setFolderCreate(false);
    o.setFolder(folder);
    QCOMPARE(o.buildFinalPath(QStringLiteral("F.jpeg")), QStringLiteral("/data/out/F.jpeg"));
    QCOMPARE(o.buildFinalThumbsPath(QStringLiteral("F.jpeg")),
             QStringLiteral("/data/out/thumbs/F.jpeg"));
}

void TestOutputOptions::folderCreation_data()
{
    QTest::addColumn<QString>("relativeFolder");
    QTest::addColumn<bool>("create");
    QTest::addColumn<bool>("outputFolderMade");
    QTest::addColumn<bool>("thumbsFolderMade");
    QTest::newRow("created") << "out" << true << true << true;
    QTest::newRow("creation off") << "out" << false << false << false;
    // Only the last level is made.
    QTest::newRow("missing parent") << "missing/out" << true << false << false;
    QTest::newRow("file in the way") << "file" << true << false << false;
}

void TestOutputOptions::folderCreation()
{
    QFETCH(QString, relativeFolder);
    QFETCH(bool, create);
    QFETCH(bool, outputFolderMade);
    QFETCH(bool, thumbsFolderMade);

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    {
        QFile blocker(dir.filePath(QStringLiteral("file")));
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.write("not a folder");
    }
    const QString folder = dir.filePath(relativeFolder);
    OutputOptions o;
    o.setFolder(folder);
    o.setFolderCreate(create);
    QCOMPARE(o.buildFinalPath(QStringLiteral("a.jpeg")), folder + QStringLiteral("/a.jpeg"));
    QCOMPARE(o.buildFinalThumbsPath(QStringLiteral("a.jpeg")),
             folder + QStringLiteral("/thumbs/a.jpeg"));
    QCOMPARE(QFileInfo(folder).isDir(), outputFolderMade);
    QCOMPARE(QFileInfo(folder + QStringLiteral("/thumbs")).isDir(), thumbsFolderMade);
    // The file standing in the way is left as it was.
    QCOMPARE(QFileInfo(dir.filePath(QStringLiteral("file"))).size(), 12);
}

void TestOutputOptions::stringSetters()
{
    OutputOptions o;
    o.setCustom(QString());
    o.setPostfix(QString());
    QVERIFY(!o.custom().isNull());
    QVERIFY(o.custom().isEmpty());
    QVERIFY(!o.postfix().isNull());
    o.setFolder(QString());
    o.setFileFormat(QString());
    QVERIFY(o.folder().isNull());
    QVERIFY(o.fileFormat().isNull());
    QVERIFY(!o.isFolderSet());
    o.setFolder(QStringLiteral("/tmp/out"));
    QVERIFY(o.isFolderSet());
}

void TestOutputOptions::setterWithHeldValueIsSilent()
{
    OutputOptions o;
    QSignalSpy quality(&o, &OutputOptions::qualityChanged);
    QSignalSpy folder(&o, &OutputOptions::folderChanged);
    o.setQuality(90);
    o.setFolder(QStringLiteral(""));
    QCOMPARE(quality.count(), 0);
    QCOMPARE(folder.count(), 0);
    o.setQuality(75);
    o.setFolder(QString()); // null differs from empty
    QCOMPARE(quality.count(), 1);
    QCOMPARE(folder.count(), 1);
    // The pane binds by property name: every field is reachable that way.
    QVERIFY(o.setProperty("digits", 3));
    QCOMPARE(o.digits(), 3);
}

QTEST_GUILESS_MAIN(TestOutputOptions)
#include "tst_outputoptions.moc"
