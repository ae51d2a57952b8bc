// SPDX-FileCopyrightText: 2026 Tessaly
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "app/HelpBrowser.h"
#include "output/OutputOptions.h"
#include "sources/WorkFile.h"
#include "watermarks/Overlay.h"
#include "wizard/PaneHost.h"

#include <QList>
#include <QObject>
#include <QPointer>
#include <QRect>

#include <memory>

class QLabel;
class QPushButton;
class QSettings;
class QWidget;

namespace Ui {
class MainWindow;
}

namespace inkveil {

class ListView;
class PaneController;

// The one application-wide controller: owns the shared model (the batch, the watermarks, the
// output options), builds the panes from the pane list, shows one at a time and moves between
// them with Previous and Next under each pane's rules.
class AppController : public QObject, public PaneHost
{
    Q_OBJECT

public:
    explicit AppController(QObject *parent = nullptr);
    ~AppController() override;

    // Builds the main window and connects its buttons.
    void loadMainWindow();
    // Start-up: default model, stored state, panes, first pane shown.
    void setUpForm();

    // The window's size and place from the settings, or, the first time and whenever they no
    // longer fit the screens, about two thirds of the available screen area (at least
    // 1000 x 700 where it fits), centred on it, its frame included.
    void restoreWindowGeometry(const QSettings &settings, const QRect &available);
    void saveWindowGeometry(QSettings &settings) const;
    // The help window, once it has been opened.
    HelpBrowser *helpWindow() const { return m_helpWindow; }

    QWidget *mainWindow() const override { return m_mainWindow; }
    ListView *list() const;
    QLabel *headline() const;
    QPushButton *previousButton() const;
    QPushButton *nextButton() const;

    PaneController *currentPaneController() const { return m_currentPaneController; }
    int currentPaneIndex() const { return m_currentPaneIndex; }
    int numberOfPanes() const { return m_numberOfPanes; }
    QList<PaneController *> panes() const { return m_panes; }

    // The model. The list setters keep a copy of the list; the records in it stay shared.
    WorkFileList workFiles() const override { return m_workFiles; }
    void setWorkFiles(const WorkFileList &workFiles) override;
    OverlayList overlays() const override { return m_overlays; }
    void setOverlays(const OverlayList &overlays) override;
    std::shared_ptr<OutputOptions> outputOptions() const override { return m_outputOptions; }
    void setOutputOptions(const std::shared_ptr<OutputOptions> &outputOptions) override;

    void loadState();
    void saveState() override;

    // Replaces the watermarks and output options with the preset's, shows them in the panes and
    // saves the state; false, changing nothing, for an unknown name.
    bool openPreset(const QString &name);
    // Saves the current watermarks and output options as a preset; false when it can't.
    bool savePreset(const QString &name);

    void enableNext();
    void enablePrevious() override;

public Q_SLOTS:
    // A pane's data changed: Next may have become possible or impossible.
    void stateChanged(QObject *sender = nullptr) override;
    void next();
    void previous();
    void showHelp();
    // Ask for a name, then save or open (window-modal dialogs).
    void askSavePreset();
    void askOpenPreset();

private:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void buildPanes();
    void showCurrentPane();
    void setBoxContentFromSelection();
    void setHeadlineFromSelection();
    void setListViewFromSelection();
    void setButtons();

    QPointer<QWidget> m_mainWindow;
    // The main window's controls; null until it is built.
    std::unique_ptr<Ui::MainWindow> m_ui;
    PaneController *m_currentPaneController = nullptr;
    int m_currentPaneIndex = 0;
    int m_numberOfPanes = 0;
    QList<PaneController *> m_panes;
    // Each pane's view sits in a scroll area of its own, so that no pane can make the window
    // larger than the screen; in the order of m_panes.
    QList<QWidget *> m_paneFrames;
    QPointer<HelpBrowser> m_helpWindow;
    // The screen areas the window must fit in once its real frame is known; empty after.
    QList<QRect> m_fitAreas;
    WorkFileList m_workFiles;
    OverlayList m_overlays;
    std::shared_ptr<OutputOptions> m_outputOptions;
};

} // namespace inkveil
