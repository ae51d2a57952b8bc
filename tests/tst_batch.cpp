#include "app/StateFile.h"
#include "batch/BatchCommand.h"
#include "batch/BatchEngine.h"

#include <QDir>
#include <QEventLoop>
#include <QTimer>
#include <QFile>
#include <QImageReader>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTextStream>

namespace {

QString writePhoto(const QString &path, int width, int height, QColor color, int dpi = 72)
{
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(color);
    const int dotsPerMetre = qRound(dpi / 0.0254);
    image.setDotsPerMeterX(dotsPerMetre);
    image.setDotsPerMeterY(dotsPerMetre);
    QDir().mkpath(QFileInfo(path).path());
    image.save(path, nullptr, 95);
    return path;
}

// A photo-covering picture watermark: thumbnails then tell source from result by colour.
OverlayList coveringOverlay(const QString &dir, int width, int height)
{
    const QString path = writePhoto(dir + QStringLiteral("/mark.png"), width, height, Qt::red);
    auto overlay = std::make_shared<Overlay>();
    overlay->setFilePath(path);
    overlay->setWidth(static_cast<qint16>(width));
    overlay->setHeight(static_cast<qint16>(height));
    overlay->setPosition(0);
    overlay->setShow(false);
    return {overlay};
}

WorkFileList workFiles(const QStringList &paths)
{
    WorkFileList files;
    for (const QString &path : paths)
        files.append(std::make_shared<WorkFile>(path));
    return files;
}

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
    void initTestCase();
    void init();
    void runWritesEveryFileWithProgressInOrder();
    void encoders_data();
    void encoders();
    void resizeAndResolution_data();
    void resizeAndResolution();
    void thumbnails_data();
    void thumbnails();
    void counterNumbersAndIsRestored();
    void unreadableFileStillAdvancesCounter();
    void stopFinishesCurrentFileOnly();
    void workersGiveTheSameFilesAsOne();
    void neverReplacesASource();
    void writeFailures_data();
    void writeFailures();
    void noFolderDoesNotStart();
    void commandLine_data();
    void commandLine();

private:
    QTemporaryDir m_dir;
    QString m_in;
    QString m_out;
    std::shared_ptr<OutputOptions> m_options;
};

void TestBatch::initTestCase()
{
    QVERIFY(m_dir.isValid());
    qputenv("XDG_DATA_HOME", m_dir.filePath(QStringLiteral("data")).toLocal8Bit());
}

void TestBatch::init()
{
    const QString tag = QString::fromLatin1(QTest::currentTestFunction()) +
                        QString::fromLatin1(QTest::currentDataTag());
    m_in = m_dir.filePath(tag + QStringLiteral("/in"));
    m_out = m_dir.filePath(tag + QStringLiteral("/out"));
    QDir().mkpath(m_in);
    m_options = std::make_shared<OutputOptions>();
    m_options->setFolder(m_out);
}

void TestBatch::runWritesEveryFileWithProgressInOrder()
{
    const auto files = workFiles({writePhoto(m_in + QStringLiteral("/a.jpg"), 40, 30, Qt::blue),
                                  writePhoto(m_in + QStringLiteral("/b.jpg"), 40, 30, Qt::blue),
                                  writePhoto(m_in + QStringLiteral("/c.jpg"), 40, 30, Qt::blue)});
    BatchEngine engine;
    QTest::ignoreMessage(QtInfoMsg, "Thread start");
    QTest::ignoreMessage(QtInfoMsg, "Thread completed");
    const RunRecord record = runEngine(engine, files, {std::make_shared<Overlay>()}, m_options, 1);
    QVERIFY(record.completed);
    QCOMPARE(record.progress,
             (QStringList{"a.jpg (1 of 3)", "b.jpg (2 of 3)", "c.jpg (3 of 3)", "Idle"}));
    QCOMPARE(filesIn(m_out), (QStringList{"a.jpeg", "b.jpeg", "c.jpeg"}));
    const QStringList perFile{BatchEngine::ReadingMessage, BatchEngine::WatermarkingMessage,
                              BatchEngine::WritingMessage};
    QCOMPARE(record.statuses.size(), 9);
    for (int i = 0; i < 9; ++i) {
        QCOMPARE(record.statuses.at(i).first, i / 3);
        QCOMPARE(record.statuses.at(i).second, perFile.at(i % 3));
    }
    // Nothing but the outputs: no temporary files left behind.
    QCOMPARE(QDir(m_out).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden).size(),
             3);
}

void TestBatch::encoders_data()
{
    QTest::addColumn<QString>("format");
    QTest::addColumn<QByteArray>("readerFormat");
    QTest::newRow("jpeg") << "jpeg" << QByteArray("jpeg");
    QTest::newRow("jpg") << "jpg" << QByteArray("jpeg");
    QTest::newRow("tiff") << "tiff" << QByteArray("tiff");
    QTest::newRow("tif") << "tif" << QByteArray("tiff");
    QTest::newRow("png") << "png" << QByteArray("png");
    QTest::newRow("gif") << "gif" << QByteArray("gif");
    QTest::newRow("bmp") << "bmp" << QByteArray("bmp");
    QTest::newRow("unknown") << "webp2" << QByteArray();
}

void TestBatch::encoders()
{
    QFETCH(QString, format);
    QFETCH(QByteArray, readerFormat);
    const auto file = std::make_shared<WorkFile>(
        writePhoto(m_in + QStringLiteral("/IMG_1.JPG"), 48, 32, Qt::darkGreen));
    m_options->setFileFormat(format);
    BatchEngine engine;
    QSignalSpy status(&engine, &BatchEngine::statusChanged);
    const auto result = engine.processSingleFile(file, {std::make_shared<Overlay>()}, *m_options);
    const QString expected = m_out + QStringLiteral("/IMG_1.") + format;
    if (readerFormat.isEmpty()) {
        // No encoder: nothing written and no message.
        QVERIFY(result.ok());
        QVERIFY(result.outputPath.isEmpty());
        QVERIFY(!QFile::exists(expected));
        QCOMPARE(status.last().at(1).toString(), BatchEngine::WatermarkingMessage);
        return;
    }
    QCOMPARE(result.outputPath, expected);
    QImageReader reader(expected);
    QCOMPARE(reader.format(), readerFormat);
    QCOMPARE(reader.size(), QSize(48, 32));
}

void TestBatch::resizeAndResolution_data()
{
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("height");
    QTest::addColumn<int>("dpi");
    QTest::addColumn<bool>("resize");
    QTest::addColumn<QSize>("expectedSize");
    QTest::addColumn<int>("expectedDpi");
    QTest::newRow("keeps size and resolution")
        << 300 << 200 << 300 << false << QSize(300, 200) << 300;
    // 300 x 200 into 64 x 48 is 64 x 42.67; the resolution drops to keep the physical size.
    QTest::newRow("landscape fitted") << 300 << 200 << 300 << true << QSize(64, 43) << 64;
    QTest::newRow("portrait fitted") << 200 << 300 << 72 << true << QSize(32, 48) << 12;
    QTest::newRow("small enlarged") << 20 << 10 << 72 << true << QSize(64, 32) << 230;
}

void TestBatch::resizeAndResolution()
{
    QFETCH(int, width);
    QFETCH(int, height);
    QFETCH(int, dpi);
    QFETCH(bool, resize);
    QFETCH(QSize, expectedSize);
    QFETCH(int, expectedDpi);
    const auto file = std::make_shared<WorkFile>(
        writePhoto(m_in + QStringLiteral("/p.png"), width, height, Qt::gray, dpi));
    m_options->setFileFormat(QStringLiteral("png"));
    m_options->setResize(resize);
    m_options->setWidth(64);
    m_options->setHeight(48);
    BatchEngine engine;
    const auto result = engine.processSingleFile(file, {}, *m_options);
    QVERIFY2(result.ok(), qPrintable(result.failure));
    const QImage written(result.outputPath);
    QCOMPARE(written.size(), expectedSize);
    QCOMPARE(qRound(written.dotsPerMeterX() * 0.0254), expectedDpi);
    QCOMPARE(file->originalSize().toSize(), QSize(width * 72 / dpi, height * 72 / dpi));
}

void TestBatch::thumbnails_data()
{
    QTest::addColumn<int>("fitIndex");
    QTest::addColumn<int>("sourceIndex");
    QTest::addColumn<int>("edge");
    QTest::addColumn<QColor>("color");
    QTest::newRow("from the source") << 0 << 0 << 32 << QColor(Qt::blue);
    QTest::newRow("from the result") << 0 << 1 << 32 << QColor(Qt::red);
    QTest::newRow("edge 0 writes none") << 1 << 0 << 0 << QColor();
}

void TestBatch::thumbnails()
{
    QFETCH(int, fitIndex);
    QFETCH(int, sourceIndex);
    QFETCH(int, edge);
    QFETCH(QColor, color);
    const auto file =
        std::make_shared<WorkFile>(writePhoto(m_in + QStringLiteral("/t.jpg"), 90, 60, Qt::blue));
    m_options->setFileFormat(QStringLiteral("png"));
    m_options->setCreateThumbnails(true);
    m_options->setFitIndex(fitIndex);
    m_options->setSourceIndex(sourceIndex);
    BatchEngine engine;
    QSignalSpy status(&engine, &BatchEngine::statusChanged);
    const auto result = engine.processSingleFile(file, coveringOverlay(m_in, 90, 60), *m_options);
    QVERIFY(result.ok());
    const QString thumbPath = m_out + QStringLiteral("/thumbs/t.png");
    if (edge == 0) {
        QVERIFY(result.thumbnailPath.isEmpty());
        QVERIFY(!QFile::exists(thumbPath));
        QCOMPARE(status.last().at(1).toString(), BatchEngine::WritingMessage);
        return;
    }
    QCOMPARE(result.thumbnailPath, thumbPath);
    QCOMPARE(status.last().at(1).toString(), BatchEngine::WritingThumbnailMessage);
    const QImage thumb(thumbPath);
    QCOMPARE(thumb.size(), QSize(32, 21));
    const QColor sample = thumb.pixelColor(16, 10);
    QVERIFY2(qAbs(sample.red() - color.red()) < 40 && qAbs(sample.blue() - color.blue()) < 40,
             qPrintable(sample.name()));
}

void TestBatch::counterNumbersAndIsRestored()
{
    QStringList paths;
    for (const char *name : {"x.jpg", "y.jpg", "z.jpg"})
        paths.append(writePhoto(m_in + QLatin1Char('/') + QLatin1String(name), 8, 8, Qt::white));
    m_options->setUseCounter(true);
    m_options->setDigits(3);
    m_options->setBaseIndex(1);
    m_options->setCustom(QStringLiteral("trip"));
    for (int run = 0; run < 2; ++run) {
        BatchEngine engine;
        QVERIFY(runEngine(engine, workFiles(paths), {}, m_options, 1).completed);
        QCOMPARE(filesIn(m_out), (QStringList{"trip001.jpeg", "trip002.jpeg", "trip003.jpeg"}));
        QCOMPARE(m_options->lastValue(), 1);
    }
}

void TestBatch::unreadableFileStillAdvancesCounter()
{
    const QString broken = m_in + QStringLiteral("/b.jpg");
    QFile file(broken);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("\xFF\xD8\xFF\xE0 not really a photo");
    file.close();
    const auto files =
        workFiles({writePhoto(m_in + QStringLiteral("/a.jpg"), 8, 8, Qt::white), broken,
                   writePhoto(m_in + QStringLiteral("/c.jpg"), 8, 8, Qt::white)});
    m_options->setUseCounter(true);
    m_options->setDigits(1);
    BatchEngine engine;
    const RunRecord record = runEngine(engine, files, {}, m_options, 1);
    QVERIFY(record.completed);
    QCOMPARE(filesIn(m_out), (QStringList{"a1.jpeg", "c3.jpeg"}));
    QVERIFY(record.statuses.contains(std::pair<int, QString>(1, BatchEngine::CantReadMessage)));
}

void TestBatch::stopFinishesCurrentFileOnly()
{
    QStringList paths;
    for (int i = 1; i <= 5; ++i)
        paths.append(writePhoto(m_in + QStringLiteral("/%1.jpg").arg(i), 16, 16, Qt::white));
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

void TestBatch::workersGiveTheSameFilesAsOne()
{
    QStringList paths;
    for (int i = 0; i < 7; ++i)
        paths.append(writePhoto(m_in + QStringLiteral("/p%1.jpg").arg(i), 24, 16, Qt::white));
    m_options->setUseCounter(true);
    m_options->setLastValue(41);
    m_options->setCreateThumbnails(true);
    BatchEngine engine;
    QVERIFY(
        runEngine(engine, workFiles(paths), {std::make_shared<Overlay>()}, m_options, 1).completed);
    const QStringList one = filesIn(m_out);
    const QStringList oneThumbs = filesIn(m_out + QStringLiteral("/thumbs"));
    m_options->setFolder(m_out + QStringLiteral("3"));
    QVERIFY(
        runEngine(engine, workFiles(paths), {std::make_shared<Overlay>()}, m_options, 3).completed);
    QCOMPARE(filesIn(m_out + QStringLiteral("3")), one);
    QCOMPARE(filesIn(m_out + QStringLiteral("3/thumbs")), oneThumbs);
    QCOMPARE(one.first(), QStringLiteral("p000041.jpeg"));
    QCOMPARE(one.size(), 7);
}

void TestBatch::neverReplacesASource()
{
    const QString source = writePhoto(m_in + QStringLiteral("/a.png"), 20, 20, Qt::blue);
    const QByteArray before = [&] {
        QFile f(source);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }();
    // The output folder is the source folder, reached through another spelling.
    m_options->setFolder(m_in + QStringLiteral("/../in/"));
    m_options->setFileFormat(QStringLiteral("png"));
    BatchEngine engine;
    const auto result = engine.processSingleFile(std::make_shared<WorkFile>(source),
                                                 coveringOverlay(m_dir.path(), 20, 20), *m_options);
    QCOMPARE(result.failure, BatchEngine::WouldReplaceSourceMessage);
    QFile after(source);
    QVERIFY(after.open(QIODevice::ReadOnly));
    QCOMPARE(after.readAll(), before);
}

void TestBatch::writeFailures_data()
{
    QTest::addColumn<QString>("folder");
    QTest::addColumn<bool>("folderCreate");
    QTest::addColumn<bool>("written");
    QTest::newRow("missing folder made") << "new" << true << true;
    QTest::newRow("missing folder, creation off") << "new" << false << false;
    QTest::newRow("a file where the folder should be") << "blocker" << true << false;
}

void TestBatch::writeFailures()
{
    QFETCH(QString, folder);
    QFETCH(bool, folderCreate);
    QFETCH(bool, written);
    QFile blocker(m_in + QStringLiteral("/blocker"));
    QVERIFY(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    m_options->setFolder(m_in + QLatin1Char('/') + folder);
    m_options->setFolderCreate(folderCreate);
    const auto files = workFiles({writePhoto(m_in + QStringLiteral("/a.jpg"), 8, 8, Qt::white),
                                  writePhoto(m_in + QStringLiteral("/b.jpg"), 8, 8, Qt::white)});
    BatchEngine engine;
    const RunRecord record = runEngine(engine, files, {}, m_options, 1);
    QVERIFY(record.completed);
    if (written) {
        QCOMPARE(filesIn(m_options->folder()).size(), 2);
    } else {
        // Each file reports the failure and the run goes on to the next.
        QCOMPARE(record.statuses.count({0, BatchEngine::CantWriteMessage}), 1);
        QCOMPARE(record.statuses.count({1, BatchEngine::CantWriteMessage}), 1);
    }
}

void TestBatch::noFolderDoesNotStart()
{
    m_options->setFolder(QString());
    BatchEngine engine;
    QString message;
    QVERIFY(
        !engine.start(workFiles({m_in + QStringLiteral("/a.jpg")}), {}, m_options, 1, &message));
    QCOMPARE(message, BatchEngine::NoFolderMessage);
    QVERIFY(!engine.isRunning());
}

void TestBatch::commandLine_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("exitCode");
    // "%in" and "%out" stand for the folders; photos are numbered in name order (b, then IMG).
    QTest::addColumn<QStringList>("outLines");
    QTest::addColumn<QStringList>("written");

    QTest::newRow("dry run") << QStringList{"--dry-run", "--output", "%out", "%in"} << 0
                             << QStringList{"%in/b.png -> %out/b00007.jpeg",
                                            "  thumbnail -> %out/thumbs/b00007.jpeg",
                                            "%in/IMG_0042.JPG -> %out/IMG_004200008.jpeg",
                                            "  thumbnail -> %out/thumbs/IMG_004200008.jpeg"}
                             << QStringList{};
    QTest::newRow("exif") << QStringList{"--exif", "%in/b.png"} << 0
                          << QStringList{"%in/b.png", "  No EXIF data found"} << QStringList{};
    QTest::newRow("run with overrides")
        << QStringList{"--output", "%out", "--format", "png", "--jobs", "2", "%in"} << 0
        << QStringList{} << QStringList{"IMG_004200008.png", "b00007.png", "thumbs"};
    QTest::newRow("bad format") << QStringList{"--format", "jpeg2000", "%in"} << 2 << QStringList{}
                                << QStringList{};
    QTest::newRow("bad quality") << QStringList{"--quality", "101", "%in"} << 2 << QStringList{}
                                 << QStringList{};
    QTest::newRow("no paths") << QStringList{"--output", "%out"} << 2 << QStringList{}
                              << QStringList{};
    QTest::newRow("no output folder") << QStringList{"%in"} << 2 << QStringList{} << QStringList{};
    QTest::newRow("a photo fails")
        << QStringList{"--output", "%out", "%in", "%in/../broken.jpg"} << 1 << QStringList{}
        << QStringList{"IMG_004200008.jpeg", "b00007.jpeg", "thumbs"};
}

void TestBatch::commandLine()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, exitCode);
    QFETCH(QStringList, outLines);
    QFETCH(QStringList, written);
    writePhoto(m_in + QStringLiteral("/IMG_0042.JPG"), 30, 20, Qt::white);
    writePhoto(m_in + QStringLiteral("/b.png"), 30, 20, Qt::white);
    QFile broken(m_in + QStringLiteral("/../broken.jpg"));
    QVERIFY(broken.open(QIODevice::WriteOnly));
    broken.write("broken");
    broken.close();

    // The saved state numbers from 7 and makes thumbnails; it has no output folder.
    OutputOptions saved;
    saved.setUseCounter(true);
    saved.setLastValue(7);
    saved.setCreateThumbnails(true);
    const QString stateFile = m_dir.filePath(QStringLiteral("state-%1.bin"))
                                  .arg(QString::fromLatin1(QTest::currentDataTag()).size());
    QFile state(stateFile);
    QVERIFY(state.open(QIODevice::WriteOnly));
    state.write(StateFile::encode({std::make_shared<Overlay>()}, saved));
    state.close();

    const QString in = QFileInfo(m_in).canonicalFilePath();
    const QString out = QFileInfo(m_in).path() + QStringLiteral("/out");
    QStringList argv{QStringLiteral("inkveil-batch"), QStringLiteral("--state"), stateFile};
    for (QString argument : arguments)
        argv.append(argument.replace(QLatin1String("%in"), in).replace(QLatin1String("%out"), out));
    QString outText;
    QString errText;
    QTextStream outStream(&outText);
    QTextStream errStream(&errText);
    QCOMPARE(BatchCommand::run(argv, outStream, errStream, false), exitCode);
    outStream.flush();
    if (!outLines.isEmpty()) {
        QStringList expected;
        for (QString line : outLines)
            expected.append(
                line.replace(QLatin1String("%in"), in).replace(QLatin1String("%out"), out));
        QCOMPARE(outText.split(QLatin1Char('\n'), Qt::SkipEmptyParts), expected);
    }
    QCOMPARE(filesIn(out) + QDir(out).entryList(QDir::Dirs | QDir::NoDotAndDotDot),
             written.isEmpty() ? QStringList{} : written);
    if (exitCode == 2)
        QVERIFY(errText.startsWith(QStringLiteral("inkveil-batch: ")));
    // The saved state is never changed by the command.
    QFile after(stateFile);
    QVERIFY(after.open(QIODevice::ReadOnly));
    QCOMPARE(after.readAll(), StateFile::encode({std::make_shared<Overlay>()}, saved));
}

QTEST_MAIN(TestBatch)
#include "tst_batch.moc"
