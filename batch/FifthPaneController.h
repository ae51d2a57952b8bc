#pragma once

#include "app/PaneController.h"
#include "output/OutputOptions.h"
#include "sources/WorkFile.h"
#include "watermarks/Overlay.h"

// The batch pane: runs the job. It is the last pane, so Next is never offered, and going back
// is refused while a run is in progress.
class FifthPaneController : public PaneController
{
    Q_OBJECT

public:
    using PaneController::PaneController;

    bool canProceed() const override { return false; }
    bool canGoBack() const override { return !m_running; }
    void activate() override;

private:
    WorkFileList m_workFiles;
    std::shared_ptr<OutputOptions> m_outputOptions;
    OverlayList m_overlays;
    bool m_running = false;
};
