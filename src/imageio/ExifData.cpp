// SPDX-FileCopyrightText: 2026 Tessaly
// SPDX-License-Identifier: GPL-3.0-or-later

#include "imageio/ExifData.h"

namespace inkveil {

bool ExifData::operator==(const ExifData &other) const = default;

} // namespace inkveil
