#include "app/ui/AppController.h"

#include "app/Resources.h"
#include "app/StateFile.h"
#include "app/ui/ListView.h"
#include "app/ui/PaneController.h"
#include "app/ui/PaneRegistry.h"
#include "app/ui/UiLoader.h"

#include <QDebug>
#include <QDesktopServices>
#include <QFile>
#include <QLabel>
#include <QLayout>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <QUrl>
#include <QVBoxLayout>

#include <plist/plist.h>

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
{
    UiLoader::registerWidget(QStringLiteral("ListView"),
                             [](QWidget *parentWidget) { return new ListView(parentWidget); });
}

AppController::~AppController()
{
    delete m_mainWindow;
}

bool AppController::loadMainWindow()
{
    UiLoader loader;
    m_mainWindow = loader.loadForm(QStringLiteral("MainWindow"));
    if (!m_mainWindow)
        return false;
    m_box = m_mainWindow->findChild<QWidget *>(QStringLiteral("box"));
    m_previous = m_mainWindow->findChild<QPushButton *>(QStringLiteral("previous"));
    m_next = m_mainWindow->findChild<QPushButton *>(QStringLiteral("next"));
    m_help = m_mainWindow->findChild<QPushButton *>(QStringLiteral("help"));
    m_headline = m_mainWindow->findChild<QLabel *>(QStringLiteral("headline"));
    m_list = m_mainWindow->findChild<ListView *>(QStringLiteral("list"));
    if (!m_box || !m_previous || !m_next || !m_help || !m_headline || !m_list)
        return false;
    if (!m_box->layout()) {
        auto *layout = new QVBoxLayout(m_box);
        layout->setContentsMargins(0, 0, 0, 0);
    }
    connect(m_previous, &QPushButton::clicked, this, &AppController::previous);
    connect(m_next, &QPushButton::clicked, this, &AppController::next);
    connect(m_help, &QPushButton::clicked, this, &AppController::showHelp);
    return true;
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
        if (m_list)
            m_list->addToTitles(pane->title());
        if (QWidget *view = pane->ownView()) {
            view->hide();
            // The pane fills the box and follows its size.
            m_box->layout()->addWidget(view);
        }
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
    StateFile::saveState(m_overlays, *m_outputOptions);
}

void AppController::enableNext()
{
    if (m_next)
        m_next->setEnabled(m_currentPaneController && m_currentPaneController->canProceed());
}

void AppController::enablePrevious()
{
    if (m_previous)
        m_previous->setEnabled(m_currentPaneController && m_currentPaneController->canGoBack());
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
    if (!page.isNull())
        QDesktopServices::openUrl(QUrl::fromLocalFile(page));
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
    if (m_currentPaneController && m_currentPaneController->ownView())
        m_currentPaneController->ownView()->hide();
    m_currentPaneController = m_panes.at(m_currentPaneIndex);
    if (QWidget *view = m_currentPaneController->ownView())
        view->show();
    m_currentPaneController->activate();
}

void AppController::setHeadlineFromSelection()
{
    if (m_headline)
        m_headline->setText(m_currentPaneController->title());
}

void AppController::setListViewFromSelection()
{
    if (m_list)
        m_list->setCurrentPaneIndex(m_currentPaneIndex);
}

void AppController::setButtons()
{
    if (m_previous)
        m_previous->setEnabled(m_currentPaneIndex != 0);
    enableNext();
}
