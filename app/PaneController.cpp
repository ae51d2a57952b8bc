#include "app/PaneController.h"

#include "app/UiLoader.h"

#include <QDebug>

PaneController::PaneController(QObject *parent)
    : QObject(parent)
{}

bool PaneController::loadPaneFromNib(const QString &nib, const QString &title,
                                     AppController *appController)
{
    m_appController = appController;
    m_title = title;
    UiLoader loader;
    m_ownView = loader.loadForm(nib);
    if (!m_ownView) {
        qInfo().noquote() << QStringLiteral("PaneController: Can't load %1").arg(nib);
        return false;
    }
    awakeFromNib();
    setStatus();
    return true;
}
