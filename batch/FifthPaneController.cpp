#include "batch/FifthPaneController.h"

#include "app/AppController.h"

void FifthPaneController::activate()
{
    m_workFiles = appController()->workFiles();
    m_outputOptions = appController()->outputOptions();
    m_overlays = appController()->overlays();
}
