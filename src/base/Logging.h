// SPDX-FileCopyrightText: 2026 Tessaly
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QLoggingCategory>

// Developer diagnostics, one category per area, switched on with QT_LOGGING_RULES
// (e.g. "inkveil.batch.debug=true"). The lines users and scripts read stay on qInfo().
namespace inkveil {
Q_DECLARE_LOGGING_CATEGORY(lcImageIo)
Q_DECLARE_LOGGING_CATEGORY(lcRender)
Q_DECLARE_LOGGING_CATEGORY(lcSession)
Q_DECLARE_LOGGING_CATEGORY(lcBatch)
} // namespace inkveil
