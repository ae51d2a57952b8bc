// SPDX-FileCopyrightText: 2026 Tessaly
// SPDX-License-Identifier: GPL-3.0-or-later

#include "panes/BatchPane.h"

#include "app/AppController.h"
#include "base/Printable.h"
#include "widgets/SystemSound.h"

#include <QFileInfo>
#include <QLabel>
#include <QListWidget>
#include <QPixmap>
#include <QPushButton>
#include <QThread>

namespace inkveil {

namespace {

// The image view shows the photo being processed at this size at most; the engine scales it
// down on its own thread so the interface never handles a full-size photo.
constexpr int PreviewEdge = 480;

} // namespace

BatchPane::BatchPane(QObject *parent)
    : PaneController(parent)
{
    m_engine.setPreviewSize(PreviewEdge);
    // The engine reports from its worker threads; these connections queue each report onto
    // the interface thread in the order it was made.
    connect(&m_engine, &BatchEngine::progressChanged, this, [this](const QString &text) {
        if (m_progressText)
            m_progressText->setText(text);
    });
    connect(&m_engine, &BatchEngine::statusChanged, this,
            [this](int, const QString &message) { setOutputStatus(message); });
    connect(&m_engine, &BatchEngine::imageChanged, this, &BatchPane::showImage);
    connect(&m_engine, &BatchEngine::fileFinished, this, &BatchPane::fileFinished);
    connect(&m_engine, &BatchEngine::finished, this, &BatchPane::runFinished);
    connect(&m_engine, &BatchEngine::fileFinished, this, [this] {
        m_estimate.update(m_estimate.done() + 1, m_runTime.elapsed());
        if (m_rate)
            m_rate->setText(m_estimate.text());
    });
}

void BatchPane::formLoaded()
{
    m_allStart = outlet<QPushButton>(QStringLiteral("all_start"));
    m_input = outlet<QLabel>(QStringLiteral("input"));
    m_status = outlet<QLabel>(QStringLiteral("status"));
    m_output = outlet<QLabel>(QStringLiteral("output"));
    m_progressText = outlet<QLabel>(QStringLiteral("progress_text"));
    m_singleStart = outlet<QPushButton>(QStringLiteral("single_start"));
    m_total = outlet<QLabel>(QStringLiteral("total"));
    m_imageView = outlet<QLabel>(QStringLiteral("imageview"));
    m_rate = outlet<QLabel>(QStringLiteral("rate"));
    m_outcome = outlet<QLabel>(QStringLiteral("outcome"));
    m_problems = outlet<QListWidget>(QStringLiteral("problems"));
    clearOutcome();
    if (m_allStart)
        connect(m_allStart, &QPushButton::clicked, this, &BatchPane::all_start);
    if (m_singleStart)
        connect(m_singleStart, &QPushButton::clicked, this, &BatchPane::single_start);
}

void BatchPane::activate()
{
    setWorkFiles(appController()->workFiles());
    setOutputOptions(appController()->outputOptions());
    setOverlays(appController()->overlays());
    update();
}

void BatchPane::setWorkFiles(const WorkFileList &files)
{
    m_workFiles = files;
}

void BatchPane::setOverlays(const OverlayList &overlays)
{
    m_overlays = overlays;
}

void BatchPane::setOutputOptions(const std::shared_ptr<OutputOptions> &options)
{
    m_outputOptions = options;
}

void BatchPane::update()
{
    const auto count = m_workFiles.size();
    if (m_total)
        m_total->setText(count == 1 ? QStringLiteral("1 file")
                                    : QStringLiteral("%1 files").arg(count));
    const QString first = m_workFiles.isEmpty() ? QString() : m_workFiles.first()->fileName();
    if (m_input)
        m_input->setText(first);
    if (m_output)
        m_output->setText(first.isEmpty() ? QString() : m_outputOptions->buildFileName(first));
    if (m_progressText)
        m_progressText->setText(QStringLiteral("Idle"));
    enableStartButtons();
}

void BatchPane::enableStartButtons()
{
    // Nothing can be written without a folder, nor with names that would leave it: the buttons
    // wait for both, and say why.
    const bool folderSet = m_outputOptions->isFolderSet();
    const QString problem = m_outputOptions->nameProblem();
    const bool ready = folderSet && problem.isNull();
    if (m_allStart)
        m_allStart->setEnabled(m_processing || ready);
    if (m_singleStart)
        m_singleStart->setEnabled(!m_processing && ready);
    if (!folderSet)
        setOutputStatus(BatchEngine::NoFolderMessage);
    else if (!problem.isNull())
        setOutputStatus(problem);
}

void BatchPane::setOutputStatus(const QString &message)
{
    if (m_status)
        m_status->setText(message);
}

void BatchPane::all_start()
{
    if (m_processing) {
        // The run ends after the photos in progress; the button says "Stop" until then.
        m_engine.stop();
        return;
    }
    m_saveLastValue = m_outputOptions->lastValue();
    const int workers = m_workers > 0 ? m_workers : std::max(1, QThread::idealThreadCount());
    clearOutcome();
    m_runFiles = m_workFiles;
    m_tally = BatchTally(static_cast<int>(m_runFiles.size()));
    if (const Status started = m_engine.start(m_workFiles, m_overlays, m_outputOptions, workers);
        !started) {
        setOutputStatus(started.reason());
        return;
    }
    m_estimate = ProgressEstimate(static_cast<int>(m_workFiles.size()));
    m_runTime.start();
    if (m_rate)
        m_rate->clear();
    if (m_singleStart)
        m_singleStart->setEnabled(false);
    if (m_allStart)
        m_allStart->setText(QStringLiteral("&Stop"));
    m_processing = true;
    appController()->enablePrevious();
}

void BatchPane::single_start()
{
    if (m_processing || m_workFiles.isEmpty())
        return;
    if (!m_outputOptions->isFolderSet()) {
        setOutputStatus(BatchEngine::NoFolderMessage);
        return;
    }
    clearOutcome();
    m_runFiles = {m_workFiles.first()};
    m_tally = BatchTally(1);
    fileFinished(0, m_engine.processSingleFile(m_workFiles.first(), m_overlays, *m_outputOptions));
    if (m_outcome)
        m_outcome->setText(m_tally.closingLine(false));
    playSound(QStringLiteral("Glass"));
}

void BatchPane::fileFinished(int index, const BatchEngine::FileResult &result)
{
    m_tally.add(result);
    if (result.status == BatchEngine::Status::Written || !m_problems || index >= m_runFiles.size())
        return;
    const QString path = m_runFiles.at(index)->filePath();
    auto *item = new QListWidgetItem(
        QStringLiteral("%1: %2").arg(printable(QFileInfo(path).fileName()), result.failure));
    item->setToolTip(printable(path));
    m_problems->addItem(item);
    m_problems->show();
}

void BatchPane::clearOutcome()
{
    if (m_outcome)
        m_outcome->clear();
    if (m_problems) {
        m_problems->clear();
        m_problems->hide();
    }
}

void BatchPane::runFinished(bool completed)
{
    m_engine.wait();
    if (m_outcome)
        m_outcome->setText(m_tally.closingLine(!completed));
    if (completed)
        playSound(QStringLiteral("Glass"));
    revertToNormal();
}

void BatchPane::revertToNormal()
{
    if (m_allStart)
        m_allStart->setText(QStringLiteral("&Start"));
    if (m_progressText)
        m_progressText->setText(QStringLiteral("Idle"));
    m_outputOptions->setLastValue(m_saveLastValue);
    if (m_imageView)
        m_imageView->clear();
    m_processing = false;
    enableStartButtons();
    appController()->enablePrevious();
}

void BatchPane::showImage(const QImage &image)
{
    if (!m_imageView || !m_processing)
        return;
    const QSize box = m_imageView->size();
    QPixmap pixmap = QPixmap::fromImage(image);
    if (pixmap.width() > box.width() || pixmap.height() > box.height())
        pixmap = pixmap.scaled(box, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    m_imageView->setPixmap(pixmap);
}

void BatchPane::playSound(const QString &name)
{
    Q_EMIT soundPlayed(name);
    SystemSound::play(name);
}

} // namespace inkveil
