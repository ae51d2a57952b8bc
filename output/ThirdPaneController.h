#pragma once

#include "app/PaneController.h"

// The output options pane: folder, format, resizing, naming and thumbnails.
class ThirdPaneController : public PaneController
{
    Q_OBJECT

public:
    using PaneController::PaneController;
};
