#include "watermarks/SecondPaneController.h"

#include "app/AppController.h"

void SecondPaneController::activate()
{
    m_workFiles = appController()->workFiles();
}
