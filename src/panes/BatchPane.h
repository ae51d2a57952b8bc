// SPDX-FileCopyrightText: 2026 Tessaly
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "batch/BatchEngine.h"
#include "batch/BatchTally.h"
#include "batch/ProgressEstimate.h"
#include "output/OutputOptions.h"
#include "sources/WorkFile.h"
#include "watermarks/Overlay.h"
#include "wizard/PaneController.h"

#include <QElapsedTimer>
#include <QPointer>

#include <functional>

namespace Ui {
class BatchRun;
}

namespace inkveil {

// The batch pane: shows what is about to be done and runs it off the interface thread, with
// Start/Stop, a progress line, the step now being done and the photo being processed. It is
// the last pane: Next is never offered, and going back is refused while a run is in progress.
// After a run it keeps a closing line of what was done and the list of the photos that failed
// or were skipped, with why; names that would leave the output folder keep Start off.
class BatchPane : public PaneController
{
    Q_OBJECT

public:
    explicit BatchPane(QObject *parent = nullptr);

    bool canProceed() const override { return false; }
    bool canGoBack() const override { return !m_processing; }
    void activate() override;

    void setWorkFiles(const WorkFileList &files);
    void setOverlays(const OverlayList &overlays);
    void setOutputOptions(const std::shared_ptr<OutputOptions> &options);

    bool processing() const { return m_processing; }
    // Photos processed at once; the number of cores unless set.
    void setWorkers(int workers) { m_workers = workers; }
    BatchEngine &engine() { return m_engine; }
    // Asked when the window is closed during a run: true stops the run and lets the window
    // close. A message box unless replaced (tests answer it themselves).
    using StopQuestion = std::function<bool(QWidget *window)>;
    void setStopQuestion(StopQuestion question) { m_stopQuestion = std::move(question); }

    // Counts, first file name and its output name; progress back to "Idle". Start is off, and
    // the status says why, while the names would leave the output folder.
    void update();
    void setOutputStatus(const QString &message);
    void revertToNormal();

public Q_SLOTS:
    // Starts a run, or asks the running one to stop after the photos in progress.
    void all_start();
    // Processes the first photo only, at once, on this thread.
    void single_start();
    // Shows the output folder in the file manager.
    void openOutputFolder();

Q_SIGNALS:
    // A sound was asked for (the batch is done); tests listen here.
    void soundPlayed(const QString &name);

protected:
    bool formLoaded() override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    // Gives the engine the signer the output options name, asking for an encrypted key's
    // passphrase; false, with the reason on the status line, when it can't sign.
    bool prepareSigner();
    void runFinished(bool completed);
    void enableStartButtons();
    // Counts a photo's result and lists it when it was not written.
    void fileFinished(int index, const BatchEngine::FileResult &result);
    void clearOutcome();
    void showImage(const QImage &image);
    void playSound(const QString &name);

    // The form's controls; null until the form is built.
    Ui::BatchRun *ui = nullptr;

    WorkFileList m_workFiles;
    OverlayList m_overlays;
    std::shared_ptr<OutputOptions> m_outputOptions = std::make_shared<OutputOptions>();
    BatchEngine m_engine;
    bool m_processing = false;
    int m_saveLastValue = 1;
    int m_workers = 0;
    // Photos per second and the time left, from the photos finished since the start.
    ProgressEstimate m_estimate;
    QElapsedTimer m_runTime;
    // The photos of the current run, as the results refer to them by index.
    WorkFileList m_runFiles;
    BatchTally m_tally;
    StopQuestion m_stopQuestion;
    QPointer<QWidget> m_watchedWindow;
};

} // namespace inkveil
