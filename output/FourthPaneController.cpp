#include "output/FourthPaneController.h"

#include "app/AppController.h"

void FourthPaneController::activate()
{
    m_workFiles = appController()->workFiles();
    m_outputOptions = appController()->outputOptions();
    m_overlays = appController()->overlays();
}
