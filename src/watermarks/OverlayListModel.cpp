// SPDX-FileCopyrightText: 2026 Tessaly
// SPDX-License-Identifier: GPL-3.0-or-later

#include "watermarks/OverlayListModel.h"

namespace inkveil {

OverlayListModel::OverlayListModel(QObject *parent)
    : QAbstractListModel(parent)
{}

std::shared_ptr<Overlay> OverlayListModel::overlayAt(int row) const
{
    if (row < 0 || row >= m_overlays.size())
        return nullptr;
    return m_overlays.at(row);
}

int OverlayListModel::rowOf(const std::shared_ptr<Overlay> &overlay) const
{
    return overlay ? static_cast<int>(m_overlays.indexOf(overlay)) : -1;
}

void OverlayListModel::append(const std::shared_ptr<Overlay> &overlay)
{
    const int row = rowCount();
    beginInsertRows(QModelIndex(), row, row);
    m_overlays.append(overlay);
    endInsertRows();
}

void OverlayListModel::removeAt(int row)
{
    if (row < 0 || row >= rowCount())
        return;
    beginRemoveRows(QModelIndex(), row, row);
    m_overlays.removeAt(row);
    endRemoveRows();
}

int OverlayListModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(m_overlays.size());
}

QVariant OverlayListModel::data(const QModelIndex &index, int role) const
{
    const std::shared_ptr<Overlay> overlay = overlayAt(index.row());
    if (!overlay || index.parent().isValid())
        return {};
    switch (role) {
    case Qt::DisplayRole:
    case Qt::EditRole:
        return overlay->name();
    case Qt::CheckStateRole:
        return overlay->use() ? Qt::Checked : Qt::Unchecked;
    case Qt::ToolTipRole:
        return overlay->isImage() ? overlay->filePath() : overlay->text();
    default:
        return {};
    }
}

bool OverlayListModel::setData(const QModelIndex &index, const QVariant &value, int role)
{
    const std::shared_ptr<Overlay> overlay = overlayAt(index.row());
    if (!overlay)
        return false;
    if (role == Qt::EditRole) {
        const QString name = value.toString();
        if (name == overlay->name())
            return false;
        overlay->setName(name);
        Q_EMIT dataChanged(index, index, {Qt::DisplayRole, Qt::EditRole});
        return true;
    }
    if (role == Qt::CheckStateRole) {
        const bool use = value.value<Qt::CheckState>() == Qt::Checked;
        if (use == overlay->use())
            return false;
        overlay->setUse(use);
        Q_EMIT dataChanged(index, index, {Qt::CheckStateRole});
        return true;
    }
    return false;
}

Qt::ItemFlags OverlayListModel::flags(const QModelIndex &index) const
{
    if (!overlayAt(index.row()))
        return Qt::NoItemFlags;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsEditable | Qt::ItemIsUserCheckable;
}

} // namespace inkveil
