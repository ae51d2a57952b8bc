// SPDX-FileCopyrightText: 2026 Tessaly
// SPDX-License-Identifier: GPL-3.0-or-later

#include "app/ApplicationPanes.h"

#include "panes/BatchPane.h"
#include "panes/OutputOptionsPane.h"
#include "panes/PaneForms.h"
#include "panes/SourceFilesPane.h"
#include "panes/SummaryPane.h"
#include "panes/WatermarksPane.h"
#include "wizard/PaneRegistry.h"

namespace inkveil {

void ApplicationPanes::registerAll()
{
    PaneRegistry::registerPane<SourceFilesPane>(QStringLiteral("SourceFilesPane"));
    PaneRegistry::registerPane<WatermarksPane>(QStringLiteral("WatermarksPane"));
    PaneRegistry::registerPane<OutputOptionsPane>(QStringLiteral("OutputOptionsPane"));
    PaneRegistry::registerPane<SummaryPane>(QStringLiteral("SummaryPane"));
    PaneRegistry::registerPane<BatchPane>(QStringLiteral("BatchPane"));
    PaneForms::registerAll();
}

} // namespace inkveil
