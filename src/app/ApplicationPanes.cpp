#include "app/ApplicationPanes.h"

#include "wizard/PaneRegistry.h"
#include "panes/BatchPane.h"
#include "panes/OutputOptionsPane.h"
#include "panes/SummaryPane.h"
#include "panes/SourceFilesPane.h"
#include "panes/WatermarksPane.h"

void ApplicationPanes::registerAll()
{
    PaneRegistry::registerPane<SourceFilesPane>(QStringLiteral("SourceFilesPane"));
    PaneRegistry::registerPane<WatermarksPane>(QStringLiteral("WatermarksPane"));
    PaneRegistry::registerPane<OutputOptionsPane>(QStringLiteral("OutputOptionsPane"));
    PaneRegistry::registerPane<SummaryPane>(QStringLiteral("SummaryPane"));
    PaneRegistry::registerPane<BatchPane>(QStringLiteral("BatchPane"));
}
