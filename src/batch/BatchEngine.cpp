// SPDX-FileCopyrightText: 2026 Tessaly
// SPDX-License-Identifier: GPL-3.0-or-later

#include "batch/BatchEngine.h"

#include "base/Printable.h"
#include "base/SafeWrite.h"
#include "batch/MemoryBudget.h"
#include "imageio/ImageToolkit.h"
#include "imageio/MetadataCopier.h"
#include "render/Stamper.h"

#include <QDebug>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QMetaProperty>

#include <algorithm>
#include <cerrno>
#include <limits>
#include <vector>

namespace inkveil {

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
const QString BatchEngine::NotEncodedMessage =
    QStringLiteral("Can't write file. The image could not be encoded in this format.");
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

// The reason part of a decoder's error: without the "Cannot read PATH: " it starts with, as a
// sentence.
QString readReason(const QString &error, const QString &path)
{
    QString reason = error;
    const QString prefix = QStringLiteral("Cannot read %1: ").arg(path);
    if (reason.startsWith(prefix))
        reason = reason.mid(prefix.size());
    reason = printable(reason.trimmed());
    if (reason.isEmpty())
        return reason;
    reason[0] = reason.at(0).toUpper();
    if (!reason.endsWith(QLatin1Char('.')))
        reason += QLatin1Char('.');
    return reason;
}

thread_local QString currentPhoto;

// Names the photo this thread works on for as long as it lives.
struct PhotoInProgress
{
    explicit PhotoInProgress(const QString &path) { currentPhoto = path; }
    ~PhotoInProgress() { currentPhoto.clear(); }
    Q_DISABLE_COPY_MOVE(PhotoInProgress)
};

} // namespace

QString BatchEngine::cantRead(const QString &reason)
{
    return reason.isEmpty() ? CantReadMessage : CantReadMessage + QLatin1Char(' ') + reason;
}

QString BatchEngine::cantWrite(int error, const QString &reason)
{
    if (error == ENOENT || error == ENOTDIR)
        return CantWriteMessage;
    return QStringLiteral("Can't write file. ") + printable(reason);
}

QString BatchEngine::refusal(const OutputOptions &options)
{
    if (!options.isFolderSet())
        return NoFolderMessage;
    return options.nameProblem();
}

QString BatchEngine::photoInProgress()
{
    return currentPhoto;
}

struct BatchEngine::Worker
{
    explicit Worker(const PlaceholderExpander &expander)
        : stamper(expander)
    {}
    Stamper stamper;
    // Decoded photos go into the same memory from photo to photo.
    QImage buffer;
    // What this worker holds of the run's memory budget: the estimate for its current photo,
    // kept with the buffer while the next photo needs the same.
    qint64 held = 0;
};

struct BatchEngine::Run
{
    WorkFileList files;
    OverlayList overlays;
    std::shared_ptr<OutputOptions> options;
    OutputPlan plan;
    QList<int> indices; // the batch indices to process, in order
    QSet<QString> sources;
    int startValue = 0;
    int workers = 1;
    std::atomic<int> next{0};
    // Shared by the workers of a run; none for a single photo.
    std::shared_ptr<MemoryBudget> budget;
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
    return start(files, shardIndices(static_cast<int>(files.size()), 1, 1), overlays, options,
                 workers, message);
}

QList<int> BatchEngine::shardIndices(int size, int shard, int count)
{
    QList<int> indices;
    if (count < 1 || shard < 1 || shard > count)
        return indices;
    indices.reserve(size / count + 1);
    for (int i = shard - 1; i < size; i += count)
        indices.append(i);
    return indices;
}

bool BatchEngine::start(const WorkFileList &files, const QList<int> &indices,
                        const OverlayList &overlays, const std::shared_ptr<OutputOptions> &options,
                        int workers, QString *message)
{
    if (m_running) {
        if (message)
            *message = QStringLiteral("A batch is already running.");
        return false;
    }
    const QString refused = options ? refusal(*options) : NoFolderMessage;
    if (!refused.isNull()) {
        if (message)
            *message = refused;
        return false;
    }
    wait();
    auto run = std::make_shared<Run>();
    run->files = files;
    run->overlays = overlays;
    run->options = options;
    run->plan = plan(files, *options);
    for (const int index : indices) {
        if (index >= 0 && index < files.size())
            run->indices.append(index);
    }
    run->sources = canonicalSources(files);
    run->startValue = options->lastValue();
    run->workers = workersFor(workers, files.size());
    run->budget = std::make_shared<MemoryBudget>(m_memoryBudget);
    m_peakMemoryInFlight = 0;
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
            const int position = run->next.fetch_add(1);
            if (position >= run->indices.size())
                break;
            const int index = run->indices.at(position);
            Q_EMIT progressChanged(QStringLiteral("%1 (%2 of %3)")
                                       .arg(printable(run->files.at(index)->fileName()))
                                       .arg(position + 1)
                                       .arg(run->indices.size()));
            QElapsedTimer clock;
            clock.start();
            FileResult result = processFile(worker, *run, index);
            result.ms = clock.elapsed();
            Q_EMIT fileFinished(index, result);
        }
        worker.buffer = QImage();
        run->budget->release(worker.held);
    };
    std::vector<std::thread> helpers;
    for (int i = 1; i < run->workers; ++i)
        helpers.emplace_back(work);
    work();
    for (std::thread &helper : helpers)
        helper.join();
    m_peakMemoryInFlight = run->budget->peak();

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
    if (const QString refused = refusal(options); !refused.isNull()) {
        report(0, refused);
        FileResult result;
        result.status = Status::Failed;
        result.failure = refused;
        return result;
    }
    run.plan = plan(run.files, *run.options);
    Worker worker(m_expander);
    QElapsedTimer clock;
    clock.start();
    FileResult result = processFile(worker, run, 0);
    result.ms = clock.elapsed();
    return result;
}

int BatchEngine::workersFor(const int requested, const qsizetype photos)
{
    const qsizetype most = std::clamp<qsizetype>(photos, 1, MaxWorkers);
    return static_cast<int>(std::clamp<qsizetype>(requested, 1, most));
}

int BatchEngine::counterValue(const int start, const qsizetype index)
{
    return static_cast<int>(
        std::min<qint64>(qint64(start) + index, std::numeric_limits<int>::max()));
}

qint64 BatchEngine::memoryNeeded(const QString &path, const OutputOptions &options)
{
    const std::optional<ImageToolkit::Header> header = ImageToolkit::readHeader(path);
    if (!header || header->size.isEmpty())
        return 0;
    const qint64 pixels = qint64(header->size.width()) * header->size.height();
    // Pixels of more than 4 bytes are converted to 4-byte ones for drawing; the encoded
    // file rarely takes more than half a byte a pixel.
    qint64 bytes = pixels * header->bytesPerPixel + pixels / 2;
    if (header->bytesPerPixel > 4)
        bytes += pixels * 4;
    if (options.resize()) {
        const QSize fitted =
            ImageToolkit::fittedSize(header->size, options.width(), options.height());
        if (fitted.isValid())
            bytes += qint64(fitted.width()) * fitted.height() * 4;
    }
    return bytes;
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
    const PhotoInProgress inProgress(file->filePath());
    const OutputOptions &options = *run.options;
    const OutputPlan::Entry &planned = run.plan.entries().at(index);
    FileResult result;
    const auto fail = [&](const QString &message) {
        report(index, message);
        result.status = Status::Failed;
        result.failure = message;
        return result;
    };
    if (planned.skip) {
        report(index, OutputPlan::SkippedMessage);
        result.status = Status::Skipped;
        result.failure = OutputPlan::SkippedMessage;
        return result;
    }
    result.renamed = planned.collided || planned.keptExisting;

    const QString name = planned.fileName;
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

    // Room for this photo's pixels before they are decoded. The buffer kept from the previous
    // photo counts as held; it goes unless this photo needs the same.
    if (run.budget) {
        const qint64 needed = memoryNeeded(file->filePath(), options);
        if (needed != worker.held) {
            worker.buffer = QImage();
            run.budget->release(worker.held);
            worker.held = 0;
            run.budget->acquire(needed);
            worker.held = needed;
        }
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
        return fail(cantRead(readReason(
            source.reason().isEmpty() ? source.errorString() : source.reason(), file->filePath())));
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
    // AVIF's encoder embeds the camera data itself; the other formats get it once encoded.
    CameraData embedded;
    const bool embeddable = metadata.embeddedData(embedded, options.fileFormat(), outputSize, dpi);
    QByteArray bytes = ImageToolkit::encode(std::move(image), options.fileFormat(),
                                            options.quality(), dpi, embedded);
    if (!bytes.isEmpty() &&
        !(embeddable && metadata.writeInto(bytes, options.fileFormat(), outputSize, dpi))) {
        result.note = NoMetadataNote.arg(metadata.errorString());
        qInfo("%s: %s", qUtf8Printable(file->filePath()), qUtf8Printable(result.note));
    }
    // The photo's memory goes back to the worker's buffer before the thumbnail is made.
    image = QImage();
    worker.buffer = std::move(canvas);
    // Only the plan's mode replaces; skip and keep both never write over a file that turned
    // up after planning.
    const bool replace = options.existing() != OutputOptions::SkipExisting &&
                         options.existing() != OutputOptions::KeepBothExisting;
    const auto write = [&](const QString &target, const QByteArray &data, const QString &step) {
        if (run.sources.contains(canonicalPath(target))) {
            fail(WouldReplaceSourceMessage);
            return false;
        }
        report(index, step);
        const SafeWrite::Result written = SafeWrite::write(target, data, replace);
        if (written.outcome == SafeWrite::Outcome::Written)
            return true;
        if (written.outcome == SafeWrite::Outcome::Exists &&
            options.existing() == OutputOptions::SkipExisting && result.outputPath.isEmpty()) {
            report(index, OutputPlan::SkippedMessage);
            result.status = Status::Skipped;
            result.failure = OutputPlan::SkippedMessage;
        } else if (written.outcome == SafeWrite::Outcome::Exists) {
            fail(cantWrite(EEXIST, SafeWrite::errorText(EEXIST)));
        } else {
            fail(cantWrite(written.error, written.reason));
        }
        return false;
    };
    if (bytes.isEmpty()) {
        result.status = Status::Failed;
        result.failure = NotEncodedMessage;
    } else {
        if (write(path, bytes, WritingMessage))
            result.outputPath = path;
    }

    // A skipped photo gets no thumbnail either.
    if (thumbnail && !thumbnailSource.isNull() && result.status != Status::Skipped) {
        const QString thumbPath = options.buildFinalThumbsPath(name);
        const QByteArray thumbBytes = ImageToolkit::encode(
            std::move(thumbnailSource), options.fileFormat(), options.quality(), 72.0f);
        if (!thumbBytes.isEmpty()) {
            if (SafeWrite::isSymLink(QFileInfo(thumbPath).path())) {
                // Thumbnails go into the thumbs folder itself, never where a link points.
                fail(cantWrite(ELOOP, SafeWrite::linkReason()));
            } else {
                if (write(thumbPath, thumbBytes, WritingThumbnailMessage))
                    result.thumbnailPath = thumbPath;
            }
        }
    }
    return result;
}

} // namespace inkveil
