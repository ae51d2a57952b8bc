// SPDX-FileCopyrightText: 2026 Tessaly
// SPDX-License-Identifier: GPL-3.0-or-later

#include "TestSupport.h"
#include "batch/BatchEngine.h"
#include "batch/ProgressEstimate.h"
#include "cli/BatchCommand.h"
#include "imageio/ImageToolkit.h"
#include "output/SummaryText.h"
#include "render/Stamper.h"
#include "session/Presets.h"
#include "session/StateFile.h"

#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QImageReader>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTextStream>
#include <QTimer>

using namespace inkveil;

namespace {

struct RunRecord
{
    QStringList progress;
    QList<std::pair<int, QString>> statuses;
    bool completed = false;
};

RunRecord runEngine(BatchEngine &engine, const WorkFileList &files, const OverlayList &overlays,
                    const std::shared_ptr<OutputOptions> &options, int workers)
{
    RunRecord record;
    QEventLoop loop;
    QObject::connect(&engine, &BatchEngine::progressChanged, &loop,
                     [&](const QString &text) { record.progress.append(text); });
    QObject::connect(&engine, &BatchEngine::statusChanged, &loop,
                     [&](int index, const QString &text) {
                         record.statuses.append({index, text});
                     });
    // Queued to this thread, so a run that ends before the loop starts is still seen.
    QObject::connect(&engine, &BatchEngine::finished, &loop, [&](bool completed) {
        record.completed = completed;
        loop.quit();
    });
    if (!engine.start(files, overlays, options, workers))
        return record;
    QTimer::singleShot(60000, &loop, &QEventLoop::quit);
    loop.exec();
    engine.wait();
    return record;
}

QStringList filesIn(const QString &dir)
{
    return QDir(dir).entryList(QDir::Files, QDir::Name);
}

} // namespace

class TestBatch : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // Speed and time left from the photos done and the time taken so far.
    void progressEstimate_data()
    {
        QTest::addColumn<int>("total");
        QTest::addColumn<int>("done");
        QTest::addColumn<qint64>("elapsedMs");
        QTest::addColumn<qint64>("remaining");
        QTest::addColumn<QString>("text");
        QTest::newRow("nothing done yet") << 1000 << 0 << qint64(5000) << qint64(-1) << "";
        QTest::newRow("no time yet") << 10 << 1 << qint64(0) << qint64(-1) << "";
        QTest::newRow("seconds left")
            << 10 << 4 << qint64(1600) << qint64(3) << "2.5 photos/s, about 3 s left";
        QTest::newRow("minutes, rounded up")
            << 1000 << 100 << qint64(40000) << qint64(360) << "2.5 photos/s, about 6 min left";
        QTest::newRow("hours") << 5000 << 10 << qint64(20000) << qint64(9980)
                               << "0.5 photos/s, about 2 h 47 min left";
        QTest::newRow("fast, whole numbers")
            << 1000 << 500 << qint64(20000) << qint64(20) << "25 photos/s, about 20 s left";
        QTest::newRow("all done: the speed alone")
            << 3 << 3 << qint64(1500) << qint64(0) << "2.0 photos/s";
    }

    void progressEstimate()
    {
        QFETCH(int, total);
        QFETCH(int, done);
        QFETCH(qint64, elapsedMs);
        QFETCH(qint64, remaining);
        QFETCH(QString, text);
        ProgressEstimate estimate(total);
        estimate.update(done, elapsedMs);
        QCOMPARE(estimate.remainingSeconds(), remaining);
        QCOMPARE(estimate.text(), text);
    }

    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        qputenv("XDG_DATA_HOME", m_dir.filePath(QStringLiteral("data")).toLocal8Bit());
    }

    void init()
    {
        const QString tag = QString::fromLatin1(QTest::currentTestFunction()) +
                            QString::fromLatin1(QTest::currentDataTag());
        m_in = m_dir.filePath(tag + QStringLiteral("/in"));
        m_out = m_dir.filePath(tag + QStringLiteral("/out"));
        QDir().mkpath(m_in);
        m_options = std::make_shared<OutputOptions>();
        m_options->setFolder(m_out);
    }

    void singleFile_data()
    {
        QTest::addColumn<QString>("format");
        QTest::addColumn<QSize>("size");
        QTest::addColumn<int>("dpi");
        QTest::addColumn<bool>("resize");
        QTest::addColumn<int>("fitIndex"); // -1: no thumbnails
        QTest::addColumn<int>("sourceIndex");
        QTest::addColumn<QByteArray>("readerFormat"); // empty: nothing written
        QTest::addColumn<QSize>("expectedSize");
        QTest::addColumn<int>("expectedDpi");
        QTest::addColumn<QColor>("thumbColor"); // invalid: no thumbnail
        QTest::newRow("png as is, thumbnail from the result")
            << "png" << QSize(90, 60) << 72 << false << 0 << 1 << QByteArray("png") << QSize(90, 60)
            << 72 << QColor(Qt::red);
        // 300 x 200 into 64 x 48 is 64 x 42.67; the resolution drops to keep the physical size.
        QTest::newRow("jpg fitted, thumbnail from the source")
            << "jpg" << QSize(300, 200) << 300 << true << 0 << 0 << QByteArray("jpeg")
            << QSize(64, 43) << 64 << QColor(Qt::blue);
        QTest::newRow("tif portrait fitted, thumbnail edge 0")
            << "tif" << QSize(200, 300) << 72 << true << 1 << 0 << QByteArray("tiff")
            << QSize(32, 48) << 12 << QColor();
        QTest::newRow("unknown format writes nothing")
            << "webp2" << QSize(48, 32) << 72 << false << -1 << 0 << QByteArray() << QSize() << 0
            << QColor();
    }

    void singleFile()
    {
        QFETCH(QString, format);
        QFETCH(QSize, size);
        QFETCH(int, dpi);
        QFETCH(bool, resize);
        QFETCH(int, fitIndex);
        QFETCH(int, sourceIndex);
        QFETCH(QByteArray, readerFormat);
        QFETCH(QSize, expectedSize);
        QFETCH(int, expectedDpi);
        QFETCH(QColor, thumbColor);
        const auto file = std::make_shared<WorkFile>(
            photo("IMG_1.PNG", size.width(), size.height(), Qt::blue, dpi));
        m_options->setFileFormat(format);
        m_options->setResize(resize);
        m_options->setWidth(64);
        m_options->setHeight(48);
        m_options->setCreateThumbnails(fitIndex >= 0);
        m_options->setFitIndex(qMax(fitIndex, 0));
        m_options->setSourceIndex(OutputOptions::ThumbnailSource(sourceIndex));
        // A red picture covering the photo: thumbnails tell source from result by colour.
        auto mark = std::make_shared<Overlay>();
        mark->setFilePath(photo("mark.png", size.width(), size.height(), Qt::red));
        mark->setWidth(static_cast<qint16>(size.width()));
        mark->setHeight(static_cast<qint16>(size.height()));
        mark->setPosition(0);
        mark->setShow(false);
        BatchEngine engine;
        QSignalSpy status(&engine, &BatchEngine::statusChanged);
        const auto result = engine.processSingleFile(file, {mark}, *m_options);
        // A format without an encoder fails the photo, though the status line says nothing.
        QCOMPARE(result.status, readerFormat.isEmpty() ? BatchEngine::Status::Failed
                                                       : BatchEngine::Status::Written);
        // The last step reported is the last thing written.
        QCOMPARE(status.last().at(1).toString(),
                 thumbColor.isValid()     ? BatchEngine::WritingThumbnailMessage
                 : readerFormat.isEmpty() ? BatchEngine::WatermarkingMessage
                                          : BatchEngine::WritingMessage);
        const QString thumbPath = m_out + QStringLiteral("/thumbs/IMG_1.") + format;
        QCOMPARE(result.thumbnailPath, thumbColor.isValid() ? thumbPath : QString());
        QCOMPARE(QFile::exists(thumbPath), thumbColor.isValid());
        if (readerFormat.isEmpty()) {
            QVERIFY(result.outputPath.isEmpty());
            QCOMPARE(filesIn(m_out), QStringList());
            return;
        }
        QCOMPARE(result.outputPath, m_out + QStringLiteral("/IMG_1.") + format);
        QImageReader reader(result.outputPath);
        QCOMPARE(reader.format(), readerFormat);
        const QImage written = reader.read();
        QCOMPARE(written.size(), expectedSize);
        QCOMPARE(dpiOf(written), expectedDpi);
        if (thumbColor.isValid()) {
            const QImage thumb(thumbPath);
            QCOMPARE(thumb.size(), QSize(32, 21));
            const QColor sample = thumb.pixelColor(16, 10);
            QVERIFY2(qAbs(sample.red() - thumbColor.red()) < 40 &&
                         qAbs(sample.blue() - thumbColor.blue()) < 40,
                     qPrintable(sample.name()));
        }
    }

    void runNumbersEveryFileAndRestoresTheCounter()
    {
        // An unreadable file in the middle still takes its number; each run starts again from 1.
        QVERIFY(writeFile(m_in + QStringLiteral("/y.jpg"), "\xFF\xD8\xFF\xE0 not really a photo"));
        const QStringList paths{photo("x.jpg"), m_in + QStringLiteral("/y.jpg"), photo("z.jpg")};
        m_options->setUseCounter(true);
        m_options->setDigits(3);
        m_options->setBaseIndex(OutputOptions::CustomName);
        m_options->setCustom(QStringLiteral("trip"));
        for (int run = 0; run < 2; ++run) {
            BatchEngine engine;
            QTest::ignoreMessage(QtInfoMsg, "Thread start");
            QTest::ignoreMessage(QtInfoMsg, "Thread completed");
            const RunRecord record = runEngine(engine, workFiles(paths), {}, m_options, 1);
            QVERIFY(record.completed);
            QCOMPARE(record.progress,
                     (QStringList{"x.jpg (1 of 3)", "y.jpg (2 of 3)", "z.jpg (3 of 3)", "Idle"}));
            const QList<std::pair<int, QString>> statuses{
                {0, BatchEngine::ReadingMessage},      {0, BatchEngine::WatermarkingMessage},
                {0, BatchEngine::WritingMessage},      {1, BatchEngine::ReadingMessage},
                {1, record.statuses.value(4).second},  {2, BatchEngine::ReadingMessage},
                {2, BatchEngine::WatermarkingMessage}, {2, BatchEngine::WritingMessage}};
            QCOMPARE(record.statuses, statuses);
            // The reason follows on the same line.
            QVERIFY2(record.statuses.value(4).second.startsWith(BatchEngine::CantReadMessage +
                                                                QLatin1Char(' ')),
                     qPrintable(record.statuses.value(4).second));
            // Nothing but the outputs: no temporary files left behind.
            QCOMPARE(QDir(m_out).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
                     (QStringList{"trip001.jpeg", "trip003.jpeg"}));
            QCOMPARE(m_options->lastValue(), 1);
        }
    }

    void stopFinishesCurrentFileOnly()
    {
        QStringList paths;
        for (const char *name : {"1.jpg", "2.jpg", "3.jpg", "4.jpg", "5.jpg"})
            paths.append(photo(name));
        BatchEngine engine;
        // Stop is pressed while file 2 is being processed.
        connect(
            &engine, &BatchEngine::statusChanged, &engine,
            [&engine](int index, const QString &message) {
                if (index == 1 && message == BatchEngine::WatermarkingMessage)
                    engine.stop();
            },
            Qt::DirectConnection);
        QTest::ignoreMessage(QtInfoMsg, "Thread start");
        QTest::ignoreMessage(QtInfoMsg, "Thread cancelled");
        const RunRecord record = runEngine(engine, workFiles(paths), {}, m_options, 1);
        QVERIFY(!record.completed);
        QCOMPARE(filesIn(m_out), (QStringList{"1.jpeg", "2.jpeg"}));
        QCOMPARE(record.progress.last(), QStringLiteral("Idle"));
        QVERIFY(!engine.isRunning());
    }

    void workersGiveTheSameFilesAsOne()
    {
        QStringList paths;
        for (const char *name :
             {"p0.jpg", "p1.jpg", "p2.jpg", "p3.jpg", "p4.jpg", "p5.jpg", "p6.jpg"})
            paths.append(photo(name, 24, 16));
        m_options->setUseCounter(true);
        m_options->setLastValue(41);
        m_options->setCreateThumbnails(true);
        BatchEngine engine;
        QVERIFY(runEngine(engine, workFiles(paths), {std::make_shared<Overlay>()}, m_options, 1)
                    .completed);
        const QStringList one = filesIn(m_out);
        QCOMPARE(one.size(), 7);
        QCOMPARE(one.first(), QStringLiteral("p000041.jpeg"));
        m_options->setFolder(m_out + QStringLiteral("3"));
        QVERIFY(runEngine(engine, workFiles(paths), {std::make_shared<Overlay>()}, m_options, 3)
                    .completed);
        QCOMPARE(filesIn(m_out + QStringLiteral("3")), one);
        QCOMPARE(filesIn(m_out + QStringLiteral("3/thumbs")), one);
    }

    void fittedRunLooksLikeFullSizeFitted_data()
    {
        QTest::addColumn<QSize>("box");
        // 1200 x 800 is decoded at an eighth for 150 x 100, at a quarter for 300 x 250.
        QTest::newRow("eighth") << QSize(150, 100);
        QTest::newRow("quarter") << QSize(300, 250);
    }

    void fittedRunLooksLikeFullSizeFitted()
    {
        // A photo that is only written small is decoded small; the watermarks must still land
        // where, and as large as, they would on the full photo.
        QFETCH(QSize, box);
        QImage gradient(1200, 800, QImage::Format_RGB32);
        for (int y = 0; y < gradient.height(); ++y)
            for (int x = 0; x < gradient.width(); ++x)
                gradient.setPixel(x, y, qRgb(x * 255 / 1200, y * 255 / 800, 128));
        const QString path = m_in + QStringLiteral("/grad.jpg");
        QVERIFY(gradient.save(path, "jpeg", 95));
        auto text = std::make_shared<Overlay>();
        text->setText(QStringLiteral("INKVEIL"));
        text->setPointSize(160);
        text->setRotation(45);
        text->setPosition(4);
        text->setShow(true);
        text->setExtend(true);
        text->setBgColor(QColor(255, 255, 0, 128));
        auto picture = std::make_shared<Overlay>();
        picture->setFilePath(photo("mark.png", 100, 60, Qt::red));
        picture->setWidth(100);
        picture->setHeight(60);
        picture->setImgRotation(90);
        picture->setPosition(0);
        const OverlayList overlays{text, picture};

        m_options->setFileFormat(QStringLiteral("png"));
        m_options->setResize(true);
        m_options->setWidth(box.width());
        m_options->setHeight(box.height());
        BatchEngine engine;
        const auto result =
            engine.processSingleFile(std::make_shared<WorkFile>(path), overlays, *m_options);
        QVERIFY2(result.ok(), qPrintable(result.failure));
        const QImage written = QImage(result.outputPath).convertToFormat(QImage::Format_RGB32);

        Stamper stamper;
        const QImage reference =
            ImageToolkit::imageFromResizing(
                stamper.watermark(std::make_shared<WorkFile>(path), overlays)->image, box.width(),
                box.height())
                .convertToFormat(QImage::Format_RGB32);
        QCOMPARE(written.size(), reference.size());
        // Only antialiased edges may differ (text shrunk on its own is averaged over a grid of
        // its own), and by little on average.
        qint64 total = 0;
        int farOff = 0;
        for (int y = 0; y < written.height(); ++y) {
            for (int x = 0; x < written.width(); ++x) {
                const QRgb a = written.pixel(x, y);
                const QRgb b = reference.pixel(x, y);
                const int red = std::abs(qRed(a) - qRed(b));
                const int green = std::abs(qGreen(a) - qGreen(b));
                const int blue = std::abs(qBlue(a) - qBlue(b));
                total += red + green + blue;
                farOff += std::max({red, green, blue}) > 32 ? 1 : 0;
            }
        }
        const int pixels = written.width() * written.height();
        const double mean = double(total) / (3.0 * pixels);
        QVERIFY2(mean < 1.5 && farOff < pixels / 100,
                 qPrintable(QStringLiteral("mean %1, %2 pixels far off").arg(mean).arg(farOff)));
    }

    // A photo on which no watermark of the batch would show is not written; the summary says
    // so beforehand when it can tell without the photos.
    void blankWatermarks_data()
    {
        QTest::addColumn<QString>("blank");
        QTest::addColumn<bool>("withVisible");
        QTest::addColumn<bool>("noted");
        QTest::newRow("empty text") << "empty" << false << true;
        QTest::newRow("spaces and line breaks") << "spaces" << false << true;
        QTest::newRow("fully transparent text, no band") << "transparent" << false << true;
        QTest::newRow("turned off") << "off" << false << true;
        QTest::newRow("picture deleted after choosing") << "deleted" << false << true;
        QTest::newRow("placeholder empty on this photo") << "placeholder" << false << false;
        QTest::newRow("one visible beside a blank one") << "deleted" << true << false;
    }

    void blankWatermarks()
    {
        QFETCH(QString, blank);
        QFETCH(bool, withVisible);
        QFETCH(bool, noted);
        auto mark = std::make_shared<Overlay>();
        mark->setText(QStringLiteral("INKVEIL"));
        if (blank == QLatin1String("empty"))
            mark->setText(QString());
        else if (blank == QLatin1String("spaces"))
            mark->setText(QStringLiteral("  \n "));
        else if (blank == QLatin1String("transparent")) {
            mark->setAlpha(0.0f);
            mark->setShow(false); // no band either
        } else if (blank == QLatin1String("off"))
            mark->setUse(false);
        else if (blank == QLatin1String("placeholder"))
            mark->setText(QStringLiteral("{EXIF_MAKE}"));
        else if (blank == QLatin1String("deleted")) {
            mark->setFilePath(photo("logo.png", 20, 10, Qt::red));
            QVERIFY(QFile::remove(mark->filePath()));
        }
        OverlayList overlays{mark};
        if (withVisible) {
            overlays.append(std::make_shared<Overlay>());
            overlays.last()->setText(QStringLiteral("INKVEIL"));
        }
        const QString source = photo("a.png", 64, 48);
        m_options->setFileFormat(QStringLiteral("png"));
        const WorkFileList files = workFiles({source});
        QCOMPARE(
            SummaryText::warnings(files, overlays, *m_options).join(' ').contains("No watermark"),
            noted);
        BatchEngine engine;
        const auto result = engine.processSingleFile(files.first(), overlays, *m_options);
        QCOMPARE(result.failure, withVisible ? QString() : BatchEngine::NoWatermarkMessage);
        QCOMPARE(QFileInfo::exists(m_out + QStringLiteral("/a.png")), withVisible);
    }

    void writeFailures_data()
    {
        QTest::addColumn<QString>("folder");
        QTest::addColumn<bool>("folderCreate");
        QTest::addColumn<QString>("failure");
        QTest::newRow("missing folder made") << "new" << true << QString();
        QTest::newRow("missing folder, creation off")
            << "new" << false << BatchEngine::CantWriteMessage;
        QTest::newRow("a file where the folder should be")
            << "blocker" << true << BatchEngine::CantWriteMessage;
        // The output folder is the source folder, reached through another spelling.
        QTest::newRow("would replace a source")
            << "../in/" << true << BatchEngine::WouldReplaceSourceMessage;
    }

    void writeFailures()
    {
        QFETCH(QString, folder);
        QFETCH(bool, folderCreate);
        QFETCH(QString, failure);
        QVERIFY(writeFile(m_in + QStringLiteral("/blocker"), {}));
        const QStringList sources{photo("a.jpg"), photo("b.jpg")};
        const QByteArray before = readFile(sources.first());
        m_options->setFolder(m_in + QLatin1Char('/') + folder);
        m_options->setFolderCreate(folderCreate);
        m_options->setFileFormat(QStringLiteral("jpg"));
        // Said before the run: photos that would land on themselves are skipped, not replaced.
        const QString notes = SummaryText::warnings(workFiles(sources), {}, *m_options).join(' ');
        QCOMPARE(notes.contains("2 photos will be skipped: their outputs would replace them"),
                 failure == BatchEngine::WouldReplaceSourceMessage);
        QVERIFY(!notes.contains("will be replaced"));
        BatchEngine engine;
        const RunRecord record = runEngine(engine, workFiles(sources), {}, m_options, 1);
        QVERIFY(record.completed);
        QCOMPARE(readFile(sources.first()), before);
        if (failure.isEmpty())
            QCOMPARE(filesIn(m_options->folder()), (QStringList{"a.jpg", "b.jpg"}));
        // Each failing file reports it and the run goes on to the next.
        for (int index : {0, 1})
            QCOMPARE(record.statuses.count({index, failure}), failure.isEmpty() ? 0 : 1);
    }

    void commandLine_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("exitCode");
        // "%in" and "%out" stand for the folders; photos are numbered in name order (b, then IMG).
        QTest::addColumn<QStringList>("outLines");
        QTest::addColumn<QStringList>("written");
        const QStringList none;
        QTest::newRow("dry run") << QStringList{"--dry-run", "--output", "%out", "%in"} << 0
                                 << QStringList{"%in/b.png -> %out/b00007.jpeg",
                                                "  thumbnail -> %out/thumbs/b00007.jpeg",
                                                "%in/IMG_0042.JPG -> %out/IMG_004200008.jpeg",
                                                "  thumbnail -> %out/thumbs/IMG_004200008.jpeg"}
                                 << none;
        QTest::newRow("dry run, resized")
            << QStringList{"--dry-run", "--resize", "long:60", "--output", "%out", "%in/b.png"} << 0
            << QStringList{"%in/b.png -> %out/b00007.jpeg",
                           "  thumbnail -> %out/thumbs/b00007.jpeg",
                           "  Size: 30 × 20 px. → 60 × 40 px."}
            << none;
        QTest::newRow("dry run, never enlarged")
            << QStringList{"--dry-run", "--resize", "mp:1",     "--never-enlarge",
                           "--output",  "%out",     "%in/b.png"}
            << 0
            << QStringList{"%in/b.png -> %out/b00007.jpeg",
                           "  thumbnail -> %out/thumbs/b00007.jpeg", "  Size: 30 × 20 px."}
            << none;
        for (const char *resize :
             {"long:0", "short:-5", "fit:10", "percent:1001", "mp:x", "edge:5"})
            QTest::addRow("resize %s", resize)
                << QStringList{"--resize", resize, "--output", "%out", "%in"} << 2 << none << none;
        QTest::newRow("exif") << QStringList{"--exif", "%in/b.png"} << 0
                              << QStringList{"%in/b.png", "  No EXIF data found"} << none;
        QTest::newRow("run with overrides")
            << QStringList{"--output", "%out", "--format", "png", "--jobs", "2", "%in"} << 0 << none
            << QStringList{"IMG_004200008.png", "b00007.png", "thumbs"};
        QTest::newRow("bad format")
            << QStringList{"--format", "jpeg2000", "%in"} << 2 << none << none;
        QTest::newRow("bad quality") << QStringList{"--quality", "101", "%in"} << 2 << none << none;
        QTest::newRow("bad metadata")
            << QStringList{"--metadata", "some", "%in"} << 2 << none << none;
        QTest::newRow("no paths") << QStringList{"--output", "%out"} << 2 << none << none;
        QTest::newRow("no output folder") << QStringList{"%in"} << 2 << none << none;
        QTest::newRow("a photo fails")
            << QStringList{"--output", "%out", "%in", "%in/../broken.jpg"} << 1 << none
            << QStringList{"IMG_004200008.jpeg", "b00007.jpeg", "thumbs"};
        // A part keeps the number and name the photo has in the whole batch.
        QTest::newRow("dry run of part 2 of 2")
            << QStringList{"--dry-run", "--shard", "2/2", "--output", "%out", "%in"} << 0
            << QStringList{"%in/IMG_0042.JPG -> %out/IMG_004200008.jpeg",
                           "  thumbnail -> %out/thumbs/IMG_004200008.jpeg"}
            << none;
        for (const char *shard : {"0/3", "4/3", "1/0", "2", "a/b", "1/2/3"})
            QTest::addRow("shard %s", shard)
                << QStringList{"--shard", shard, "--output", "%out", "%in"} << 2 << none << none;
        QTest::newRow("shard keeping both")
            << QStringList{"--shard", "1/2", "--existing", "rename", "--output", "%out", "%in"} << 2
            << none << none;
        QTest::newRow("report over a photo")
            << QStringList{"--report", "%in/b.png", "--output", "%out", "%in"} << 2 << none << none;
        QTest::newRow("report over another part's thumbnail")
            << QStringList{"--shard",  "1/2",  "--report", "%out/thumbs/IMG_004200008.jpeg",
                           "--output", "%out", "%in"}
            << 2 << none << none;
    }

    void commandLine()
    {
        QFETCH(QStringList, arguments);
        QFETCH(int, exitCode);
        QFETCH(QStringList, outLines);
        QFETCH(QStringList, written);
        photo("IMG_0042.JPG", 30, 20);
        photo("b.png", 30, 20);
        QVERIFY(writeFile(m_in + QStringLiteral("/../broken.jpg"), "broken"));

        // The saved state numbers from 7 and makes thumbnails; it has no output folder.
        OutputOptions saved;
        saved.setUseCounter(true);
        saved.setLastValue(7);
        saved.setCreateThumbnails(true);
        const QByteArray state = StateFile::encode({std::make_shared<Overlay>()}, saved);
        const QString stateFile = m_in + QStringLiteral("/../state.bin");
        QVERIFY(writeFile(stateFile, state));

        const QString in = QFileInfo(m_in).canonicalFilePath();
        const QString out = QFileInfo(m_in).path() + QStringLiteral("/out");
        const auto expand = [&](QStringList list) {
            for (QString &item : list)
                item.replace(QLatin1String("%in"), in).replace(QLatin1String("%out"), out);
            return list;
        };
        const ToolRun run =
            runTool(QStringList{QStringLiteral("--state"), stateFile} + expand(arguments));
        QCOMPARE(run.exitCode, exitCode);
        if (!outLines.isEmpty())
            QCOMPARE(run.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts), expand(outLines));
        QCOMPARE(filesIn(out) + QDir(out).entryList(QDir::Dirs | QDir::NoDotAndDotDot), written);
        if (exitCode == 2)
            QVERIFY(run.err.startsWith(QStringLiteral("inkveil-batch: ")));
        // The saved state is never changed by the command.
        QCOMPARE(readFile(stateFile), state);
    }

    void presets()
    {
        photo("IMG_0042.JPG", 30, 20);
        m_options->setFileFormat(QStringLiteral("webp"));
        QVERIFY(Presets::save(QStringLiteral("Web"), {std::make_shared<Overlay>()}, *m_options));
        QVERIFY(Presets::save(QStringLiteral("Print"), {}, OutputOptions()));
        const ToolRun listed = runTool({QStringLiteral("--list-presets")});
        QCOMPARE(listed.exitCode, 0);
        QCOMPARE(listed.out, QStringLiteral("Print\nWeb\n"));
        const ToolRun unknown =
            runTool({QStringLiteral("--preset"), QStringLiteral("Studio"), m_in});
        QCOMPARE(unknown.exitCode, 2);
        QCOMPARE(unknown.err, QStringLiteral("inkveil-batch: No preset named \"Studio\"; known "
                                             "presets:\n  Print\n  Web\n"));
        QCOMPARE(runTool({QStringLiteral("--preset"), QStringLiteral("Web"), m_in}).exitCode, 0);
        QCOMPARE(filesIn(m_out), QStringList{QStringLiteral("IMG_0042.webp")});
    }

private:
    // Writes a photo of one colour into the input folder.
    QString photo(const char *name, int width = 8, int height = 8, QColor color = Qt::white,
                  int dpi = 72) const
    {
        return writePhoto(m_in + QLatin1Char('/') + QLatin1String(name), {width, height}, color,
                          dpi);
    }

    QTemporaryDir m_dir;
    QString m_in;
    QString m_out;
    std::shared_ptr<OutputOptions> m_options;
};

QTEST_MAIN(TestBatch)
#include "tst_batch.moc"
