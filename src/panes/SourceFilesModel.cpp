// SPDX-FileCopyrightText: 2026 Tessaly
// SPDX-License-Identifier: GPL-3.0-or-later

#include "panes/SourceFilesModel.h"

#include "sources/FileGathering.h"

#include <QApplication>
#include <QDateTime>
#include <QLocale>
#include <QStyle>

#include <algorithm>
#include <functional>

namespace inkveil {

namespace {

QString takenText(const QString &taken)
{
    const QDateTime when = QDateTime::fromString(taken, QStringLiteral("yyyy:MM:dd HH:mm:ss"));
    return when.isValid() ? QLocale().toString(when, QLocale::ShortFormat) : taken;
}

} // namespace

SourceFilesModel::SourceFilesModel(QObject *parent)
    : QAbstractTableModel(parent)
{
    connect(&m_details, &PhotoDetails::headersRead, this, &SourceFilesModel::headersRead);
    connect(&m_details, &PhotoDetails::thumbnailRead, this, &SourceFilesModel::thumbnailRead);
}

int SourceFilesModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(m_files.size());
}

int SourceFilesModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant SourceFilesModel::data(const QModelIndex &index, int role) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return {};
    const WorkFile &file = *m_files.at(index.row());
    switch (role) {
    case Qt::DisplayRole:
        return display(file, index.column());
    case Qt::ToolTipRole:
        return file.problem().isEmpty() ? file.filePath()
                                        : file.filePath() + QLatin1Char('\n') + file.problem();
    case Qt::DecorationRole:
        // A photo that will fail is marked the moment it is known, not when the run gets to it.
        if (index.column() == Name && !file.problem().isEmpty())
            return QApplication::style()->standardIcon(QStyle::SP_MessageBoxWarning);
        if (index.column() == Picture) {
            if (const PhotoDetails::Thumbnail *picture = m_details.thumbnail(file.filePath()))
                return picture->image;
        }
        return {};
    case Qt::TextAlignmentRole:
        if (index.column() == PixelSize)
            return (Qt::AlignRight | Qt::AlignVCenter).toInt();
        return {};
    default:
        return {};
    }
}

QVariant SourceFilesModel::display(const WorkFile &file, int column) const
{
    switch (column) {
    case Name:
        return file.fileName();
    case Path:
        return file.filePath();
    case PixelSize:
        if (const PhotoDetails::Header *header = m_details.header(file.filePath());
            header && header->pixelSize.isValid())
            return QStringLiteral("%1 × %2")
                .arg(header->pixelSize.width())
                .arg(header->pixelSize.height());
        return {};
    case Taken:
        if (const PhotoDetails::Header *header = m_details.header(file.filePath()))
            return takenText(header->taken);
        return {};
    default:
        return {};
    }
}

QVariant SourceFilesModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return QAbstractTableModel::headerData(section, orientation, role);
    switch (section) {
    case Name:
        return QStringLiteral("Name");
    case Path:
        return QStringLiteral("Path");
    case PixelSize:
        return QStringLiteral("Size");
    case Taken:
        return QStringLiteral("Taken");
    default:
        return QString();
    }
}

void SourceFilesModel::sort(int column, Qt::SortOrder order)
{
    if (column < 0 || column >= ColumnCount || column == Picture) {
        Q_EMIT sortKept(m_sortColumn, m_sortOrder);
        return;
    }
    m_sortColumn = column;
    m_sortOrder = order;
    const auto pixels = [this](const WorkFile &file) -> qint64 {
        const PhotoDetails::Header *header = m_details.header(file.filePath());
        return header && header->pixelSize.isValid()
                   ? qint64(header->pixelSize.width()) * header->pixelSize.height()
                   : -1;
    };
    const auto taken = [this](const WorkFile &file) {
        const PhotoDetails::Header *header = m_details.header(file.filePath());
        return header ? header->taken : QString();
    };
    const auto less = [&](const std::shared_ptr<WorkFile> &a, const std::shared_ptr<WorkFile> &b) {
        switch (column) {
        case Name:
            return FileGathering::naturalLess(a->fileName(), b->fileName());
        case Path:
            return FileGathering::naturalLess(a->filePath(), b->filePath());
        case PixelSize:
            return pixels(*a) < pixels(*b);
        default:
            return taken(*a) < taken(*b);
        }
    };
    Q_EMIT layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    const WorkFileList before = m_files;
    if (order == Qt::AscendingOrder)
        std::stable_sort(m_files.begin(), m_files.end(), less);
    else
        std::stable_sort(m_files.begin(), m_files.end(),
                         [&](const auto &a, const auto &b) { return less(b, a); });
    // The selection moves with its photos.
    QHash<const WorkFile *, int> rowOf;
    rowOf.reserve(m_files.size());
    for (int row = 0; row < m_files.size(); ++row)
        rowOf.insert(m_files.at(row).get(), row);
    const QModelIndexList old = persistentIndexList();
    QModelIndexList moved;
    moved.reserve(old.size());
    for (const QModelIndex &index : old)
        moved.append(this->index(rowOf.value(before.at(index.row()).get()), index.column()));
    changePersistentIndexList(old, moved);
    Q_EMIT layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}

void SourceFilesModel::append(const QStringList &paths, QStringList *problems)
{
    WorkFileList grown = m_files;
    const qsizetype before = grown.size();
    if (FileGathering::appendWorkFiles(grown, paths, problems) == 0)
        return;
    beginInsertRows({}, rowCount(), static_cast<int>(grown.size()) - 1);
    m_files = std::move(grown);
    endInsertRows();
    QStringList added;
    for (qsizetype i = before; i < m_files.size(); ++i)
        added.append(m_files.at(i)->filePath());
    m_details.readHeaders(added);
    if (m_sortColumn >= 0)
        sort(m_sortColumn, m_sortOrder);
}

// Each run of neighbouring rows goes in one step, from the bottom up so that the rows still to
// go keep their numbers.
void SourceFilesModel::remove(QList<int> rows)
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

void SourceFilesModel::headersRead()
{
    if (m_files.isEmpty())
        return;
    Q_EMIT dataChanged(index(0, PixelSize), index(rowCount() - 1, Taken), {Qt::DisplayRole});
    // A sort by size or date waits for every header, then orders once.
    if ((m_sortColumn == PixelSize || m_sortColumn == Taken) && !m_details.readingHeaders())
        sort(m_sortColumn, m_sortOrder);
}

void SourceFilesModel::thumbnailRead(const QString &path)
{
    const PhotoDetails::Thumbnail *picture = m_details.thumbnail(path);
    for (int row = 0; row < m_files.size(); ++row) {
        WorkFile &file = *m_files.at(row);
        if (file.filePath() != path)
            continue;
        const bool marked = picture && !picture->problem.isEmpty() && file.problem().isEmpty();
        if (marked)
            file.setProblem(picture->problem);
        Q_EMIT dataChanged(index(row, Name), index(row, Picture));
        if (marked)
            Q_EMIT problemFound();
    }
}

} // namespace inkveil
