// SPDX-FileCopyrightText: 2026 Tessaly
// SPDX-License-Identifier: GPL-3.0-or-later

#include "panes/SourceFilesPane.h"

#include "panes/SourceFilesModel.h"

#include "imageio/ExifSummary.h"
#include "sources/FileGathering.h"
#include "widgets/DropView.h"
#include "wizard/PaneHost.h"

#include "ui_SourceFilesPane.h"

#include <QDropEvent>
#include <QFontMetrics>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QScopedValueRollback>
#include <QSignalBlocker>

#include <algorithm>

namespace inkveil {

SourceFilesPane::SourceFilesPane(QObject *parent)
    : PaneController(parent)
    , m_filesModel(new SourceFilesModel(this))
{
    connect(m_filesModel, &SourceFilesModel::problemFound, this, &SourceFilesPane::setStatus);
    connect(m_filesModel, &QAbstractItemModel::rowsInserted, this,
            &SourceFilesPane::filesOrSelectionChanged);
    connect(m_filesModel, &QAbstractItemModel::rowsRemoved, this,
            &SourceFilesPane::filesOrSelectionChanged);
    // A sort reorders the batch: the frame gets the new order.
    connect(m_filesModel, &QAbstractItemModel::layoutChanged, this,
            &SourceFilesPane::filesOrSelectionChanged);
}

WorkFileList SourceFilesPane::files() const
{
    return m_filesModel->files();
}

bool SourceFilesPane::formLoaded()
{
    ui = controls<Ui::SourceFiles>();
    if (!ui)
        return false;
    ui->files->setModel(m_filesModel);
    setUpColumns();
    connect(ui->files->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &SourceFilesPane::filesOrSelectionChanged);
    ui->files->installEventFilter(this);
    // Tab leaves the table for the next control; the arrows move within it.
    ui->files->setTabKeyNavigation(false);
    // The table is the largest target on the pane: it takes drops as the drop area does.
    ui->files->setAcceptDrops(true);
    m_tableViewport = ui->files->viewport();
    m_tableViewport->setAcceptDrops(true);
    m_tableViewport->installEventFilter(this);
    // Room for the three lines of a summary from the start, so the pane does not jump.
    ui->exif->setMinimumHeight(3 * QFontMetrics(ui->exif->font()).lineSpacing());
    ui->remove->setEnabled(false);
    connect(ui->remove, &QPushButton::clicked, this, &SourceFilesPane::removeSelected);
    connect(ui->dropView, &DropView::pathsChosen, this, &SourceFilesPane::addPaths);
    connect(ui->addPhotos, &QPushButton::clicked, ui->dropView, &DropView::openPanel);
    connect(ui->addFolder, &QPushButton::clicked, ui->dropView, &DropView::openFolderPanel);
    return true;
}

void SourceFilesPane::setUpColumns()
{
    QHeaderView *header = ui->files->horizontalHeader();
    // The picture first, the path last, where it can take the rest of the width.
    header->moveSection(header->visualIndex(SourceFilesModel::Picture), 0);
    header->moveSection(header->visualIndex(SourceFilesModel::Path),
                        SourceFilesModel::ColumnCount - 1);
    const int edge = PhotoDetails::ThumbnailEdge;
    header->setSectionResizeMode(SourceFilesModel::Picture, QHeaderView::Fixed);
    header->resizeSection(SourceFilesModel::Picture, edge + 8);
    const QFontMetrics metrics(ui->files->font());
    header->resizeSection(SourceFilesModel::PixelSize,
                          metrics.horizontalAdvance(QStringLiteral("00000 × 00000")) + 16);
    header->resizeSection(SourceFilesModel::Taken,
                          metrics.horizontalAdvance(QStringLiteral("00/00/0000 00:00 PM")) + 16);
    ui->files->verticalHeader()->setDefaultSectionSize(edge + 4);
    // A click on a column's title sorts the batch by it; nothing is sorted until then.
    header->setSortIndicator(-1, Qt::AscendingOrder);
    header->setSortIndicatorShown(true);
    header->setSectionsClickable(true);
    connect(header, &QHeaderView::sortIndicatorChanged, m_filesModel, &SourceFilesModel::sort);
    // The arrow stays on the column the list is sorted by.
    connect(m_filesModel, &SourceFilesModel::sortKept, header,
            [header](int column, Qt::SortOrder order) {
                const QSignalBlocker quiet(header);
                header->setSortIndicator(column, order);
            });
}

void SourceFilesPane::addPaths(const QStringList &paths)
{
    m_problems.clear();
    const QStringList expanded = FileGathering::expandPaths(paths, &m_problems);
    {
        // One update for the whole gathering, with the new selection in place.
        const QScopedValueRollback batch(m_changing, true);
        m_filesModel->append(expanded, &m_problems);
        selectRow(files().isEmpty() ? -1 : 0);
    }
    filesOrSelectionChanged();
}

void SourceFilesPane::removeSelected()
{
    if (!ui)
        return;
    const QModelIndexList selected = ui->files->selectionModel()->selectedRows();
    if (selected.isEmpty())
        return;
    QList<int> rows;
    rows.reserve(selected.size());
    for (const QModelIndex &index : selected)
        rows.append(index.row());
    const int firstRemoved = *std::min_element(rows.begin(), rows.end());
    {
        const QScopedValueRollback batch(m_changing, true);
        m_filesModel->remove(rows);
        // The photo that moved up into the first removed place, else the new last one, so
        // that Delete can be pressed again and again.
        selectRow(std::min(firstRemoved, m_filesModel->rowCount() - 1));
    }
    filesOrSelectionChanged();
}

bool SourceFilesPane::eventFilter(QObject *watched, QEvent *event)
{
    if (ui && watched == ui->files && event->type() == QEvent::KeyPress) {
        const auto *key = static_cast<QKeyEvent *>(event);
        const bool plain = (key->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier;
        if (plain && (key->key() == Qt::Key_Delete || key->key() == Qt::Key_Backspace)) {
            removeSelected();
            return true;
        }
    }
    // The viewport is compared as kept: while the table is being destroyed, asking it for its
    // viewport would call into a half-destroyed object.
    if (ui && m_tableViewport && watched == m_tableViewport) {
        switch (event->type()) {
        case QEvent::DragEnter:
        case QEvent::DragMove: {
            // As on the drop area: only local file names, and always a copy.
            auto *drag = static_cast<QDragMoveEvent *>(event);
            if (ui->dropView->acceptsDrag(drag->mimeData(), drag->source()) &&
                (drag->possibleActions() & Qt::CopyAction)) {
                drag->setDropAction(Qt::CopyAction);
                drag->accept();
            } else {
                drag->ignore();
            }
            return true;
        }
        case QEvent::Drop: {
            auto *drop = static_cast<QDropEvent *>(event);
            if (!ui->dropView->acceptsDrag(drop->mimeData(), drop->source())) {
                drop->ignore();
                return true;
            }
            drop->setDropAction(Qt::CopyAction);
            drop->accept();
            addPaths(DropView::localFiles(drop->mimeData()));
            return true;
        }
        default:
            break;
        }
    }
    return PaneController::eventFilter(watched, event);
}

void SourceFilesPane::filesOrSelectionChanged()
{
    if (m_changing)
        return;
    const WorkFileList selected = selectedFiles();
    for (const auto &file : selected)
        file->readExif();
    if (PaneHost *frame = host()) {
        frame->setWorkFiles(files());
        frame->stateChanged(this);
    }
    setStatus();
    setExif();
    if (ui)
        ui->remove->setEnabled(!selected.isEmpty());
}

void SourceFilesPane::setStatus()
{
    if (!ui)
        return;
    const qsizetype count = files().size();
    QString text = count == 0   ? QStringLiteral("No files.")
                   : count == 1 ? QStringLiteral("1 file for processing.")
                                : QStringLiteral("%1 files for processing.").arg(count);
    const WorkFileList listed = files();
    const auto damaged = std::count_if(listed.begin(), listed.end(),
                                       [](const auto &file) { return !file->problem().isEmpty(); });
    if (damaged > 0)
        text += damaged == 1 ? QStringLiteral(" 1 can't be read or is damaged.")
                             : QStringLiteral(" %1 can't be read or are damaged.").arg(damaged);
    // What the last drop could not read stays in view until the next one; every path is in
    // the tooltip.
    if (!m_problems.isEmpty()) {
        text += m_problems.size() == 1 ? QStringLiteral(" Can't read %1").arg(m_problems.first())
                                       : QStringLiteral(" Can't read %1 paths, first %2")
                                             .arg(m_problems.size())
                                             .arg(m_problems.first());
    }
    ui->status->setText(text);
    ui->status->setToolTip(m_problems.join(QLatin1Char('\n')));
}

void SourceFilesPane::setExif()
{
    if (!ui)
        return;
    QList<const ExifData *> records;
    for (const auto &file : selectedFiles())
        records.append(&file->readExif());
    ui->exif->setText(ExifSummary::text(records));
}

void SourceFilesPane::selectRow(int row)
{
    if (!ui)
        return;
    QItemSelectionModel *selection = ui->files->selectionModel();
    if (row < 0) {
        selection->clear();
        return;
    }
    const QModelIndex index = m_filesModel->index(row, SourceFilesModel::Name);
    selection->setCurrentIndex(index,
                               QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    ui->files->scrollTo(index);
}

WorkFileList SourceFilesPane::selectedFiles() const
{
    if (!ui)
        return {};
    QModelIndexList rows = ui->files->selectionModel()->selectedRows();
    std::sort(rows.begin(), rows.end());
    WorkFileList selected;
    selected.reserve(rows.size());
    for (const QModelIndex &index : rows)
        selected.append(m_filesModel->files().at(index.row()));
    return selected;
}

} // namespace inkveil
