// SPDX-FileCopyrightText: 2026 Tessaly
// SPDX-License-Identifier: GPL-3.0-or-later

// Files as an attacker or an accident hands them over: pipes, devices, deep or endless state
// files, lying headers, names that are not UTF-8, more workers and memory than is sane. Every
// case must end promptly with a reason, never block, crash or take the memory a header claims.

#include "HeifBuilder.h"
#include "TestSupport.h"
#include "archive/KeyedUnarchiver.h"
#include "base/RegularFile.h"
#include "base/StopScope.h"
#include "batch/BatchEngine.h"
#include "batch/MemoryBudget.h"
#include "cli/BatchCommand.h"
#include "imageio/HeifLayout.h"
#include "imageio/ImageToolkit.h"
#include "mark/MarkDetector.h"
#include "render/Stamper.h"
#include "session/Presets.h"
#include "session/StateFile.h"
#include "sources/FileGathering.h"

#include <QBuffer>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTextStream>

#include <limits>

#include <sys/stat.h>
#include <unistd.h>

using namespace inkveil;

class TestHostile : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        qputenv("XDG_DATA_HOME", m_dir.filePath(QStringLiteral("data")).toLocal8Bit());
    }

    void refused_data()
    {
        QTest::addColumn<QString>("fixture");
        QTest::addColumn<QString>("reader");
        QTest::addColumn<QString>("reason");
        QTest::newRow("pipe as photo") << "pipe"
                                       << "photo"
                                       << "It is a named pipe, not a file.";
        QTest::newRow("pipe as watermark picture") << "pipe"
                                                   << "picture"
                                                   << "It is a named pipe, not a file.";
        QTest::newRow("pipe as state file") << "pipe"
                                            << "state"
                                            << "It is a named pipe, not a file.";
        QTest::newRow("device as state file") << "zero"
                                              << "state"
                                              << "It is a device, not a file.";
        QTest::newRow("device as photo") << "zero"
                                         << "photo"
                                         << "It is a device, not a file.";
        QTest::newRow("GIF with a huge logical screen")
            << "gif"
            << "photo"
            << "16000 x 16000 pixels is more than 200 megapixels.";
        QTest::newRow("GIF with a huge logical screen as picture")
            << "gif"
            << "picture"
            << "16000 x 16000 pixels is more than 100 megapixels.";
        QTest::newRow("state nested 200 000 deep") << "deep"
                                                   << "state"
                                                   << "It nests deeper than 16 levels.";
        QTest::newRow("watermark text of a page")
            << "text"
            << "picture"
            << "The text is longer than 4000 characters; the rest is left out.";
        QTest::newRow("state over the size limit") << "big"
                                                   << "state"
                                                   << "It is larger than 1000 bytes.";
        // The mark's detector reads photos as the batch does.
        QTest::newRow("pipe to --detect") << "pipe"
                                          << "detect"
                                          << "It is a named pipe, not a file.";
        QTest::newRow("device to --detect") << "zero"
                                            << "detect"
                                            << "It is a device, not a file.";
        QTest::newRow("huge GIF to --detect")
            << "gif"
            << "detect"
            << "16000 x 16000 pixels is more than 200 megapixels.";
    }

    // Each refusal comes at once: a pipe nobody writes to would otherwise block for ever.
    void refused()
    {
        QFETCH(QString, fixture);
        QFETCH(QString, reader);
        QFETCH(QString, reason);
        const QString path = makeFixture(fixture);
        QElapsedTimer clock;
        clock.start();
        QString found;
        if (reader == QLatin1String("photo")) {
            found = ImageToolkit::decode(path).reason();
        } else if (reader == QLatin1String("detect")) {
            found = MarkDetector(MarkKey::generate()).findInFile(path).reason();
        } else if (reader == QLatin1String("picture")) {
            Overlay overlay;
            if (fixture == QLatin1String("text"))
                overlay.setText(QString(5000, QLatin1Char('x')));
            else
                overlay.setFilePath(path);
            found = Stamper::overlayProblem(overlay);
        } else {
            OverlayList overlays;
            auto options = std::make_shared<OutputOptions>();
            if (fixture == QLatin1String("big"))
                StateFile::setMaxFileSize(1000);
            found = StateFile::loadStateFrom(path, overlays, options).problem;
            StateFile::setMaxFileSize(StateFile::DefaultMaxFileSize);
            // The defaults stand in for it.
            QCOMPARE(overlays.size(), 1);
        }
        QCOMPARE(found, reason);
        QVERIFY(clock.elapsed() < 5000);
    }

    void nestingDepth_data()
    {
        QTest::addColumn<QByteArray>("xml");
        QTest::addColumn<int>("depth");
        QTest::newRow("our own file")
            << StateFile::encode({std::make_shared<Overlay>()}, OutputOptions()) << 4;
        QTest::newRow("empty elements") << QByteArray("<dict><array/><dict /></dict>") << 1;
        QTest::newRow("attributes and spaces")
            << QByteArray("<array ><dict\n><array\tx='1'></array></dict></array>") << 3;
        QTest::newRow("names that only start the same")
            << QByteArray("<arrays><dictionary><dict></dict></dictionary></arrays>") << 1;
    }

    void nestingDepth()
    {
        QFETCH(QByteArray, xml);
        QFETCH(int, depth);
        QCOMPARE(KeyedUnarchiver::nestingDepth(xml), depth);
    }

    void fileNames_data()
    {
        QTest::addColumn<QByteArray>("name");
        QTest::newRow("plain") << QByteArray("IMG_1.jpg");
        QTest::newRow("UTF-8") << QByteArray("\xc3\xa9t\xc3\xa9 \xf0\x9f\x98\x80.jpg");
        QTest::newRow("byte 0xff") << QByteArray("a\xff"
                                                 "b.jpg");
        QTest::newRow("Latin-1") << QByteArray("caf\xe9.jpg");
        QTest::newRow("cut sequence") << QByteArray("x\xe2\x82.jpg");
        QTest::newRow("overlong slash") << QByteArray("\xc0\xaf.jpg");
        QTest::newRow("encoded surrogate") << QByteArray("\xed\xb3\xbf.jpg");
    }

    // Every name a folder lists is read, written back and found again under the same bytes.
    void fileNames()
    {
        QFETCH(QByteArray, name);
        const QString decoded = RegularFile::decodeName(name);
        QCOMPARE(RegularFile::encodeName(decoded), name);

        const QString folder = m_dir.filePath(QStringLiteral("names-%1").arg(++m_count));
        QVERIFY(QDir().mkpath(folder));
        const QByteArray native = QFile::encodeName(folder) + '/' + name;
        QImage image(8, 8, QImage::Format_RGB32);
        image.fill(Qt::green);
        const QString plain = folder + QStringLiteral("/plain.jpg");
        QVERIFY(image.save(plain));
        QCOMPARE(::rename(QFile::encodeName(plain).constData(), native.constData()), 0);

        WorkFileList files;
        FileGathering::appendWorkFiles(files, FileGathering::expandPaths({folder}));
        QCOMPARE(files.size(), qsizetype(1));
        QCOMPARE(RegularFile::encodeName(files.first()->filePath()), native);
        QVERIFY(ImageToolkit::decode(files.first()->filePath()));
        // QDir would not see the name to remove it with the temporary folder.
        QCOMPARE(::unlink(native.constData()), 0);
    }

    void gatheringProblems_data()
    {
        QTest::addColumn<QString>("fixture");
        QTest::addColumn<QString>("reason");
        QTest::newRow("pipe in a folder") << "pipe"
                                          << "It is a named pipe, not a file.";
        QTest::newRow("folder that can't be listed") << "locked"
                                                     << "Can't read folder.";
    }

    // Left out of the batch and reported by path; the photos beside it are still taken.
    void gatheringProblems()
    {
        QFETCH(QString, fixture);
        QFETCH(QString, reason);
        if (fixture == QLatin1String("locked") && ::geteuid() == 0)
            QSKIP("root lists any folder");
        const QString folder = m_dir.filePath(QStringLiteral("gather-%1").arg(++m_count));
        QVERIFY(QDir().mkpath(folder));
        writePhoto(folder + QStringLiteral("/good.jpg"), {8, 8}, Qt::white);
        QString bad;
        if (fixture == QLatin1String("pipe")) {
            bad = folder + QStringLiteral("/pipe.jpg");
            QCOMPARE(::mkfifo(QFile::encodeName(bad).constData(), 0600), 0);
        } else {
            bad = folder + QStringLiteral("/locked");
            QVERIFY(QDir().mkpath(bad));
            writePhoto(bad + QStringLiteral("/hidden.jpg"), {8, 8}, Qt::white);
            QVERIFY(QFile::setPermissions(bad, {}));
        }
        QStringList problems;
        WorkFileList files;
        FileGathering::appendWorkFiles(files, FileGathering::expandPaths({folder}, &problems),
                                       &problems);
        QFile::setPermissions(bad, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        QCOMPARE(files.size(), qsizetype(1));
        QCOMPARE(problems.size(), qsizetype(1));
        QVERIFY2(problems.first().startsWith(bad + QStringLiteral(": ")) &&
                     problems.first().contains(reason),
                 qPrintable(problems.first()));
    }

    // The tool reports the pipe and ends with 1, also when it only plans; a million jobs are
    // clamped to the photos there are.
    void commandLine_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<int>("written");
        QTest::newRow("dry run") << QStringList{"--dry-run"} << 1 << 0;
        QTest::newRow("run, a million jobs") << QStringList{"--jobs", "1000000"} << 1 << 2;
        QTest::newRow("small memory budget") << QStringList{"--memory", "1"} << 1 << 2;
        QTest::newRow("bad memory") << QStringList{"--memory", "lots"} << 2 << 0;
        QTest::newRow("memory beyond a petabyte")
            << QStringList{"--memory", "1073741825"} << 2 << 0;
        QTest::newRow("shard of the largest count")
            << QStringList{"--shard", "2/2147483647", "--dry-run"} << 1 << 0;
        QTest::newRow("shard with a space") << QStringList{"--shard", " 1/2"} << 2 << 0;
        QTest::newRow("shard with a sign") << QStringList{"--shard", "+1/2"} << 2 << 0;
        QTest::newRow("shard beyond int") << QStringList{"--shard", "1/4294967297"} << 2 << 0;
    }

    void commandLine()
    {
        QFETCH(QStringList, arguments);
        QFETCH(int, exitCode);
        QFETCH(int, written);
        const QString folder = m_dir.filePath(QStringLiteral("command-%1").arg(++m_count));
        const QString out = folder + QStringLiteral("-out");
        QVERIFY(QDir().mkpath(folder));
        writePhoto(folder + QStringLiteral("/a.jpg"), {8, 8}, Qt::white);
        writePhoto(folder + QStringLiteral("/b.jpg"), {8, 8}, Qt::white);
        QCOMPARE(::mkfifo(QFile::encodeName(folder + QStringLiteral("/c.jpg")).constData(), 0600),
                 0);
        const ToolRun run =
            runTool(QStringList{QStringLiteral("--output"), out} + arguments + QStringList{folder});
        QCOMPARE(run.exitCode, exitCode);
        QCOMPARE(QDir(out).entryList(QDir::Files).size(), written);
        if (exitCode == 1)
            QVERIFY2(run.err.contains(folder + QStringLiteral("/c.jpg: It is a named pipe")),
                     qPrintable(run.err));
        // A usage error names what was wrong with the value given.
        if (arguments.contains(QLatin1String("1073741825")))
            QVERIFY2(run.err.contains(QStringLiteral("at most 1073741824 megabytes")),
                     qPrintable(run.err));
    }

    void limits()
    {
        QCOMPARE(BatchEngine::workersFor(1'000'000, 3), 3);
        QCOMPARE(BatchEngine::workersFor(1'000'000, 1'000), BatchEngine::MaxWorkers);
        QCOMPARE(BatchEngine::workersFor(0, 0), 1);
        constexpr int largest = std::numeric_limits<int>::max();
        QCOMPARE(BatchEngine::counterValue(largest - 1, 5), largest);
        QCOMPARE(BatchEngine::counterValue(-3, 5), 2);
    }

    // With room for one photo's pixels, two workers take the two photos one after the other;
    // a photo larger than the whole budget still goes through, alone.
    void memoryBudget_data()
    {
        QTest::addColumn<double>("budgetInPhotos");
        QTest::newRow("room for one and a half") << 1.5;
        QTest::newRow("less than one") << 0.5;
    }

    void memoryBudget()
    {
        QFETCH(double, budgetInPhotos);
        const QString folder = m_dir.filePath(QStringLiteral("budget-%1").arg(++m_count));
        QVERIFY(QDir().mkpath(folder + QStringLiteral("/out")));
        const QStringList paths{writePhoto(folder + QStringLiteral("/a.jpg"), {64, 48}, Qt::red),
                                writePhoto(folder + QStringLiteral("/b.jpg"), {64, 48}, Qt::red)};
        auto options = std::make_shared<OutputOptions>();
        options->setFolder(folder + QStringLiteral("/out"));
        const qint64 needed = BatchEngine::memoryNeeded(paths.first(), *options);
        QVERIFY(needed >= 64 * 48 * 4);

        BatchEngine engine;
        engine.setMemoryBudget(static_cast<qint64>(static_cast<double>(needed) * budgetInPhotos));
        QSignalSpy finished(&engine, &BatchEngine::finished);
        QVERIFY(engine.start(workFiles(paths), {}, options, 2));
        QVERIFY(finished.wait(10000));
        QCOMPARE(engine.peakMemoryInFlight(), needed);
        QCOMPARE(QDir(folder + QStringLiteral("/out")).entryList(QDir::Files).size(), 2);
    }

    // HEIF files whose records lie: each is refused, from its boxes alone where they tell, while
    // an honest grid decodes whole. Rows -1 and 0 are a single image and a cut-off file.
    void heifGrid_data()
    {
        QTest::addColumn<int>("rows");
        QTest::addColumn<QSize>("output");
        QTest::addColumn<QSize>("claimed");
        QTest::addColumn<quint32>("shift");
        QTest::addColumn<QString>("reason");
        const QSize tiles2x2(128, 96);
        QTest::newRow("honest 2 x 2") << 2 << tiles2x2 << tiles2x2 << 0u << QString();
        QTest::newRow("grid far larger than its ispe")
            << 2 << QSize(30000, 30000) << QSize(64, 48) << 0u
            << "30000 x 30000 pixels is more than 200 megapixels.";
        QTest::newRow("19600 tiles") << 140 << QSize(8960, 6720) << QSize(8960, 6720) << 0u
                                     << "Its grid has 19600 tiles, more than 4096.";
        QTest::newRow("tiles of a few pixels") << 60 << QSize(640, 480) << QSize(640, 480) << 0u
                                               << "Its grid cuts 640 x 480 pixels into 3600 tiles.";
        QTest::newRow("tile data past the end") << 2 << tiles2x2 << tiles2x2 << 1000000u
                                                << "Its image data lies past the end of the file.";
        QTest::newRow("single image larger than its ispe")
            << -1 << QSize(64, 48) << QSize(64, 48) << 0u
            << "Its pixels are 128 x 96, more than the 64 x 48 its header says.";
        // An 'ftyp' box claiming 3 GB of an 80-byte file.
        QTest::newRow("box longer than the file")
            << 0 << tiles2x2 << tiles2x2 << 0u << "Damaged: ends early.";
    }

    void heifGrid()
    {
        QFETCH(int, rows);
        QFETCH(QSize, output);
        QFETCH(QSize, claimed);
        QFETCH(quint32, shift);
        QFETCH(QString, reason);
        QByteArray bytes =
            rows < 0
                ? heifbuilder::lyingAvif(QSize(128, 96), claimed)
                : heifbuilder::gridFile({qMax(rows, 2), qMax(rows, 2), output, claimed, shift});
        if (rows == 0)
            bytes = heifbuilder::be(0xc0000000u, 4) + bytes.mid(4, 76);
        if (rows < 0) { // refused from its stream's header, before a decoder sees the pixels
            QBuffer buffer(&bytes);
            QVERIFY(buffer.open(QIODevice::ReadOnly));
            QCOMPARE(HeifLayout::read(buffer)->coded, QSize(128, 96));
        }
        const QString path = m_dir.filePath(QStringLiteral("grid-%1.avif").arg(++m_count));
        QVERIFY(writeFile(path, bytes));
        const Result<DecodedImage> decoded = ImageToolkit::decode(path);
        QCOMPARE(decoded ? QString() : decoded.reason(), reason);
        if (decoded)
            QCOMPARE(decoded->image().size(), output);
        // The memory a batch sets aside comes from the size that is decoded, not the claim.
        if (const Result<ImageToolkit::Header> header = ImageToolkit::readHeader(path); header)
            QCOMPARE(header->size, output);
        // A whole run, camera data included, ends as promptly.
        QElapsedTimer clock;
        clock.start();
        const ToolRun run =
            runTool({QStringLiteral("--output"), path + QStringLiteral("-out"), path});
        QVERIFY(clock.elapsed() < 5000);
        QCOMPARE(run.exitCode, reason.isEmpty() ? 0 : 1);
        QVERIFY2(run.err.contains(reason), qPrintable(run.err));
    }

    // Item locations whose extents take no bytes: thousands of items, each claiming 65535 of
    // them, in 12 KB. Refused at once instead of listed.
    void heifExtentsOfNoBytes()
    {
        using heifbuilder::be;
        using heifbuilder::box;
        constexpr int Items = 2000;
        QByteArray items;
        for (int id = 1; id <= Items; ++id)
            items += be(id, 2) + be(0, 2) + be(0xFFFF, 2);
        QByteArray file = box("ftyp", QByteArray("avif") + be(0, 4) + "avif") +
                          box("meta", box("iloc", be(0, 2) + be(Items, 2) + items, 0), 0);
        QBuffer buffer(&file);
        QVERIFY(buffer.open(QIODevice::ReadOnly));
        QCOMPARE(HeifLayout::read(buffer).reason(),
                 QStringLiteral("its item locations are cut short"));
    }

    // A stopped run gives up a photo between its tiles rather than decoding it to the end.
    void heifStopped()
    {
        const QString path = m_dir.filePath(QStringLiteral("stopped.avif"));
        QVERIFY(writeFile(path, heifbuilder::gridFile({})));
        const std::atomic<bool> running{false};
        const StopScope scope(running);
        QCOMPARE(ImageToolkit::decode(path).reason(),
                 QStringLiteral("The run was stopped while it was being decoded."));
    }

    // Only the pages libjpeg reads are touched: the zeros after the image cost nothing, and
    // the photo decodes as without them.
    void photoFollowedByZeros()
    {
        const QString path =
            writePhoto(m_dir.filePath(QStringLiteral("padded.jpg")), {40, 30}, Qt::blue);
        QFile file(path);
        QVERIFY(file.open(QIODevice::Append));
        QVERIFY(file.write(QByteArray(4 * 1024 * 1024, '\0')) > 0);
        file.close();
        const Result<DecodedImage> decoded = ImageToolkit::decode(path);
        QVERIFY2(decoded, qPrintable(decoded.reason()));
        QCOMPARE(decoded->image().size(), QSize(40, 30));
    }

    // A preset asked for by name is used whole or not at all: the defaults never stand in for
    // one that can't be read.
    void refusedPreset_data()
    {
        QTest::addColumn<QString>("fixture");
        QTest::addColumn<QString>("reason");
        QTest::newRow("damaged") << "damaged"
                                 << ". ";
        QTest::newRow("pipe") << "pipe"
                              << ". It is a named pipe, not a file.";
        QTest::newRow("link") << "link"
                              << ". A symbolic link is in its place";
        QTest::newRow("over the size limit") << "big"
                                             << ". It is larger than 1000 bytes.";
    }

    void refusedPreset()
    {
        QFETCH(QString, fixture);
        QFETCH(QString, reason);
        const QString name = QStringLiteral("Bad %1").arg(++m_count);
        QVERIFY(QDir().mkpath(Presets::folder()));
        const QString path = Presets::path(name);
        if (fixture == QLatin1String("damaged")) {
            QVERIFY(writeFile(path, "<?xml version=\"1.0\"?><plist><dict><key>Overlays"));
        } else if (fixture == QLatin1String("link")) {
            QVERIFY(Presets::save(QStringLiteral("Real"), {}, OutputOptions()));
            QVERIFY(QFile::link(Presets::path(QStringLiteral("Real")), path));
        } else if (fixture == QLatin1String("big")) {
            QVERIFY(Presets::save(name, {std::make_shared<Overlay>()}, OutputOptions()));
        } else {
            QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
        }
        const QString photo =
            writePhoto(m_dir.filePath(name + QStringLiteral(".jpg")), {8, 8}, Qt::white);
        StateFile::setMaxFileSize(1000);
        const ToolRun run = runTool({QStringLiteral("--preset"), name, QStringLiteral("--output"),
                                     m_dir.filePath(name), photo});
        StateFile::setMaxFileSize(StateFile::DefaultMaxFileSize);
        QCOMPARE(run.exitCode, int(BatchCommand::UsageError));
        QVERIFY2(
            run.err.startsWith(
                QStringLiteral("inkveil-batch: Can't read the preset \"%1\"%2").arg(name, reason)),
            qPrintable(run.err));
        QVERIFY(!QFileInfo::exists(m_dir.filePath(name)));
    }

    // Text from files reaches the terminal escaped, one line where one is meant.
    void printedRaw()
    {
        QVERIFY(Presets::save(QStringLiteral("red\x1b[31m"), {}, OutputOptions()));
        ToolRun run = runTool({QStringLiteral("--list-presets")});
        QVERIFY2(!run.out.contains(QChar(0x1b)) && run.out.contains(QStringLiteral("red\\x1b[31m")),
                 qPrintable(run.out));
        run =
            runTool({QStringLiteral("--preset"), QStringLiteral("x\x1b[2J"), QStringLiteral("a")});
        QVERIFY2(!run.err.contains(QChar(0x1b)), qPrintable(run.err));

        const Tiff t{false};
        const QString photo = m_dir.filePath(QStringLiteral("forged.jpg"));
        QVERIFY(writeFile(photo, jpeg(t.app1(cameraTiff(t, "Maker", "CAM\nFake: line",
                                                        "2006:08:14 10:30:00", 8, 8)))));
        run = runTool({QStringLiteral("--exif"), photo});
        QCOMPARE(run.out.count(QLatin1Char('\n')), 4);
        QVERIFY2(run.out.contains(QStringLiteral("CAM\\x0aFake: line")), qPrintable(run.out));
    }

private:
    QString makeFixture(const QString &kind)
    {
        const QString path = m_dir.filePath(QStringLiteral("fixture-%1").arg(++m_count));
        if (kind == QLatin1String("pipe")) {
            if (::mkfifo(QFile::encodeName(path).constData(), 0600) != 0)
                qFatal("mkfifo failed");
        } else if (kind == QLatin1String("zero")) {
            return QStringLiteral("/dev/zero");
        } else if (kind == QLatin1String("gif")) {
            // A one-pixel GIF whose header claims a logical screen of 16000 x 16000 (35 bytes).
            QByteArray gif =
                QByteArray::fromBase64("R0lGODlhAQABAIAAAP///wAAACwAAAAAAQABAAACAkQBADs=");
            gif[6] = char(16000 & 0xff);
            gif[7] = char(16000 >> 8);
            gif[8] = gif[6];
            gif[9] = gif[7];
            writeFile(path, gif);
        } else if (kind == QLatin1String("deep")) {
            writeFile(path, "<?xml version=\"1.0\"?><plist version=\"1.0\">" +
                                QByteArray("<array>").repeated(200'000) +
                                QByteArray("</array>").repeated(200'000) + "</plist>");
        } else if (kind == QLatin1String("big")) {
            QByteArray state = StateFile::encode({std::make_shared<Overlay>()}, OutputOptions());
            writeFile(path, state + QByteArray(1000, ' '));
        }
        return path;
    }

    QTemporaryDir m_dir;
    int m_count = 0;
};

QTEST_MAIN(TestHostile)
#include "tst_hostile.moc"
