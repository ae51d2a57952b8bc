// SPDX-FileCopyrightText: 2026 Tessaly
// SPDX-License-Identifier: GPL-3.0-or-later

#include "panes/BatchPane.h"

#include "base/Printable.h"
#include "credentials/OutputSigner.h"
#include "credentials/SigningIdentity.h"
#include "widgets/SystemSound.h"
#include "wizard/PaneHost.h"

#include "ui_BatchPane.h"

#include <QCloseEvent>
#include <QDesktopServices>
#include <QFileInfo>
#include <QInputDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPixmap>
#include <QThread>
#include <QUrl>

namespace inkveil {

namespace {

// The image view shows the photo being processed at this size at most; the engine scales it
// down on its own thread so the interface never handles a full-size photo.
constexpr int PreviewEdge = 480;

bool askStop(QWidget *window)
{
    QMessageBox question(QMessageBox::Question, QStringLiteral("Inkveil"),
                         QStringLiteral("A batch is running. Stop it and quit?"),
                         QMessageBox::NoButton, window);
    question.setInformativeText(
        QStringLiteral("The photos in progress are finished; those already written stay."));
    QPushButton *stop =
        question.addButton(QStringLiteral("Stop and Quit"), QMessageBox::DestructiveRole);
    question.setDefaultButton(
        question.addButton(QStringLiteral("Keep Running"), QMessageBox::RejectRole));
    question.exec();
    return question.clickedButton() == stop;
}

} // namespace

BatchPane::BatchPane(QObject *parent)
    : PaneController(parent)
    , m_stopQuestion(askStop)
{
    m_engine.setPreviewSize(PreviewEdge);
    // The engine reports from its worker threads; these connections queue each report onto
    // the interface thread in the order it was made.
    connect(&m_engine, &BatchEngine::progressChanged, this,
            [this](const QString &text) { ui->progress_text->setText(text); });
    connect(&m_engine, &BatchEngine::statusChanged, this,
            [this](int, const QString &message) { setOutputStatus(message); });
    connect(&m_engine, &BatchEngine::imageChanged, this, &BatchPane::showImage);
    connect(&m_engine, &BatchEngine::fileFinished, this, &BatchPane::fileFinished);
    connect(&m_engine, &BatchEngine::finished, this, &BatchPane::runFinished);
    connect(&m_engine, &BatchEngine::fileFinished, this, [this] {
        m_estimate.update(m_estimate.done() + 1, m_runTime.elapsed());
        ui->rate->setText(m_estimate.text());
        ui->progress->setValue(m_estimate.done());
    });
}

bool BatchPane::formLoaded()
{
    ui = controls<Ui::BatchRun>();
    if (!ui)
        return false;
    clearOutcome();
    connect(ui->all_start, &QPushButton::clicked, this, &BatchPane::all_start);
    connect(ui->single_start, &QPushButton::clicked, this, &BatchPane::single_start);
    connect(ui->openFolder, &QPushButton::clicked, this, &BatchPane::openOutputFolder);
    return true;
}

void BatchPane::activate()
{
    if (!ui)
        return;
    // Closing the window asks first while a run is on.
    if (QWidget *window = host()->mainWindow(); window && window != m_watchedWindow) {
        window->installEventFilter(this);
        m_watchedWindow = window;
    }
    setWorkFiles(host()->workFiles());
    setOutputOptions(host()->outputOptions());
    setOverlays(host()->overlays());
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
    ui->total->setText(count == 1 ? QStringLiteral("1 file")
                                  : QStringLiteral("%1 files").arg(count));
    const QString first = m_workFiles.isEmpty() ? QString() : m_workFiles.first()->fileName();
    ui->input->setText(first);
    ui->output->setText(first.isEmpty() ? QString() : m_outputOptions->buildFileName(first));
    ui->progress_text->setText(QStringLiteral("Idle"));
    enableStartButtons();
}

void BatchPane::enableStartButtons()
{
    // Nothing can be written without a folder, nor with names that would leave it: the buttons
    // wait for both, and say why.
    const bool folderSet = m_outputOptions->isFolderSet();
    const QString problem = m_outputOptions->nameProblem();
    const bool ready = folderSet && problem.isNull();
    ui->all_start->setEnabled(m_processing || ready);
    ui->single_start->setEnabled(!m_processing && ready);
    if (!folderSet)
        setOutputStatus(BatchEngine::NoFolderMessage);
    else if (!problem.isNull())
        setOutputStatus(problem);
}

void BatchPane::setOutputStatus(const QString &message)
{
    ui->status->setText(message);
}

void BatchPane::all_start()
{
    if (!ui)
        return;
    if (m_processing) {
        // The run ends after the photos in progress; the button says "Stop" until then.
        m_engine.stop();
        return;
    }
    if (!prepareSigner())
        return;
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
    ui->progress->setRange(0, static_cast<int>(m_workFiles.size()));
    ui->rate->clear();
    ui->single_start->setEnabled(false);
    ui->all_start->setText(QStringLiteral("&Stop"));
    m_processing = true;
    host()->enablePrevious();
}

bool BatchPane::prepareSigner()
{
    m_engine.setSigner(nullptr);
    if (!m_outputOptions->signCredentials())
        return true;
    SigningIdentity::Files files{
        m_outputOptions->signCertificate(), m_outputOptions->signKey(), {}};
    // The passphrase is asked for each run and kept nowhere.
    if (SigningIdentity::keyIsEncrypted(files.key)) {
        bool ok = false;
        const QString passphrase = QInputDialog::getText(
            ui->status->window(), QStringLiteral("Signing key"),
            QStringLiteral("Passphrase of %1:").arg(QFileInfo(files.key).fileName()),
            QLineEdit::Password, QString(), &ok);
        if (!ok)
            return false;
        files.passphrase = passphrase.toUtf8();
    }
    const Result<std::shared_ptr<const SigningIdentity>> identity = SigningIdentity::load(files);
    if (!identity) {
        setOutputStatus(printable(identity.reason()));
        return false;
    }
    m_engine.setSigner(std::make_shared<OutputSigner>(*identity, m_outputOptions->signAuthor()));
    return true;
}

void BatchPane::single_start()
{
    if (!ui || m_processing || m_workFiles.isEmpty())
        return;
    if (!m_outputOptions->isFolderSet()) {
        setOutputStatus(BatchEngine::NoFolderMessage);
        return;
    }
    if (!prepareSigner())
        return;
    clearOutcome();
    m_runFiles = {m_workFiles.first()};
    m_tally = BatchTally(1);
    m_runTime.start();
    fileFinished(0, m_engine.processSingleFile(m_workFiles.first(), m_overlays, *m_outputOptions));
    ui->progress->setRange(0, 1);
    ui->progress->setValue(1);
    ui->status->clear();
    ui->outcome->setText(m_tally.closingLine(false, m_runTime.elapsed()));
    ui->openFolder->setVisible(m_tally.written() > 0);
    playSound(QStringLiteral("Glass"));
}

void BatchPane::fileFinished(int index, const BatchEngine::FileResult &result)
{
    m_tally.add(result);
    if (result.status == BatchEngine::Status::Written || index >= m_runFiles.size())
        return;
    const QString path = m_runFiles.at(index)->filePath();
    auto *item = new QListWidgetItem(
        QStringLiteral("%1: %2").arg(printable(QFileInfo(path).fileName()), result.failure));
    item->setToolTip(printable(path));
    ui->problems->addItem(item);
    ui->problems->show();
}

void BatchPane::clearOutcome()
{
    ui->outcome->clear();
    ui->openFolder->hide();
    ui->progress->setValue(0);
    ui->problems->clear();
    ui->problems->hide();
}

void BatchPane::runFinished(bool completed)
{
    m_engine.wait();
    ui->outcome->setText(m_tally.closingLine(!completed, m_runTime.elapsed()));
    ui->openFolder->setVisible(m_tally.written() > 0);
    if (completed)
        playSound(QStringLiteral("Glass"));
    revertToNormal();
}

void BatchPane::revertToNormal()
{
    ui->all_start->setText(QStringLiteral("&Start"));
    ui->progress_text->setText(QStringLiteral("Idle"));
    // The step and the time left belong to the run; the closing line says how it went.
    ui->status->clear();
    ui->rate->clear();
    m_outputOptions->setLastValue(m_saveLastValue);
    ui->imageview->clear();
    m_processing = false;
    enableStartButtons();
    host()->enablePrevious();
}

void BatchPane::showImage(const QImage &image)
{
    if (!m_processing)
        return;
    const QSize box = ui->imageview->size();
    QPixmap pixmap = QPixmap::fromImage(image);
    if (pixmap.width() > box.width() || pixmap.height() > box.height())
        pixmap = pixmap.scaled(box, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    ui->imageview->setPixmap(pixmap);
}

void BatchPane::openOutputFolder()
{
    QDesktopServices::openUrl(QUrl::fromLocalFile(m_outputOptions->folder()));
}

bool BatchPane::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_watchedWindow && event->type() == QEvent::Close && m_processing) {
        if (!m_stopQuestion(m_watchedWindow)) {
            event->ignore();
            return true;
        }
        // The photos in progress are finished and written whole before the window goes.
        m_engine.stop();
        m_engine.wait();
    }
    return PaneController::eventFilter(watched, event);
}

void BatchPane::playSound(const QString &name)
{
    Q_EMIT soundPlayed(name);
    SystemSound::play(name);
}

} // namespace inkveil
