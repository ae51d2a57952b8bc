// SPDX-FileCopyrightText: 2026 Tessaly
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

// The benchmark's photos: distinct camera-sized JPEGs with camera EXIF, generated rather than
// kept, so that every machine measures the same work.

#include <QString>

namespace inkveil::bench {

QString photoPath(const QString &folder, int index);

// Writes `count` distinct photos, camera-like: 4:2:2 chroma, EXIF with a 300 dpi resolution.
// Answers the average file size in bytes.
qint64 generatePhotos(const QString &folder, int count);

} // namespace inkveil::bench
