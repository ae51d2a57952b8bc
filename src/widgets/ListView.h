// SPDX-FileCopyrightText: 2026 Tessaly
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QFont>
#include <QImage>
#include <QStringList>
#include <QWidget>

namespace inkveil {

// Lists the pane titles top to bottom, each behind a small state image: done, current or
// still to come. It draws only.
class ListView : public QWidget
{
    Q_OBJECT

public:
    explicit ListView(QWidget *parent = nullptr);

    void addToTitles(const QString &title);
    QStringList titles() const { return m_titles; }
    int currentPaneIndex() const { return m_currentPaneIndex; }
    void setCurrentPaneIndex(int index);

    QSize sizeHint() const override;

    // Rows are this far apart; the title starts this far from the left edge.
    static constexpr int RowHeight = 24;
    static constexpr int TitleOffset = 20;

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QStringList m_titles;
    QFont m_font;
    QColor m_textColor;
    QImage m_currentPaneImg;
    QImage m_processedPaneImg;
    QImage m_unprocessedPaneImg;
    int m_currentPaneIndex = 0;
};

} // namespace inkveil
