#pragma once

#include "app/PaneController.h"
#include "sources/WorkFile.h"

// The source files pane: the batch of photos to watermark. The user may go on once it holds
// at least one file.
class FirstPaneController : public PaneController
{
    Q_OBJECT

public:
    using PaneController::PaneController;

    bool canProceed() const override { return !m_workFiles.isEmpty(); }

private:
    WorkFileList m_workFiles;
};
