// SPDX-FileCopyrightText: 2026 Tessaly
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "output/OutputOptions.h"
#include "sources/WorkFile.h"
#include "watermarks/Overlay.h"

#include <QList>
#include <QObject>
#include <QPointer>
#include <QTextBrowser>

#include <memory>

class QLabel;
class QPushButton;
class QRect;
class QSettings;
class QWidget;

namespace inkveil {

class ListView;
class PaneController;

// The one application-wide controller: owns the shared model (the batch, the watermarks, the
// output options), builds the panes from the pane list, shows one at a time and moves between
// them with Previous and Next under each pane's rules.
class AppController : public QObject
{
    Q_OBJECT

public:
    explicit AppController(QObject *parent = nullptr);
    ~AppController() override;

    // Loads the main window form; false when it (or one of its controls) is missing.
    bool loadMainWindow();
    // Start-up: default model, stored state, panes, first pane shown.
    void setUpForm();

    // The window's size and place from the settings, or, the first time, about two thirds of
    // the available screen area (at least 1000 x 700 where it fits), centred on it.
    void restoreWindowGeometry(const QSettings &settings, const QRect &available);
    void saveWindowGeometry(QSettings &settings) const;
    // The help window, once it has been opened.
    QTextBrowser *helpWindow() const { return m_helpWindow; }

    QWidget *mainWindow() const { return m_mainWindow; }
    ListView *list() const { return m_list; }
    QLabel *headline() const { return m_headline; }
    QPushButton *previousButton() const { return m_previous; }
    QPushButton *nextButton() const { return m_next; }

    PaneController *currentPaneController() const { return m_currentPaneController; }
    int currentPaneIndex() const { return m_currentPaneIndex; }
    int numberOfPanes() const { return m_numberOfPanes; }
    QList<PaneController *> panes() const { return m_panes; }

    // The model. The list setters keep a copy of the list; the records in it stay shared.
    WorkFileList workFiles() const { return m_workFiles; }
    void setWorkFiles(const WorkFileList &workFiles);
    OverlayList overlays() const { return m_overlays; }
    void setOverlays(const OverlayList &overlays);
    std::shared_ptr<OutputOptions> outputOptions() const { return m_outputOptions; }
    void setOutputOptions(const std::shared_ptr<OutputOptions> &outputOptions);

    void loadState();
    void saveState();

    // Replaces the watermarks and output options with the preset's, shows them in the panes and
    // saves the state; false, changing nothing, for an unknown name.
    bool openPreset(const QString &name);
    // Saves the current watermarks and output options as a preset; false when it can't.
    bool savePreset(const QString &name);

    void enableNext();
    void enablePrevious();

public Q_SLOTS:
    // A pane's data changed: Next may have become possible or impossible.
    void stateChanged(QObject *sender = nullptr);
    void next();
    void previous();
    void showHelp();
    // Ask for a name, then save or open (window-modal dialogs).
    void askSavePreset();
    void askOpenPreset();

private:
    void buildPanes();
    void showCurrentPane();
    void setBoxContentFromSelection();
    void setHeadlineFromSelection();
    void setListViewFromSelection();
    void setButtons();

    QPointer<QWidget> m_mainWindow;
    QWidget *m_box = nullptr;
    QPushButton *m_previous = nullptr;
    QPushButton *m_next = nullptr;
    QPushButton *m_help = nullptr;
    QPushButton *m_savePreset = nullptr;
    QPushButton *m_openPreset = nullptr;
    QLabel *m_headline = nullptr;
    ListView *m_list = nullptr;
    PaneController *m_currentPaneController = nullptr;
    int m_currentPaneIndex = 0;
    int m_numberOfPanes = 0;
    QList<PaneController *> m_panes;
    // Each pane's view sits in a scroll area of its own, so that no pane can make the window
    // larger than the screen; in the order of m_panes.
    QList<QWidget *> m_paneFrames;
    QPointer<QTextBrowser> m_helpWindow;
    WorkFileList m_workFiles;
    OverlayList m_overlays;
    std::shared_ptr<OutputOptions> m_outputOptions;
};

} // namespace inkveil
