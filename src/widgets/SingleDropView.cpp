// SPDX-FileCopyrightText: 2026 Tessaly
// SPDX-License-Identifier: GPL-3.0-or-later

#include "widgets/SingleDropView.h"

#include "imageio/ImageToolkit.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QMimeData>
#include <QPainter>

namespace inkveil {

namespace {

QFont hintFont(int pointSize)
{
    // The family the hints were designed with; fontconfig substitutes the default sans font.
    QFont font(QStringLiteral("Lucida Grande"), pointSize);
    font.setStyleHint(QFont::SansSerif);
    return font;
}

const QString DropText = QStringLiteral("Drop image here");
const QString BrowseText = QStringLiteral("... or click to browse");

} // namespace

SingleDropView::SingleDropView(QWidget *parent)
    : QWidget(parent)
    , m_smallFont(hintFont(10))
    , m_normalFont(hintFont(14))
{
    setAcceptDrops(true);
    setCursor(Qt::PointingHandCursor);
    setToolTip(QStringLiteral("Drop an image file here, or click to choose one"));
}

bool SingleDropView::isSupportedFormat(const QString &extension)
{
    return ImageToolkit::imageFileTypes().contains(extension, Qt::CaseSensitive);
}

QSize SingleDropView::sizeHint() const
{
    return minimumSizeHint();
}

QSize SingleDropView::minimumSizeHint() const
{
    const int width = std::max(QFontMetrics(m_normalFont).horizontalAdvance(DropText) + 18,
                               QFontMetrics(m_smallFont).horizontalAdvance(BrowseText) + 20);
    return {width + 12, 68 + QFontMetrics(m_smallFont).descent() + 8};
}

void SingleDropView::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setFont(m_normalFont);
    const QColor text = palette().color(QPalette::WindowText);
    // A green dark enough to read on the window's light grey.
    painter.setPen(m_highlight ? QColor(0, 160, 0) : text);
    painter.drawText(QPointF(18, 44), DropText);
    painter.setFont(m_smallFont);
    painter.setPen(text);
    painter.drawText(QPointF(20, 68), BrowseText);
}

void SingleDropView::mousePressEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton)
        openPanel();
}

void SingleDropView::openPanel()
{
    if (m_openPanel)
        return;
    QStringList patterns;
    for (const QString &type : ImageToolkit::imageFileTypes())
        patterns.append(QStringLiteral("*.") + type);
    auto *dialog = new QFileDialog(window(), QStringLiteral("Choose a watermark image"));
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setFileMode(QFileDialog::ExistingFile);
    dialog->setNameFilter(QStringLiteral("Images (%1)").arg(patterns.join(QLatin1Char(' '))));
    // The same exact-case rule as for drops, so the dialog offers only files a drop would take.
    dialog->setFilter(dialog->filter() | QDir::CaseSensitive);
    connect(dialog, &QFileDialog::finished, this,
            [this, dialog](int result) { openPanelDidEnd(dialog->selectedFiles(), result); });
    m_openPanel = dialog;
    dialog->open();
}

void SingleDropView::openPanelDidEnd(const QStringList &files, int result)
{
    if (result != QDialog::Accepted || files.size() != 1)
        return;
    if (!isSupportedFormat(QFileInfo(files.first()).suffix()))
        return;
    Q_EMIT fileChosen(files.first());
}

QString SingleDropView::acceptableFile(const QMimeData *mimeData, const QObject *source) const
{
    if (source == this || !mimeData || !mimeData->hasUrls())
        return {};
    const QList<QUrl> urls = mimeData->urls();
    if (urls.size() != 1 || !urls.first().isLocalFile())
        return {};
    const QFileInfo file(urls.first().toLocalFile());
    if (file.isDir() || !isSupportedFormat(file.suffix()))
        return {};
    return file.absoluteFilePath();
}

void SingleDropView::setHighlight(bool highlight)
{
    if (highlight == m_highlight)
        return;
    m_highlight = highlight;
    update();
}

void SingleDropView::dragEnterEvent(QDragEnterEvent *event)
{
    if (acceptableFile(event->mimeData(), event->source()).isNull()) {
        event->ignore();
        return;
    }
    event->setDropAction(Qt::CopyAction);
    event->accept();
    setHighlight(true);
}

void SingleDropView::dragMoveEvent(QDragMoveEvent *event)
{
    if (!m_highlight) {
        event->ignore();
        return;
    }
    event->setDropAction(Qt::CopyAction);
    event->accept();
}

void SingleDropView::dragLeaveEvent(QDragLeaveEvent *)
{
    setHighlight(false);
}

void SingleDropView::dropEvent(QDropEvent *event)
{
    setHighlight(false);
    const QString path = acceptableFile(event->mimeData(), event->source());
    if (path.isNull()) {
        event->ignore();
        return;
    }
    event->setDropAction(Qt::CopyAction);
    event->accept();
    Q_EMIT fileChosen(path);
}

} // namespace inkveil
