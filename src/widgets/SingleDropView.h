// SPDX-FileCopyrightText: 2026 Tessaly
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QFont>
#include <QPointer>
#include <QStringList>
#include <QWidget>

class QFileDialog;
class QMimeData;

namespace inkveil {

// The image tab's drop area: takes one image file, dropped on it or chosen in the file dialog
// that a click opens. The hint turns green while an acceptable drag hovers over it.
class SingleDropView : public QWidget
{
    Q_OBJECT

public:
    explicit SingleDropView(QWidget *parent = nullptr);

    // An extension the image toolkit reads, compared exactly: "png" and "PNG" pass, "Png" not.
    static bool isSupportedFormat(const QString &extension);

    bool isHighlighted() const { return m_highlight; }

    // The end of the file dialog: a path goes on only when the dialog was accepted with exactly
    // one readable image.
    void openPanelDidEnd(const QStringList &files, int result);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

Q_SIGNALS:
    void fileChosen(const QString &path);

protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dragMoveEvent(QDragMoveEvent *event) override;
    void dragLeaveEvent(QDragLeaveEvent *event) override;
    void dropEvent(QDropEvent *event) override;

private:
    // The one file of an acceptable drag, or a null string.
    QString acceptableFile(const QMimeData *mimeData, const QObject *source) const;
    void setHighlight(bool highlight);
    void openPanel();

    QFont m_smallFont;
    QFont m_normalFont;
    bool m_highlight = false;
    QPointer<QFileDialog> m_openPanel;
};

} // namespace inkveil
