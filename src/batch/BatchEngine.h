// SPDX-FileCopyrightText: 2026 Tessaly
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "base/Result.h"
#include "output/OutputOptions.h"
#include "output/OutputPlan.h"
#include "render/AutoAdjuster.h"
#include "render/PlaceholderExpander.h"
#include "sources/WorkFile.h"
#include "watermarks/Overlay.h"

#include <QImage>
#include <QObject>
#include <QSet>
#include <QString>

#include <atomic>
#include <memory>
#include <thread>

namespace inkveil {

class OutputSigner;
class Stamper;

// Runs a batch off the interface thread: for each photo, build its names, read it, draw the
// watermarks, resize, encode and write it, then its thumbnail. Several workers may run at once;
// photo i always gets counter value start + i, so names never depend on timing. Stop lets the
// photos in progress finish and starts no new one. The wizard's batch pane and the command-line
// tool both drive it; it reports through signals and touches no widget.
class BatchEngine : public QObject
{
    Q_OBJECT

public:
    // Step messages, as the batch pane shows them.
    static const QString ReadingMessage;
    static const QString CantReadMessage;
    static const QString WatermarkingMessage;
    static const QString WritingMessage;
    static const QString WritingThumbnailMessage;
    static const QString CantWriteMessage;
    static const QString WouldReplaceSourceMessage;
    static const QString NoFolderMessage;
    // Not written: the batch has watermarks, but none of them shows on the photo.
    static const QString NoWatermarkMessage;
    // Not written because the format names no encoder or the encoder failed. Only in the
    // result: the status line shows no message for it.
    static const QString NotEncodedMessage;

    // "Can't read source file." with the reason after it, when there is one.
    static QString cantRead(const QString &reason);
    // "Can't write file." with the system's reason; a missing folder keeps the advice to
    // verify that output folders exist.
    static QString cantWrite(int error, const QString &reason);
    // The note of a photo written without the camera data it was meant to keep (unreadable in
    // the source, or Exiv2 failed to write it); %1 says why.
    static const QString NoMetadataNote;
    // The note of a photo written without its maker note, which can't be carried faithfully.
    static const QString NoMakerNoteNote;
    // The note of a photo written whose thumbnail was not; %1 is the write's failure.
    static const QString NoThumbnailNote;
    // The note of a photo written in sRGB because its colour profile was too large to carry; %1
    // says how large.
    static const QString NoProfileNote;

    // What became of one photo. Within the engine this is what Status names; the success or
    // failure of a step is spelled Result<void>.
    enum class Status { Written, Failed, Skipped };
    struct FileResult
    {
        Status status = Status::Written;
        QString outputPath;    // empty when no output was written
        QString thumbnailPath; // empty when no thumbnail was written
        // Why the photo failed or was skipped (the message of the step that failed, with its
        // reason); empty when it was written.
        QString failure;
        // Written under a "-N" name (a collision in the batch, or keeping an existing file).
        bool renamed = false;
        // What the output lacks though written (its camera data); or empty.
        QString note;
        // Time spent on the photo, from its start to its end, in milliseconds.
        qint64 ms = 0;
        // A watermark text was drawn smaller than its size to stay within its maximum width.
        bool shrunk = false;
        // Where each used watermark went and in which colour, when any is fitted to the photo.
        QList<AutoChoice> choices;
        // The written photo's pixel size; invalid when none was encoded.
        QSize outputSize;
        // The serial the output's invisible mark carries; -1 when it carries none.
        qint64 markSerial = -1;
        bool ok() const { return status != Status::Failed; }
    };

    explicit BatchEngine(QObject *parent = nullptr);
    ~BatchEngine() override;

    // The key file of the invisible mark (see MarkKey), made there at the first marked run;
    // by default the one in the user's config folder.
    void setMarkKeyPath(const QString &path) { m_markKeyPath = path; }
    // The start's failure when the options ask for a mark whose number is no mark number.
    static const QString BadMarkNumberMessage;
    // The clock and user name used for placeholders (tests fix them).
    void setExpander(const PlaceholderExpander &expander) { m_expander = expander; }
    // Also send a small copy of each image being processed (for a window to show).
    void setPreviewSize(int edge) { m_previewEdge = edge; }

    // Decoded pixels all workers may hold at once (see MemoryBudget); applies from the next run.
    static constexpr qint64 DefaultMemoryBudget = qint64(1) << 30;
    void setMemoryBudget(qint64 bytes) { m_memoryBudget = bytes; }
    qint64 memoryBudget() const { return m_memoryBudget; }
    // Signs every output of the next runs with content credentials; none leaves them unsigned.
    void setSigner(std::shared_ptr<const OutputSigner> signer) { m_signer = std::move(signer); }
    // The note of a photo whose credentials went into a sidecar file; %1 is its name.
    static const QString SidecarNote;
    // The failure of a photo that could not be signed; %1 is why.
    static const QString CantSignMessage;
    // The most the workers of the last run held at once, as they estimated it.
    qint64 peakMemoryInFlight() const { return m_peakMemoryInFlight; }
    // What processing the photo at path is estimated to hold: its decoded pixels from the
    // header, a converted copy where the decoder's pixels are not drawn on directly, the encoded
    // bytes and a resized copy. 0 when the header cannot be read.
    static qint64 memoryNeeded(const QString &path, const OutputOptions &options);

    // The photo the calling thread is processing for a run, or an empty string: lets a message
    // from a library (libpng, libtiff, Qt) be told with the photo it is about.
    static QString photoInProgress();

    // More workers than this only wait on each other and the disk.
    static constexpr int MaxWorkers = 64;
    // The workers a run of `photos` uses when `requested` are asked for: at least 1, at most
    // one per photo and MaxWorkers.
    static int workersFor(int requested, qsizetype photos);
    // The counter value of photo `index` of a run starting at `start`, kept within int: a
    // counter near its largest value stays there instead of overflowing.
    static int counterValue(int start, qsizetype index);

    // Starts a run with the given number of workers (at least 1). Fails with the reason when
    // the run cannot start (no output folder, names that would leave it, already running).
    // Every name is planned before the first write.
    Result<void> start(const WorkFileList &files, const OverlayList &overlays,
                       const std::shared_ptr<OutputOptions> &options, int workers);
    // The same, processing only the photos of the batch at `indices` (in that order): the whole
    // batch is still planned and numbered, and signals name photos by their batch index, so that
    // parts of one batch run anywhere write exactly what the whole run writes.
    Result<void> start(const WorkFileList &files, const QList<int> &indices,
                       const OverlayList &overlays, const std::shared_ptr<OutputOptions> &options,
                       int workers);
    // The batch indices of shard `shard` (1 to `count`) of a batch of `size` photos: every
    // `count`th photo, starting with photo shard - 1.
    static QList<int> shardIndices(int size, int shard, int count);
    // Asks a run to stop after the photos in progress.
    void stop() { m_processing = false; }
    bool isRunning() const { return m_running; }
    // Blocks until the current run (if any) has ended.
    void wait();

    // The whole pipeline for one photo on the calling thread, numbered with the options'
    // current counter value and planned as a batch of one. Used for the single-photo run.
    FileResult processSingleFile(const std::shared_ptr<WorkFile> &file, const OverlayList &overlays,
                                 const OutputOptions &options);

    // The names the run of these photos would write, and what it does where files exist;
    // writes and creates nothing.
    static OutputPlan plan(const WorkFileList &files, const OutputOptions &options)
    {
        return OutputPlan(files, options);
    }
    // Whether a run of these options can start, or why not (no output folder, names that would
    // leave it).
    static Result<void> canStart(const OutputOptions &options);
    // Whether the run can write into its folders: makes them when the options ask for it, then
    // writes and removes a probe file in each, so that a read-only or full disk or a refused
    // permission stops the run before its first photo, with that reason. A missing folder that
    // is not to be made is left to each photo's write.
    static Result<void> canWrite(const OutputOptions &options);
    // The folders a run writes into: the output folder, and its thumbs folder when thumbnails
    // are made.
    static QStringList outputFolders(const OutputOptions &options);

Q_SIGNALS:
    // "name (i of n)" as photo i starts.
    void progressChanged(const QString &text);
    void statusChanged(int index, const QString &message);
    void imageChanged(const QImage &image);
    void fileFinished(int index, const BatchEngine::FileResult &result);
    // After the last photo or a stop; completed is false when the run was stopped.
    void finished(bool completed);

private:
    struct Worker;
    struct Run;
    // Makes the run's folders when asked to and opens them for its writes.
    static void openFolders(Run &run);
    class Job;

    void runAll(std::shared_ptr<Run> run);
    FileResult processFile(Worker &worker, const Run &run, int index);
    void report(int index, const QString &message);
    void preview(const QImage &image);

    PlaceholderExpander m_expander;
    int m_previewEdge = 0;
    std::atomic<bool> m_processing{false};
    std::atomic<bool> m_running{false};
    std::thread m_thread;
    qint64 m_memoryBudget = DefaultMemoryBudget;
    QString m_markKeyPath;
    std::atomic<qint64> m_peakMemoryInFlight{0};
    std::shared_ptr<const OutputSigner> m_signer;
};

} // namespace inkveil

Q_DECLARE_METATYPE(inkveil::BatchEngine::FileResult)
