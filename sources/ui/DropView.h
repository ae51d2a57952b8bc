#pragma once

#include <QFont>
#include <QStringList>
#include <QWidget>

class QMimeData;

// The drop area of the source files pane: files and folders dragged from a file manager are
// dropped here, and a click opens a file dialog to choose them. It draws two lines of text at
// its top left, the first turning green while a drag of file names hovers over it.
class DropView : public QWidget
{
    Q_OBJECT

public:
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

    // Opens the file dialog, window-modal on the main window; its end goes to openPanelDidEnd.
    void openPanel();
    // The file dialog's end: with Accepted and at least one path, the paths are gathered.
    void openPanelDidEnd(int result, const QStringList &paths);

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

    QFont m_normalFont;
    QFont m_smallFont;
    bool m_highlighted = false;
};
