// SPDX-FileCopyrightText: 2026 Tessaly
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QString>

namespace inkveil {

// Text from outside (file names, EXIF texts, library messages) as it may be printed: control
// characters and the invisible marks that reorder a line become \xHH or \u{HHHH}, so that a
// file name cannot colour a terminal, move its cursor or fake a line of output.
QString printable(const QString &text);

} // namespace inkveil
