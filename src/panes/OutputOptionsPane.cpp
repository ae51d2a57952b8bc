// SPDX-FileCopyrightText: 2026 Tessaly
// SPDX-License-Identifier: GPL-3.0-or-later

#include "panes/OutputOptionsPane.h"

#include "base/Paths.h"
#include "imageio/ImageFormat.h"
#include "output/OutputPlan.h"
#include "output/SummaryText.h"
#include "panes/MarkKeyControls.h"
#include "widgets/ReflowBoxLayout.h"
#include "wizard/PaneHost.h"
#include "wizard/PropertyBinder.h"

#include "ui_OutputOptionsPane.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QSet>
#include <QStandardItemModel>

#include <algorithm>

namespace inkveil {

namespace {

// The sample shows this name until the batch holds a photo.
const QString SampleSourceName = QStringLiteral("IMG_0042.JPG");

} // namespace

bool OutputOptionsPane::formLoaded()
{
    ui = controls<Ui::OutputOptions>();
    if (!ui)
        return false;
    connect(ui->folder, &QLineEdit::editingFinished, this, &OutputOptionsPane::expandFolder);
    // The formats offered are the ones the program writes, under each of their names.
    ui->fileFormat->clear();
    ui->fileFormat->addItems(ImageFormats::writableNames());
    // The two "(none)" sizes write no thumbnail at all: they stay in the list, so that the
    // stored index of every size keeps its meaning, but cannot be chosen.
    if (auto *model = qobject_cast<QStandardItemModel *>(ui->fitIndex->model())) {
        for (int i = 0; i < model->rowCount(); ++i) {
            if (OutputOptions::thumbnailDim(i) == 0)
                model->item(i)->setEnabled(false);
        }
    }
    connect(ui->pickFolder, &QPushButton::clicked, this, &OutputOptionsPane::pickFolder);
    reflowGroups();

    const auto dependent = [this](QWidget *control, bool (*enabled)(const OutputOptions &)) {
        m_dependents.append({control, enabled});
    };
    for (QWidget *control :
         {static_cast<QWidget *>(ui->resizeMode), static_cast<QWidget *>(ui->resizeValues),
          static_cast<QWidget *>(ui->neverEnlarge)})
        dependent(control, [](const OutputOptions &o) { return o.resize(); });
    dependent(ui->custom,
              [](const OutputOptions &o) { return o.baseIndex() == OutputOptions::CustomName; });
    dependent(ui->digits, [](const OutputOptions &o) { return o.useCounter(); });
    dependent(ui->lastValue, [](const OutputOptions &o) { return o.useCounter(); });
    dependent(ui->postfix, [](const OutputOptions &o) { return o.usePostfix(); });
    dependent(ui->fitIndex, [](const OutputOptions &o) { return o.createThumbnails(); });
    dependent(ui->sourceIndex, [](const OutputOptions &o) { return o.createThumbnails(); });
    dependent(ui->markNumber, [](const OutputOptions &o) { return o.invisibleMark(); });
    new MarkKeyControls(ui->markKeyFingerprint, ui->exportMarkKey, ui->importMarkKey, ui->findMark,
                        this);

    m_binder = new PropertyBinder(ownView(), this);
    connect(m_binder, &PropertyBinder::propertyChanged, this, &OutputOptionsPane::optionChanged);
    setCurrentOptions(host() ? host()->outputOptions() : std::make_shared<OutputOptions>());
    return true;
}

// Format and Size sit side by side where there is room and one above the other where there is
// not, so that a narrow window (a small screen, a large scale) scrolls the pane downwards only.
void OutputOptionsPane::reflowGroups()
{
    auto *reflow = new ReflowBoxLayout;
    reflow->setSpacing(ui->formatSizeLayout->spacing());
    ui->formatSizeLayout->removeWidget(ui->formatGroup);
    ui->formatSizeLayout->removeWidget(ui->sizeGroup);
    reflow->addWidget(ui->formatGroup);
    reflow->addWidget(ui->sizeGroup);
    const int at = ui->paneLayout->indexOf(ui->formatSizeLayout);
    ui->paneLayout->removeItem(ui->formatSizeLayout);
    delete ui->formatSizeLayout;
    ui->formatSizeLayout = nullptr;
    ui->paneLayout->insertLayout(at, reflow);
    // The thumbnails' source and the mark's key buttons go under the rest of their row rather
    // than past the pane's right edge.
    breakRow(ui->thumbnailsLayout, {ui->thumbnailsLayout->indexOf(ui->sourceIndexLabel)});
    breakRow(ui->markLayout, {ui->markLayout->indexOf(ui->markKeyFingerprint),
                              ui->markLayout->indexOf(ui->exportMarkKey)});
}

// The row's items from each break on move under the ones before when the row is wider than the
// pane; where it fits, it looks as before: the part holding the row's spacer takes the spare
// room, the others keep their size (and, stacked, keep to the left).
void OutputOptionsPane::breakRow(QBoxLayout *row, const QList<int> &breaks)
{
    QList<QHBoxLayout *> parts;
    for (int i = 0; row->count() > 0; ++i) {
        if (parts.isEmpty() || breaks.contains(i)) {
            parts.append(new QHBoxLayout);
            parts.last()->setContentsMargins(0, 0, 0, 0);
        }
        parts.last()->addItem(row->takeAt(0));
    }
    auto *reflow = new ReflowBoxLayout;
    reflow->setSpacing(row->spacing());
    for (QHBoxLayout *part : std::as_const(parts)) {
        bool spacer = false;
        for (int i = 0; i < part->count(); ++i)
            spacer = spacer || part->itemAt(i)->spacerItem();
        if (!spacer)
            part->addStretch();
        reflow->addLayout(part, spacer ? 1 : 0);
    }
    row->addLayout(reflow);
}

void OutputOptionsPane::setCurrentOptions(const std::shared_ptr<OutputOptions> &options)
{
    if (options == m_currentOptions)
        return;
    m_currentOptions = options;
    if (m_binder)
        m_binder->setObject(m_currentOptions.get());
    showOptions();
}

void OutputOptionsPane::activate()
{
    setQualitySlider();
    // The batch may have changed since the pane was last shown.
    showSample();
}

void OutputOptionsPane::modelReplaced()
{
    if (host())
        setCurrentOptions(host()->outputOptions());
}

void OutputOptionsPane::optionChanged()
{
    showOptions();
    save();
}

void OutputOptionsPane::save()
{
    if (!host() || !m_currentOptions)
        return;
    host()->setOutputOptions(m_currentOptions);
    host()->saveState();
}

void OutputOptionsPane::showOptions()
{
    setQualitySlider();
    enableDependentControls();
    if (ui && m_currentOptions) {
        ui->qualityValue->setText(QStringLiteral("%1%").arg(m_currentOptions->quality()));
        showResizeValues();
    }
    showSample();
    showFolderMessage();
}

// The size controls of the chosen mode; a mode outside the list fits into the box, as the batch
// does.
void OutputOptionsPane::showResizeValues()
{
    QWidget *page = ui->boxPage;
    switch (m_currentOptions->resizeMode()) {
    case OutputOptions::LongEdge:
    case OutputOptions::ShortEdge:
        page = ui->edgePage;
        break;
    case OutputOptions::Percent:
        page = ui->percentPage;
        break;
    case OutputOptions::Megapixels:
        page = ui->megapixelsPage;
        break;
    default:
        break;
    }
    ui->resizeValues->setCurrentWidget(page);
}

void OutputOptionsPane::showFolderMessage()
{
    if (!ui || !m_currentOptions)
        return;
    // A "~" is turned into the home folder when the typing ends; only a relative path is
    // refused (and the batch does not start with it).
    const QString folder = m_currentOptions->folder();
    ui->folderMessage->setVisible(!folder.isEmpty() &&
                                  OutputOptions::expandedFolder(folder).isNull());
}

void OutputOptionsPane::expandFolder()
{
    if (!m_currentOptions)
        return;
    const QString expanded = OutputOptions::expandedFolder(m_currentOptions->folder());
    if (!expanded.isNull())
        m_currentOptions->setFolder(expanded);
}

void OutputOptionsPane::setQualitySlider()
{
    if (!ui || !m_currentOptions)
        return;
    const bool enabled = SummaryText::formatHasQuality(m_currentOptions->fileFormat());
    ui->quality->setEnabled(enabled);
    ui->qualityValue->setEnabled(enabled);
}

void OutputOptionsPane::enableDependentControls()
{
    if (!m_currentOptions)
        return;
    for (const Dependent &dependent : std::as_const(m_dependents)) {
        if (dependent.control)
            dependent.control->setEnabled(dependent.enabled(*m_currentOptions));
    }
}

void OutputOptionsPane::showSample()
{
    if (!ui || !m_currentOptions)
        return;
    const WorkFileList files = host() ? host()->workFiles() : WorkFileList();
    const QString source = files.isEmpty() ? SampleSourceName : files.first()->fileName();
    // Names that would leave the output folder show why instead; the batch will not start.
    const QString problem = m_currentOptions->nameProblem();
    ui->sample->setText(
        !problem.isNull()
            ? problem
            : QStringLiteral("%1 \u2192 %2").arg(source, m_currentOptions->buildFileName(source)) +
                  sourcesKeptNote(files));
}

// Photos whose outputs would land on themselves are named as the folder is chosen, not first in
// the summary. The batch is planned only when the output folder holds one of its photos.
QString OutputOptionsPane::sourcesKeptNote(const WorkFileList &files) const
{
    if (!m_currentOptions->isFolderSet())
        return {};
    const QString folder = Paths::resolved(m_currentOptions->folder());
    QSet<QString> folders;
    const bool holdsPhotos = std::any_of(files.begin(), files.end(), [&](const auto &file) {
        const QString own = QFileInfo(file->filePath()).absolutePath();
        if (folders.contains(own))
            return false;
        folders.insert(own);
        return Paths::resolved(own) == folder;
    });
    if (!holdsPhotos)
        return {};
    const OutputPlan plan(files, *m_currentOptions);
    const auto first = std::find_if(plan.entries().cbegin(), plan.entries().cend(),
                                    [](const auto &entry) { return entry.source; });
    if (first == plan.entries().cend())
        return {};
    return QLatin1Char('\n') + SummaryText::sourcesKept(plan.sourceCount(), first->sourcePath);
}

void OutputOptionsPane::pickFolder()
{
    QWidget *window = host() ? host()->mainWindow() : nullptr;
    if (!window && ownView())
        window = ownView()->window();
    auto *dialog = new QFileDialog(window, QStringLiteral("Choose the output folder"));
    dialog->setFileMode(QFileDialog::Directory);
    dialog->setOption(QFileDialog::ShowDirsOnly);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    connect(dialog, &QFileDialog::finished, this,
            [this, dialog](int result) { openPanelDidEnd(result, dialog->selectedFiles()); });
    // Window-modal: the wizard waits, other windows of the desktop do not.
    dialog->open();
}

void OutputOptionsPane::openPanelDidEnd(int result, const QStringList &paths)
{
    if (result != QDialog::Accepted || paths.size() != 1 || !m_currentOptions)
        return;
    // Stored as the chooser returns it; the change is saved like any other edit.
    m_currentOptions->setFolder(paths.first());
}

} // namespace inkveil
