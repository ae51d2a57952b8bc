// SPDX-FileCopyrightText: 2026 Tessaly
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "mark/MarkSearch.h"

#include <QDialog>

#include <memory>

namespace Ui {
class FindMarkWindow;
}

namespace inkveil {

// The "Find Mark" window: photos dropped on it or chosen are looked at for the invisible mark,
// off the interface thread, one row each saying what was found, filled in as each is done. The
// line above the rows names the key marks are looked for with, or why there is none. Closing it
// deletes it (its owner sets that), dropping the photos still waiting.
class FindMarkWindow : public QDialog
{
    Q_OBJECT

public:
    explicit FindMarkWindow(const QString &keyPath, QWidget *parent = nullptr);
    ~FindMarkWindow() override;

    // Reads the key again (imported, or made by a run since), for the photos not yet started.
    void setKeyPath(const QString &path);
    // A row "Looking…" for each photo the paths stand for (MarkSearch::photosIn), looked at in
    // turn; with no key, nothing.
    void addPhotos(const QStringList &paths);
    // Opens the chooser window-modal, in the folder the last one was left in; its end goes to
    // openPanelDidEnd, which adds the photos chosen unless it was cancelled.
    void openPanel();
    void openPanelDidEnd(int result, const QStringList &paths);
    // The rows as Copy puts them on the clipboard, a line each: "NAME: what was found".
    QString lines() const;

protected:
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dragMoveEvent(QDragMoveEvent *event) override;
    void dropEvent(QDropEvent *event) override;

private:
    // Loads the key and says which it is; answers whether there is one.
    bool loadKey();
    void showFound(qsizetype row, const QString &outcome, const QString &confidence);

    std::unique_ptr<Ui::FindMarkWindow> ui;
    QString m_keyPath;
    // After the form: destroyed first, so that no photo is told of to rows already gone.
    MarkSearch m_search;
};

} // namespace inkveil
