// SPDX-FileCopyrightText: 2026 Tessaly
// SPDX-License-Identifier: GPL-3.0-or-later

#include "panes/WatermarksPane.h"

#include "panes/BackgroundEditor.h"
#include "panes/FittingEditor.h"
#include "panes/ImageEditor.h"
#include "panes/PlacementEditor.h"
#include "panes/TextEditor.h"
#include "render/StamperGeometry.h"
#include "watermarks/OverlayListModel.h"
#include "widgets/PositionView.h"
#include "widgets/PreviewView.h"
#include "wizard/PaneHost.h"

#include "ui_WatermarksPane.h"

#include <QCoreApplication>
#include <QItemSelectionModel>
#include <QMessageBox>
#include <QPushButton>
#include <QScopedValueRollback>
#include <QScrollBar>
#include <QSettings>
#include <QSplitter>

#include <algorithm>

namespace inkveil {

namespace {

// Next to the frame's geometry in the same settings file.
const QString EditorsWidthKey = QStringLiteral("watermarks/editorsWidth");

bool askBeforeDeleting(QWidget *parent)
{
    QMessageBox alert(QMessageBox::Question, QStringLiteral("Delete Watermark"),
                      QStringLiteral("Do you want to permanently delete this watermark?"),
                      QMessageBox::Yes | QMessageBox::Cancel, parent);
    alert.setDefaultButton(QMessageBox::Yes);
    return alert.exec() == QMessageBox::Yes;
}

} // namespace

WatermarksPane::WatermarksPane(QObject *parent)
    : PaneController(parent)
    , m_overlaysModel(new OverlayListModel(this))
    , m_selection(new QItemSelectionModel(m_overlaysModel, this))
    , m_textEditor(new TextEditor(this))
    , m_backgroundEditor(new BackgroundEditor(this))
    , m_imageEditor(new ImageEditor(this))
    , m_placementEditor(new PlacementEditor(this))
    , m_fittingEditor(new FittingEditor(this))
    , m_confirmDelete(askBeforeDeleting)
{
    // An edit in any editor writes every editor's values into the selected watermark.
    connect(m_textEditor, &TextEditor::edited, this, [this] { refresh(m_textEditor); });
    connect(m_backgroundEditor, &BackgroundEditor::edited, this,
            [this] { refresh(m_backgroundEditor); });
    connect(m_imageEditor, &ImageEditor::edited, this, [this] { refresh(m_imageEditor); });
    connect(m_placementEditor, &PlacementEditor::edited, this,
            [this] { refresh(m_placementEditor); });
    connect(m_fittingEditor, &FittingEditor::edited, this, [this] { refresh(m_fittingEditor); });
    // Typing is saved after a short pause; one still pending when the application quits is
    // saved then.
    if (auto *application = QCoreApplication::instance())
        connect(application, &QCoreApplication::aboutToQuit, m_textEditor,
                &TextEditor::flushPendingText);
}

bool WatermarksPane::formLoaded()
{
    ui = controls<Ui::Watermarks>();
    if (!ui)
        return false;
    m_textEditor->formLoaded(*ui);
    m_backgroundEditor->formLoaded(*ui);
    m_imageEditor->formLoaded(*ui);
    m_placementEditor->formLoaded(*ui);
    // The editors get the width they ask for and the preview the rest; on a narrow screen the
    // editors scroll in their column rather than push the preview out of view.
    ui->split->setStretchFactor(1, 1);
    ui->split->setCollapsible(1, false);
    // A divider the user moved stays where it was put, for this session and the next.
    m_editorsWidth = QSettings().value(EditorsWidthKey, 0).toInt();
    connect(ui->split, &QSplitter::splitterMoved, this, [this](int position) {
        m_editorsWidth = position;
        QSettings().setValue(EditorsWidthKey, position);
    });
    m_fittingEditor->formLoaded(*ui);
    loadOverlays();
    connectControls();
    setButtons();
    return true;
}

void WatermarksPane::loadOverlays()
{
    m_workFiles.clear();
    const OverlayList stored = host()->overlays();
    for (const std::shared_ptr<Overlay> &overlay : stored)
        m_overlaysModel->append(overlay);
    if (stored.isEmpty()) {
        m_overlaysModel->append(Overlay::newWatermark());
        // The batch draws what the pane shows, even before the first edit is saved.
        host()->setOverlays(overlays());
    }
    ui->overlayList->setModel(m_overlaysModel);
    ui->overlayList->setSelectionModel(m_selection);
    selectRow(0);
    m_currentOverlay = m_overlaysModel->overlayAt(0);
    m_currentImage = 0;
    ui->preview->setOverlays(overlays());
}

void WatermarksPane::connectControls()
{
    // Watched only from here on: filling the list above is not a change to save.
    connect(m_overlaysModel, &OverlayListModel::rowsInserted, this, &WatermarksPane::listChanged);
    connect(m_overlaysModel, &OverlayListModel::rowsRemoved, this, &WatermarksPane::listChanged);
    connect(m_overlaysModel, &OverlayListModel::dataChanged, this,
            [this](const QModelIndex &, const QModelIndex &, const QList<int> &roles) {
                if (roles.contains(Qt::EditRole))
                    listChanged();
                else if (roles.contains(Qt::CheckStateRole))
                    useChanged();
            });
    connect(m_selection, &QItemSelectionModel::selectionChanged, this,
            &WatermarksPane::listChanged);
    connect(ui->addOverlay, &QPushButton::clicked, this, &WatermarksPane::addOverlay);
    connect(ui->removeOverlay, &QPushButton::clicked, this, &WatermarksPane::removeOverlay);
    connect(ui->next, &QPushButton::clicked, this, &WatermarksPane::nextPreview);
    connect(ui->previous, &QPushButton::clicked, this, &WatermarksPane::previousPreview);
    connect(ui->position, &PositionView::positionChosen, this, [this] { refresh(ui->position); });
    connect(ui->preview, &PreviewView::watermarkMoved, this, &WatermarksPane::moveOverlay);
    connect(ui->preview, &PreviewView::watermarkPlaced, this, &WatermarksPane::placeOverlay);
    // Pressing on a watermark in the preview selects it, so that the drag moves that one.
    connect(ui->preview, &PreviewView::watermarkPressed, this, [this](int row) {
        if (row < m_overlaysModel->rowCount() &&
            m_overlaysModel->overlayAt(row) != m_currentOverlay)
            m_selection->setCurrentIndex(m_overlaysModel->index(row),
                                         QItemSelectionModel::ClearAndSelect);
    });
    connect(ui->zoomFit, &QAbstractButton::clicked, ui->preview, &PreviewView::zoomToFit);
    connect(ui->zoomActual, &QAbstractButton::clicked, ui->preview, &PreviewView::zoomToActualSize);
}

void WatermarksPane::moveOverlay(QPointF percent)
{
    if (!m_currentOverlay)
        return;
    Overlay &overlay = *m_currentOverlay;
    overlay.setOffsetX(overlay.offsetX() + static_cast<float>(percent.x()));
    overlay.setOffsetY(overlay.offsetY() + static_cast<float>(percent.y()));
    ui->preview->redraw();
}

void WatermarksPane::placeOverlay()
{
    if (!m_currentOverlay)
        return;
    Overlay &overlay = *m_currentOverlay;
    // Kept in the terms of the anchor nearest to where it was put, so that on photos of other
    // shapes it stays by the same edges.
    const int row = m_overlaysModel->rowOf(m_currentOverlay);
    const QList<FloatRect> placements = ui->preview->placements();
    const QSize pixels = ui->preview->photoPixelSize();
    if (row >= 0 && row < placements.size() && !pixels.isEmpty() &&
        placements.at(row).size.width > 0.0f) {
        const FloatSize canvas{static_cast<float>(pixels.width()),
                               static_cast<float>(pixels.height())};
        const FloatSize size = placements.at(row).size;
        const float margin = StamperGeometry::percentOfShorterSide(canvas, overlay.margin());
        const FloatPoint at = StamperGeometry::movedBy(
            StamperGeometry::findDrawPoint(FloatRect{{0, 0}, canvas}, overlay.position(), size,
                                           margin),
            canvas, overlay.offsetX(), overlay.offsetY());
        const StamperGeometry::Anchoring anchoring =
            StamperGeometry::anchorFor(canvas, at, size, margin);
        overlay.setPosition(anchoring.position);
        overlay.setOffsetX(anchoring.offsetX);
        overlay.setOffsetY(anchoring.offsetY);
        ui->position->setPosition(anchoring.position);
        setTextField();
    }
    host()->saveState();
    ui->preview->redraw();
}

OverlayList WatermarksPane::overlays() const
{
    return m_overlaysModel->overlays();
}

void WatermarksPane::setWorkFiles(const WorkFileList &workFiles)
{
    m_workFiles = workFiles;
}

void WatermarksPane::activate()
{
    if (!ui)
        return;
    m_textEditor->flushPendingText();
    setWorkFiles(host()->workFiles());
    m_currentImage = 0;
    loadCurrentOverlay();
    update();
    setButtons();
    widenEditors();
}

void WatermarksPane::widenEditors()
{
    // The editors' width is known only once they hold their lists and values: they get what
    // they need at least, the preview all the rest; where that would leave the preview less
    // than its minimum, the editors scroll sideways in their column instead.
    const int wanted = m_editorsWidth > 0
                           ? m_editorsWidth
                           : ui->editors->minimumSizeHint().width() +
                                 ui->editorScroll->verticalScrollBar()->sizeHint().width();
    const QList<int> sizes = ui->split->sizes();
    const int total = sizes.value(0) + sizes.value(1);
    if (sizes.size() != 2 || total <= 0)
        return;
    const int editors = std::max(std::min(wanted, total - ui->preview->minimumWidth()), 0);
    if (editors != sizes.first())
        ui->split->setSizes({editors, total - editors});
}

void WatermarksPane::modelReplaced()
{
    if (!ui)
        return;
    // Typing not yet written back belongs to the watermarks being replaced.
    m_textEditor->flushPendingText();
    {
        const QScopedValueRollback<bool> quiet(m_changingList, true);
        while (m_overlaysModel->rowCount() > 0)
            m_overlaysModel->removeAt(0);
        for (const std::shared_ptr<Overlay> &overlay : host()->overlays())
            m_overlaysModel->append(overlay);
        if (m_overlaysModel->rowCount() == 0) {
            m_overlaysModel->append(std::make_shared<Overlay>());
            host()->setOverlays(overlays());
        }
    }
    selectRow(0);
    m_currentOverlay = m_overlaysModel->overlayAt(0);
    ui->preview->setOverlays(overlays());
    loadCurrentOverlay();
    update();
    setButtons();
}

void WatermarksPane::loadCurrentOverlay()
{
    if (!m_currentOverlay)
        return;
    // Hold the record itself: loading the image editor may write back into it.
    const std::shared_ptr<Overlay> overlay = m_currentOverlay;
    ui->position->setPosition(overlay->position());
    m_textEditor->activate(*overlay);
    m_backgroundEditor->activate(*overlay);
    m_placementEditor->activate(*overlay);
    m_fittingEditor->activate(*overlay);
    m_imageEditor->activate(*overlay);
    setTextField();
}

void WatermarksPane::listChanged()
{
    if (m_changingList)
        return;
    ui->preview->setOverlays(overlays());
    const std::shared_ptr<Overlay> selected = selectedOverlay();
    if (selected && selected != m_currentOverlay) {
        // Typing not yet written back belongs to the watermark being left.
        m_textEditor->flushPendingText();
        m_currentOverlay = selected;
        loadCurrentOverlay();
        update();
    }
    setButtons();
    host()->setOverlays(overlays());
    host()->saveState();
}

void WatermarksPane::useChanged()
{
    host()->saveState();
    ui->preview->redraw();
}

std::shared_ptr<Overlay> WatermarksPane::selectedOverlay()
{
    const QModelIndexList rows = m_selection->selectedRows();
    if (!rows.isEmpty())
        return m_overlaysModel->overlayAt(rows.first().row());
    if (m_overlaysModel->rowCount() == 0)
        return nullptr;
    int row = m_overlaysModel->rowOf(m_currentOverlay);
    if (row < 0)
        row = std::clamp(m_selection->currentIndex().row(), 0, m_overlaysModel->rowCount() - 1);
    selectRow(row);
    return m_overlaysModel->overlayAt(row);
}

void WatermarksPane::selectRow(int row)
{
    const QScopedValueRollback<bool> quiet(m_changingList, true);
    m_selection->setCurrentIndex(m_overlaysModel->index(row), QItemSelectionModel::ClearAndSelect);
}

void WatermarksPane::addOverlay()
{
    {
        const QScopedValueRollback<bool> quiet(m_changingList, true);
        m_overlaysModel->append(Overlay::newWatermark());
        selectRow(m_overlaysModel->rowCount() - 1);
    }
    listChanged();
    // The new watermark is named next.
    ui->overlayList->edit(m_selection->currentIndex());
}

void WatermarksPane::removeOverlay()
{
    const int row = m_overlaysModel->rowOf(m_currentOverlay);
    if (m_overlaysModel->rowCount() < 2 || row < 0)
        return;
    if (!m_confirmDelete(ownView() ? ownView()->window() : nullptr))
        return;
    {
        const QScopedValueRollback<bool> quiet(m_changingList, true);
        m_overlaysModel->removeAt(row);
        // The watermark that moved into its place, or the one before it at the end.
        selectRow(std::min(row, m_overlaysModel->rowCount() - 1));
    }
    listChanged();
}

void WatermarksPane::refresh(QObject *sender)
{
    if (!m_currentOverlay)
        return;
    Overlay &overlay = *m_currentOverlay;
    // A position picked puts the watermark there, not beside it where it was dragged to.
    if (sender == ui->position) {
        overlay.setOffsetX(0.0f);
        overlay.setOffsetY(0.0f);
    }
    overlay.setFontName(m_textEditor->currentName());
    overlay.setColor(m_textEditor->currentColor());
    overlay.setPointSize(m_textEditor->currentSize());
    overlay.setAlpha(m_textEditor->currentAlpha());
    overlay.setRotation(m_textEditor->currentRotation());
    overlay.setText(m_textEditor->text());
    m_textEditor->textWrittenBack();
    overlay.setPosition(static_cast<qint16>(ui->position->position()));
    overlay.setShow(m_backgroundEditor->currentShow());
    overlay.setExtend(m_backgroundEditor->currentExtend());
    overlay.setBgColor(m_backgroundEditor->currentColor());
    overlay.setFilePath(m_imageEditor->currentFilePath());
    overlay.setWidth(m_imageEditor->currentWidth());
    overlay.setHeight(m_imageEditor->currentHeight());
    overlay.setImgAlpha(m_imageEditor->currentAlpha());
    overlay.setImgRotation(m_imageEditor->currentRotation());
    overlay.setAltImagePath(m_imageEditor->currentAltImagePath());
    // One size for either kind: the editor of the kind the watermark is now.
    overlay.setRelativeSize(overlay.isImage() ? m_imageEditor->currentRelativeSize()
                                              : m_textEditor->currentRelativeSize());
    overlay.setFontStyle(m_textEditor->currentStyle());
    overlay.setOutlineWidth(m_textEditor->currentOutlineWidth());
    overlay.setOutlineColor(m_textEditor->currentOutlineColor());
    overlay.setShadow(m_textEditor->currentShadow());
    overlay.setShadowColor(m_textEditor->currentShadowColor());
    overlay.setMargin(m_placementEditor->currentMargin());
    overlay.setTile(m_placementEditor->currentTile());
    overlay.setTileSpacing(m_placementEditor->currentTileSpacing());
    overlay.setMaxWidth(m_placementEditor->currentMaxWidth());
    m_fittingEditor->writeBack(overlay);
    setTextField();
    host()->saveState();
    ui->preview->redraw();
}

void WatermarksPane::nextPreview()
{
    if (m_currentImage + 1 >= m_workFiles.size())
        return;
    ++m_currentImage;
    setButtons();
    update();
}

void WatermarksPane::previousPreview()
{
    if (m_currentImage == 0)
        return;
    --m_currentImage;
    setButtons();
    update();
}

void WatermarksPane::update()
{
    if (m_workFiles.isEmpty())
        return;
    ui->preview->setFile(m_workFiles.at(m_currentImage));
    ui->preview->redraw();
    m_textEditor->setPhoto(m_workFiles.at(m_currentImage));
    setStatus();
}

void WatermarksPane::setStatus()
{
    if (m_workFiles.isEmpty() || !ui)
        return;
    // One pass, so that a file name holding "%2" stays as it is.
    ui->status->setText(QStringLiteral("%1, file %2 of %3")
                            .arg(m_workFiles.at(m_currentImage)->fileName(),
                                 QString::number(m_currentImage + 1),
                                 QString::number(m_workFiles.size())));
}

void WatermarksPane::setButtons()
{
    ui->previous->setEnabled(m_currentImage != 0);
    ui->next->setEnabled(m_currentImage + 1 < m_workFiles.size());
    ui->removeOverlay->setEnabled(m_overlaysModel->rowCount() >= 2);
}

void WatermarksPane::setTextField()
{
    m_textEditor->allowTextEditing(m_currentOverlay && !m_currentOverlay->isImage());
    // Controls whose effect depends on other settings.
    m_backgroundEditor->setBandPossible(!m_currentOverlay || !m_currentOverlay->tile());
    m_placementEditor->setMarginPossible(!m_currentOverlay || m_currentOverlay->position() != 4);
    m_placementEditor->setMaxWidthPossible(!m_currentOverlay || !m_currentOverlay->isImage());
}

} // namespace inkveil
