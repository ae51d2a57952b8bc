// SPDX-FileCopyrightText: 2026 Tessaly
// SPDX-License-Identifier: GPL-3.0-or-later

#include "panes/FindMarkWindow.h"

#include "base/Printable.h"
#include "imageio/ImageToolkit.h"
#include "widgets/DropView.h"

#include "ui_FindMarkWindow.h"

#include <QClipboard>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QGuiApplication>
#include <QHeaderView>
#include <QScreen>
#include <QSettings>

namespace inkveil {

namespace {

const QString LastFolderKey = QStringLiteral("mark/lastFolder");

enum Column { PhotoColumn, FoundColumn, ConfidenceColumn };

} // namespace

FindMarkWindow::FindMarkWindow(const QString &keyPath, QWidget *parent)
    : QDialog(parent)
    , ui(std::make_unique<Ui::FindMarkWindow>())
    , m_keyPath(keyPath)
{
    ui->setupUi(this);
    // Its size from the form is larger than a small screen at 200 %, which would hide the
    // buttons below the screen's edge.
    if (const QScreen *shown = screen())
        resize(size().boundedTo(shown->availableGeometry().size() * 0.9));
    setAcceptDrops(true);
    ui->results->header()->setStretchLastSection(false);
    ui->results->header()->setSectionResizeMode(PhotoColumn, QHeaderView::Stretch);
    ui->results->header()->setSectionResizeMode(FoundColumn, QHeaderView::Stretch);
    ui->results->header()->setSectionResizeMode(ConfidenceColumn, QHeaderView::ResizeToContents);
    connect(ui->choosePhotos, &QAbstractButton::clicked, this, &FindMarkWindow::openPanel);
    connect(ui->copy, &QAbstractButton::clicked, this,
            [this] { QGuiApplication::clipboard()->setText(lines()); });
    connect(ui->close, &QAbstractButton::clicked, this, &QWidget::close);
    connect(&m_search, &MarkSearch::looked, this, &FindMarkWindow::showFound);
    loadKey();
}

FindMarkWindow::~FindMarkWindow() = default;

void FindMarkWindow::setKeyPath(const QString &path)
{
    m_keyPath = path;
    loadKey();
}

bool FindMarkWindow::loadKey()
{
    const Result<MarkKey> key = MarkKey::load(m_keyPath);
    if (!key) {
        ui->instructions->setText(
            QStringLiteral("There is no mark key to look with: %1").arg(printable(key.reason())));
        return false;
    }
    m_search.setKey(*key);
    ui->instructions->setText(
        QStringLiteral("Drop photos here, or choose them. Marks are looked for with key %1.")
            .arg(key->fingerprint()));
    return true;
}

void FindMarkWindow::addPhotos(const QStringList &paths)
{
    if (!loadKey())
        return;
    const QStringList photos = MarkSearch::photosIn(paths);
    for (const QString &photo : photos) {
        auto *row = new QTreeWidgetItem(
            ui->results, {printable(QFileInfo(photo).fileName()), QStringLiteral("Looking…")});
        row->setData(PhotoColumn, Qt::UserRole, photo);
        row->setToolTip(PhotoColumn, printable(photo));
    }
    if (!photos.isEmpty())
        ui->results->scrollToItem(ui->results->topLevelItem(ui->results->topLevelItemCount() - 1));
    m_search.look(photos);
}

void FindMarkWindow::showFound(qsizetype row, const QString &outcome, const QString &confidence)
{
    QTreeWidgetItem *item = ui->results->topLevelItem(int(row));
    if (!item)
        return;
    item->setText(FoundColumn, outcome);
    // A reason a photo can't be read is often longer than the column.
    item->setToolTip(FoundColumn, outcome);
    item->setText(ConfidenceColumn, confidence);
}

QString FindMarkWindow::lines() const
{
    QStringList lines;
    for (int row = 0; row < ui->results->topLevelItemCount(); ++row) {
        const QTreeWidgetItem *item = ui->results->topLevelItem(row);
        lines.append(MarkSearch::line(item->data(PhotoColumn, Qt::UserRole).toString(),
                                      item->text(FoundColumn)));
    }
    return lines.join(QLatin1Char('\n'));
}

void FindMarkWindow::openPanel()
{
    const QString last = QSettings().value(LastFolderKey).toString();
    auto *dialog = new QFileDialog(this, QStringLiteral("Find the mark in photos"),
                                   QFileInfo(last).isDir() ? last : DropView::startFolder());
    dialog->setFileMode(QFileDialog::ExistingFiles);
    QStringList patterns;
    for (const QString &type : ImageToolkit::imageFileTypes())
        patterns.append(QStringLiteral("*.") + type);
    dialog->setNameFilters({QStringLiteral("Images (%1)").arg(patterns.join(QLatin1Char(' '))),
                            QStringLiteral("All files (*)")});
    dialog->setWindowModality(Qt::WindowModal);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    connect(dialog, &QFileDialog::finished, this, [this, dialog](int result) {
        if (result == QDialog::Accepted)
            QSettings().setValue(LastFolderKey, dialog->directory().absolutePath());
        openPanelDidEnd(result, dialog->selectedFiles());
    });
    dialog->open();
}

void FindMarkWindow::openPanelDidEnd(int result, const QStringList &paths)
{
    if (result == QDialog::Accepted)
        addPhotos(paths);
}

// The drop is a copy: only the names are taken, and the file manager never deletes the photos.
void FindMarkWindow::dragEnterEvent(QDragEnterEvent *event)
{
    if (DropView::localFiles(event->mimeData()).isEmpty() ||
        !(event->possibleActions() & Qt::CopyAction)) {
        event->ignore();
        return;
    }
    event->setDropAction(Qt::CopyAction);
    event->accept();
}

void FindMarkWindow::dragMoveEvent(QDragMoveEvent *event)
{
    event->setDropAction(Qt::CopyAction);
    event->accept();
}

void FindMarkWindow::dropEvent(QDropEvent *event)
{
    const QStringList paths = DropView::localFiles(event->mimeData());
    if (paths.isEmpty()) {
        event->ignore();
        return;
    }
    event->setDropAction(Qt::CopyAction);
    event->accept();
    addPhotos(paths);
}

} // namespace inkveil
