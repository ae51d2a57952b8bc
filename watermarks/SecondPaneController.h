#pragma once

#include "app/PaneController.h"
#include "sources/WorkFile.h"

// The watermark editor pane. Works on the batch as it stands each time the pane is entered.
class SecondPaneController : public PaneController
{
    Q_OBJECT

public:
    using PaneController::PaneController;

    void activate() override;

private:
    WorkFileList m_workFiles;
};
