#include "app/ApplicationPanes.h"

#include "app/PaneRegistry.h"
#include "batch/FifthPaneController.h"
#include "output/FourthPaneController.h"
#include "output/ThirdPaneController.h"
#include "sources/FirstPaneController.h"
#include "watermarks/SecondPaneController.h"

void ApplicationPanes::registerAll()
{
    PaneRegistry::registerPane<FirstPaneController>(QStringLiteral("FirstPaneController"));
    PaneRegistry::registerPane<SecondPaneController>(QStringLiteral("SecondPaneController"));
    PaneRegistry::registerPane<ThirdPaneController>(QStringLiteral("ThirdPaneController"));
    PaneRegistry::registerPane<FourthPaneController>(QStringLiteral("FourthPaneController"));
    PaneRegistry::registerPane<FifthPaneController>(QStringLiteral("FifthPaneController"));
}
