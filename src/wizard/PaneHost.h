// SPDX-FileCopyrightText: 2026 Tessaly
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "output/OutputOptions.h"
#include "sources/WorkFile.h"
#include "watermarks/Overlay.h"

#include <memory>

class QObject;
class QWidget;

namespace inkveil {

// What a pane may ask of the frame that shows it: the shared model (the batch, the watermarks,
// the output options), keeping the state file up to date, and re-evaluating the Previous and
// Next buttons. The application controller answers it; a pane never knows more of the frame.
class PaneHost
{
public:
    // The list setters keep a copy of the list; the records in it stay shared.
    virtual WorkFileList workFiles() const = 0;
    virtual void setWorkFiles(const WorkFileList &workFiles) = 0;
    virtual OverlayList overlays() const = 0;
    virtual void setOverlays(const OverlayList &overlays) = 0;
    virtual std::shared_ptr<OutputOptions> outputOptions() const = 0;
    virtual void setOutputOptions(const std::shared_ptr<OutputOptions> &outputOptions) = 0;

    virtual void saveState() = 0;
    // A pane's data changed: Next may have become possible or impossible.
    virtual void stateChanged(QObject *sender = nullptr) = 0;
    // The pane's answer to canGoBack changed.
    virtual void enablePrevious() = 0;
    // The window that dialogs of a pane open over.
    virtual QWidget *mainWindow() const = 0;

protected:
    PaneHost() = default;
    ~PaneHost() = default;
    PaneHost(const PaneHost &) = delete;
    PaneHost &operator=(const PaneHost &) = delete;
};

} // namespace inkveil
