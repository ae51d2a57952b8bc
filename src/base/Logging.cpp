// SPDX-FileCopyrightText: 2026 Tessaly
// SPDX-License-Identifier: GPL-3.0-or-later

#include "base/Logging.h"

namespace inkveil {
Q_LOGGING_CATEGORY(lcImageIo, "inkveil.imageio", QtInfoMsg)
Q_LOGGING_CATEGORY(lcRender, "inkveil.render", QtInfoMsg)
Q_LOGGING_CATEGORY(lcSession, "inkveil.session", QtInfoMsg)
Q_LOGGING_CATEGORY(lcBatch, "inkveil.batch", QtInfoMsg)
} // namespace inkveil
