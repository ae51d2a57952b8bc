// SPDX-FileCopyrightText: 2026 Tessaly
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "output/OutputOptions.h"
#include "sources/WorkFile.h"
#include "wizard/PaneController.h"

#include <QList>
#include <QPointer>
#include <QStringList>

#include <memory>

class QBoxLayout;

namespace Ui {
class OutputOptions;
}

namespace inkveil {

class PropertyBinder;

// The output options pane: folder, format and quality, resizing, naming and thumbnails. Each
// control is bound to the option of its own name on the very options object the controller
// owns, and every change of an option is saved at once, so nothing needs saving on leaving.
class OutputOptionsPane : public PaneController
{
    Q_OBJECT

public:
    using PaneController::PaneController;

    std::shared_ptr<OutputOptions> currentOptions() const { return m_currentOptions; }
    // The options edited; the controls show them at once.
    void setCurrentOptions(const std::shared_ptr<OutputOptions> &options);

    void activate() override;
    void modelReplaced() override;

    // End of the folder chooser. Only an accepted choice of exactly one folder is taken:
    // cancelling, no folder, or several folders (which our chooser cannot return, and where
    // taking one would be a guess) leave the folder as it was.
    void openPanelDidEnd(int result, const QStringList &paths);

public Q_SLOTS:
    // Opens the folder chooser on the main window; its end goes to openPanelDidEnd.
    void pickFolder();
    // Hands the options back to the controller and has the state file written.
    void save();

protected:
    bool formLoaded() override;

private:
    // A control that means something only while an option is on, as the quality slider only
    // for the formats that have a quality.
    struct Dependent
    {
        QPointer<QWidget> control;
        bool (*enabled)(const OutputOptions &options);
    };

    void optionChanged();
    // Brings what the bindings do not cover up to date: greyed-out controls, the quality
    // figure and the sample name.
    void showOptions();
    void setQualitySlider();
    void enableDependentControls();
    void showSample();
    void reflowGroups();
    void breakRow(QBoxLayout *row, const QList<int> &breaks);
    void showResizeValues();
    // A line saying which photos are skipped because their outputs would replace them; empty
    // when none is.
    QString sourcesKeptNote(const WorkFileList &files) const;
    void showFolderMessage();
    void expandFolder();

    std::shared_ptr<OutputOptions> m_currentOptions;
    PropertyBinder *m_binder = nullptr;
    // The form's controls; null until the form is built.
    Ui::OutputOptions *ui = nullptr;
    QList<Dependent> m_dependents;
};

} // namespace inkveil
