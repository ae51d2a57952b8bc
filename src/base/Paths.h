// SPDX-FileCopyrightText: 2026 Tessaly
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QString>

namespace inkveil {

namespace Paths {

// The path as the file system resolves it (absolute, links followed), also for a file that does
// not exist yet: then its folder is resolved and its name kept. Two paths naming the same file
// resolve alike, which is how the batch tells that an output would land on a source.
QString resolved(const QString &path);

// The path made absolute against the working folder and cleaned, as text only: QFileInfo's
// answer passes through the system's encoding and loses the bytes of a name that is not UTF-8.
QString absolute(const QString &path);

} // namespace Paths

} // namespace inkveil
