// SPDX-FileCopyrightText: 2026 Tessaly
// SPDX-License-Identifier: GPL-3.0-or-later

#include "panes/OutputOptionsPane.h"

#include "app/AppController.h"
#include "output/SummaryText.h"
#include "wizard/PropertyBinder.h"

#include <QComboBox>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSlider>
#include <QStandardItemModel>

namespace inkveil {

namespace {

// The sample shows this name until the batch holds a photo.
const QString SampleSourceName = QStringLiteral("IMG_0042.JPG");

} // namespace

void OutputOptionsPane::formLoaded()
{
    // Every option has a control named after it; a form that loses one fails the form test
    // instead of silently dropping a setting.
    for (const OutputOptions::Field &field : OutputOptions::fields())
        outlet<QWidget>(QString::fromLatin1(field.key));
    // The formats offered are the ones the program writes, under each of their names.
    if (auto *formats = outlet<QComboBox>(QStringLiteral("fileFormat"))) {
        formats->clear();
        formats->addItems(ImageFormats::writableNames());
    }
    m_quality = outlet<QSlider>(QStringLiteral("quality"));
    m_qualityValue = outlet<QLabel>(QStringLiteral("qualityValue"));
    m_sample = outlet<QLabel>(QStringLiteral("sample"));
    m_folder = outlet<QLineEdit>(QStringLiteral("folder"));
    m_folderMessage = outlet<QLabel>(QStringLiteral("folderMessage"));
    if (m_folder)
        connect(m_folder, &QLineEdit::editingFinished, this, &OutputOptionsPane::expandFolder);
    // The two "(none)" sizes write no thumbnail at all: they stay in the list, so that the
    // stored index of every size keeps its meaning, but cannot be chosen.
    if (auto *fit = outlet<QComboBox>(QStringLiteral("fitIndex"))) {
        if (auto *model = qobject_cast<QStandardItemModel *>(fit->model())) {
            for (int i = 0; i < model->rowCount(); ++i) {
                if (OutputOptions::thumbnailDim(i) == 0)
                    model->item(i)->setEnabled(false);
            }
        }
    }
    if (auto *button = outlet<QPushButton>(QStringLiteral("pickFolder")))
        connect(button, &QPushButton::clicked, this, &OutputOptionsPane::pickFolder);

    const auto dependent = [this](const char *name, bool (*enabled)(const OutputOptions &)) {
        m_dependents.append({outlet<QWidget>(QString::fromLatin1(name)), enabled});
    };
    dependent("width", [](const OutputOptions &o) { return o.resize(); });
    dependent("height", [](const OutputOptions &o) { return o.resize(); });
    dependent("custom",
              [](const OutputOptions &o) { return o.baseIndex() == OutputOptions::CustomName; });
    dependent("digits", [](const OutputOptions &o) { return o.useCounter(); });
    dependent("lastValue", [](const OutputOptions &o) { return o.useCounter(); });
    dependent("postfix", [](const OutputOptions &o) { return o.usePostfix(); });
    dependent("fitIndex", [](const OutputOptions &o) { return o.createThumbnails(); });
    dependent("sourceIndex", [](const OutputOptions &o) { return o.createThumbnails(); });

    m_binder = new PropertyBinder(ownView(), this);
    connect(m_binder, &PropertyBinder::propertyChanged, this, &OutputOptionsPane::optionChanged);
    setCurrentOptions(appController() ? appController()->outputOptions()
                                      : std::make_shared<OutputOptions>());
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
    if (appController())
        setCurrentOptions(appController()->outputOptions());
}

void OutputOptionsPane::optionChanged()
{
    showOptions();
    save();
}

void OutputOptionsPane::save()
{
    if (!appController() || !m_currentOptions)
        return;
    appController()->setOutputOptions(m_currentOptions);
    appController()->saveState();
}

void OutputOptionsPane::showOptions()
{
    setQualitySlider();
    enableDependentControls();
    if (m_qualityValue && m_currentOptions)
        m_qualityValue->setText(QStringLiteral("%1%").arg(m_currentOptions->quality()));
    showSample();
    showFolderMessage();
}

void OutputOptionsPane::showFolderMessage()
{
    if (!m_folderMessage || !m_currentOptions)
        return;
    // A "~" is turned into the home folder when the typing ends; only a relative path is
    // refused (and the batch does not start with it).
    const QString folder = m_currentOptions->folder();
    m_folderMessage->setVisible(!folder.isEmpty() &&
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
    if (!m_currentOptions)
        return;
    const bool enabled = SummaryText::formatHasQuality(m_currentOptions->fileFormat());
    if (m_quality)
        m_quality->setEnabled(enabled);
    if (m_qualityValue)
        m_qualityValue->setEnabled(enabled);
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
    if (!m_sample || !m_currentOptions)
        return;
    const WorkFileList files = appController() ? appController()->workFiles() : WorkFileList();
    const QString source = files.isEmpty() ? SampleSourceName : files.first()->fileName();
    // Names that would leave the output folder show why instead; the batch will not start.
    const QString problem = m_currentOptions->nameProblem();
    m_sample->setText(
        !problem.isNull()
            ? problem
            : QStringLiteral("%1 \u2192 %2").arg(source, m_currentOptions->buildFileName(source)));
}

void OutputOptionsPane::pickFolder()
{
    QWidget *window = appController() ? appController()->mainWindow() : nullptr;
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
