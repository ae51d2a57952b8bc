// SPDX-FileCopyrightText: 2026 Tessaly
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "sources/WorkFile.h"
#include "watermarks/Overlay.h"
#include "wizard/PaneController.h"

#include <QPointF>

#include <functional>

class QItemSelectionModel;

namespace Ui {
class Watermarks;
}

namespace inkveil {

class BackgroundEditor;
class ImageEditor;
class PlacementEditor;
class FittingEditor;
class TextEditor;
class OverlayListModel;

// The watermark pane: the list of watermarks, the text, background and image editors of the
// selected one, its anchor position and a live preview on the photos of the batch. Every change
// is written into the shared watermark records and saved at once, so the state file always
// holds what the pane shows.
class WatermarksPane : public PaneController
{
    Q_OBJECT

public:
    // Asks the user whether to delete the selected watermark; true for "Yes".
    using DeleteConfirmation = std::function<bool(QWidget *parent)>;

    explicit WatermarksPane(QObject *parent = nullptr);

    // Takes the batch as it stands now and starts the preview at its first photo.
    void activate() override;
    void modelReplaced() override;
    // "name, file n of count" for the photo in the preview.
    void setStatus() override;
    // An editor or the position picker changed a value: every editor value goes into the
    // selected watermark, the state is saved and the preview redrawn.
    void refresh(QObject *sender) override;

    OverlayList overlays() const;
    std::shared_ptr<Overlay> currentOverlay() const { return m_currentOverlay; }
    WorkFileList workFiles() const { return m_workFiles; }
    void setWorkFiles(const WorkFileList &workFiles);
    int currentImage() const { return m_currentImage; }

    TextEditor *textEditor() const { return m_textEditor; }
    BackgroundEditor *backgroundEditor() const { return m_backgroundEditor; }
    ImageEditor *imageEditor() const { return m_imageEditor; }
    PlacementEditor *placementEditor() const { return m_placementEditor; }

    // Replaces the question asked before a watermark is deleted (tests answer it themselves).
    void setDeleteConfirmation(DeleteConfirmation confirmation)
    {
        m_confirmDelete = std::move(confirmation);
    }

public Q_SLOTS:
    void nextPreview();
    void previousPreview();
    // Appends a watermark with the default settings and selects it.
    void addOverlay();
    // Deletes the selected watermark once the user confirms; at least one always remains.
    void removeOverlay();
    // The preview moves the selected watermark by percent of the photo's width and height;
    // once it is placed, its anchor becomes the one nearest to it and the state is saved.
    void moveOverlay(QPointF percent);
    void placeOverlay();

protected:
    bool formLoaded() override;

private:
    // Fills the list with the host's watermarks (a new one when it has none) and selects the
    // first.
    void loadOverlays();
    void connectControls();
    // What every change of the list's membership, of the selection or of a name sets off:
    // the selected watermark goes into the editors, and the list is handed over and saved.
    void listChanged();
    void useChanged();
    // The first selected watermark; with none selected, the current one (or a neighbour of
    // where it was) is selected again, since the pane always edits one.
    std::shared_ptr<Overlay> selectedOverlay();
    void selectRow(int row);
    // Shows the current watermark in the position picker and the three editors.
    void loadCurrentOverlay();
    void update();
    void setButtons();
    void setTextField();
    void widenEditors();

    OverlayListModel *m_overlaysModel;
    QItemSelectionModel *m_selection;
    TextEditor *m_textEditor;
    BackgroundEditor *m_backgroundEditor;
    ImageEditor *m_imageEditor;
    PlacementEditor *m_placementEditor;
    FittingEditor *m_fittingEditor;

    // The form's controls; null until the form is built.
    Ui::Watermarks *ui = nullptr;

    WorkFileList m_workFiles;
    int m_currentImage = 0;
    std::shared_ptr<Overlay> m_currentOverlay;
    // Set while the pane itself reshapes the list, so that the steps run once, at the end.
    bool m_changingList = false;
    // The editors' column width the user chose with the divider; 0 until it is moved.
    int m_editorsWidth = 0;
    DeleteConfirmation m_confirmDelete;
};

} // namespace inkveil
