// SPDX-FileCopyrightText: 2026 Tessaly
// SPDX-License-Identifier: GPL-3.0-or-later

#include "TestSupport.h"
#include "output/OutputOptions.h"

#include <QFile>
#include <QFileInfo>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

using namespace inkveil;

class TestOutputOptions : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // "~" is the home folder; a relative folder is refused (null), as it would depend on where
    // the program was started; only a full path lets a batch start.
    void expandedFolder_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("expanded");
        QTest::newRow("empty") << ""
                               << "";
        QTest::newRow("home") << "~"
                              << "/home/ana";
        QTest::newRow("in home") << "~/web/"
                                 << "/home/ana/web/";
        QTest::newRow("absolute") << "/srv/out"
                                  << "/srv/out";
        QTest::newRow("relative") << "out" << QString();
        QTest::newRow("another user's home") << "~bob/out" << QString();
    }

    void expandedFolder()
    {
        QFETCH(QString, typed);
        QFETCH(QString, expanded);
        const QString result = OutputOptions::expandedFolder(typed, QStringLiteral("/home/ana"));
        QCOMPARE(result, expanded);
        QCOMPARE(result.isNull(), expanded.isNull());
        OutputOptions options;
        options.setFolder(typed);
        QCOMPARE(options.isFolderSet(), typed.startsWith(QLatin1Char('/')));
    }

    void fileName_data()
    {
        QTest::addColumn<QString>("source");
        QTest::addColumn<QVariantMap>("settings"); // properties set on fresh options
        QTest::addColumn<QString>("expected");

        const QString src = QStringLiteral("IMG_0042.JPG");
        // Every combination of base, counter and postfix.
        const QStringList names{"IMG_0042.jpeg",         "IMG_0042_iv.jpeg",  "IMG_004200001.jpeg",
                                "IMG_004200001_iv.jpeg", "image.jpeg",        "image_iv.jpeg",
                                "image00001.jpeg",       "image00001_iv.jpeg"};
        for (int bits = 0; bits < 8; ++bits)
            QTest::newRow(qPrintable(names.at(bits))) << src
                                                      << QVariantMap{{"baseIndex", (bits & 4) / 4},
                                                                     {"useCounter", bool(bits & 2)},
                                                                     {"usePostfix", bool(bits & 1)}}
                                                      << names.at(bits);
        QTest::newRow("tif, 3 digits at 7") << src
                                            << QVariantMap{{"useCounter", true},
                                                           {"lastValue", 7},
                                                           {"digits", 3},
                                                           {"fileFormat", "tif"}}
                                            << "IMG_0042007.tif";
        QTest::newRow("no separators")
            << src << QVariantMap{{"baseIndex", 1},   {"useCounter", true}, {"usePostfix", true},
                                  {"custom", "trip"}, {"digits", 3},        {"lastValue", 12},
                                  {"postfix", "-web"}}
            << "trip012-web.jpeg";
        QTest::newRow("digits 0") << src << QVariantMap{{"useCounter", true}, {"digits", 0}}
                                  << "IMG_0042.jpeg";
        QTest::newRow("digits 10")
            << src << QVariantMap{{"useCounter", true}, {"digits", 10}, {"lastValue", 7}}
            << "IMG_00420000000007.jpeg";
        QTest::newRow("last period only") << "a.b.tif" << QVariantMap() << "a.b.jpeg";
        QTest::newRow("no period")
            << "README" << QVariantMap{{"fileFormat", "png"}} << "README.png";
        QTest::newRow("null source uses custom") << QString() << QVariantMap() << "image.jpeg";
        // Only index 1 means the custom name.
        QTest::newRow("other base index")
            << src << QVariantMap{{"baseIndex", 2}} << "IMG_0042.jpeg";
    }

    void fileName()
    {
        QFETCH(QString, source);
        QFETCH(QVariantMap, settings);
        QFETCH(QString, expected);
        OutputOptions o;
        for (auto it = settings.cbegin(); it != settings.cend(); ++it)
            QVERIFY(o.setProperty(qPrintable(it.key()), it.value()));
        QCOMPARE(o.buildFileName(source), expected);
    }

    void counterString_data()
    {
        QTest::addColumn<int>("lastValue");
        QTest::addColumn<int>("digits");
        QTest::addColumn<QString>("expected");
        QTest::newRow("low digits kept") << 123456 << 3 << "456";
        QTest::newRow("wider than the field") << 42 << 12 << "0000000042";
        QTest::newRow("largest value") << 2147483647 << 10 << "2147483647";
        QTest::newRow("written without sign") << -12 << 4 << "0012";
    }

    void counterString()
    {
        QFETCH(int, lastValue);
        QFETCH(int, digits);
        QFETCH(QString, expected);
        OutputOptions o;
        o.setLastValue(lastValue);
        o.setDigits(digits);
        QCOMPARE(o.counterString(), expected);
    }

    void thumbnailDim()
    {
        const QList<int> edges{0, 32, 0, 64, 100, 128, 0, 192, 200, 256, 0};
        for (int i = -1; i < 10; ++i)
            QCOMPARE(OutputOptions::thumbnailDim(i), edges.at(i + 1));
    }

    void folderCreation_data()
    {
        QTest::addColumn<QString>("relativeFolder");
        QTest::addColumn<QString>("slash");
        QTest::addColumn<bool>("create");
        QTest::addColumn<bool>("made");
        QTest::newRow("created") << "out"
                                 << "" << true << true;
        QTest::newRow("with slash") << "out"
                                    << "/" << true << true;
        QTest::newRow("creation off") << "out"
                                      << "" << false << false;
        // Every missing level is made.
        QTest::newRow("missing parent") << "missing/out"
                                        << "" << true << true;
        QTest::newRow("file in the way") << "file"
                                         << "" << true << false;
    }

    void folderCreation()
    {
        QFETCH(QString, relativeFolder);
        QFETCH(QString, slash);
        QFETCH(bool, create);
        QFETCH(bool, made);
        QTemporaryDir dir;
        const QString blocker = dir.filePath(QStringLiteral("file"));
        QVERIFY(writeFile(blocker, "not a folder"));
        const QString folder = dir.filePath(relativeFolder);
        OutputOptions o;
        o.setFolder(folder + slash);
        o.setFolderCreate(create);
        QCOMPARE(o.buildFinalPath(QStringLiteral("a.jpeg")), folder + QStringLiteral("/a.jpeg"));
        QCOMPARE(o.buildFinalThumbsPath(QStringLiteral("a.jpeg")),
                 folder + QStringLiteral("/thumbs/a.jpeg"));
        QCOMPARE(QFileInfo(folder).isDir(), made);
        QCOMPARE(QFileInfo(folder + QStringLiteral("/thumbs")).isDir(), made);
        // The file standing in the way is left as it was.
        QCOMPARE(readFile(blocker), QByteArray("not a folder"));
    }

    void setters()
    {
        OutputOptions o;
        QSignalSpy quality(&o, &OutputOptions::qualityChanged);
        QSignalSpy folder(&o, &OutputOptions::folderChanged);
        // Setting the held value is silent; null differs from empty.
        o.setQuality(90);
        o.setFolder(QStringLiteral(""));
        QCOMPARE(quality.count() + folder.count(), 0);
        o.setQuality(75);
        o.setFolder(QString());
        QCOMPARE(quality.count(), 1);
        QCOMPARE(folder.count(), 1);
        QVERIFY(o.folder().isNull() && !o.isFolderSet());
        // Custom name and postfix are never null.
        o.setCustom(QString());
        o.setPostfix(QString());
        QVERIFY(!o.custom().isNull() && o.custom().isEmpty() && !o.postfix().isNull());
    }
};

QTEST_GUILESS_MAIN(TestOutputOptions)
#include "tst_outputoptions.moc"
