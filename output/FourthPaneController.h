#pragma once

#include "app/PaneController.h"
#include "output/OutputOptions.h"
#include "sources/WorkFile.h"
#include "watermarks/Overlay.h"

// The summary pane: describes the job before it runs, from the model as it stands on entry.
class FourthPaneController : public PaneController
{
    Q_OBJECT

public:
    using PaneController::PaneController;

    void activate() override;

private:
    WorkFileList m_workFiles;
    std::shared_ptr<OutputOptions> m_outputOptions;
    OverlayList m_overlays;
};
