// SPDX-FileCopyrightText: 2026 Tessaly
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "watermarks/Overlay.h"

#include <QAbstractTableModel>
#include <QStringList>

namespace inkveil {

// The watermarks a run will draw (those in use), one row each in list order, with the columns
// "name", "type" ("image" or "text") and "content" (an image's file path, or the text as
// typed, placeholders unexpanded). The rows are picked when the list is set; the records stay
// shared.
class UsedWatermarksModel : public QAbstractTableModel
{
    Q_OBJECT

public:
    // Identifiers of the columns, in column order; headerData answers them for IdentifierRole.
    static const QStringList ColumnIdentifiers;
    static constexpr int IdentifierRole = Qt::UserRole;

    explicit UsedWatermarksModel(QObject *parent = nullptr);

    void setOverlays(const OverlayList &overlays);

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

    // One cell of a watermark's row by column identifier; nothing for an unknown identifier.
    static QVariant cellValue(const Overlay &overlay, const QString &columnIdentifier);

private:
    OverlayList m_used;
};

} // namespace inkveil
