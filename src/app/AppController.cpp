// SPDX-FileCopyrightText: 2026 Tessaly
// SPDX-License-Identifier: GPL-3.0-or-later

#include "app/AppController.h"

#include "app/HelpBrowser.h"
#include "app/WindowFit.h"
#include "base/Resources.h"
#include "session/Presets.h"
#include "session/StateFile.h"
#include "widgets/ListView.h"
#include "wizard/PaneController.h"
#include "wizard/PaneRegistry.h"

#include "ui_MainWindow.h"

#include <QApplication>
#include <QDebug>
#include <QEvent>
#include <QFile>
#include <QInputDialog>
#include <QKeySequence>
#include <QLabel>
#include <QLayout>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QSettings>
#include <QShortcut>
#include <QTextBrowser>
#include <QTimer>
#include <QUrl>
#include <QVBoxLayout>

#include <plist/plist.h>

#include <utility>

namespace inkveil {

namespace {

struct PaneDescription
{
    QString className;
    QString title;
    QString form;
};

QString stringItem(plist_t dict, const char *key)
{
    plist_t node = plist_dict_get_item(dict, key);
    if (!node || plist_get_node_type(node) != PLIST_STRING)
        return {};
    uint64_t length = 0;
    const char *text = plist_get_string_ptr(node, &length);
    return QString::fromUtf8(text, static_cast<qsizetype>(length));
}

// The pane list: an array of dictionaries with "class", "title" and "form".
QList<PaneDescription> readPaneDescriptions()
{
    const QString path = Resources::path(QStringLiteral("Panes"), QStringLiteral("plist"));
    QFile file(path);
    if (path.isNull() || !file.open(QIODevice::ReadOnly))
        return {};
    const QByteArray data = file.readAll();
    plist_t root = nullptr;
    plist_from_xml(data.constData(), static_cast<uint32_t>(data.size()), &root);
    QList<PaneDescription> descriptions;
    if (root && plist_get_node_type(root) == PLIST_ARRAY) {
        for (uint32_t i = 0; i < plist_array_get_size(root); ++i) {
            plist_t entry = plist_array_get_item(root, i);
            if (plist_get_node_type(entry) != PLIST_DICT)
                continue;
            descriptions.append({stringItem(entry, "class"), stringItem(entry, "title"),
                                 stringItem(entry, "form")});
        }
    }
    plist_free(root);
    return descriptions;
}

} // namespace

AppController::AppController(QObject *parent)
    : QObject(parent)
    , m_outputOptions(std::make_shared<OutputOptions>())
{}

AppController::~AppController()
{
    delete m_helpWindow;
    delete m_mainWindow;
}

void AppController::loadMainWindow()
{
    m_mainWindow = new QWidget;
    m_ui = std::make_unique<Ui::MainWindow>();
    m_ui->setupUi(m_mainWindow);
    if (!m_ui->box->layout()) {
        auto *layout = new QVBoxLayout(m_ui->box);
        layout->setContentsMargins(0, 0, 0, 0);
    }
    connect(m_ui->previous, &QPushButton::clicked, this, &AppController::previous);
    connect(m_ui->next, &QPushButton::clicked, this, &AppController::next);
    connect(m_ui->help, &QPushButton::clicked, this, &AppController::showHelp);
    // F1 opens help where the current pane is explained, as everywhere on the desktop.
    auto *help = new QShortcut(QKeySequence::HelpContents, m_mainWindow);
    connect(help, &QShortcut::activated, this, &AppController::showHelp);
    // Ctrl+Q closes every window of the application, which ends it.
    auto *quit = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q), m_mainWindow);
    quit->setContext(Qt::ApplicationShortcut);
    connect(quit, &QShortcut::activated, qApp, &QApplication::closeAllWindows);
    // Every Alt+letter is taken on some pane, so the preset buttons answer to the keys that save
    // and open elsewhere.
    m_ui->savePreset->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_S));
    connect(m_ui->savePreset, &QPushButton::clicked, this, &AppController::askSavePreset);
    m_ui->openPreset->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_O));
    connect(m_ui->openPreset, &QPushButton::clicked, this, &AppController::askOpenPreset);
}

ListView *AppController::list() const
{
    return m_ui ? m_ui->list : nullptr;
}

QLabel *AppController::headline() const
{
    return m_ui ? m_ui->headline : nullptr;
}

QPushButton *AppController::previousButton() const
{
    return m_ui ? m_ui->previous : nullptr;
}

QPushButton *AppController::nextButton() const
{
    return m_ui ? m_ui->next : nullptr;
}

namespace {

const QString GeometryKey = QStringLiteral("window/geometry");

} // namespace

namespace {

// The frame the window manager put around a shown window; none before it has.
QMargins frameOf(const QWidget &window)
{
    const QRect outer = window.frameGeometry();
    const QRect inner = window.geometry();
    return {inner.left() - outer.left(), inner.top() - outer.top(), outer.right() - inner.right(),
            outer.bottom() - inner.bottom()};
}

} // namespace

void AppController::restoreWindowGeometry(const QSettings &settings, const QRect &available)
{
    if (!m_mainWindow)
        return;
    // A window not yet shown has no frame: a common one is assumed, and the real one checked
    // once the window manager has put it on (see eventFilter).
    const QMargins frame =
        m_mainWindow->isVisible() ? frameOf(*m_mainWindow) : WindowFit::TypicalFrame;
    QList<QRect> areas{available};
    for (const QScreen *screen : QGuiApplication::screens())
        areas.append(screen->availableGeometry());
    if (!m_mainWindow->isVisible() && !available.isEmpty()) {
        m_fitAreas = areas;
        m_mainWindow->installEventFilter(this);
    }
    // Remembered geometry stands only while the screens still hold it: a screen unplugged, a
    // lower resolution or a larger scale would otherwise leave the buttons out of reach.
    const QByteArray stored = settings.value(GeometryKey).toByteArray();
    if (!stored.isEmpty() && m_mainWindow->restoreGeometry(stored) &&
        WindowFit::fits(m_mainWindow->geometry(), frame, areas))
        return;
    if (available.isEmpty())
        return;
    m_mainWindow->setGeometry(
        WindowFit::firstGeometry(available, frame, m_mainWindow->minimumSizeHint()));
}

bool AppController::eventFilter(QObject *watched, QEvent *event)
{
    const bool placed = event->type() == QEvent::Move || event->type() == QEvent::Resize ||
                        event->type() == QEvent::Show;
    if (watched != m_mainWindow || !placed || m_fitAreas.isEmpty() || !m_mainWindow->isVisible())
        return QObject::eventFilter(watched, event);
    const QMargins frame = frameOf(*m_mainWindow);
    if (frame.isNull())
        return QObject::eventFilter(watched, event);
    // Once only, with the frame the window manager really drew: a taller title bar than
    // assumed would still push Previous and Next off the screen.
    const QList<QRect> areas = std::exchange(m_fitAreas, {});
    m_mainWindow->removeEventFilter(this);
    if (!WindowFit::fits(m_mainWindow->geometry(), frame, areas))
        m_mainWindow->setGeometry(
            WindowFit::firstGeometry(areas.first(), frame, m_mainWindow->minimumSizeHint()));
    return QObject::eventFilter(watched, event);
}

void AppController::saveWindowGeometry(QSettings &settings) const
{
    if (m_mainWindow)
        settings.setValue(GeometryKey, m_mainWindow->saveGeometry());
}

void AppController::setUpForm()
{
    qInfo("AppController: awakeFromNib");
    m_workFiles.clear();
    m_overlays.clear();
    m_outputOptions = std::make_shared<OutputOptions>();
    loadState();
    m_currentPaneController = nullptr;
    m_currentPaneIndex = 0;
    buildPanes();
    if (!m_panes.isEmpty())
        showCurrentPane();
}

void AppController::buildPanes()
{
    for (const PaneDescription &description : readPaneDescriptions()) {
        PaneController *pane = PaneRegistry::create(description.className);
        if (!pane) {
            qInfo().noquote() << QStringLiteral("AppController: Unknown pane class %1")
                                     .arg(description.className);
            continue;
        }
        pane->setParent(this);
        pane->setUpForm(description.form, description.title, this);
        m_panes.append(pane);
        m_ui->list->addToTitles(pane->title());
        // The pane fills the box and follows its size; where the box is smaller than the
        // pane's least size, the pane scrolls.
        auto *frame = new QScrollArea(m_ui->box);
        frame->setFrameShape(QFrame::NoFrame);
        frame->setWidgetResizable(true);
        frame->hide();
        if (QWidget *view = pane->ownView())
            frame->setWidget(view);
        m_ui->box->layout()->addWidget(frame);
        m_paneFrames.append(frame);
    }
    // Only panes that could be made take part in the sequence.
    m_numberOfPanes = static_cast<int>(m_panes.size());
}

void AppController::setWorkFiles(const WorkFileList &workFiles)
{
    m_workFiles = workFiles;
    m_workFiles.detach();
}

void AppController::setOverlays(const OverlayList &overlays)
{
    m_overlays = overlays;
    m_overlays.detach();
}

void AppController::setOutputOptions(const std::shared_ptr<OutputOptions> &outputOptions)
{
    m_outputOptions = outputOptions;
}

void AppController::loadState()
{
    const StateFile::LoadResult loaded = StateFile::loadState(m_overlays, m_outputOptions);
    if (!loaded.damaged())
        return;
    QString text = QStringLiteral("Your saved watermarks and options can't be read. %1 Inkveil "
                                  "starts with the defaults.")
                       .arg(loaded.problem);
    if (!loaded.keptAs.isEmpty())
        text += QStringLiteral(" The damaged file is kept as %1.").arg(loaded.keptAs);
    // Told once, without holding up the start: the box opens over the window when it shows.
    auto *alert = new QMessageBox(QMessageBox::Warning, QStringLiteral("Inkveil"), text,
                                  QMessageBox::Ok, m_mainWindow);
    alert->setObjectName(QStringLiteral("damagedStateAlert"));
    alert->setAttribute(Qt::WA_DeleteOnClose);
    QTimer::singleShot(0, alert, [alert] { alert->open(); });
}

void AppController::saveState()
{
    // A state that can't be saved is only not kept; the session log says why.
    (void)StateFile::saveState(m_overlays, *m_outputOptions);
}

bool AppController::openPreset(const QString &name)
{
    OverlayList overlays;
    std::shared_ptr<OutputOptions> options = m_outputOptions;
    if (!Presets::load(name, overlays, options).ok())
        return false;
    setOverlays(overlays);
    setOutputOptions(options);
    for (PaneController *pane : std::as_const(m_panes))
        pane->modelReplaced();
    saveState();
    return true;
}

bool AppController::savePreset(const QString &name)
{
    return Presets::save(name, m_overlays, *m_outputOptions).ok();
}

void AppController::askSavePreset()
{
    auto *dialog = new QInputDialog(m_mainWindow);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setObjectName(QStringLiteral("savePresetDialog"));
    dialog->setWindowTitle(QStringLiteral("Save Preset"));
    dialog->setLabelText(QStringLiteral("Save the watermarks and output options as:"));
    dialog->setComboBoxEditable(true);
    dialog->setComboBoxItems(Presets::names());
    dialog->setTextValue(QString());
    connect(dialog, &QInputDialog::textValueSelected, this, [this](const QString &text) {
        const QString name = text.trimmed();
        QString problem;
        if (!Presets::isValidName(name))
            problem = QStringLiteral("A preset name can't be empty, \".\" or \"..\", or hold "
                                     "a \"/\".");
        else if (!savePreset(name))
            problem = QStringLiteral("The preset \"%1\" could not be saved in %2.")
                          .arg(name, Presets::folder());
        if (!problem.isEmpty())
            QMessageBox::warning(m_mainWindow, QStringLiteral("Save Preset"), problem);
    });
    dialog->open();
}

void AppController::askOpenPreset()
{
    const QStringList names = Presets::names();
    if (names.isEmpty()) {
        QMessageBox::information(m_mainWindow, QStringLiteral("Open Preset"),
                                 QStringLiteral("No presets saved yet. Use Save Preset… to keep "
                                                "the watermarks and output options under a name."));
        return;
    }
    auto *dialog = new QInputDialog(m_mainWindow);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setObjectName(QStringLiteral("openPresetDialog"));
    dialog->setWindowTitle(QStringLiteral("Open Preset"));
    dialog->setLabelText(QStringLiteral("Replace the watermarks and output options with:"));
    dialog->setComboBoxItems(names);
    connect(dialog, &QInputDialog::textValueSelected, this,
            [this](const QString &name) { openPreset(name); });
    dialog->open();
}

void AppController::enableNext()
{
    if (m_ui)
        m_ui->next->setEnabled(m_currentPaneController && m_currentPaneController->canProceed());
}

void AppController::enablePrevious()
{
    if (m_ui)
        m_ui->previous->setEnabled(m_currentPaneController && m_currentPaneController->canGoBack());
}

void AppController::stateChanged(QObject *)
{
    enableNext();
}

void AppController::next()
{
    if (m_numberOfPanes == 0)
        return;
    m_currentPaneIndex = m_currentPaneIndex == m_numberOfPanes - 1 ? 0 : m_currentPaneIndex + 1;
    showCurrentPane();
}

void AppController::previous()
{
    if (m_currentPaneIndex == 0)
        return;
    --m_currentPaneIndex;
    showCurrentPane();
}

void AppController::showHelp()
{
    const QString page = Resources::path(QStringLiteral("help/index"), QStringLiteral("html"));
    if (page.isNull())
        return;
    // A window of our own, so that help needs no web browser.
    if (!m_helpWindow) {
        auto *browser = new HelpBrowser(m_mainWindow);
        browser->setWindowFlag(Qt::Window);
        browser->setWindowTitle(QStringLiteral("Inkveil Help"));
        browser->setOpenExternalLinks(true);
        if (m_mainWindow) {
            browser->resize(std::min(720, m_mainWindow->width()),
                            std::max(480, m_mainWindow->height() * 4 / 5));
            browser->move(m_mainWindow->geometry().center() - browser->rect().center());
        }
        for (const QKeySequence &keys :
             {QKeySequence(Qt::CTRL | Qt::Key_W), QKeySequence(Qt::Key_Escape)})
            connect(new QShortcut(keys, browser), &QShortcut::activated, browser, &QWidget::close);
        m_helpWindow = browser;
    }
    // At the section of the pane in view.
    QUrl url = QUrl::fromLocalFile(page);
    url.setFragment(HelpBrowser::anchorFor(m_currentPaneController));
    m_helpWindow->setSource(url);
    m_helpWindow->show();
    m_helpWindow->raise();
    m_helpWindow->activateWindow();
}

void AppController::showCurrentPane()
{
    setBoxContentFromSelection();
    setHeadlineFromSelection();
    setListViewFromSelection();
    setButtons();
}

void AppController::setBoxContentFromSelection()
{
    for (QWidget *frame : std::as_const(m_paneFrames))
        frame->hide();
    m_currentPaneController = m_panes.at(m_currentPaneIndex);
    m_paneFrames.at(m_currentPaneIndex)->show();
    m_currentPaneController->activate();
}

void AppController::setHeadlineFromSelection()
{
    if (m_ui)
        m_ui->headline->setText(m_currentPaneController->title());
}

void AppController::setListViewFromSelection()
{
    if (m_ui)
        m_ui->list->setCurrentPaneIndex(m_currentPaneIndex);
}

void AppController::setButtons()
{
    if (m_ui)
        m_ui->previous->setEnabled(m_currentPaneIndex != 0);
    enableNext();
}

} // namespace inkveil
