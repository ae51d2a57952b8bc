// SPDX-FileCopyrightText: 2026 Tessaly
// SPDX-License-Identifier: GPL-3.0-or-later

#include "imageio/IccProfile.h"

#include <QColorSpace>

namespace inkveil {

QString oversizedIccReason(const qint64 bytes)
{
    return QStringLiteral("its colour profile takes %1 MB, more than photos carry")
        .arg((bytes + 1024 * 1024 - 1) / (1024 * 1024));
}

QString dropOversizedIcc(QImage &image)
{
    const QColorSpace space = image.colorSpace();
    const qint64 bytes = space.iccProfile().size();
    if (bytes <= MaxIccBytes)
        return {};
    // Qt has read the profile, so the colours are right once converted; the output then needs
    // no profile of its own.
    if (space.isValid())
        image.convertToColorSpace(QColorSpace::SRgb);
    image.setColorSpace(QColorSpace());
    return oversizedIccReason(bytes);
}

} // namespace inkveil
