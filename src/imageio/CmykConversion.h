// SPDX-FileCopyrightText: 2026 Tessaly
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QByteArray>
#include <QtGlobal>

#include <memory>
#include <optional>

namespace inkveil {

// CMYK pixels to sRGB through the CMYK ICC profile they came with, by LittleCMS. Prepress
// profiles are lookup tables that Qt's colour spaces can't read; converted without them, a
// photo's colours are off by far more than a viewer would show. One conversion may be used by
// one thread at a time.
class CmykConversion
{
public:
    // Nothing when the profile is not a CMYK one LittleCMS can use. inverted: 0 means full ink,
    // as in the CMYK JPEGs Adobe's applications write.
    static std::optional<CmykConversion> fromProfile(const QByteArray &icc, bool inverted);

    // count pixels of 4 bytes (C, M, Y, K) into QImage::Format_RGB32 pixels.
    void toRgb32(const uchar *cmyk, uchar *rgb32, int count) const;

private:
    explicit CmykConversion(std::shared_ptr<void> transform);

    std::shared_ptr<void> m_transform;
};

} // namespace inkveil
