// SPDX-FileCopyrightText: 2026 Tessaly
// SPDX-License-Identifier: GPL-3.0-or-later

#include "panes/SummaryPane.h"

#include "app/AppController.h"
#include "output/SummaryText.h"
#include "output/UsedWatermarksModel.h"

#include <QHeaderView>
#include <QLabel>
#include <QTableView>

namespace inkveil {

void SummaryPane::formLoaded()
{
    for (const char *name : {"source", "tofolder", "fileformat", "resize", "filename",
                             "originalname", "samplename", "thumbnails", "warnings"}) {
        const QString key = QString::fromLatin1(name);
        m_texts.insert(key, outlet<QLabel>(key));
    }
    m_warningsLabel = outlet<QLabel>(QStringLiteral("warningsLabel"));
    m_watermarksModel = new UsedWatermarksModel(this);
    if (auto *table = outlet<QTableView>(QStringLiteral("watermarks"))) {
        table->setModel(m_watermarksModel);
        table->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
        table->horizontalHeader()->setStretchLastSection(true);
    }
}

void SummaryPane::activate()
{
    if (!appController())
        return;
    setWorkFiles(appController()->workFiles());
    setOutputOptions(appController()->outputOptions());
    setOverlays(appController()->overlays());
    if (m_watermarksModel)
        m_watermarksModel->setOverlays(m_overlays);
    update();
}

void SummaryPane::update()
{
    const SummaryText text(m_workFiles, *m_outputOptions);
    setText(QStringLiteral("source"), text.source());
    setText(QStringLiteral("tofolder"), text.tofolder());
    setText(QStringLiteral("fileformat"), text.fileformat());
    setText(QStringLiteral("resize"), text.resize());
    setText(QStringLiteral("filename"), text.filename());
    setText(QStringLiteral("originalname"), text.originalname());
    setText(QStringLiteral("samplename"), text.samplename());
    setText(QStringLiteral("thumbnails"), text.thumbnails());
    const QStringList warnings = SummaryText::warnings(m_workFiles, m_overlays, *m_outputOptions);
    setText(QStringLiteral("warnings"), warnings.join(QLatin1Char('\n')));
    // The row is there only when there is something to say.
    if (QLabel *label = m_texts.value(QStringLiteral("warnings")))
        label->setVisible(!warnings.isEmpty());
    if (m_warningsLabel)
        m_warningsLabel->setVisible(!warnings.isEmpty());
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

void SummaryPane::setText(const QString &name, const QString &text)
{
    if (QLabel *label = m_texts.value(name))
        label->setText(text);
}

} // namespace inkveil
