#include "batch/BatchCommand.h"

#include "app/StateFile.h"
#include "batch/BatchEngine.h"
#include "sources/ExifSummary.h"
#include "sources/FileGathering.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QEventLoop>
#include <QFileInfo>
#include <QTextStream>
#include <QThread>
#include <QTimer>

#include <atomic>

namespace {

std::atomic<bool> interruptRequested{false};

const QStringList Formats{QStringLiteral("jpeg"), QStringLiteral("jpg"), QStringLiteral("tiff"),
                          QStringLiteral("tif"),  QStringLiteral("png"), QStringLiteral("gif"),
                          QStringLiteral("bmp")};

// By the number of the "metadata" output option.
const QStringList MetadataModes{QStringLiteral("keep"), QStringLiteral("private"),
                                QStringLiteral("none")};

struct Options
{
    QString stateFile;
    QString output;
    QString format;
    int quality = -1;
    int jobs = 0;
    int metadata = -1;
    bool dryRun = false;
    bool exif = false;
    QStringList paths;
};

// Parses into `options`; answers an error text for a usage error, or a null string.
QString parse(const QStringList &arguments, Options &options, QString &help)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Watermarks photos with the watermarks and output options saved by Inkveil."));
    parser.addHelpOption();
    const QCommandLineOption state(QStringLiteral("state"),
                                   QStringLiteral("Read watermarks and options from <file>."),
                                   QStringLiteral("file"));
    const QCommandLineOption output(QStringLiteral("output"),
                                    QStringLiteral("Write into <dir> (this run only)."),
                                    QStringLiteral("dir"));
    const QCommandLineOption format(QStringLiteral("format"),
                                    QStringLiteral("Output format: %1 (this run only).")
                                        .arg(Formats.join(QStringLiteral(", "))),
                                    QStringLiteral("format"));
    const QCommandLineOption quality(QStringLiteral("quality"),
                                     QStringLiteral("JPEG quality 0-100 (this run only)."),
                                     QStringLiteral("q"));
    const QCommandLineOption metadata(
        QStringLiteral("metadata"),
        QStringLiteral("Camera data kept: keep, private (all but location and serial numbers) or "
                       "none (this run only)."),
        QStringLiteral("what"));
    const QCommandLineOption jobs(QStringLiteral("jobs"),
                                  QStringLiteral("Photos processed at once (default: cores)."),
                                  QStringLiteral("n"));
    const QCommandLineOption dryRun(QStringLiteral("dry-run"),
                                    QStringLiteral("Print what would be written; write nothing."));
    const QCommandLineOption exif(
        QStringLiteral("exif"), QStringLiteral("Print each photo's EXIF summary; write nothing."));
    parser.addOptions({state, output, format, quality, jobs, dryRun, exif, metadata});
    parser.addPositionalArgument(QStringLiteral("PATH"),
                                 QStringLiteral("Photos and folders of photos."),
                                 QStringLiteral("PATH..."));
    help = parser.helpText();
    if (!parser.parse(arguments))
        return parser.errorText();
    if (parser.isSet(QStringLiteral("help")))
        return QStringLiteral("help");

    options.stateFile = parser.value(state);
    options.output = parser.value(output);
    options.format = parser.value(format);
    options.dryRun = parser.isSet(dryRun);
    options.exif = parser.isSet(exif);
    options.paths = parser.positionalArguments();
    if (parser.isSet(format) && !Formats.contains(options.format))
        return QStringLiteral("Unknown format \"%1\"; use one of %2.")
            .arg(options.format, Formats.join(QStringLiteral(", ")));
    if (parser.isSet(quality)) {
        bool ok = false;
        options.quality = parser.value(quality).toInt(&ok);
        if (!ok || options.quality < 0 || options.quality > 100)
            return QStringLiteral("The quality must be a whole number from 0 to 100.");
    }
    if (parser.isSet(metadata)) {
        options.metadata = static_cast<int>(MetadataModes.indexOf(parser.value(metadata)));
        if (options.metadata < 0)
            return QStringLiteral("--metadata needs keep, private or none.");
    }
    if (parser.isSet(jobs)) {
        bool ok = false;
        options.jobs = parser.value(jobs).toInt(&ok);
        if (!ok || options.jobs < 1)
            return QStringLiteral("--jobs needs a whole number of at least 1.");
    }
    if (parser.isSet(output) && options.output.isEmpty())
        return QStringLiteral("--output needs a folder.");
    if (options.paths.isEmpty())
        return QStringLiteral("Name at least one photo or folder.");
    return {};
}

QString progressBar(int done, int total)
{
    constexpr int Width = 30;
    const int filled = total > 0 ? done * Width / total : Width;
    return QStringLiteral("\r[%1%2] %3/%4")
        .arg(QString(filled, QLatin1Char('#')), QString(Width - filled, QLatin1Char('.')))
        .arg(done)
        .arg(total);
}

} // namespace

void BatchCommand::interrupt()
{
    interruptRequested = true;
}

int BatchCommand::run(const QStringList &arguments, QTextStream &out, QTextStream &err,
                      bool interactive)
{
    interruptRequested = false;
    Options options;
    QString help;
    const QString usage = parse(arguments, options, help);
    if (usage == QLatin1String("help")) {
        out << help;
        return Success;
    }
    if (!usage.isNull()) {
        err << "inkveil-batch: " << usage << "\n\n" << help;
        return UsageError;
    }

    OverlayList overlays;
    auto outputOptions = std::make_shared<OutputOptions>();
    if (!options.stateFile.isEmpty()) {
        if (!QFileInfo(options.stateFile).isReadable()) {
            err << "inkveil-batch: Can't read the state file " << options.stateFile << "\n";
            return UsageError;
        }
        StateFile::loadStateFrom(options.stateFile, overlays, outputOptions);
    } else {
        StateFile::loadState(overlays, outputOptions);
    }
    // Overrides for this run only: the state file is never written here.
    if (!options.output.isEmpty())
        outputOptions->setFolder(QFileInfo(options.output).absoluteFilePath());
    if (!options.format.isEmpty())
        outputOptions->setFileFormat(options.format);
    if (options.quality >= 0)
        outputOptions->setQuality(options.quality);
    if (options.metadata >= 0)
        outputOptions->setMetadata(options.metadata);

    QStringList absolute;
    for (const QString &path : options.paths)
        absolute.append(QFileInfo(path).absoluteFilePath());
    WorkFileList files;
    FileGathering::appendWorkFiles(files, FileGathering::expandPaths(absolute));
    if (files.isEmpty()) {
        err << "inkveil-batch: No photos found in the given paths.\n";
        return SomeFailed;
    }

    if (options.exif) {
        for (const auto &file : files) {
            out << file->filePath() << '\n';
            const QString summary = ExifSummary::text(file->readExif());
            for (const QString &line : summary.split(QLatin1Char('\n')))
                out << "  " << line << '\n';
        }
        return Success;
    }

    if (!outputOptions->isFolderSet()) {
        err << "inkveil-batch: " << BatchEngine::NoFolderMessage
            << " Use --output DIR or set one in Inkveil.\n";
        return UsageError;
    }

    if (options.dryRun) {
        for (const auto &planned : BatchEngine::plan(files, *outputOptions)) {
            out << planned.sourcePath << " -> " << planned.outputPath << '\n';
            if (!planned.thumbnailPath.isEmpty())
                out << "  thumbnail -> " << planned.thumbnailPath << '\n';
        }
        return Success;
    }

    BatchEngine engine;
    const int total = static_cast<int>(files.size());
    int done = 0;
    int failed = 0;
    QObject::connect(&engine, &BatchEngine::fileFinished, &engine,
                     [&](int index, const BatchEngine::FileResult &result) {
                         ++done;
                         const auto &file = files.at(index);
                         const bool written = result.ok() && !result.outputPath.isEmpty();
                         if (!written) {
                             ++failed;
                             const QString reason =
                                 result.ok() ? QStringLiteral("Could not encode the image.")
                                             : result.failure;
                             if (interactive)
                                 err << "\r\033[K";
                             err << file->filePath() << ": " << reason << '\n';
                         } else if (!interactive) {
                             err << QStringLiteral("[%1/%2] %3 -> %4\n")
                                        .arg(done)
                                        .arg(total)
                                        .arg(file->filePath(), result.outputPath);
                         }
                         if (written && !result.note.isEmpty()) {
                             if (interactive)
                                 err << "\r\033[K";
                             err << file->filePath() << ": " << result.note << '\n';
                         }
                         if (interactive)
                             err << progressBar(done, total);
                         err.flush();
                     });
    QEventLoop loop;
    bool completed = false;
    QObject::connect(&engine, &BatchEngine::finished, &loop, [&](bool whole) {
        completed = whole;
        loop.quit();
    });
    QTimer interruptWatch;
    QObject::connect(&interruptWatch, &QTimer::timeout, &engine, [&] {
        if (interruptRequested)
            engine.stop();
    });
    interruptWatch.start(50);

    const int jobs = options.jobs > 0 ? options.jobs : std::max(1, QThread::idealThreadCount());
    QString message;
    if (!engine.start(files, overlays, outputOptions, jobs, &message)) {
        err << "inkveil-batch: " << message << '\n';
        return UsageError;
    }
    if (interactive)
        err << progressBar(0, total);
    err.flush();
    loop.exec();
    engine.wait();
    if (interactive)
        err << '\n';
    if (!completed && interruptRequested) {
        err << QStringLiteral("Stopped after %1 of %2 photos.\n").arg(done).arg(total);
        return Interrupted;
    }
    return failed == 0 ? Success : SomeFailed;
}
