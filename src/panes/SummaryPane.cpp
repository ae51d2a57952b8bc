// SPDX-FileCopyrightText: 2026 Tessaly
// SPDX-License-Identifier: GPL-3.0-or-later

#include "panes/SummaryPane.h"

#include "output/SummaryText.h"
#include "output/UsedWatermarksModel.h"
#include "wizard/PaneHost.h"

#include "ui_SummaryPane.h"

#include <QHeaderView>

namespace inkveil {

bool SummaryPane::formLoaded()
{
    ui = controls<Ui::Summary>();
    if (!ui)
        return false;
    m_watermarksModel = new UsedWatermarksModel(this);
    ui->watermarks->setModel(m_watermarksModel);
    ui->watermarks->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    ui->watermarks->horizontalHeader()->setStretchLastSection(true);
    return true;
}

void SummaryPane::activate()
{
    if (!host())
        return;
    setWorkFiles(host()->workFiles());
    setOutputOptions(host()->outputOptions());
    setOverlays(host()->overlays());
    if (m_watermarksModel)
        m_watermarksModel->setOverlays(m_overlays);
    update();
}

void SummaryPane::update()
{
    if (!ui)
        return;
    const SummaryText text(m_workFiles, *m_outputOptions);
    ui->source->setText(text.source());
    ui->tofolder->setText(text.tofolder());
    ui->fileformat->setText(text.fileformat());
    ui->resize->setText(text.resize());
    ui->filename->setText(text.filename());
    ui->originalname->setText(text.originalname());
    ui->samplename->setText(text.samplename());
    ui->thumbnails->setText(text.thumbnails());
    ui->outputsize->setText(text.outputsize());
    ui->metadata->setText(text.metadata());
    ui->existing->setText(text.existing());
    const QStringList warnings = SummaryText::warnings(m_workFiles, m_overlays, *m_outputOptions);
    ui->warnings->setText(warnings.join(QLatin1Char('\n')));
    // The row is there only when there is something to say.
    ui->warnings->setVisible(!warnings.isEmpty());
    ui->warningsLabel->setVisible(!warnings.isEmpty());
}

void SummaryPane::setWorkFiles(const WorkFileList &workFiles)
{
    m_workFiles = workFiles;
    m_workFiles.detach();
}

void SummaryPane::setOverlays(const OverlayList &overlays)
{
    m_overlays = overlays;
    m_overlays.detach();
}

void SummaryPane::setOutputOptions(const std::shared_ptr<OutputOptions> &outputOptions)
{
    // Never without options: a null hand-over keeps the ones held.
    if (outputOptions)
        m_outputOptions = outputOptions;
}

} // namespace inkveil
