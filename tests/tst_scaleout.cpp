// SPDX-FileCopyrightText: 2026 Tessaly
// SPDX-License-Identifier: GPL-3.0-or-later

#include "TestSupport.h"
#include "base/SafeWrite.h"
#include "batch/BatchEngine.h"
#include "batch/BatchTally.h"
#include "batch/RunReport.h"
#include "cli/BatchCommand.h"
#include "session/StateFile.h"

#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QTextStream>

#include <cerrno>
#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace inkveil;

namespace {

// Every file under `dir`, by its path inside it.
QMap<QString, QByteArray> tree(const QString &dir)
{
    QMap<QString, QByteArray> files;
    QDirIterator it(dir, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        files.insert(QDir(dir).relativeFilePath(path), readFile(path));
    }
    return files;
}

// The report's objects, by source; fails the test on a line that is not one JSON object.
QMap<QString, QJsonObject> reportLines(const QString &path)
{
    QMap<QString, QJsonObject> lines;
    const QList<QByteArray> text = readFile(path).split('\n');
    for (const QByteArray &line : text) {
        if (line.isEmpty())
            continue;
        QJsonParseError error{};
        const QJsonDocument document = QJsonDocument::fromJson(line, &error);
        if (error.error != QJsonParseError::NoError || !document.isObject())
            qWarning("not a JSON object: %s", line.constData());
        lines.insert(document.object().value(QStringLiteral("source")).toString(),
                     document.object());
    }
    return lines;
}

} // namespace

class TestScaleOut : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        qputenv("XDG_DATA_HOME", m_dir.filePath(QStringLiteral("data")).toLocal8Bit());
    }

    void shardIndices_data()
    {
        QTest::addColumn<int>("size");
        QTest::addColumn<int>("shard");
        QTest::addColumn<int>("count");
        QTest::addColumn<QList<int>>("indices");
        QTest::newRow("whole batch") << 3 << 1 << 1 << QList<int>{0, 1, 2};
        QTest::newRow("first of three") << 7 << 1 << 3 << QList<int>{0, 3, 6};
        QTest::newRow("last of three") << 7 << 3 << 3 << QList<int>{2, 5};
        QTest::newRow("more parts than photos") << 2 << 4 << 5 << QList<int>{};
        QTest::newRow("no such part") << 5 << 4 << 3 << QList<int>{};
    }

    void shardIndices()
    {
        QFETCH(int, size);
        QFETCH(int, shard);
        QFETCH(int, count);
        QFETCH(QList<int>, indices);
        QCOMPARE(BatchEngine::shardIndices(size, shard, count), indices);
    }

    void reportLine_data()
    {
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("written");
        QTest::addColumn<QString>("thumbnail");
        QTest::addColumn<QString>("failure");
        QTest::addColumn<QByteArray>("line");
        QTest::newRow("written with a thumbnail")
            << int(BatchEngine::Status::Written) << "/o/a.jpeg"
            << "/o/thumbs/a.jpeg"
            << ""
            << QByteArray(
                   "{\"message\":\"\",\"ms\":42,\"output\":\"/o/a.jpeg\",\"source\":\"/i/a.jpg\","
                   "\"status\":\"written\",\"thumbnail\":\"/o/thumbs/a.jpeg\"}");
        // A photo not written still names where it was to go.
        QTest::newRow("failed") << int(BatchEngine::Status::Failed) << ""
                                << ""
                                << "Can't read source file. \"Quoted\"."
                                << QByteArray(
                                       "{\"message\":\"Can't read source file. \\\"Quoted\\\".\","
                                       "\"ms\":42,\"output\":\"/o/planned.jpeg\","
                                       "\"source\":\"/i/a.jpg\",\"status\":\"failed\","
                                       "\"thumbnail\":null}");
        QTest::newRow("skipped")
            << int(BatchEngine::Status::Skipped) << ""
            << ""
            << "Skipped: a file of that name exists."
            << QByteArray(
                   "{\"message\":\"Skipped: a file of that name exists.\",\"ms\":42,"
                   "\"output\":\"/o/planned.jpeg\",\"source\":\"/i/a.jpg\",\"status\":\"skipped\","
                   "\"thumbnail\":null}");
    }

    void reportLine()
    {
        QFETCH(int, status);
        QFETCH(QString, written);
        QFETCH(QString, thumbnail);
        QFETCH(QString, failure);
        QFETCH(QByteArray, line);
        BatchEngine::FileResult result;
        result.status = static_cast<BatchEngine::Status>(status);
        result.outputPath = written;
        result.thumbnailPath = thumbnail;
        result.failure = failure;
        result.ms = 42;
        QCOMPARE(
            RunReport::line(QStringLiteral("/i/a.jpg"), QStringLiteral("/o/planned.jpeg"), result),
            line);
    }

    // Each line is in the file as soon as its photo ends.
    void reportFlushesEachLine()
    {
        const QString path = m_dir.filePath(QStringLiteral("flush.jsonl"));
        RunReport report;
        QVERIFY(report.open(path));
        BatchEngine::FileResult result;
        QVERIFY(report.add(QStringLiteral("/i/a.jpg"), QStringLiteral("/o/a.jpeg"), result));
        QCOMPARE(readFile(path).count('\n'), 1);
        QVERIFY(report.add(QStringLiteral("/i/b.jpg"), QStringLiteral("/o/b.jpeg"), result));
        QCOMPARE(reportLines(path).size(), 2);
        QVERIFY(!RunReport().open(m_dir.filePath(QStringLiteral("missing/r.jsonl"))));

        // A line the disk refuses is remembered, not lost in silence.
        struct rlimit limit
        {
        };
        QCOMPARE(::getrlimit(RLIMIT_FSIZE, &limit), 0);
        const struct rlimit small
        {
            256, limit.rlim_max
        };
        const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
        QCOMPARE(::setrlimit(RLIMIT_FSIZE, &small), 0);
        const bool added =
            report.add(QStringLiteral("/i/c.jpg"), QStringLiteral("/o/c.jpeg"), result);
        ::setrlimit(RLIMIT_FSIZE, &limit);
        std::signal(SIGXFSZ, oldHandler);
        QVERIFY(!added);
        QCOMPARE(report.failure(), SafeWrite::errorText(EFBIG));
    }

    // The report never takes the place of a file the run reads, and never opens a pipe or a
    // device: each is refused before a photo is written, at once.
    void reportRefused_data()
    {
        QTest::addColumn<QString>("target");
        QTest::addColumn<QString>("reason");
        QTest::newRow("named pipe") << "pipe"
                                    << "It is a named pipe, not a file.";
        QTest::newRow("device") << "/dev/full"
                                << "It is a device, not a file.";
        QTest::newRow("state file") << "state.bin"
                                    << "which this run reads.";
        QTest::newRow("watermark picture") << "logo.png"
                                           << "which this run reads.";
        QTest::newRow("hard link to a photo") << "link"
                                              << "which this run reads.";
    }

    void reportRefused()
    {
        QFETCH(QString, target);
        QFETCH(QString, reason);
        const QString base = m_dir.filePath(QStringLiteral("refused-%1").arg(++m_count));
        QVERIFY(QDir().mkpath(base + QStringLiteral("/in")));
        const QString photo = writePhoto(base + QStringLiteral("/in/a.png"), {8, 8}, Qt::red);
        const QString logo = writePhoto(base + QStringLiteral("/logo.png"), {4, 4}, Qt::blue);
        auto overlay = std::make_shared<Overlay>();
        overlay->setFilePath(logo);
        const QString state = base + QStringLiteral("/state.bin");
        QVERIFY(writeFile(state, StateFile::encode({overlay}, OutputOptions())));
        QCOMPARE(::link(QFile::encodeName(photo).constData(),
                        QFile::encodeName(base + QStringLiteral("/link")).constData()),
                 0);
        QCOMPARE(::mkfifo(QFile::encodeName(base + QStringLiteral("/pipe")).constData(), 0600), 0);
        const QString reportPath =
            target.startsWith(QLatin1Char('/')) ? target : base + '/' + target;
        const bool regular = QFileInfo(reportPath).isFile();
        const QByteArray before = regular ? readFile(reportPath) : QByteArray();

        QElapsedTimer clock;
        clock.start();
        const ToolRun run = runTool({QStringLiteral("--state"), state, QStringLiteral("--output"),
                                     base + QStringLiteral("/out"), QStringLiteral("--report"),
                                     reportPath, base + QStringLiteral("/in")});
        QVERIFY(clock.elapsed() < 5000);
        QCOMPARE(run.exitCode, int(BatchCommand::UsageError));
        QVERIFY2(run.err.contains(reason), qPrintable(run.err));
        QVERIFY(!QFileInfo::exists(base + QStringLiteral("/out")));
        if (regular)
            QCOMPARE(readFile(reportPath), before);
    }

    void timedClosingLine_data()
    {
        QTest::addColumn<int>("written");
        QTest::addColumn<int>("total");
        QTest::addColumn<bool>("stopped");
        QTest::addColumn<qint64>("ms");
        QTest::addColumn<QString>("line");
        QTest::newRow("whole run") << 8 << 8 << false << qint64(1900)
                                   << "8 written, 0 failed, 0 skipped in 1.9 s, 4.2 photos/s";
        QTest::newRow("stopped") << 4 << 40 << true << qint64(1200)
                                 << "Stopped after 4 of 40: 4 written in 1.2 s, 3.3 photos/s";
        QTest::newRow("minutes") << 900 << 900 << false << qint64(125400)
                                 << "900 written, 0 failed, 0 skipped in 2 min 05 s, 7.2 photos/s";
        QTest::newRow("hours") << 50000 << 50000 << false << qint64(3735000)
                               << "50000 written, 0 failed, 0 skipped in 1 h 02 min, 13 photos/s";
        QTest::newRow("nothing to do") << 0 << 0 << false << qint64(0)
                                       << "0 written, 0 failed, 0 skipped in 0.0 s, 0.0 photos/s";
    }

    void timedClosingLine()
    {
        QFETCH(int, written);
        QFETCH(int, total);
        QFETCH(bool, stopped);
        QFETCH(qint64, ms);
        QFETCH(QString, line);
        BatchTally tally(total);
        for (int i = 0; i < written; ++i)
            tally.add(BatchEngine::FileResult());
        QCOMPARE(tally.closingLine(stopped, ms), line);
    }

    // The tool's report names what became of each photo: written, failed or skipped.
    void reportOfARun()
    {
        const QString in = m_dir.filePath(QStringLiteral("report/in"));
        const QString out = m_dir.filePath(QStringLiteral("report/out"));
        QVERIFY(QDir().mkpath(in) && QDir().mkpath(out));
        const QString good = writePhoto(in + QStringLiteral("/a.png"), {8, 8}, Qt::red);
        const QString kept = writePhoto(in + QStringLiteral("/b.png"), {8, 8}, Qt::green);
        const QString broken = in + QStringLiteral("/c.jpg");
        QVERIFY(writeFile(broken, "not a photo"));
        QVERIFY(writeFile(out + QStringLiteral("/b.jpeg"), "kept"));
        const QString reportPath = m_dir.filePath(QStringLiteral("report/run.jsonl"));
        const QString state = m_dir.filePath(QStringLiteral("report/state.bin"));
        QVERIFY(
            writeFile(state, StateFile::encode({std::make_shared<Overlay>()}, OutputOptions())));

        const ToolRun run = runTool({QStringLiteral("--state"), state, QStringLiteral("--output"),
                                     out, QStringLiteral("--existing"), QStringLiteral("skip"),
                                     QStringLiteral("--resize"), QStringLiteral("percent:200"),
                                     QStringLiteral("--report"), reportPath, in});
        QCOMPARE(run.exitCode, int(BatchCommand::SomeFailed));
        QVERIFY2(run.err.contains(QStringLiteral("1 written, 1 failed, 1 skipped in ")),
                 qPrintable(run.err));

        const QMap<QString, QJsonObject> lines = reportLines(reportPath);
        QCOMPARE(lines.size(), 3);
        const QString folder = QFileInfo(out).absoluteFilePath() + QLatin1Char('/');
        const struct
        {
            QString source, output, status;
            bool hasMessage;
        } expected[] = {
            {good, folder + QStringLiteral("a.jpeg"), QStringLiteral("written"), false},
            {kept, folder + QStringLiteral("b.jpeg"), QStringLiteral("skipped"), true},
            {broken, folder + QStringLiteral("c.jpeg"), QStringLiteral("failed"), true}};
        for (const auto &photo : expected) {
            const QString source = QFileInfo(photo.source).canonicalFilePath();
            QVERIFY2(lines.contains(source), qPrintable(source));
            const QJsonObject line = lines.value(source);
            QCOMPARE(line.value(QStringLiteral("status")).toString(), photo.status);
            QCOMPARE(line.value(QStringLiteral("output")).toString(), photo.output);
            QVERIFY(line.value(QStringLiteral("thumbnail")).isNull());
            QCOMPARE(line.value(QStringLiteral("message")).toString().isEmpty(), !photo.hasMessage);
            QVERIFY(line.value(QStringLiteral("ms")).isDouble());
            QVERIFY(line.value(QStringLiteral("ms")).toInteger(-1) >= 0);
            // The size written, only for a photo written.
            const int edge = photo.status == QLatin1String("written") ? 16 : -1;
            QCOMPARE(line.value(QStringLiteral("width")).toInt(-1), edge);
            QCOMPARE(line.value(QStringLiteral("height")).toInt(-1), edge);
        }
        QCOMPARE(readFile(out + QStringLiteral("/b.jpeg")), QByteArray("kept"));
    }

    // Parts of a batch, run one after another or side by side by GNU parallel, write exactly
    // what the whole batch writes in one run: the same counter values, the same "-2" names.
    void shardsWriteWhatOneRunWrites_data()
    {
        QTest::addColumn<bool>("parallel");
        QTest::newRow("in turn") << false;
        QTest::newRow("GNU parallel") << true;
    }

    void shardsWriteWhatOneRunWrites()
    {
        QFETCH(bool, parallel);
        const QString gnuParallel = QStandardPaths::findExecutable(QStringLiteral("parallel"));
        if (parallel && gnuParallel.isEmpty())
            QSKIP("GNU parallel is not installed (scripts/install-deps installs it)");

        const QString base = m_dir.filePath(QLatin1String(QTest::currentDataTag()));
        const QString in = base + QStringLiteral("/in");
        QVERIFY(QDir().mkpath(in));
        // Twelve photos named "photo" and the last digit of a counter from 7: photos 0 and 10
        // (parts 1 and 2) both come to "photo7", photos 1 and 11 (parts 2 and 3) to "photo8".
        for (int i = 0; i < 12; ++i)
            writePhoto(in + QStringLiteral("/%1.png").arg(i, 2, 10, QLatin1Char('0')), {24, 16},
                       QColor::fromHsv(i * 30, 200, 200));
        OutputOptions saved;
        saved.setBaseIndex(OutputOptions::CustomName);
        saved.setCustom(QStringLiteral("photo"));
        saved.setUseCounter(true);
        saved.setDigits(1);
        saved.setLastValue(7);
        saved.setCreateThumbnails(true);
        const QString state = base + QStringLiteral("/state.bin");
        QVERIFY(writeFile(state, StateFile::encode({std::make_shared<Overlay>()}, saved)));

        const auto arguments = [&](const QString &out) {
            return QStringList{QStringLiteral("--state"), state, QStringLiteral("--output"), out};
        };
        const auto tool = [](const QString &program, const QStringList &args) {
            QProcess process;
            process.start(program, args);
            if (!process.waitForFinished(120000))
                return -1;
            if (process.exitCode() != 0)
                qWarning("%s", process.readAllStandardError().constData());
            return process.exitCode();
        };
        const QString one = base + QStringLiteral("/one");
        QCOMPARE(tool(QStringLiteral(INKVEIL_BATCH_TOOL), arguments(one) << in), 0);

        const QString parts = base + QStringLiteral("/parts");
        if (parallel) {
            QCOMPARE(tool(gnuParallel,
                          QStringList{QStringLiteral("--will-cite"), QStringLiteral("--quote"),
                                      QStringLiteral(INKVEIL_BATCH_TOOL)}
                              << arguments(parts)
                              << QStringList{QStringLiteral("--shard"), QStringLiteral("{}/3"), in,
                                             QStringLiteral(":::"), QStringLiteral("1"),
                                             QStringLiteral("2"), QStringLiteral("3")}),
                     0);
        } else {
            for (const char *shard : {"3/3", "1/3", "2/3"})
                QCOMPARE(tool(QStringLiteral(INKVEIL_BATCH_TOOL),
                              arguments(parts)
                                  << QStringLiteral("--shard") << QLatin1String(shard) << in),
                         0);
        }

        const QMap<QString, QByteArray> whole = tree(one);
        QCOMPARE(whole.size(), 24); // twelve photos and their thumbnails
        QVERIFY(whole.contains(QStringLiteral("photo7-2.jpeg")));
        QVERIFY(whole.contains(QStringLiteral("thumbs/photo8-2.jpeg")));
        QCOMPARE(tree(parts).keys(), whole.keys());
        QVERIFY(tree(parts) == whole);
    }

    // Runs keeping both that write into one folder at once each take the next free "-N" name
    // where another took theirs first: every photo of every run is written.
    void keepBothAcrossRuns()
    {
        const QString base = m_dir.filePath(QStringLiteral("keep-both"));
        QVERIFY(QDir().mkpath(base + QStringLiteral("/in")));
        for (int i = 0; i < 20; ++i)
            writePhoto(base + QStringLiteral("/in/%1.png").arg(i), {8, 8}, Qt::red);
        QList<std::shared_ptr<QProcess>> runs;
        for (int i = 0; i < 3; ++i) {
            runs.append(std::make_shared<QProcess>());
            runs.last()->start(QStringLiteral(INKVEIL_BATCH_TOOL),
                               {QStringLiteral("--output"), base + QStringLiteral("/out"),
                                QStringLiteral("--existing"), QStringLiteral("rename"),
                                base + QStringLiteral("/in")});
        }
        for (const auto &run : std::as_const(runs)) {
            QVERIFY(run->waitForFinished(120000));
            QVERIFY2(run->exitCode() == 0, run->readAllStandardError().constData());
        }
        QCOMPARE(QDir(base + QStringLiteral("/out")).entryList(QDir::Files).size(), 60);
    }

private:
    QTemporaryDir m_dir;
    int m_count = 0;
};

QTEST_MAIN(TestScaleOut)
#include "tst_scaleout.moc"
