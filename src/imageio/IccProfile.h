// SPDX-FileCopyrightText: 2026 Tessaly
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QByteArray>

namespace inkveil {

// Whether an ICC profile describes the channels an encoder writes: grey ("GRAY") for greyscale
// files, RGB for colour ones. A profile of the other kind would be unusable to colour-managed
// software, so an encoder writes none rather than the wrong one.
inline bool iccFitsChannels(const QByteArray &icc, const bool grey)
{
    // The header's data colour space signature, bytes 16 to 19.
    if (icc.size() < 20)
        return false;
    return icc.mid(16, 4) == (grey ? QByteArrayLiteral("GRAY") : QByteArrayLiteral("RGB "));
}

} // namespace inkveil
