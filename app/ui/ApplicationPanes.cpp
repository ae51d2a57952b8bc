#include "app/ui/ApplicationPanes.h"

#include "app/ui/PaneRegistry.h"
#include "batch/ui/BatchPane.h"
#include "output/ui/OutputOptionsPane.h"
#include "output/ui/SummaryPane.h"
#include "sources/ui/SourceFilesPane.h"
#include "watermarks/ui/WatermarksPane.h"

void ApplicationPanes::registerAll()
{
    PaneRegistry::registerPane<SourceFilesPane>(QStringLiteral("SourceFilesPane"));
    PaneRegistry::registerPane<WatermarksPane>(QStringLiteral("WatermarksPane"));
    PaneRegistry::registerPane<OutputOptionsPane>(QStringLiteral("OutputOptionsPane"));
    PaneRegistry::registerPane<SummaryPane>(QStringLiteral("SummaryPane"));
    PaneRegistry::registerPane<BatchPane>(QStringLiteral("BatchPane"));
}
