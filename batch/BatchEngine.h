#pragma once

#include "output/OutputOptions.h"
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
    // The note of a photo written without the camera data it was meant to keep (unreadable in
    // the source, or Exiv2 failed to write it); %1 says why.
    static const QString NoMetadataNote;

    // What became of one photo.
    struct FileResult
    {
        QString outputPath;    // empty when no output was written
        QString thumbnailPath; // empty when no thumbnail was written
        QString failure;       // the message of the step that failed; empty on success
        QString note;          // what the output lacks though written (its camera data); or empty
        bool ok() const { return failure.isEmpty(); }
    };

    // The names a run would write, without writing or creating anything.
    struct PlannedFile
    {
        QString sourcePath;
        QString outputPath;
        QString thumbnailPath; // empty when no thumbnail is made
    };

    explicit BatchEngine(QObject *parent = nullptr);
    ~BatchEngine() override;

    // The clock and user name used for placeholders (tests fix them).
    void setExpander(const PlaceholderExpander &expander) { m_expander = expander; }
    // Also send a small copy of each image being processed (for a window to show).
    void setPreviewSize(int edge) { m_previewEdge = edge; }

    // Starts a run with the given number of workers (at least 1). Answers false, with the
    // reason in `message`, when the run cannot start (no output folder, already running).
    bool start(const WorkFileList &files, const OverlayList &overlays,
               const std::shared_ptr<OutputOptions> &options, int workers,
               QString *message = nullptr);
    // Asks a run to stop after the photos in progress.
    void stop() { m_processing = false; }
    bool isRunning() const { return m_running; }
    // Blocks until the current run (if any) has ended.
    void wait();

    // The whole pipeline for one photo on the calling thread, numbered with the options'
    // current counter value. Used for the single-photo run.
    FileResult processSingleFile(const std::shared_ptr<WorkFile> &file, const OverlayList &overlays,
                                 const OutputOptions &options);

    static QList<PlannedFile> plan(const WorkFileList &files, const OutputOptions &options);

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

    void runAll(std::shared_ptr<Run> run);
    FileResult processFile(Worker &worker, const Run &run, int index);
    void report(int index, const QString &message);
    void preview(const QImage &image);

    PlaceholderExpander m_expander;
    int m_previewEdge = 0;
    std::atomic<bool> m_processing{false};
    std::atomic<bool> m_running{false};
    std::thread m_thread;
};
Q_DECLARE_METATYPE(BatchEngine::FileResult)
