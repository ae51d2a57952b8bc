// SPDX-FileCopyrightText: 2026 Tessaly
// SPDX-License-Identifier: GPL-3.0-or-later

#include "widgets/ListView.h"

#include "base/Resources.h"

#include <QFontMetrics>
#include <QPainter>

#include <algorithm>

namespace inkveil {

namespace {

QImage resourceImage(const char *name)
{
    return QImage(Resources::imagePath(QString::fromLatin1(name)));
}

} // namespace

ListView::ListView(QWidget *parent)
    : QWidget(parent)
    , m_textColor(Qt::black)
    , m_currentPaneImg(resourceImage("current"))
    , m_processedPaneImg(resourceImage("processed"))
    , m_unprocessedPaneImg(resourceImage("unprocessed"))
{
    // The titles are set in the classic Mac system face at 13 units; where it is not installed
    // the default sans font stands in.
    m_font.setFamilies({QStringLiteral("Lucida Grande"), QStringLiteral("DejaVu Sans"),
                        QStringLiteral("Sans Serif")});
    m_font.setPixelSize(13);
}

void ListView::addToTitles(const QString &title)
{
    m_titles.append(title);
    updateGeometry();
}

void ListView::setCurrentPaneIndex(int index)
{
    m_currentPaneIndex = index;
    update();
}

QSize ListView::sizeHint() const
{
    const QFontMetrics metrics(m_font);
    int width = 0;
    for (const QString &title : m_titles)
        width = std::max(width, metrics.horizontalAdvance(title));
    return {TitleOffset + width + 8, RowHeight * (static_cast<int>(m_titles.size()) + 1)};
}

void ListView::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setFont(m_font);
    painter.setPen(m_textColor);
    const QFontMetrics metrics(m_font);
    // Rows are laid out from the top: the bottom edge of row i's image lies 24 * (i + 1) below
    // the top edge, and the title's line box sits 4 further down.
    for (int i = 0; i < m_titles.size(); ++i) {
        const QImage &image = i == m_currentPaneIndex  ? m_currentPaneImg
                              : i < m_currentPaneIndex ? m_processedPaneImg
                                                       : m_unprocessedPaneImg;
        const int imageBottom = RowHeight * (i + 1);
        painter.drawImage(QPoint(0, imageBottom - image.height()), image);
        const int lineBottom = imageBottom + 4;
        painter.drawText(QPoint(TitleOffset, lineBottom - metrics.descent()), m_titles.at(i));
    }
}

} // namespace inkveil
