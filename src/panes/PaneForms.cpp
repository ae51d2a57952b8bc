// SPDX-FileCopyrightText: 2026 Tessaly
// SPDX-License-Identifier: GPL-3.0-or-later

#include "panes/PaneForms.h"

#include "ui_BatchPane.h"
#include "ui_OutputOptionsPane.h"
#include "ui_SourceFilesPane.h"
#include "ui_SummaryPane.h"
#include "ui_WatermarksPane.h"
#include "wizard/PaneRegistry.h"

namespace inkveil {

void PaneForms::registerAll()
{
    PaneRegistry::registerForm<Ui::SourceFiles>(QStringLiteral("SourceFilesPane"));
    PaneRegistry::registerForm<Ui::Watermarks>(QStringLiteral("WatermarksPane"));
    PaneRegistry::registerForm<Ui::OutputOptions>(QStringLiteral("OutputOptionsPane"));
    PaneRegistry::registerForm<Ui::Summary>(QStringLiteral("SummaryPane"));
    PaneRegistry::registerForm<Ui::BatchRun>(QStringLiteral("BatchPane"));
}

} // namespace inkveil
