// SPDX-FileCopyrightText: 2026 Tessaly
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "sources/WorkFile.h"
#include "wizard/PaneController.h"

#include <QPointer>
#include <QStringList>

namespace Ui {
class SourceFiles;
}

namespace inkveil {

class SourceFilesModel;

// The source files pane: the batch of photos to watermark, gathered from drops, the file
// dialog and the command line. Every change of the list or of its selection reads the EXIF of
// the selected photos (once per photo), hands the list to the application controller and lets
// it re-evaluate Next. The user may go on once the list holds at least one photo.
class SourceFilesPane : public PaneController
{
    Q_OBJECT

public:
    explicit SourceFilesPane(QObject *parent = nullptr);

    // The batch as the pane holds it, in table order.
    WorkFileList files() const;

    // Gathers dropped or chosen paths: folders are walked to any depth, only readable image
    // types are kept, a photo already listed is not added again. The first photo of the list
    // is selected afterwards.
    void addPaths(const QStringList &paths);

    // Removes the selected photos; the photo after them becomes the selection.
    void removeSelected();

    bool canProceed() const override { return !files().isEmpty(); }
    void setStatus() override;
    void setExif();

protected:
    bool formLoaded() override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void setUpColumns();
    void filesOrSelectionChanged();
    void selectRow(int row);
    WorkFileList selectedFiles() const;

    SourceFilesModel *m_filesModel = nullptr;
    // The form's controls; null until the form is built.
    Ui::SourceFiles *ui = nullptr;
    QPointer<QWidget> m_tableViewport;
    // Set while one user action changes the list and the selection in several steps.
    bool m_changing = false;
    // What the last gathering could not read ("PATH: reason"), shown in the status line.
    QStringList m_problems;
};

} // namespace inkveil
