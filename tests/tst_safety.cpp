// SPDX-FileCopyrightText: 2026 Tessaly
// SPDX-License-Identifier: GPL-3.0-or-later

#include "TestSupport.h"
#include "base/Printable.h"
#include "base/RegularFile.h"
#include "base/SafeWrite.h"
#include "batch/BatchEngine.h"
#include "batch/BatchTally.h"
#include "cli/BatchCommand.h"
#include "output/SummaryText.h"
#include "render/Stamper.h"
#include "session/StateFile.h"

#include <QDateTime>
#include <QDir>
#include <QDirIterator>
#include <QEventLoop>
#include <QFile>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTextStream>
#include <QTimer>

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace inkveil;

Q_DECLARE_METATYPE(BatchEngine::Status)

namespace {

// "key=value;key=value" applied to an options object through its properties.
void applySettings(OutputOptions &options, const QString &settings)
{
    for (const QString &pair : settings.split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
        const qsizetype equals = pair.indexOf(QLatin1Char('='));
        QVERIFY2(
            options.setProperty(pair.left(equals).toLatin1().constData(), pair.mid(equals + 1)),
            qPrintable(pair));
    }
}

// Every entry under the folder, links included, as relative paths in name order.
QStringList entriesUnder(const QString &folder)
{
    QStringList entries;
    QDirIterator it(folder, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System,
                    QDirIterator::Subdirectories);
    while (it.hasNext())
        entries.append(QDir(folder).relativeFilePath(it.next()));
    entries.sort();
    return entries;
}

QList<BatchEngine::FileResult> runBatch(const WorkFileList &files,
                                        const std::shared_ptr<OutputOptions> &options)
{
    BatchEngine engine;
    QList<BatchEngine::FileResult> results(files.size());
    QEventLoop loop;
    QObject::connect(
        &engine, &BatchEngine::fileFinished, &loop,
        [&](int index, const BatchEngine::FileResult &result) { results[index] = result; });
    QObject::connect(&engine, &BatchEngine::finished, &loop, &QEventLoop::quit);
    if (!engine.start(files, {}, options, 2))
        return {};
    QTimer::singleShot(60000, &loop, &QEventLoop::quit);
    loop.exec();
    engine.wait();
    return results;
}

} // namespace

// Hostile and careless output settings: names that collide, files already there, links where
// outputs go, names that would leave the output folder, write failures and raw control
// characters. Nothing may be lost, written elsewhere or printed raw.
class TestSafety : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        qputenv("XDG_DATA_HOME", m_dir.filePath(QStringLiteral("data")).toLocal8Bit());
    }

    void init()
    {
        const QString tag = QString::fromLatin1(QTest::currentTestFunction()) + QLatin1Char('/') +
                            QString::fromLatin1(QTest::currentDataTag());
        m_in = QDir::cleanPath(m_dir.filePath(tag + QStringLiteral("/in")));
        m_out = QDir::cleanPath(m_dir.filePath(tag + QStringLiteral("/out")));
        QVERIFY(QDir().mkpath(m_in));
        QVERIFY(QDir().mkpath(m_out + QStringLiteral("/thumbs")));
        m_options = std::make_shared<OutputOptions>();
        m_options->setFolder(m_out);
    }

    void names_data()
    {
        QTest::addColumn<QStringList>("sources");  // photos made in the input folder
        QTest::addColumn<QString>("settings");     // output options
        QTest::addColumn<QStringList>("existing"); // files already under the output folder
        QTest::addColumn<QStringList>("entries");  // what is under the output folder afterwards
        QTest::addColumn<QString>("outcome");      // per photo: Written, Skipped; r: renamed
        QTest::newRow("same name in two folders")
            << QStringList{"a/IMG_1.png", "b/IMG_1.png"} << "" << QStringList()
            << QStringList{"IMG_1-2.jpeg", "IMG_1.jpeg", "thumbs"} << "W Wr";
        QTest::newRow("same name, other extension")
            << QStringList{"IMG_2.jpg", "IMG_2.png"} << "fileFormat=png" << QStringList()
            << QStringList{"IMG_2-2.png", "IMG_2.png", "thumbs"} << "W Wr";
        QTest::newRow("custom name without a counter")
            << QStringList{"x.png", "y.png", "z.png"} << "baseIndex=1;custom=trip" << QStringList()
            << QStringList{"thumbs", "trip-2.jpeg", "trip-3.jpeg", "trip.jpeg"} << "W Wr Wr";
        // The first name no earlier photo took, even where a photo's own name looks like one.
        QTest::newRow("a source named like a renamed photo")
            << QStringList{"x.png", "x.bmp", "x-2.png"} << "" << QStringList()
            << QStringList{"thumbs", "x-2-2.jpeg", "x-2.jpeg", "x.jpeg"} << "W Wr Wr";
        QTest::newRow("thumbnails follow their photo's name")
            << QStringList{"a/p.png", "b/p.png"} << "createThumbnails=true;fitIndex=0"
            << QStringList()
            << QStringList{"p-2.jpeg", "p.jpeg", "thumbs", "thumbs/p-2.jpeg", "thumbs/p.jpeg"}
            << "W Wr";
        QTest::newRow("existing replaced")
            << QStringList{"p.png", "q.png"} << "existing=0" << QStringList{"p.jpeg"}
            << QStringList{"p.jpeg", "q.jpeg", "thumbs"} << "W W";
        QTest::newRow("existing skipped")
            << QStringList{"p.png", "q.png"} << "existing=1" << QStringList{"p.jpeg"}
            << QStringList{"p.jpeg", "q.jpeg", "thumbs"} << "S W";
        QTest::newRow("existing thumbnail skipped")
            << QStringList{"p.png"} << "existing=1;createThumbnails=true;fitIndex=0"
            << QStringList{"thumbs/p.jpeg"} << QStringList{"thumbs", "thumbs/p.jpeg"} << "S";
        QTest::newRow("existing kept both")
            << QStringList{"a/p.png", "b/p.png"} << "existing=2"
            << QStringList{"p.jpeg", "p-2.jpeg"}
            << QStringList{"p-2.jpeg", "p-3.jpeg", "p-4.jpeg", "p.jpeg", "thumbs"} << "Wr Wr";
        // An old state file has no such key; anything unknown replaces as before.
        QTest::newRow("unknown choice replaces")
            << QStringList{"p.png"} << "existing=9" << QStringList{"p.jpeg"}
            << QStringList{"p.jpeg", "thumbs"} << "W";
    }

    void names()
    {
        QFETCH(QStringList, sources);
        QFETCH(QString, settings);
        QFETCH(QStringList, existing);
        QFETCH(QStringList, entries);
        QFETCH(QString, outcome);
        applySettings(*m_options, settings);
        QStringList paths;
        for (const QString &source : sources) {
            QDir().mkpath(QFileInfo(m_in + QLatin1Char('/') + source).path());
            paths.append(writePhoto(m_in + QLatin1Char('/') + source, {16, 12}, Qt::green));
        }
        for (const QString &name : existing)
            QVERIFY(writeFile(m_out + QLatin1Char('/') + name, "old"));
        const WorkFileList files = workFiles(paths);
        const OutputPlan plan = BatchEngine::plan(files, *m_options);

        const QList<BatchEngine::FileResult> results = runBatch(files, m_options);
        QCOMPARE(results.size(), files.size());
        QStringList seen;
        for (qsizetype i = 0; i < results.size(); ++i) {
            const auto &result = results.at(i);
            QString code = result.status == BatchEngine::Status::Written   ? QStringLiteral("W")
                           : result.status == BatchEngine::Status::Skipped ? QStringLiteral("S")
                                                                           : result.failure;
            seen.append(code + (result.renamed ? QStringLiteral("r") : QString()));
            // The run writes exactly what was planned, which is what a dry run prints.
            if (result.status == BatchEngine::Status::Written)
                QCOMPARE(result.outputPath, plan.entries().at(i).outputPath);
            QCOMPARE(result.status == BatchEngine::Status::Skipped, plan.entries().at(i).skip);
            if (result.status == BatchEngine::Status::Skipped)
                QCOMPARE(result.failure, OutputPlan::SkippedMessage);
        }
        QCOMPARE(seen.join(QLatin1Char(' ')), outcome);
        QCOMPARE(entriesUnder(m_out), entries);
        // Files already there survive unless replacing was asked for.
        for (const QString &name : existing) {
            const bool replaced = m_options->existing() != OutputOptions::SkipExisting &&
                                  m_options->existing() != OutputOptions::KeepBothExisting;
            QCOMPARE(readFile(m_out + QLatin1Char('/') + name) == "old", !replaced);
        }
    }

    void links_data()
    {
        QTest::addColumn<QString>("link"); // made under the output folder, pointing at the victim
        QTest::addColumn<int>("existing");
        QTest::addColumn<QString>("outcome");
        QTest::addColumn<QString>("written"); // the output that is written, or empty
        const QString failed = BatchEngine::cantWrite(ELOOP, SafeWrite::linkReason());
        QTest::newRow("at the output path") << "p.jpeg" << 0 << failed << "";
        // The photo is written; only its thumbnail is not, and its note says why.
        QTest::newRow("at the thumbnail path") << "thumbs/p.jpeg" << 0 << "Written"
                                               << "p.jpeg";
        QTest::newRow("the thumbs folder") << "thumbs" << 0 << "Written"
                                           << "p.jpeg";
        QTest::newRow("dangling, at the output path") << "p.jpeg=gone" << 0 << failed << "";
        QTest::newRow("skipped like a file") << "p.jpeg" << 1 << "Skipped"
                                             << "";
        QTest::newRow("kept like a file") << "p.jpeg" << 2 << "Written"
                                          << "p-2.jpeg";
    }

    void links()
    {
        QFETCH(QString, link);
        QFETCH(int, existing);
        QFETCH(QString, outcome);
        QFETCH(QString, written);
        const QString failed = BatchEngine::cantWrite(ELOOP, SafeWrite::linkReason());
        const QString victim = m_dir.filePath(QStringLiteral("victim-") +
                                              QString::fromLatin1(QTest::currentDataTag()));
        QVERIFY(QDir().mkpath(victim));
        QVERIFY(writeFile(victim + QStringLiteral("/p.jpeg"), "precious"));
        QString target = victim + QStringLiteral("/p.jpeg");
        if (link == QLatin1String("thumbs")) {
            QVERIFY(QDir(m_out + QStringLiteral("/thumbs")).removeRecursively());
            target = victim;
        }
        if (link.endsWith(QLatin1String("=gone"))) {
            link.chop(5);
            target = victim + QStringLiteral("/gone.jpeg");
        }
        QVERIFY(QFile::link(target, m_out + QLatin1Char('/') + link));
        m_options->setCreateThumbnails(true);
        m_options->setFitIndex(0);
        m_options->setExisting(OutputOptions::Existing(existing));
        const QString photo = writePhoto(m_in + QStringLiteral("/p.png"), {16, 12}, Qt::green);
        if (existing == 0 && link == QLatin1String("p.jpeg")) {
            // The dry run says what the run will do: fail, not replace.
            const ToolRun dryRun = runTool({"--output", m_out, "--dry-run", photo});
            QVERIFY2(dryRun.out.contains(QStringLiteral("  Fails: ") + outcome),
                     qPrintable(dryRun.out));
        }

        const auto results = runBatch(workFiles({photo}), m_options);
        QCOMPARE(results.size(), 1);
        const auto &result = results.first();
        QCOMPARE(result.status == BatchEngine::Status::Written   ? QStringLiteral("Written")
                 : result.status == BatchEngine::Status::Skipped ? QStringLiteral("Skipped")
                                                                 : result.failure,
                 outcome);
        // The link and whatever it points at are untouched; nothing appears beside the target.
        QCOMPARE(readFile(victim + QStringLiteral("/p.jpeg")), QByteArray("precious"));
        QCOMPARE(QDir(victim).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
                 QStringList{"p.jpeg"});
        QVERIFY(QFileInfo(m_out + QLatin1Char('/') + link).isSymLink());
        QCOMPARE(result.outputPath,
                 written.isEmpty() ? QString() : m_out + QLatin1Char('/') + written);
        if (!written.isEmpty())
            QVERIFY(QImage(m_out + QLatin1Char('/') + written).width() == 16);
        if (link.startsWith(QLatin1String("thumbs")))
            QCOMPARE(result.note, BatchEngine::NoThumbnailNote.arg(failed));
    }

    void refusedNames_data()
    {
        QTest::addColumn<QString>("settings");
        QTest::addColumn<QString>("reason");
        QTest::newRow("custom name climbing out") << "baseIndex=1;custom=../../etc/x"
                                                  << "The custom name can't hold \"/\".";
        QTest::newRow("custom name absolute") << "baseIndex=1;custom=/tmp/x"
                                              << "The custom name can't hold \"/\".";
        QTest::newRow("custom name ..") << "baseIndex=1;custom=.."
                                        << "The custom name can't be \"..\".";
        QTest::newRow("custom name .") << "baseIndex=1;custom=."
                                       << "The custom name can't be \".\".";
        QTest::newRow("custom name empty") << "baseIndex=1;custom="
                                           << "The custom name is empty.";
        QTest::newRow("custom name with NUL")
            << QStringLiteral("baseIndex=1;custom=a") + QChar(u'\0') + QStringLiteral("b")
            << "The custom name can't hold a NUL character.";
        QTest::newRow("postfix with a folder") << "usePostfix=true;postfix=/../x"
                                               << "The postfix can't hold \"/\".";
        QTest::newRow("postfix ..") << "usePostfix=true;postfix=.."
                                    << "The postfix can't be \"..\".";
        QTest::newRow("format from a state file") << "fileFormat=jpeg/../../x"
                                                  << "The file format can't hold \"/\".";
        // Not used, so not in the way.
        QTest::newRow("unused custom name") << "baseIndex=0;custom=../x"
                                            << "";
        QTest::newRow("unused postfix") << "usePostfix=false;postfix=/"
                                        << "";
        QTest::newRow("dots inside a name") << "baseIndex=1;custom=..a..;usePostfix=true;postfix=.."
                                            << "The postfix can't be \"..\".";
        QTest::newRow("dots inside both") << "baseIndex=1;custom=a..;usePostfix=true;postfix=..b"
                                          << "";
    }

    void refusedNames()
    {
        QFETCH(QString, settings);
        QFETCH(QString, reason);
        applySettings(*m_options, settings);
        QCOMPARE(m_options->nameProblem(), reason.isEmpty() ? QString() : reason);
        const QString photo = writePhoto(m_in + QStringLiteral("/p.png"), {8, 8}, Qt::red);

        BatchEngine engine;
        const Status started = engine.start(workFiles({photo}), {}, m_options, 1);
        engine.wait();
        QCOMPARE(started.ok(), reason.isEmpty());
        if (!started)
            QCOMPARE(started.reason(), reason);
        if (reason.isEmpty())
            return;
        QCOMPARE(engine.processSingleFile(std::make_shared<WorkFile>(photo), {}, *m_options).status,
                 BatchEngine::Status::Failed);

        // The tool refuses with the reason; nothing is written anywhere.
        if (reason.contains(QLatin1String("NUL")))
            return; // a property list cannot carry one
        QVERIFY(writeFile(m_in + QStringLiteral("/state.bin"), StateFile::encode({}, *m_options)));
        const ToolRun run = runTool({"--state", m_in + QStringLiteral("/state.bin"), photo});
        QCOMPARE(run.exitCode, int(BatchCommand::UsageError));
        QCOMPARE(run.err, QStringLiteral("inkveil-batch: ") + reason + QLatin1Char('\n'));
        QCOMPARE(entriesUnder(m_out), QStringList{"thumbs"});
        QCOMPARE(entriesUnder(QFileInfo(m_in).path()),
                 (QStringList{"in", "in/p.png", "in/state.bin", "out", "out/thumbs"}));
    }

    void writeFailureReasons()
    {
        // The system's reason after the message; a missing folder keeps its advice.
        QCOMPARE(BatchEngine::cantWrite(ENOSPC, SafeWrite::errorText(ENOSPC)),
                 QStringLiteral("Can't write file. No space left on device."));
        QCOMPARE(BatchEngine::cantWrite(EACCES, SafeWrite::errorText(EACCES)),
                 QStringLiteral("Can't write file. Permission denied."));
        QCOMPARE(BatchEngine::cantWrite(ENOENT, SafeWrite::errorText(ENOENT)),
                 BatchEngine::CantWriteMessage);
        // A full disk, as the writer sees it.
        const int full = ::open("/dev/full", O_WRONLY | O_CLOEXEC);
        if (full >= 0) {
            QCOMPARE(SafeWrite::writeAll(full, QByteArray(100, 'x')).error().code, ENOSPC);
            ::close(full);
        }

        // A folder where the output goes, and a folder that can't be written (unless we are
        // root, whom permissions do not stop).
        const QString photo = writePhoto(m_in + QStringLiteral("/p.png"), {8, 8}, Qt::red);
        QVERIFY(QDir().mkpath(m_out + QStringLiteral("/p.jpeg")));
        auto results = runBatch(workFiles({photo}), m_options);
        QCOMPARE(results.value(0).failure, QStringLiteral("Can't write file. Is a directory."));
        if (::geteuid() != 0) {
            const QString locked = m_out + QStringLiteral("/locked");
            QVERIFY(QDir().mkpath(locked));
            QVERIFY(QFile::setPermissions(locked, QFile::ReadOwner | QFile::ExeOwner));
            m_options->setFolder(locked);
            QCOMPARE(BatchEngine::canWrite(*m_options).reason(),
                     QStringLiteral("Can't write into the output folder %1. Permission denied.")
                         .arg(locked));
            QFile::setPermissions(locked, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        }
        // No temporary file is left behind by a failed write.
        QCOMPARE(entriesUnder(m_out).filter(QStringLiteral(".tmp")), QStringList());
    }

    // Output folders are made whole when asked for, and checked before the first photo: one
    // that can't take a file stops the run with the reason and nothing else is done.
    void outputFolders_data()
    {
        QTest::addColumn<QString>("folder");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("message");
        QTest::newRow("missing levels made") << "new/run1" << 0 << "1 written";
        QTest::newRow("a file where a level goes")
            << "p.png/run1" << 2 << "Can't create the output folder %1. Not a directory.";
        QTest::newRow("no permission")
            << "locked" << 2 << "Can't write into the output folder %1. Permission denied.";
    }

    void outputFolders()
    {
        QFETCH(QString, folder);
        QFETCH(int, exitCode);
        QFETCH(QString, message);
        const bool locked = folder == QLatin1String("locked");
        if (locked && ::geteuid() == 0)
            QSKIP("root writes into any folder");
        const QString photo = writePhoto(m_in + QStringLiteral("/p.png"), {8, 8}, Qt::red);
        const QString out = m_in + QLatin1Char('/') + folder;
        if (locked) {
            QVERIFY(QDir().mkpath(out));
            QVERIFY(QFile::setPermissions(out, QFile::ReadOwner | QFile::ExeOwner));
        }
        m_options->setFolder(out);
        m_options->setFolderCreate(true);
        const QString state = m_in + QStringLiteral("/state.bin");
        QVERIFY(writeFile(state, StateFile::encode({std::make_shared<Overlay>()}, *m_options)));
        const ToolRun run = runTool({QStringLiteral("--state"), state, photo});
        QFile::setPermissions(out, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        QCOMPARE(run.exitCode, exitCode);
        QVERIFY2(run.err.contains(message.arg(out)), qPrintable(run.err));
        QCOMPARE(QFileInfo::exists(out + QStringLiteral("/p.jpeg")), exitCode == 0);
        // The probe leaves nothing behind.
        if (exitCode == 0)
            QCOMPARE(QDir(out).entryList(QDir::Files | QDir::Hidden), QStringList{"p.jpeg"});
    }

    // A run killed during a write leaves its temporary file; the next run removes it, but not
    // one a writer still holds, nor any file not named as ours.
    void staleTemporaries()
    {
        const QString photo = writePhoto(m_in + QStringLiteral("/p.png"), {8, 8}, Qt::red);
        const QString left = m_out + QStringLiteral("/.p.jpeg.k3x9a.tmp");
        const QString held = m_out + QStringLiteral("/thumbs/.p.jpeg.zz1.tmp");
        const QString other = m_out + QStringLiteral("/.notes.tmp");
        for (const QString &path : {left, held, other}) {
            QVERIFY(writeFile(path, "half a photo"));
            QFile file(path);
            QVERIFY(file.open(QIODevice::ReadWrite));
            QVERIFY(file.setFileTime(QDateTime::currentDateTime().addSecs(-60),
                                     QFileDevice::FileModificationTime));
        }
        const int writer = ::open(QFile::encodeName(held).constData(), O_RDONLY | O_CLOEXEC);
        QCOMPARE(::flock(writer, LOCK_EX), 0);
        m_options->setCreateThumbnails(true);
        QCOMPARE(runBatch(workFiles({photo}), m_options).value(0).status,
                 BatchEngine::Status::Written);
        ::close(writer);
        QVERIFY(!QFileInfo::exists(left));
        QVERIFY(QFileInfo::exists(held));
        QVERIFY(QFileInfo::exists(other));
    }

    // Names that differ only in bytes that are not UTF-8 stay apart all the way: two outputs
    // in a folder so named, each with its camera data read from its own source.
    void namesAsBytes()
    {
        const auto raw = [](const QString &path) { return RegularFile::encodeName(path); };
        const QString out = m_out + QLatin1Char('/') + RegularFile::decodeName("run\xff");
        QVERIFY(::mkdir(raw(out).constData(), 0777) == 0);
        QStringList names;
        // Qt can't remove what it can't name: the temporary folder is emptied by bytes.
        const auto cleanUp = qScopeGuard([&] {
            for (const QString &name : std::as_const(names)) {
                ::unlink(raw(m_in + QLatin1Char('/') + name + QStringLiteral(".jpg")).constData());
                ::unlink(raw(out + QLatin1Char('/') + name + QStringLiteral(".jpeg")).constData());
            }
            ::rmdir(raw(out).constData());
        });
        for (const char *name : {"x\xe8", "x\xe9"}) {
            const QString made = writePhoto(m_in + QStringLiteral("/made.jpg"), {8, 8},
                                            names.isEmpty() ? Qt::red : Qt::blue);
            names.append(RegularFile::decodeName(name));
            QCOMPARE(::rename(raw(made).constData(),
                              raw(m_in + QLatin1Char('/') + names.last() + QStringLiteral(".jpg"))
                                  .constData()),
                     0);
        }
        const ToolRun run = runTool({QStringLiteral("--output"), out, m_in});
        QCOMPARE(run.exitCode, 0);
        QVERIFY2(!run.err.contains(QStringLiteral("camera data")), qPrintable(run.err));
        for (const QString &name : names) {
            RegularFile output;
            QVERIFY(output.open(out + QLatin1Char('/') + name + QStringLiteral(".jpeg")));
            const QImage image = QImage::fromData(*output.readAll(1 << 20));
            QCOMPARE(qBlue(image.pixel(4, 4)) > 128, name == names.last());
        }
    }

    // A link swapped in for the output folder or its thumbs folder once the run has begun
    // redirects nothing: the run keeps writing into the folders it opened.
    void linkSwappedInDuringRun()
    {
        const QString victim = m_dir.filePath(QStringLiteral("victim-swapped"));
        QVERIFY(QDir().mkpath(victim));
        QStringList photos;
        for (const char *name : {"a.png", "b.png", "c.png"})
            photos.append(
                writePhoto(m_in + QLatin1Char('/') + QLatin1String(name), {8, 8}, Qt::red));
        m_options->setCreateThumbnails(true);
        m_options->setFitIndex(0);
        BatchEngine engine;
        int finished = 0;
        // On the worker, between two photos.
        connect(
            &engine, &BatchEngine::fileFinished, &engine,
            [&] {
                if (++finished != 1)
                    return;
                QVERIFY(QFile::rename(m_out + QStringLiteral("/thumbs"),
                                      m_out + QStringLiteral("/t0")));
                QVERIFY(QFile::link(victim, m_out + QStringLiteral("/thumbs")));
                QVERIFY(QFile::rename(m_out, m_out + QStringLiteral("-0")));
                QVERIFY(QFile::link(victim, m_out));
            },
            Qt::DirectConnection);
        QSignalSpy done(&engine, &BatchEngine::finished);
        QVERIFY(engine.start(workFiles(photos), {}, m_options, 1));
        QVERIFY(done.wait(60000));
        QCOMPARE(entriesUnder(victim), QStringList{});
        QCOMPARE(entriesUnder(m_out + QStringLiteral("-0")),
                 (QStringList{"a.jpeg", "b.jpeg", "c.jpeg", "t0", "t0/a.jpeg", "t0/b.jpeg",
                              "t0/c.jpeg", "thumbs"}));
    }

    void readFailureReasons()
    {
        QVERIFY(writeFile(m_in + QStringLiteral("/cut.jpg"), "\xFF\xD8\xFF\xE0 not really"));
        const auto results = runBatch(workFiles({m_in + QStringLiteral("/cut.jpg")}), m_options);
        const QString failure = results.value(0).failure;
        QVERIFY2(failure.startsWith(BatchEngine::CantReadMessage + QLatin1Char(' ')) &&
                     failure.endsWith(QLatin1Char('.')) && !failure.contains(m_in),
                 qPrintable(failure));
    }

    void printableText_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("printed");
        QTest::newRow("plain") << QStringLiteral("Café IMG_1.jpg")
                               << QStringLiteral("Café IMG_1.jpg");
        QTest::newRow("terminal colour") << QStringLiteral("a\x1b[31mred") << "a\\x1b[31mred";
        QTest::newRow("a fake second line") << QStringLiteral("a\nb\r\t") << "a\\x0ab\\x0d\\x09";
        QTest::newRow("delete and C1") << QStringLiteral("\x7f") + QChar(0x9b) << "\\x7f\\x9b";
        QTest::newRow("right-to-left override")
            << QStringLiteral("photo") + QChar(0x202e) + QStringLiteral("gpj.exe")
            << "photo\\u{202e}gpj.exe";
    }

    void printableText()
    {
        QFETCH(QString, text);
        QFETCH(QString, printed);
        QCOMPARE(printable(text), printed);
    }

    void toolReportsByName()
    {
        // A skipped photo is no failure; names are printed escaped; the run closes with counts.
        const QString evil = m_in + QStringLiteral("/a\x1b[2Jb.png");
        writePhoto(evil, {8, 8}, Qt::red);
        writePhoto(m_in + QStringLiteral("/c.png"), {8, 8}, Qt::red);
        QVERIFY(writeFile(m_out + QStringLiteral("/c.jpeg"), "old"));
        const QStringList arguments{"--output", m_out, "--existing", "skip", m_in};
        const ToolRun dryRun = runTool(arguments + QStringList{"--dry-run"});
        const ToolRun run = runTool(arguments);
        QCOMPARE(dryRun.exitCode, 0);
        QCOMPARE(run.exitCode, 0);
        const QString outText = dryRun.out + run.out;
        const QString errText = dryRun.err + run.err;
        const QString in = QFileInfo(m_in).absoluteFilePath();
        QCOMPARE(outText, QStringLiteral("%1/a\\x1b[2Jb.png -> %2/a\\x1b[2Jb.jpeg\n"
                                         "%1/c.png -> %2/c.jpeg\n  %3\n")
                              .arg(in, m_out, OutputPlan::SkippedMessage));
        QVERIFY2(!errText.contains(QChar(0x1b)), qPrintable(errText));
        QVERIFY2(errText.startsWith(
                     QStringLiteral("Note: 1 photo will be skipped: a file of its name exists.\n")),
                 qPrintable(errText));
        QVERIFY2(errText.contains(in + QStringLiteral("/c.png: ") + OutputPlan::SkippedMessage),
                 qPrintable(errText));
        QVERIFY2(errText.contains(QStringLiteral("\n1 written, 0 failed, 1 skipped in ")),
                 qPrintable(errText));
        QCOMPARE(readFile(m_out + QStringLiteral("/c.jpeg")), QByteArray("old"));

        QCOMPARE(runTool({"--existing", "keep", m_in}).exitCode, int(BatchCommand::UsageError));
    }

    void stateFileWithoutTheChoiceReplaces()
    {
        // The state files written before the choice existed, the bundled default among them.
        OverlayList overlays;
        auto options = std::make_shared<OutputOptions>();
        options->setExisting(OutputOptions::KeepBothExisting);
        const QByteArray old =
            readFile(QStringLiteral(INKVEIL_RESOURCES_DIR) + QStringLiteral("/state.bin"));
        QVERIFY(!old.isEmpty() && !old.contains("existing"));
        QVERIFY(StateFile::decode(old, overlays, options));
        QCOMPARE(options->existing(), OutputOptions::ReplaceExisting);
        QVERIFY(options->nameProblem().isNull());
        // Written again, the choice is kept.
        options->setExisting(OutputOptions::SkipExisting);
        QVERIFY(StateFile::decode(StateFile::encode(overlays, *options), overlays, options));
        QCOMPARE(options->existing(), OutputOptions::SkipExisting);
    }

    void closingLine_data()
    {
        QTest::addColumn<QString>("statuses"); // W written, F failed, S skipped
        QTest::addColumn<int>("total");
        QTest::addColumn<bool>("stopped");
        QTest::addColumn<QString>("line");
        QTest::newRow("all went") << "WWF" << 3 << false << "2 written, 1 failed, 0 skipped.";
        QTest::newRow("nothing") << "" << 0 << false << "0 written, 0 failed, 0 skipped.";
        QTest::newRow("stopped") << "WWWW" << 40 << true << "Stopped after 4 of 40: 4 written.";
        QTest::newRow("stopped with trouble")
            << "WFS" << 9 << true << "Stopped after 3 of 9: 1 written, 1 failed, 1 skipped.";
    }

    void closingLine()
    {
        QFETCH(QString, statuses);
        QFETCH(int, total);
        QFETCH(bool, stopped);
        QFETCH(QString, line);
        BatchTally tally(total);
        for (const QChar status : statuses) {
            BatchEngine::FileResult result;
            result.status = status == u'W'   ? BatchEngine::Status::Written
                            : status == u'F' ? BatchEngine::Status::Failed
                                             : BatchEngine::Status::Skipped;
            tally.add(result);
        }
        QCOMPARE(tally.closingLine(stopped), line);
    }

    // The notes of a part count that part's photos only; a link where a photo would replace a
    // file is no replacement but a failure, and a pipe as a picture says what it is.
    void summaryOfAPart()
    {
        QStringList paths;
        for (const char *name : {"a.png", "b.png", "c.png"})
            paths.append(
                writePhoto(m_in + QLatin1Char('/') + QLatin1String(name), {8, 8}, Qt::red));
        QVERIFY(writeFile(m_out + QStringLiteral("/a.jpeg"), "old"));
        QVERIFY(QFile::link(m_in + QStringLiteral("/victim"), m_out + QStringLiteral("/b.jpeg")));
        auto piped = std::make_shared<Overlay>();
        piped->setName(QStringLiteral("Piped"));
        piped->setFilePath(m_in + QStringLiteral("/pipe.png"));
        QCOMPARE(::mkfifo(QFile::encodeName(piped->filePath()).constData(), 0600), 0);
        const QString linked =
            QStringLiteral("1 photo can't be written: a symbolic link is in its place.");
        const QString pipeNote =
            QStringLiteral("The picture of watermark \u201cPiped\u201d can't be read: %1: It is a "
                           "named pipe, not a file.")
                .arg(piped->filePath());
        auto shown = std::make_shared<Overlay>();
        shown->setText(QStringLiteral("\u00A9 Ana"));
        QCOMPARE(SummaryText::warnings(workFiles(paths), {shown, piped}, *m_options),
                 (QStringList{"1 file already in the output folder will be replaced.", linked,
                              pipeNote}));
        const QList<int> secondAndThird{1, 2};
        QCOMPARE(SummaryText::warnings(workFiles(paths), {}, *m_options, &secondAndThird),
                 QStringList{linked});
    }

    void summaryWarnings_data()
    {
        QTest::addColumn<QString>("settings");
        QTest::addColumn<QStringList>("warnings");
        QTest::newRow("replacing")
            << "existing=0" << QStringList{"1 file already in the output folder will be replaced."};
        QTest::newRow("collisions, replacing")
            << "baseIndex=1;custom=same"
            << QStringList{"2 photos are renamed with \u201c-2\u201d, \u201c-3\u201d, \u2026: "
                           "earlier photos have their names.",
                           "1 file already in the output folder will be replaced."};
        QTest::newRow("skipping") << "existing=1"
                                  << QStringList{"1 photo will be skipped: a file of its name "
                                                 "exists."};
        QTest::newRow("keeping both")
            << "existing=2"
            << QStringList{"1 photo is renamed to keep the file of its name that exists."};
        QTest::newRow("a name that leaves the folder")
            << "baseIndex=1;custom=../x"
            << QStringList{"The custom name can't hold \"/\". The run can't start."};
    }

    void summaryWarnings()
    {
        QFETCH(QString, settings);
        QFETCH(QStringList, warnings);
        applySettings(*m_options, settings);
        QStringList paths;
        for (const char *name : {"same.png", "b.png", "c.png"})
            paths.append(
                writePhoto(m_in + QLatin1Char('/') + QLatin1String(name), {8, 8}, Qt::red));
        QVERIFY(writeFile(m_out + QStringLiteral("/same.jpeg"), "old"));
        // A picture that moved away is reported; one in place and one not used are not.
        auto moved = std::make_shared<Overlay>();
        moved->setName(QStringLiteral("Logo\x1b"));
        moved->setUse(true);
        moved->setFilePath(m_in + QStringLiteral("/moved.png"));
        auto present = std::make_shared<Overlay>();
        present->setUse(true);
        present->setFilePath(paths.first());
        auto unused = std::make_shared<Overlay>();
        unused->setUse(false);
        unused->setFilePath(m_in + QStringLiteral("/gone.png"));
        // A file that is no picture, and a text longer than any watermark draws.
        auto broken = std::make_shared<Overlay>();
        broken->setName(QStringLiteral("Broken"));
        broken->setUse(true);
        QVERIFY(writeFile(m_in + QStringLiteral("/broken.png"), "not a picture"));
        broken->setFilePath(m_in + QStringLiteral("/broken.png"));
        auto longText = std::make_shared<Overlay>();
        longText->setName(QStringLiteral("Long"));
        longText->setUse(true);
        longText->setText(QString(Stamper::MaxTextLength + 1, QLatin1Char('x')));
        // A picture already gone when the watermarks were loaded: the missing-image picture
        // stands in for it, and the note still names the picture.
        auto stored = std::make_shared<Overlay>();
        stored->setName(QStringLiteral("Stored"));
        stored->setUse(true);
        stored->setFilePath(m_in + QStringLiteral("/gone-before.png"));
        OverlayList loaded;
        auto ignored = std::make_shared<OutputOptions>();
        QVERIFY(StateFile::decode(StateFile::encode({stored}, OutputOptions()), loaded, ignored));
        QCOMPARE(loaded.size(), 1);
        const QStringList notes = SummaryText::warnings(
            workFiles(paths), {moved, present, unused, broken, longText, loaded.first()},
            *m_options);
        QCOMPARE(notes.last(),
                 QStringLiteral("The picture of watermark \u201cStored\u201d can't be "
                                "read: ") +
                     m_in + QStringLiteral("/gone-before.png"));
        QCOMPARE(notes.mid(0, warnings.size() + 1),
                 warnings +
                     QStringList{QStringLiteral("The picture of watermark \u201cLogo\\x1b\u201d "
                                                "can't be read: ") +
                                 m_in + QStringLiteral("/moved.png")});
        QCOMPARE(notes.size(), warnings.size() + 4);
        QVERIFY2(notes.at(warnings.size() + 1)
                     .startsWith(QStringLiteral("Watermark \u201cBroken\u201d: ")),
                 qPrintable(notes.join(QLatin1Char('\n'))));
        QCOMPARE(notes.at(notes.size() - 2),
                 QStringLiteral("Watermark \u201cLong\u201d: The text is longer than "
                                "%1 characters; the rest is left out.")
                     .arg(Stamper::MaxTextLength));
        // Looking changes nothing.
        QCOMPARE(entriesUnder(m_out), (QStringList{"same.jpeg", "thumbs"}));
    }

private:
    QTemporaryDir m_dir;
    QString m_in;
    QString m_out;
    std::shared_ptr<OutputOptions> m_options;
};

QTEST_MAIN(TestSafety)
#include "tst_safety.moc"
