// SPDX-FileCopyrightText: 2026 Tessaly
// SPDX-License-Identifier: GPL-3.0-or-later

#include "output/UsedWatermarksModel.h"

namespace inkveil {

const QStringList UsedWatermarksModel::ColumnIdentifiers{
    QStringLiteral("name"), QStringLiteral("type"), QStringLiteral("content")};

namespace {

const QStringList ColumnTitles{QStringLiteral("Name"), QStringLiteral("Type"),
                               QStringLiteral("Content")};

} // namespace

UsedWatermarksModel::UsedWatermarksModel(QObject *parent)
    : QAbstractTableModel(parent)
{}

void UsedWatermarksModel::setOverlays(const OverlayList &overlays)
{
    beginResetModel();
    m_used.clear();
    for (const auto &overlay : overlays) {
        if (overlay->use())
            m_used.append(overlay);
    }
    endResetModel();
}

int UsedWatermarksModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(m_used.size());
}

int UsedWatermarksModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(ColumnIdentifiers.size());
}

QVariant UsedWatermarksModel::data(const QModelIndex &index, int role) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid) ||
        (role != Qt::DisplayRole && role != Qt::ToolTipRole))
        return {};
    const Overlay &overlay = *m_used.at(index.row());
    const QString &column = ColumnIdentifiers.at(index.column());
    // Where a long text will be drawn smaller than set, the summary says so on pointing at it.
    if (role == Qt::ToolTipRole && column == QLatin1String("type") && !overlay.isImage() &&
        overlay.maxWidth() > 0.0f)
        return QStringLiteral("text, shrinks to fit where wider than %1 % of the photo")
            .arg(static_cast<double>(overlay.maxWidth()));
    return cellValue(overlay, column);
}

QVariant UsedWatermarksModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || section < 0 || section >= ColumnIdentifiers.size())
        return QAbstractTableModel::headerData(section, orientation, role);
    if (role == Qt::DisplayRole)
        return ColumnTitles.at(section);
    if (role == IdentifierRole)
        return ColumnIdentifiers.at(section);
    return {};
}

QVariant UsedWatermarksModel::cellValue(const Overlay &overlay, const QString &columnIdentifier)
{
    if (columnIdentifier == QLatin1String("name"))
        return overlay.name();
    if (columnIdentifier == QLatin1String("type"))
        return overlay.isImage() ? QStringLiteral("image") : QStringLiteral("text");
    if (columnIdentifier == QLatin1String("content"))
        return overlay.isImage() ? overlay.filePath() : overlay.text();
    return {};
}

} // namespace inkveil
