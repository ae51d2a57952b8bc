// SPDX-FileCopyrightText: 2026 Tessaly
// SPDX-License-Identifier: GPL-3.0-or-later

#include "app/AppController.h"
#include "app/ApplicationPanes.h"
#include "app/SystemLog.h"
#include "base/Paths.h"
#include "base/RegularFile.h"
#include "base/Resources.h"
#include "panes/SourceFilesPane.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <QMessageBox>
#include <QScreen>
#include <QSettings>
#include <QWidget>

#include <cstring>

using namespace inkveil;

namespace {

// Looked for before the application exists, so that what Qt says while starting up is routed too.
bool verboseRequested(int argc, char *argv[])
{
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--") == 0)
            break;
        if (std::strcmp(argv[i], "--verbose") == 0)
            return true;
    }
    return SystemLog::terminalRequested();
}

} // namespace

int main(int argc, char *argv[])
{
    SystemLog::install(verboseRequested(argc, argv));
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Inkveil"));
    QApplication::setOrganizationName(QStringLiteral("Tessaly"));
    QApplication::setWindowIcon(QIcon(Resources::imagePath(QStringLiteral("inkveil"))));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Puts watermarks on a batch of photos."));
    parser.addHelpOption();
    parser.addOption(QCommandLineOption(
        QStringLiteral("verbose"),
        QStringLiteral("Print the log lines on the terminal as well as to the system log.")));
    parser.addPositionalArgument(QStringLiteral("paths"),
                                 QStringLiteral("Photos and folders to start the batch with."),
                                 QStringLiteral("[PATH...]"));
    parser.process(RegularFile::arguments(argc, argv));

    ApplicationPanes::registerAll();

    AppController controller;
    controller.loadMainWindow();
    controller.setUpForm();
    if (controller.numberOfPanes() == 0) {
        QMessageBox::critical(nullptr, QStringLiteral("Inkveil"),
                              QStringLiteral("The wizard's pane list in %1 is missing or "
                                             "damaged. Reinstall Inkveil.")
                                  .arg(Resources::directory()));
        return 1;
    }
    // Paths on the command line start the batch, gathered as if dropped on the source files pane.
    const QStringList arguments = parser.positionalArguments();
    QStringList paths;
    for (const QString &argument : arguments)
        paths.append(QDir::isRelativePath(argument) ? Paths::absolute(argument) : argument);
    if (!paths.isEmpty()) {
        for (PaneController *pane : controller.panes()) {
            if (auto *sources = qobject_cast<SourceFilesPane *>(pane)) {
                sources->addPaths(paths);
                break;
            }
        }
    }
    // The window comes back where it was left ($XDG_CONFIG_HOME/Tessaly/Inkveil.conf).
    QSettings settings;
    const QScreen *screen = QGuiApplication::primaryScreen();
    controller.restoreWindowGeometry(settings, screen ? screen->availableGeometry() : QRect());
    controller.mainWindow()->show();
    const int status = QApplication::exec();
    controller.saveWindowGeometry(settings);
    return status;
}
