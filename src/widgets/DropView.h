// SPDX-FileCopyrightText: 2026 Tessaly
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QFont>
#include <QStringList>
#include <QWidget>

#include <functional>

class QFileDialog;
class QMimeData;

namespace inkveil {

// The drop area of the source files pane: files and folders dragged from a file manager are
// dropped here, and a click opens a file dialog to choose them. It draws two lines of text at
// its top left, the first turning green while a drag of file names hovers over it.
class DropView : public QWidget
{
    Q_OBJECT

public:
    // Answers the file dialog in its place: the paths chosen, none for "cancelled".
    using Chooser = std::function<QStringList(QWidget *parent)>;

    explicit DropView(QWidget *parent = nullptr);

    // Distances of the two lines' lower edges (their line box, descent included) from the
    // view's top edge, and their left offsets.
    static constexpr int FirstLineBottom = 24;
    static constexpr int FirstLineLeft = 5;
    static constexpr int SecondLineBottom = 48;
    static constexpr int SecondLineLeft = 58;

    bool isHighlighted() const { return m_highlighted; }

    // May a drag carrying `mimeData` and started by `source` (null when it comes from another
    // application) be dropped here? Only lists of local file names are taken, and never a drag
    // that this view started itself.
    bool acceptsDrag(const QMimeData *mimeData, const QObject *source) const;
    // The local file names a drag carries.
    static QStringList localFiles(const QMimeData *mimeData);

    // Opens the file dialog, window-modal on the main window; its end goes to openPanelDidEnd.
    void openPanel();
    // The same for one folder, gathered as a dropped folder is.
    void openFolderPanel();
    // Where the dialogs start: the folder the last one was left in, else the Pictures folder,
    // else the home folder.
    static QString startFolder();
    // The file dialog's end: with Accepted and at least one path, the paths are gathered.
    void openPanelDidEnd(int result, const QStringList &paths);
    // Replaces the file dialog (tests answer it without a window).
    void setChooser(Chooser chooser) { m_chooser = std::move(chooser); }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

Q_SIGNALS:
    // Files and folders the user dropped or chose, as full paths, for the pane to gather.
    void pathsChosen(const QStringList &paths);

protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dragMoveEvent(QDragMoveEvent *event) override;
    void dragLeaveEvent(QDragLeaveEvent *event) override;
    void dropEvent(QDropEvent *event) override;

private:
    void setHighlighted(bool highlighted);
    void openDialog(QFileDialog *dialog);

    QFont m_normalFont;
    QFont m_smallFont;
    bool m_highlighted = false;
    Chooser m_chooser;
};

} // namespace inkveil
