// SPDX-FileCopyrightText: 2026 Tessaly
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "output/OutputOptions.h"
#include "sources/WorkFile.h"
#include "watermarks/Overlay.h"
#include "wizard/PaneController.h"

#include <memory>

namespace Ui {
class Summary;
}

namespace inkveil {

class UsedWatermarksModel;

// The summary pane: describes the job before it runs, from the model as it stands each time
// the pane is shown. It changes nothing.
class SummaryPane : public PaneController
{
    Q_OBJECT

public:
    using PaneController::PaneController;

    // Takes the batch, the options and the watermarks from the controller and shows them.
    void activate() override;
    // Rebuilds the texts from the model held.
    void update();

    WorkFileList workFiles() const { return m_workFiles; }
    // Keeps a copy of the list; the records stay shared.
    void setWorkFiles(const WorkFileList &workFiles);
    OverlayList overlays() const { return m_overlays; }
    // Keeps a copy of the list; the records stay shared.
    void setOverlays(const OverlayList &overlays);
    std::shared_ptr<OutputOptions> outputOptions() const { return m_outputOptions; }
    void setOutputOptions(const std::shared_ptr<OutputOptions> &outputOptions);

protected:
    bool formLoaded() override;

private:
    WorkFileList m_workFiles;
    std::shared_ptr<OutputOptions> m_outputOptions = std::make_shared<OutputOptions>();
    OverlayList m_overlays;
    UsedWatermarksModel *m_watermarksModel = nullptr;
    // The form's controls; null until the form is built.
    Ui::Summary *ui = nullptr;
};

} // namespace inkveil
