// SPDX-FileCopyrightText: 2026 Tessaly
// SPDX-License-Identifier: GPL-3.0-or-later

#include "panes/SourceFilesPane.h"

#include "imageio/ExifSummary.h"
#include "sources/FileGathering.h"
#include "widgets/DropView.h"
#include "wizard/PaneHost.h"

#include "ui_SourceFilesPane.h"

#include <QAbstractTableModel>
#include <QApplication>
#include <QDropEvent>
#include <QFontMetrics>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QScopedValueRollback>
#include <QStyle>

#include <algorithm>
#include <functional>

namespace inkveil {

// The table's rows: one work file each, with its name and its full path.
class SourceFilesPane::FilesModel : public QAbstractTableModel
{
public:
    static constexpr int Name = 0, Path = 1, ColumnCount = 2;

    using QAbstractTableModel::QAbstractTableModel;

    const WorkFileList &files() const { return m_files; }

    int rowCount(const QModelIndex &parent = {}) const override
    {
        return parent.isValid() ? 0 : static_cast<int>(m_files.size());
    }

    int columnCount(const QModelIndex &parent = {}) const override
    {
        return parent.isValid() ? 0 : ColumnCount;
    }

    QVariant data(const QModelIndex &index, int role) const override
    {
        if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
            return {};
        const WorkFile &file = *m_files.at(index.row());
        if (role == Qt::DisplayRole)
            return index.column() == Name ? file.fileName() : file.filePath();
        if (role == Qt::ToolTipRole)
            return file.problem().isEmpty() ? file.filePath()
                                            : file.filePath() + QLatin1Char('\n') + file.problem();
        // A photo that will fail is marked the moment it is added, not when the run gets to it.
        if (role == Qt::DecorationRole && index.column() == Name && !file.problem().isEmpty())
            return QApplication::style()->standardIcon(QStyle::SP_MessageBoxWarning);
        return {};
    }

    QVariant headerData(int section, Qt::Orientation orientation, int role) const override
    {
        if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
            return QAbstractTableModel::headerData(section, orientation, role);
        return section == Name ? QStringLiteral("Name") : QStringLiteral("Path");
    }

    // Appends a work file for each photo among the paths that the list does not hold yet.
    void append(const QStringList &paths, QStringList *problems)
    {
        WorkFileList grown = m_files;
        if (FileGathering::appendWorkFiles(grown, paths, problems) == 0)
            return;
        beginInsertRows({}, rowCount(), static_cast<int>(grown.size()) - 1);
        m_files = std::move(grown);
        endInsertRows();
    }

    // Removes the given rows, each run of neighbouring rows in one step, from the bottom up so
    // that the rows still to go keep their numbers.
    void remove(QList<int> rows)
    {
        std::sort(rows.begin(), rows.end(), std::greater<>());
        rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
        for (qsizetype i = 0; i < rows.size();) {
            const int last = rows.at(i);
            int first = last;
            while (++i < rows.size() && rows.at(i) == first - 1)
                --first;
            beginRemoveRows({}, first, last);
            m_files.remove(first, last - first + 1);
            endRemoveRows();
        }
    }

private:
    WorkFileList m_files;
};

SourceFilesPane::SourceFilesPane(QObject *parent)
    : PaneController(parent)
    , m_filesModel(new FilesModel(this))
{
    connect(m_filesModel, &QAbstractItemModel::rowsInserted, this,
            &SourceFilesPane::filesOrSelectionChanged);
    connect(m_filesModel, &QAbstractItemModel::rowsRemoved, this,
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
    return true;
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
    const QModelIndex index = m_filesModel->index(row, FilesModel::Name);
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
