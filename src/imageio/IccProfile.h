// SPDX-FileCopyrightText: 2026 Tessaly
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QByteArray>
#include <QImage>
#include <QString>

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

// Colour profiles larger than this are not carried: a camera's or an editor's takes a few
// kilobytes, a printer's a megabyte or two, and the decoders hold each one whole, twice.
constexpr qint64 MaxIccBytes = 4 * 1024 * 1024;

// Why a profile of `bytes` is not carried: "its colour profile takes 5 MB, more than photos
// carry".
QString oversizedIccReason(qint64 bytes);

// Takes an image whose profile is larger than MaxIccBytes to sRGB and drops the profile, so
// that the output is written in sRGB; answers why, or an empty string when the profile stays.
QString dropOversizedIcc(QImage &image);

} // namespace inkveil
