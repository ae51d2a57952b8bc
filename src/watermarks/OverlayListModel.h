// SPDX-FileCopyrightText: 2026 Tessaly
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "watermarks/Overlay.h"

#include <QAbstractListModel>

namespace inkveil {

// The watermark list as the pane shows it: one row per record, its name editable in place and
// a check box for whether it is drawn. The records are shared, so an edit here is an edit of
// the model everybody sees.
class OverlayListModel : public QAbstractListModel
{
    Q_OBJECT

public:
    explicit OverlayListModel(QObject *parent = nullptr);

    OverlayList overlays() const { return m_overlays; }
    std::shared_ptr<Overlay> overlayAt(int row) const;
    // The row of the record, or -1 when the list does not hold it.
    int rowOf(const std::shared_ptr<Overlay> &overlay) const;

    void append(const std::shared_ptr<Overlay> &overlay);
    void removeAt(int row);

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    bool setData(const QModelIndex &index, const QVariant &value, int role = Qt::EditRole) override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;

private:
    OverlayList m_overlays;
};

} // namespace inkveil
