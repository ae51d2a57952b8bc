// SPDX-FileCopyrightText: 2026 Tessaly
// SPDX-License-Identifier: GPL-3.0-or-later

#include "batch/BatchEngine.h"

#include "base/Logging.h"
#include "base/Paths.h"
#include "base/Printable.h"
#include "base/SafeWrite.h"
#include "base/StopScope.h"
#include "batch/MemoryBudget.h"
#include "credentials/OutputSigner.h"
#include "imageio/IccProfile.h"
#include "imageio/ImageFormat.h"
#include "imageio/ImageToolkit.h"
#include "imageio/MetadataCopier.h"
#include "mark/MarkEmbedder.h"
#include "mark/MarkKey.h"
#include "render/Stamper.h"

#include <QColorSpace>
#include <QDebug>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QMetaProperty>

#include <algorithm>
#include <cerrno>
#include <limits>
#include <optional>
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
const QString BatchEngine::NoWatermarkMessage =
    QStringLiteral("Can't watermark source file. No watermark shows on it: each is empty, turned "
                   "off or can't be read.");
const QString BatchEngine::BadMarkNumberMessage =
    QStringLiteral("The mark number must be a whole number from 0 to 1099511627775.");
const QString BatchEngine::NotEncodedMessage =
    QStringLiteral("Can't write file. The image could not be encoded in this format.");
const QString BatchEngine::NoMetadataNote = QStringLiteral("Written without its camera data: %1");
const QString BatchEngine::NoMakerNoteNote = QStringLiteral("Written without its maker note: %1");
const QString BatchEngine::NoThumbnailNote = QStringLiteral("Written without its thumbnail: %1");
const QString BatchEngine::NoProfileNote =
    QStringLiteral("Written in sRGB without its colour profile: %1");
const QString BatchEngine::SidecarNote =
    QStringLiteral("Its content credentials are in %1 beside it: the format carries none inside.");
const QString BatchEngine::CantSignMessage =
    QStringLiteral("Can't write file. Its content credentials could not be signed: %1");

namespace {

QSet<QString> canonicalSources(const WorkFileList &files)
{
    QSet<QString> paths;
    paths.reserve(files.size());
    for (const auto &file : files)
        paths.insert(Paths::resolved(file->filePath()));
    return paths;
}

// Why a photo can't be read, as the status line shows it: printable, as a sentence.
QString readReason(const QString &error)
{
    QString reason = printable(error.trimmed());
    if (reason.isEmpty())
        return reason;
    reason[0] = reason.at(0).toUpper();
    if (!reason.endsWith(QLatin1Char('.')))
        reason += QLatin1Char('.');
    return reason;
}

thread_local QString currentPhoto;

// Marks a photo that encoded but could not be signed, so its failure is told as it is and not
// as an encoder's.
constexpr int SigningFailed = -1;

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

Status BatchEngine::canStart(const OutputOptions &options)
{
    if (!options.isFolderSet())
        return Error{NoFolderMessage};
    if (const QString problem = options.nameProblem(); !problem.isNull())
        return Error{problem};
    if (options.invisibleMark() && !options.markId())
        return Error{BadMarkNumberMessage};
    return {};
}

// The key a run marks its outputs with: none when the options ask for no mark.
static Result<std::shared_ptr<const MarkKey>> markKeyFor(const OutputOptions &options,
                                                         const QString &path)
{
    if (!options.invisibleMark())
        return std::shared_ptr<const MarkKey>();
    const Result<MarkKey> key =
        MarkKey::loadOrCreate(path.isEmpty() ? MarkKey::defaultPath() : path);
    if (!key)
        return Error{QStringLiteral("Can't use the mark key: %1").arg(key.reason())};
    return std::make_shared<const MarkKey>(*key);
}

QStringList BatchEngine::outputFolders(const OutputOptions &options)
{
    QStringList folders{options.folder()};
    if (options.createThumbnails() && OutputOptions::thumbnailDim(options.fitIndex()) > 0)
        folders.append(QDir(options.folder()).filePath(QStringLiteral("thumbs")));
    return folders;
}

Status BatchEngine::canWrite(const OutputOptions &options)
{
    for (const QString &folder : outputFolders(options)) {
        // A link in the thumbnails' place fails each photo's thumbnail; nothing is written
        // through it, not even a probe.
        if (SafeWrite::isSymLink(folder))
            continue;
        if (options.folderCreate() && !SafeWrite::entryExists(folder)) {
            if (const Result<void> made = SafeWrite::makeFolders(folder); !made)
                return Error{QStringLiteral("Can't create the output folder %1. %2")
                                 .arg(printable(folder), made.reason()),
                             made.error().code};
        }
        if (!SafeWrite::isFolder(folder))
            continue;
        if (const Result<void> probed = SafeWrite::probeFolder(folder); !probed)
            return Error{QStringLiteral("Can't write into the output folder %1. %2")
                             .arg(printable(folder), probed.reason()),
                         probed.error().code};
    }
    return {};
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
    // The invisible mark's key, when the outputs carry the mark.
    std::shared_ptr<const MarkKey> markKey;
    // Opened once before the first photo, and every write goes through them, so a link
    // swapped in during the run redirects none. Where one could not be opened, each write into
    // it fails with the reason.
    Result<SafeWrite::Folder> outputFolder{Error{}};
    Result<SafeWrite::Folder> thumbsFolder{Error{}};
    // Their paths, ending in "/", as results and messages name the files written into them.
    QString outputPrefix;
    QString thumbsPrefix;
    std::shared_ptr<const OutputSigner> signer;
};

void BatchEngine::openFolders(Run &run)
{
    // The folders are made here when asked to, before the first photo; from then on no write
    // looks a folder up by its path.
    run.outputPrefix = run.options->buildFinalPath(QString());
    run.outputFolder = SafeWrite::Folder::open(run.outputPrefix);
    const QStringList folders = outputFolders(*run.options);
    if (folders.size() > 1) {
        run.thumbsPrefix = run.options->buildFinalThumbsPath(QString());
        run.thumbsFolder = run.outputFolder ? run.outputFolder->openChild(QStringLiteral("thumbs"))
                                            : Result<SafeWrite::Folder>(run.outputFolder.error());
    }
    for (qsizetype i = 0; i < folders.size(); ++i) {
        const Result<SafeWrite::Folder> &folder = i == 0 ? run.outputFolder : run.thumbsFolder;
        const int removed = folder ? folder->removeStaleTemporaries() : 0;
        if (removed > 0)
            qCInfo(lcBatch, "Removed %d temporary files left in %s by an interrupted run", removed,
                   qUtf8Printable(folders.at(i)));
    }
}

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

Status BatchEngine::start(const WorkFileList &files, const OverlayList &overlays,
                          const std::shared_ptr<OutputOptions> &options, int workers)
{
    return start(files, shardIndices(static_cast<int>(files.size()), 1, 1), overlays, options,
                 workers);
}

QList<int> BatchEngine::shardIndices(int size, int shard, int count)
{
    QList<int> indices;
    if (count < 1 || shard < 1 || shard > count)
        return indices;
    indices.reserve(size / count + 1);
    // Counted wide: with a part count near the largest int, the next index would overflow.
    for (qint64 i = shard - 1; i < size; i += count)
        indices.append(static_cast<int>(i));
    return indices;
}

Status BatchEngine::start(const WorkFileList &files, const QList<int> &indices,
                          const OverlayList &overlays,
                          const std::shared_ptr<OutputOptions> &options, int workers)
{
    if (m_running)
        return Error{QStringLiteral("A batch is already running.")};
    if (!options)
        return Error{NoFolderMessage};
    if (Result<void> ready = canStart(*options); !ready)
        return ready;
    if (Result<void> writable = canWrite(*options); !writable)
        return writable;
    Result<std::shared_ptr<const MarkKey>> markKey = markKeyFor(*options, m_markKeyPath);
    if (!markKey)
        return markKey.error();
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
    openFolders(*run);
    run->signer = m_signer;
    run->markKey = *markKey;
    m_peakMemoryInFlight = 0;
    m_processing = true;
    m_running = true;
    qInfo("Thread start");
    m_thread = std::thread([this, run] { runAll(run); });
    return {};
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
        const StopScope stopScope(m_processing);
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
            // A photo given up because the run stopped is left undone, like those after it.
            if (!result.ok() && !m_processing)
                break;
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
    run.signer = m_signer;
    Result<std::shared_ptr<const MarkKey>> markKey = markKeyFor(options, m_markKeyPath);
    if (Result<void> ready = markKey ? canStart(options) : Result<void>(markKey.error()); !ready) {
        report(0, ready.reason());
        FileResult result;
        result.status = Status::Failed;
        result.failure = ready.reason();
        return result;
    }
    run.markKey = *markKey;
    run.plan = plan(run.files, *run.options);
    openFolders(run);
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
    const Result<ImageToolkit::Header> header = ImageToolkit::readHeader(path);
    if (!header || header->size.isEmpty())
        return 0;
    const qint64 pixels = qint64(header->size.width()) * header->size.height();
    // Pixels of more than 4 bytes are converted to 4-byte ones for drawing; the encoded
    // file rarely takes more than half a byte a pixel.
    qint64 bytes = pixels * header->bytesPerPixel + pixels / 2;
    if (header->bytesPerPixel > 4)
        bytes += pixels * 4;
    if (options.resize()) {
        const QSize fitted = options.resizeRule().outputSize(header->size);
        if (fitted.isValid())
            bytes += qint64(fitted.width()) * fitted.height() * 4;
    }
    if (options.metadata() != OutputOptions::NoMetadata &&
        MetadataCopier::formatCarriesMetadata(options.fileFormat()))
        bytes += MetadataCopier::memoryNeeded(path);
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

// One photo of a run, taken through its steps: read, draw, encode, write, thumbnail. The
// result collects what became of it; a step that fails marks it and says so on the status line.
class BatchEngine::Job
{
public:
    Job(BatchEngine &engine, Worker &worker, const Run &run, const int index)
        : m_engine(engine)
        , m_worker(worker)
        , m_run(run)
        , m_index(index)
        , m_file(run.files.at(index))
        , m_options(*run.options)
        , m_planned(run.plan.entries().at(index))
        , m_fileName(m_planned.fileName)
    {
        const int edge = OutputOptions::thumbnailDim(m_options.fitIndex());
        m_thumbnailEdge = m_options.createThumbnails() && edge > 0 ? edge : 0;
        m_thumbnailFromSource = m_thumbnailEdge > 0 && m_options.sourceIndex() == 0;
    }

    FileResult process();

private:
    // The photo as it is to be encoded, and what else was made on the way.
    struct Drawn
    {
        QImage image;
        // The watermarked pixels at their decoded size, to become the worker's buffer again.
        QImage canvas;
        QImage thumbnailSource;
        float dpi = 72.0f;
    };

    void fail(const QString &message);
    void skip();
    // Adds to what the output lacks though written.
    void addNote(const QString &note)
    {
        m_result.note = m_result.note.isEmpty() ? note : m_result.note + QLatin1Char(' ') + note;
    }
    void reserveMemory();
    QList<ResizeRule> fits() const;
    // Reads, watermarks and resizes the photo; fails with the step's message.
    Result<Drawn> draw();
    // The photo's file with its camera data; fails when the format names no encoder or the
    // encoder failed. Camera data that can't be carried only notes so.
    Result<QByteArray> encode(Drawn &drawn, const MetadataCopier &metadata);
    // Puts the invisible mark into the final pixels when the run asks for it.
    void mark(Drawn &drawn);
    // Signs the finished file, last of all, over its final bytes; its sidecar is kept for
    // writing after it.
    Result<QByteArray> signCredentials(QByteArray bytes);
    void writeSidecar();
    // Writes one file of the photo; false, with the photo failed or skipped, when it was not
    // written.
    bool write(const Result<SafeWrite::Folder> &folder, const QString &target,
               const QByteArray &data, const QString &step);
    // Writes into the run's folder; the outcome, or nothing when it failed (the photo failed).
    std::optional<SafeWrite::Outcome> put(const Result<SafeWrite::Folder> &folder,
                                          const QString &target, const QByteArray &data,
                                          const QString &step, bool replace);
    // Writes the photo itself under its planned name, or a later free "-N" one when keeping both.
    bool writePhoto(const QByteArray &data);
    void writeThumbnail(QImage source);

    BatchEngine &m_engine;
    Worker &m_worker;
    const Run &m_run;
    const int m_index;
    const std::shared_ptr<WorkFile> &m_file;
    const OutputOptions &m_options;
    const OutputPlan::Entry &m_planned;
    // The thumbnail's edge, 0 for none; whether it shows the photo before its watermarks.
    int m_thumbnailEdge = 0;
    bool m_thumbnailFromSource = false;
    FileResult m_result;
    // The name the photo is written under: the plan's, unless another run took it first.
    QString m_fileName;
    QByteArray m_sidecar;
};

BatchEngine::FileResult BatchEngine::processFile(Worker &worker, const Run &run, int index)
{
    return Job(*this, worker, run, index).process();
}

BatchEngine::FileResult BatchEngine::Job::process()
{
    const PhotoInProgress inProgress(m_file->filePath());
    if (m_planned.skip) {
        skip();
        return m_result;
    }
    if (m_planned.source) {
        // Said in the summary before the run: skipped, not failed.
        m_engine.report(m_index, WouldReplaceSourceMessage);
        m_result.status = Status::Skipped;
        m_result.failure = WouldReplaceSourceMessage;
        return m_result;
    }
    m_result.renamed = m_planned.collided || m_planned.keptExisting;
    reserveMemory();

    m_engine.report(m_index, ReadingMessage);
    Result<Drawn> drawn = draw();
    if (!drawn) {
        fail(drawn.reason());
        return m_result;
    }
    // The camera data is read once the pixels have decoded: a file the decoders refuse for
    // its lying boxes never reaches the metadata reader, which would believe them.
    const MetadataCopier metadata(m_file->filePath(),
                                  MetadataCopier::formatCarriesMetadata(m_options.fileFormat())
                                      ? MetadataCopier::modeFromOption(m_options.metadata())
                                      : MetadataCopier::Mode::None);
    Result<QByteArray> bytes = encode(*drawn, metadata);
    if (bytes && m_run.signer)
        bytes = signCredentials(std::move(*bytes));
    // The photo's memory goes back to the worker's buffer before the thumbnail is made.
    m_worker.buffer = std::move(drawn->canvas);
    if (!bytes && bytes.error().code == SigningFailed) {
        fail(bytes.reason());
    } else if (!bytes) {
        // The status line shows no message for it; the result says it.
        qCDebug(lcBatch, "%s: not encoded: %s", qUtf8Printable(m_file->filePath()),
                qUtf8Printable(bytes.reason()));
        m_result.status = Status::Failed;
        m_result.failure = NotEncodedMessage;
    } else if (writePhoto(*bytes)) {
        m_result.outputPath = m_run.outputPrefix + m_fileName;
        writeSidecar();
    }
    // A skipped photo gets no thumbnail either.
    if (m_result.status != Status::Skipped)
        writeThumbnail(std::move(drawn->thumbnailSource));
    return m_result;
}

void BatchEngine::Job::fail(const QString &message)
{
    m_engine.report(m_index, message);
    m_result.status = Status::Failed;
    m_result.failure = message;
}

void BatchEngine::Job::skip()
{
    m_engine.report(m_index, OutputPlan::SkippedMessage);
    m_result.status = Status::Skipped;
    m_result.failure = OutputPlan::SkippedMessage;
}

// Room for this photo's pixels before they are decoded. The buffer kept from the previous photo
// counts as held; it goes unless this photo needs the same.
void BatchEngine::Job::reserveMemory()
{
    if (!m_run.budget)
        return;
    const qint64 needed = memoryNeeded(m_file->filePath(), m_options);
    if (needed == m_worker.held)
        return;
    m_worker.buffer = QImage();
    m_run.budget->release(m_worker.held);
    m_worker.held = 0;
    m_run.budget->acquire(needed);
    m_worker.held = needed;
}

// A photo that is only ever written smaller need not be decoded at full size.
QList<ResizeRule> BatchEngine::Job::fits() const
{
    QList<ResizeRule> rules;
    if (m_options.resize()) {
        rules.append(m_options.resizeRule());
        if (m_thumbnailFromSource)
            rules.append(ResizeRule::fitInto(m_thumbnailEdge, m_thumbnailEdge));
    }
    return rules;
}

Result<BatchEngine::Job::Drawn> BatchEngine::Job::draw()
{
    const QString &path = m_file->filePath();
    Result<DecodedImage> source = ImageToolkit::decodeInto(path, m_worker.buffer, fits());
    // The watermarks are drawn into the decoded pixels themselves: were the worker still holding
    // them, the painter would first copy the whole photo. They come back once it is written.
    m_worker.buffer = QImage();
    if (!source)
        return Error{cantRead(readReason(source.reason()))};
    if (source->image().colorSpace().iccProfile().size() > MaxIccBytes) {
        QImage image = source->takeImage();
        addNote(NoProfileNote.arg(dropOversizedIcc(image)));
        *source = DecodedImage(std::move(image), source->dpi(), source->pixelSize());
    }
    const QSize pixelSize = source->pixelSize();
    const QImage::Format greyFormat =
        ImageToolkit::greyscaleOutput(source->image(), m_options.fileFormat());

    Drawn drawn;
    // A thumbnail of the unwatermarked photo is taken now, before the watermarks are drawn
    // into the same pixels.
    if (m_thumbnailFromSource)
        drawn.thumbnailSource = ImageToolkit::imageFromResizing(source->image(), m_thumbnailEdge,
                                                                m_thumbnailEdge, pixelSize);

    m_engine.report(m_index, WatermarkingMessage);
    Stamper::Stamped stamped =
        m_worker.stamper.watermark(m_file, std::move(source).value(), m_run.overlays);
    if (stamped.image.isNull())
        return Error{CantReadMessage};
    // A batch without watermarks only converts; one whose watermarks all come out blank would
    // write the photo as it was, which nobody asked for.
    if (!m_run.overlays.isEmpty() && stamped.watermarksShown == 0)
        return Error{NoWatermarkMessage};
    m_result.shrunk = stamped.watermarksShrunk > 0;
    m_result.choices = stamped.choices;
    // The pane shows what is written, not the photo it came from.
    m_engine.preview(stamped.image);
    drawn.canvas = stamped.image;
    QImage image = std::move(stamped.image);
    if (m_options.resize())
        image = ImageToolkit::imageFromResizing(image, m_options.resizeRule(), pixelSize);

    // The written resolution keeps the photo's physical size: its own dpi when not resized,
    // proportionally less when it was.
    const QSizeF points = stamped.originalSize;
    drawn.dpi =
        points.width() > 0 ? static_cast<float>(72.0 * image.width() / points.width()) : 72.0f;
    if (m_thumbnailEdge > 0 && !m_thumbnailFromSource)
        drawn.thumbnailSource =
            ImageToolkit::imageFromResizing(image, m_thumbnailEdge, m_thumbnailEdge);

    // A greyscale photo stays greyscale (its watermarks too) where the format holds it.
    if (greyFormat != QImage::Format_Invalid)
        image = ImageToolkit::greyscale(std::move(image), greyFormat);
    drawn.image = std::move(image);
    mark(drawn);
    return drawn;
}

void BatchEngine::Job::mark(Drawn &drawn)
{
    // A GIF's palette can't hold the faint changes (the summary says so).
    if (!m_run.markKey || ImageFormats::fromName(m_options.fileFormat()) == ImageFormat::Gif)
        return;
    // Pixels still shared with the canvas would be copied whole by the first change: the canvas
    // lets go of them and takes them back marked.
    const bool shared = drawn.canvas.constBits() == drawn.image.constBits();
    if (shared)
        drawn.canvas = QImage();
    const auto serial = static_cast<quint32>(m_planned.counterValue) & MarkPayload::SerialMask;
    if (MarkEmbedder::embed(drawn.image, *m_run.markKey, {m_options.markId().value_or(0), serial}))
        m_result.markSerial = serial;
    if (shared)
        drawn.canvas = drawn.image;
}

Result<QByteArray> BatchEngine::Job::encode(Drawn &drawn, const MetadataCopier &metadata)
{
    const QString &format = m_options.fileFormat();
    const QSize outputSize = drawn.image.size();
    m_result.outputSize = outputSize;
    // AVIF's encoder embeds the camera data itself; the other formats get it once encoded.
    const Result<CameraData> embedded = metadata.embeddedData(format, outputSize, drawn.dpi);
    Result<QByteArray> encoded =
        ImageToolkit::encode(std::move(drawn.image), format, m_options.quality(), drawn.dpi,
                             embedded ? *embedded : CameraData());
    if (!encoded)
        return encoded;
    QByteArray &bytes = *encoded;
    const Result<void> carried =
        embedded ? metadata.writeInto(bytes, format, outputSize, drawn.dpi) : embedded.error();
    if (!carried)
        addNote(NoMetadataNote.arg(carried.reason()));
    else if (!metadata.makerNoteLeftOut().isEmpty())
        addNote(NoMakerNoteNote.arg(metadata.makerNoteLeftOut()));
    if (!m_result.note.isEmpty())
        qInfo("%s: %s", qUtf8Printable(m_file->filePath()), qUtf8Printable(m_result.note));
    return encoded;
}

Result<QByteArray> BatchEngine::Job::signCredentials(QByteArray bytes)
{
    Provenance provenance;
    provenance.title = m_fileName;
    provenance.format = OutputSigner::mediaType(m_fileName);
    if (!m_run.overlays.isEmpty())
        provenance.actions.append({QStringLiteral("c2pa.edited"), QStringLiteral("Watermarked")});
    if (m_options.resize())
        provenance.actions.append({QStringLiteral("c2pa.resized"), QString()});
    if (OutputSigner::mediaType(m_file->filePath()) != provenance.format)
        provenance.actions.append({QStringLiteral("c2pa.converted"), QString()});
    // The invisible mark carries no reference to this manifest, hence "unbound".
    if (m_result.markSerial >= 0)
        provenance.actions.append({QStringLiteral("c2pa.watermarked.unbound"), QString()});
    Result<OutputSigner::Signed> signedOutput =
        m_run.signer->sign(std::move(bytes), std::move(provenance), m_file->filePath());
    if (!signedOutput) {
        return Error{CantSignMessage.arg(signedOutput.reason()), SigningFailed};
    }
    m_sidecar = std::move(signedOutput->sidecar);
    if (!signedOutput->sourceNote.isEmpty())
        m_result.note = m_result.note.isEmpty()
                            ? signedOutput->sourceNote
                            : m_result.note + QLatin1Char(' ') + signedOutput->sourceNote;
    return std::move(signedOutput->asset);
}

void BatchEngine::Job::writeSidecar()
{
    if (m_sidecar.isEmpty())
        return;
    // Beside the photo, through the folder the run opened, as the photo itself was written.
    const QString name = QFileInfo(OutputSigner::sidecarPath(m_result.outputPath)).fileName();
    const Result<SafeWrite::Outcome> written =
        m_run.outputFolder ? m_run.outputFolder->write(name, m_sidecar, true)
                           : Result<SafeWrite::Outcome>(m_run.outputFolder.error());
    const QString note = written ? SidecarNote.arg(name) : CantSignMessage.arg(written.reason());
    m_result.note = m_result.note.isEmpty() ? note : m_result.note + QLatin1Char(' ') + note;
}

std::optional<SafeWrite::Outcome> BatchEngine::Job::put(const Result<SafeWrite::Folder> &folder,
                                                        const QString &target,
                                                        const QByteArray &data, const QString &step,
                                                        const bool replace)
{
    if (m_run.sources.contains(Paths::resolved(target))) {
        fail(WouldReplaceSourceMessage);
        return std::nullopt;
    }
    m_engine.report(m_index, step);
    if (!folder) {
        fail(cantWrite(folder.error().code, folder.reason()));
        return std::nullopt;
    }
    const Result<SafeWrite::Outcome> written =
        folder->write(target.mid(target.lastIndexOf(QLatin1Char('/')) + 1), data, replace);
    if (!written) {
        fail(cantWrite(written.error().code, written.reason()));
        return std::nullopt;
    }
    return *written;
}

bool BatchEngine::Job::writePhoto(const QByteArray &data)
{
    if (m_options.existing() != OutputOptions::KeepBothExisting)
        return write(m_run.outputFolder, m_run.outputPrefix + m_fileName, data, WritingMessage);
    // Another run writing into the same folder may take the planned name after planning: the
    // photo then takes the next free "-N" name. The rename that never replaces settles who
    // gets a name; a name seen taken costs one look, not a write.
    constexpr qint64 MostNames = 100000;
    for (qint64 n = 2; n <= MostNames; ++n) {
        const std::optional<SafeWrite::Outcome> written =
            put(m_run.outputFolder, m_run.outputPrefix + m_fileName, data, WritingMessage, false);
        if (!written)
            return false;
        if (*written == SafeWrite::Outcome::Written)
            return true;
        m_fileName = OutputPlan::numberedName(m_planned.builtName,
                                              QLatin1Char('.') + m_options.fileFormat(), n);
        m_result.renamed = true;
    }
    fail(cantWrite(EEXIST, SafeWrite::errorText(EEXIST)));
    return false;
}

bool BatchEngine::Job::write(const Result<SafeWrite::Folder> &folder, const QString &target,
                             const QByteArray &data, const QString &step)
{
    // Only the plan's mode replaces; skip and keep both never write over a file that turned
    // up after planning.
    const bool replace = m_options.existing() != OutputOptions::SkipExisting &&
                         m_options.existing() != OutputOptions::KeepBothExisting;
    const std::optional<SafeWrite::Outcome> written = put(folder, target, data, step, replace);
    if (!written)
        return false;
    if (*written == SafeWrite::Outcome::Written)
        return true;
    if (m_options.existing() == OutputOptions::SkipExisting && m_result.outputPath.isEmpty())
        skip();
    else
        fail(cantWrite(EEXIST, SafeWrite::errorText(EEXIST)));
    return false;
}

void BatchEngine::Job::writeThumbnail(QImage source)
{
    if (m_thumbnailEdge == 0 || source.isNull())
        return;
    const QString path = m_run.thumbsPrefix + m_fileName;
    const Result<QByteArray> bytes =
        ImageToolkit::encode(std::move(source), m_options.fileFormat(), m_options.quality(), 72.0f);
    if (!bytes)
        return;
    // Thumbnails go into the thumbs folder itself, never where a link points.
    if (write(m_run.thumbsFolder, path, *bytes, WritingThumbnailMessage))
        m_result.thumbnailPath = path;
    // The photo itself is written all the same: it counts as written, noting what it lacks.
    if (m_result.status == Status::Failed && !m_result.outputPath.isEmpty()) {
        addNote(NoThumbnailNote.arg(m_result.failure));
        m_result.status = Status::Written;
        m_result.failure.clear();
    }
}

} // namespace inkveil
