#include "app/AppController.h"
#include "app/ApplicationPanes.h"
#include "app/Resources.h"

#include <QApplication>
#include <QMessageBox>
#include <QWidget>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Inkveil"));
    QApplication::setOrganizationName(QStringLiteral("Tessaly"));
    QApplication::setWindowIcon(QIcon(Resources::imagePath(QStringLiteral("inkveil"))));

    ApplicationPanes::registerAll();

    AppController controller;
    if (!controller.loadMainWindow()) {
        QMessageBox::critical(nullptr, QStringLiteral("Inkveil"),
                              QStringLiteral("The main window could not be loaded from %1. "
                                             "Reinstall Inkveil.")
                                  .arg(Resources::directory()));
        return 1;
    }
    controller.awakeFromNib();
    if (controller.numberOfPanes() == 0) {
        QMessageBox::critical(nullptr, QStringLiteral("Inkveil"),
                              QStringLiteral("The wizard's pane list in %1 is missing or "
                                             "damaged. Reinstall Inkveil.")
                                  .arg(Resources::directory()));
        return 1;
    }
    controller.mainWindow()->show();
    return QApplication::exec();
}
