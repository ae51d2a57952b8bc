#include "batch/BatchEngine.h"

#include "render/ImageToolkit.h"
#include "render/MetadataCopier.h"
#include "render/Stamper.h"

#include <QDebug>
#include <QDir>
#include <QFileInfo>
#include <QMetaProperty>
#include <QSaveFile>

#include <vector>

const QString BatchEngine::ReadingMessage = QStringLiteral("Reading source file.");
const QString BatchEngine::CantReadMessage = QStringLiteral("Can't read source file.");
const QString BatchEngine::WatermarkingMessage = QStringLiteral("Watermarking source file.");
const QString BatchEngine::WritingMessage = QStringLiteral("Writing watermarked file.");
const QString BatchEngine::WritingThumbnailMessage = QStringLiteral("Writing thumbnail.");
const QString BatchEngine::CantWriteMessage =
    QStringLiteral("Can't write file. Verify that output folders exist.");
const QString BatchEngine::WouldReplaceSourceMessage =
    QStringLiteral("Output would replace a source file.");
const QString BatchEngine::NoFolderMessage = QStringLiteral("Choose an output folder first.");
const QString BatchEngine::NoMetadataNote = QStringLiteral("Written without its camera data: %1");

namespace {

// The path as the file system resolves it, also for a file that does not exist yet.
QString canonicalPath(const QString &path)
{
    const QFileInfo info(path);
    if (info.exists())
        return info.canonicalFilePath();
    const QString folder = QFileInfo(info.path()).canonicalFilePath();
    return folder.isEmpty() ? QDir::cleanPath(info.absoluteFilePath())
                            : folder + QLatin1Char('/') + info.fileName();
}

QSet<QString> canonicalSources(const WorkFileList &files)
{
    QSet<QString> paths;
    paths.reserve(files.size());
    for (const auto &file : files)
        paths.insert(canonicalPath(file->filePath()));
    return paths;
}

// Writes through a temporary file renamed over the target, so a failure never leaves half a
// photo behind.
bool writeAtomically(const QString &path, const QByteArray &bytes)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    if (file.write(bytes) != bytes.size()) {
        file.cancelWriting();
        return false;
    }
    return file.commit();
}

} // namespace

struct BatchEngine::Worker
{
    explicit Worker(const PlaceholderExpander &expander)
        : stamper(expander)
    {}
    Stamper stamper;
    // Decoded photos go into the same memory from photo to photo.
    QImage buffer;
};

struct BatchEngine::Run
{
    WorkFileList files;
    OverlayList overlays;
    std::shared_ptr<OutputOptions> options;
    QSet<QString> sources;
    int startValue = 0;
    int workers = 1;
    std::atomic<int> next{0};
};

BatchEngine::BatchEngine(QObject *parent)
    : QObject(parent)
{
    qRegisterMetaType<BatchEngine::FileResult>();
}

BatchEngine::~BatchEngine()
{
    stop();
    wait();
}

bool BatchEngine::start(const WorkFileList &files, const OverlayList &overlays,
                        const std::shared_ptr<OutputOptions> &options, int workers,
                        QString *message)
{
    if (m_running) {
        if (message)
            *message = QStringLiteral("A batch is already running.");
        return false;
    }
    if (!options || !options->isFolderSet()) {
        if (message)
            *message = NoFolderMessage;
        return false;
    }
    wait();
    auto run = std::make_shared<Run>();
    run->files = files;
    run->overlays = overlays;
    run->options = options;
    run->sources = canonicalSources(files);
    run->startValue = options->lastValue();
    run->workers = std::max(1, workers);
    m_processing = true;
    m_running = true;
    qInfo("Thread start");
    m_thread = std::thread([this, run] { runAll(run); });
    return true;
}

void BatchEngine::wait()
{
    if (m_thread.joinable())
        m_thread.join();
}

void BatchEngine::runAll(std::shared_ptr<Run> run)
{
    const auto work = [this, run] {
        Worker worker(m_expander);
        while (m_processing) {
            const int index = run->next.fetch_add(1);
            if (index >= run->files.size())
                break;
            Q_EMIT progressChanged(QStringLiteral("%1 (%2 of %3)")
                                       .arg(run->files.at(index)->fileName())
                                       .arg(index + 1)
                                       .arg(run->files.size()));
            const FileResult result = processFile(worker, *run, index);
            Q_EMIT fileFinished(index, result);
        }
    };
    std::vector<std::thread> helpers;
    for (int i = 1; i < run->workers; ++i)
        helpers.emplace_back(work);
    work();
    for (std::thread &helper : helpers)
        helper.join();

    // Every run numbers its photos from the same start: the counter is left where it was.
    Q_EMIT progressChanged(QStringLiteral("Idle"));
    const bool completed = m_processing;
    qInfo(completed ? "Thread completed" : "Thread cancelled");
    m_processing = false;
    m_running = false;
    Q_EMIT finished(completed);
}

BatchEngine::FileResult BatchEngine::processSingleFile(const std::shared_ptr<WorkFile> &file,
                                                       const OverlayList &overlays,
                                                       const OutputOptions &options)
{
    Run run;
    run.files = {file};
    run.overlays = overlays;
    // The run reads the options only; a private copy keeps the caller's object out of reach.
    run.options = std::make_shared<OutputOptions>();
    for (int i = OutputOptions::staticMetaObject.propertyOffset();
         i < OutputOptions::staticMetaObject.propertyCount(); ++i) {
        const char *name = OutputOptions::staticMetaObject.property(i).name();
        run.options->setProperty(name, options.property(name));
    }
    run.sources = canonicalSources(run.files);
    run.startValue = options.lastValue();
    Worker worker(m_expander);
    return processFile(worker, run, 0);
}

QList<BatchEngine::PlannedFile> BatchEngine::plan(const WorkFileList &files,
                                                  const OutputOptions &options)
{
    QList<PlannedFile> planned;
    const QString folder = options.folder().endsWith(QLatin1Char('/'))
                               ? options.folder()
                               : options.folder() + QLatin1Char('/');
    const bool thumbnails =
        options.createThumbnails() && OutputOptions::thumbnailDim(options.fitIndex()) > 0;
    for (int i = 0; i < files.size(); ++i) {
        const QString name =
            options.buildFileName(files.at(i)->fileName(), options.lastValue() + i);
        planned.append({files.at(i)->filePath(), folder + name,
                        thumbnails ? folder + QLatin1String("thumbs/") + name : QString()});
    }
    return planned;
}

void BatchEngine::report(int index, const QString &message)
{
    Q_EMIT statusChanged(index, message);
}

void BatchEngine::preview(const QImage &image)
{
    if (m_previewEdge > 0 && !image.isNull())
        Q_EMIT imageChanged(image.scaled(m_previewEdge, m_previewEdge, Qt::KeepAspectRatio,
                                         Qt::FastTransformation));
}

BatchEngine::FileResult BatchEngine::processFile(Worker &worker, const Run &run, int index)
{
    const auto &file = run.files.at(index);
    const OutputOptions &options = *run.options;
    FileResult result;
    const auto fail = [&](const QString &message) {
        report(index, message);
        result.failure = message;
        return result;
    };

    const QString name = options.buildFileName(file->fileName(), run.startValue + index);
    const QString path = options.buildFinalPath(name);

    const int edge = OutputOptions::thumbnailDim(options.fitIndex());
    const bool thumbnail = options.createThumbnails() && edge > 0;
    // A photo that is only ever written smaller need not be decoded at full size.
    QList<QSize> fitBoxes;
    if (options.resize()) {
        fitBoxes.append(QSize(options.width(), options.height()));
        if (thumbnail && options.sourceIndex() == 0)
            fitBoxes.append(QSize(edge, edge));
    }

    report(index, ReadingMessage);
    // The camera data is read from the file's header once, before its pixels.
    const MetadataCopier::Mode metadataMode =
        MetadataCopier::formatCarriesMetadata(options.fileFormat())
            ? MetadataCopier::modeFromOption(options.metadata())
            : MetadataCopier::Mode::None;
    MetadataCopier metadata(file->filePath(), metadataMode);
    DecodedImage source = ImageToolkit::decodeInto(file->filePath(), worker.buffer, fitBoxes);
    // The watermarks are drawn into the decoded pixels themselves: were the worker still holding
    // them, the painter would first copy the whole photo. They come back once it is written.
    worker.buffer = QImage();
    if (source.isNull())
        return fail(CantReadMessage);
    preview(source.image());
    const QSize pixelSize = source.pixelSize();
    const QImage::Format greyFormat =
        ImageToolkit::greyscaleOutput(source.image(), options.fileFormat());

    // A thumbnail of the unwatermarked photo is taken now, before the watermarks are drawn
    // into the same pixels.
    QImage thumbnailSource;
    if (thumbnail && options.sourceIndex() == 0)
        thumbnailSource = ImageToolkit::imageFromResizing(source.image(), edge, edge, pixelSize);

    report(index, WatermarkingMessage);
    QImage image = worker.stamper.watermark(file, std::move(source), run.overlays);
    if (image.isNull())
        return fail(CantReadMessage);
    preview(image);
    QImage canvas = image;
    if (options.resize())
        image =
            ImageToolkit::imageFromResizing(image, options.width(), options.height(), pixelSize);

    // The written resolution keeps the photo's physical size: its own dpi when not resized,
    // proportionally less when it was.
    const QSizeF points = file->originalSize();
    const float dpi =
        points.width() > 0 ? static_cast<float>(72.0 * image.width() / points.width()) : 72.0f;
    if (thumbnail && options.sourceIndex() != 0)
        thumbnailSource = ImageToolkit::imageFromResizing(image, edge, edge);

    // A greyscale photo stays greyscale (its watermarks too) where the format holds it.
    if (greyFormat != QImage::Format_Invalid)
        image = ImageToolkit::greyscale(std::move(image), greyFormat);
    const QSize outputSize = image.size();
    QByteArray bytes =
        ImageToolkit::encode(std::move(image), options.fileFormat(), options.quality(), dpi);
    if (!bytes.isEmpty() && !metadata.writeInto(bytes, options.fileFormat(), outputSize, dpi)) {
        result.note = NoMetadataNote.arg(metadata.errorString());
        qInfo("%s: %s", qUtf8Printable(file->filePath()), qUtf8Printable(result.note));
    }
    // The photo's memory goes back to the worker's buffer before the thumbnail is made.
    image = QImage();
    worker.buffer = std::move(canvas);
    if (!bytes.isEmpty()) {
        if (run.sources.contains(canonicalPath(path))) {
            fail(WouldReplaceSourceMessage);
        } else {
            report(index, WritingMessage);
            if (writeAtomically(path, bytes))
                result.outputPath = path;
            else
                fail(CantWriteMessage);
        }
    }

    if (thumbnail && !thumbnailSource.isNull()) {
        const QString thumbPath = options.buildFinalThumbsPath(name);
        const QByteArray thumbBytes = ImageToolkit::encode(
            std::move(thumbnailSource), options.fileFormat(), options.quality(), 72.0f);
        if (!thumbBytes.isEmpty()) {
            if (run.sources.contains(canonicalPath(thumbPath))) {
                fail(WouldReplaceSourceMessage);
            } else {
                report(index, WritingThumbnailMessage);
                if (writeAtomically(thumbPath, thumbBytes))
                    result.thumbnailPath = thumbPath;
                else
                    fail(CantWriteMessage);
            }
        }
    }
    return result;
}
