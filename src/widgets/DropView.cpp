// SPDX-FileCopyrightText: 2026 Tessaly
// SPDX-License-Identifier: GPL-3.0-or-later

#include "widgets/DropView.h"

#include "imageio/ImageToolkit.h"

#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QFontMetrics>
#include <QLineEdit>
#include <QMimeData>
#include <QPainter>
#include <QSettings>
#include <QStandardPaths>
#include <QUrl>

#include <algorithm>

namespace inkveil {

namespace {

QString firstLine()
{
    return QStringLiteral("Drop files & folders here");
}

QString secondLine()
{
    return QStringLiteral("... or click to browse");
}

const QString LastFolderKey = QStringLiteral("sources/lastFolder");

// The classic Mac system face; where it is not installed the default sans font stands in.
QFont lucidaGrande(int pixelSize)
{
    QFont font;
    font.setFamilies({QStringLiteral("Lucida Grande"), QStringLiteral("Sans Serif")});
    font.setStyleHint(QFont::SansSerif);
    font.setPixelSize(pixelSize);
    return font;
}

// The stock dialog in ExistingFiles mode opens a selected folder instead of returning it, so
// files and folders could not be chosen together. Here Open takes the folders selected in the
// list as chosen. A folder is still opened by a double click, by Enter in the list, or by
// typing its path into the file name field.
class FilesAndFoldersDialog : public QFileDialog
{
public:
    using QFileDialog::QFileDialog;

    void accept() override
    {
        const QStringList chosen = selectedFiles();
        const bool typed = qobject_cast<QLineEdit *>(focusWidget()) != nullptr;
        const auto isFolder = [](const QString &path) { return QFileInfo(path).isDir(); };
        const auto exists = [](const QString &path) { return QFileInfo::exists(path); };
        if (!typed && std::any_of(chosen.begin(), chosen.end(), isFolder) &&
            std::all_of(chosen.begin(), chosen.end(), exists)) {
            QDialog::accept();
            return;
        }
        QFileDialog::accept();
    }
};

} // namespace

DropView::DropView(QWidget *parent)
    : QWidget(parent)
    , m_normalFont(lucidaGrande(18))
    , m_smallFont(lucidaGrande(12))
{
    setAcceptDrops(true);
    setCursor(Qt::PointingHandCursor);
}

bool DropView::acceptsDrag(const QMimeData *mimeData, const QObject *source) const
{
    return source != this && !localFiles(mimeData).isEmpty();
}

QStringList DropView::localFiles(const QMimeData *data)
{
    QStringList paths;
    if (!data || !data->hasUrls())
        return paths;
    const QList<QUrl> urls = data->urls();
    for (const QUrl &url : urls) {
        if (url.isLocalFile())
            paths.append(url.toLocalFile());
    }
    return paths;
}

void DropView::openPanel()
{
    if (m_chooser) {
        const QStringList chosen = m_chooser(window());
        openPanelDidEnd(chosen.isEmpty() ? QDialog::Rejected : QDialog::Accepted, chosen);
        return;
    }
    // Not the platform's dialog: ours must hand back folders as well as files.
    auto *dialog = new FilesAndFoldersDialog(window(), QStringLiteral("Add Photos"), startFolder());
    dialog->setFileMode(QFileDialog::ExistingFiles);
    QStringList patterns;
    for (const QString &type : ImageToolkit::imageFileTypes())
        patterns.append(QStringLiteral("*.") + type);
    dialog->setNameFilter(QStringLiteral("Images (%1)").arg(patterns.join(QLatin1Char(' '))));
    dialog->setOption(QFileDialog::HideNameFilterDetails);
    openDialog(dialog);
}

void DropView::openFolderPanel()
{
    if (m_chooser) {
        const QStringList chosen = m_chooser(window());
        openPanelDidEnd(chosen.isEmpty() ? QDialog::Rejected : QDialog::Accepted, chosen);
        return;
    }
    auto *dialog = new QFileDialog(window(), QStringLiteral("Add Folder"), startFolder());
    dialog->setFileMode(QFileDialog::Directory);
    dialog->setOption(QFileDialog::ShowDirsOnly);
    openDialog(dialog);
}

void DropView::openDialog(QFileDialog *dialog)
{
    dialog->setOption(QFileDialog::DontUseNativeDialog);
    dialog->setWindowModality(Qt::WindowModal);
    connect(dialog, &QDialog::finished, this, [this, dialog](int result) {
        // The next dialog opens where this one was left.
        if (result == QDialog::Accepted)
            QSettings().setValue(LastFolderKey, dialog->directory().absolutePath());
        openPanelDidEnd(result, dialog->selectedFiles());
        dialog->deleteLater();
    });
    dialog->open();
}

QString DropView::startFolder()
{
    const QString last = QSettings().value(LastFolderKey).toString();
    if (!last.isEmpty() && QFileInfo(last).isDir())
        return last;
    // Where the desktop keeps photos (XDG_PICTURES_DIR), else the home folder.
    const QString pictures = QStandardPaths::writableLocation(QStandardPaths::PicturesLocation);
    return QFileInfo(pictures).isDir() ? pictures : QDir::homePath();
}

void DropView::openPanelDidEnd(int result, const QStringList &paths)
{
    if (result == QDialog::Accepted && !paths.isEmpty())
        Q_EMIT pathsChosen(paths);
}

QSize DropView::sizeHint() const
{
    const int width =
        std::max(FirstLineLeft + QFontMetrics(m_normalFont).horizontalAdvance(firstLine()),
                 SecondLineLeft + QFontMetrics(m_smallFont).horizontalAdvance(secondLine()));
    return {width + 8, SecondLineBottom + 8};
}

QSize DropView::minimumSizeHint() const
{
    return sizeHint();
}

void DropView::paintEvent(QPaintEvent *)
{
    // No background and no border: two lines of text whose lower edges keep their distance
    // from the top edge whatever the view's height.
    QPainter painter(this);
    const QColor black = QColor::fromRgbF(0, 0, 0);
    painter.setFont(m_normalFont);
    painter.setPen(m_highlighted ? QColor::fromRgbF(0, 1, 0) : black);
    painter.drawText(QPoint(FirstLineLeft, FirstLineBottom - QFontMetrics(m_normalFont).descent()),
                     firstLine());
    painter.setFont(m_smallFont);
    painter.setPen(black);
    painter.drawText(QPoint(SecondLineLeft, SecondLineBottom - QFontMetrics(m_smallFont).descent()),
                     secondLine());
}

void DropView::mousePressEvent(QMouseEvent *event)
{
    event->accept();
    openPanel();
}

void DropView::dragEnterEvent(QDragEnterEvent *event)
{
    // Only the names are taken and the files stay where they are: the drop is a copy, never
    // a move that would let the file manager delete the originals.
    if (!acceptsDrag(event->mimeData(), event->source()) ||
        !(event->possibleActions() & Qt::CopyAction)) {
        event->ignore();
        return;
    }
    event->setDropAction(Qt::CopyAction);
    event->accept();
    setHighlighted(true);
}

void DropView::dragMoveEvent(QDragMoveEvent *event)
{
    if (!m_highlighted) {
        event->ignore();
        return;
    }
    event->setDropAction(Qt::CopyAction);
    event->accept();
}

void DropView::dragLeaveEvent(QDragLeaveEvent *event)
{
    event->accept();
    setHighlighted(false);
}

void DropView::dropEvent(QDropEvent *event)
{
    setHighlighted(false);
    if (!acceptsDrag(event->mimeData(), event->source())) {
        event->ignore();
        return;
    }
    event->setDropAction(Qt::CopyAction);
    event->accept();
    Q_EMIT pathsChosen(localFiles(event->mimeData()));
}

void DropView::setHighlighted(bool highlighted)
{
    if (m_highlighted == highlighted)
        return;
    m_highlighted = highlighted;
    update();
}

} // namespace inkveil
