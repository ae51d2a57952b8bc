// SPDX-FileCopyrightText: 2026 Tessaly
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "sources/PhotoDetails.h"
#include "sources/WorkFile.h"

#include <QAbstractTableModel>

namespace inkveil {

// The source list's rows: one work file each, with its name, full path, picture, pixel size and
// the date it was taken. Sorting reorders the batch itself, so photos are processed (and
// counted) in the order the list shows; photos added later take their place in that order.
class SourceFilesModel : public QAbstractTableModel
{
    Q_OBJECT

public:
    // Name and Path keep their old places; the view shows the picture first.
    enum Column { Name, Path, Picture, PixelSize, Taken, ColumnCount };

    explicit SourceFilesModel(QObject *parent = nullptr);

    const WorkFileList &files() const { return m_files; }
    PhotoDetails &details() { return m_details; }

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    // Stable, so photos that sort equal keep their order; the picture column does not sort.
    void sort(int column, Qt::SortOrder order = Qt::AscendingOrder) override;

    // Appends a work file for each photo among the paths that the list does not hold yet.
    void append(const QStringList &paths, QStringList *problems);
    // Removes the given rows.
    void remove(QList<int> rows);

Q_SIGNALS:
    // A photo listed as whole turned out not to decode; it is now marked.
    void problemFound();
    // A sort by a column that doesn't sort left the order as it was, by this column (-1: none).
    void sortKept(int column, Qt::SortOrder order);

private:
    QVariant display(const WorkFile &file, int column) const;
    void headersRead();
    void thumbnailRead(const QString &path);

    WorkFileList m_files;
    // Mutable: asking for a picture that is not there yet queues it.
    mutable PhotoDetails m_details;
    int m_sortColumn = -1;
    Qt::SortOrder m_sortOrder = Qt::AscendingOrder;
};

} // namespace inkveil
