// SPDX-FileCopyrightText: 2026 Tessaly
// SPDX-License-Identifier: GPL-3.0-or-later

#include "imageio/CmykConversion.h"

#include "base/Logging.h"

#include <lcms2.h>

#include <cstring>

namespace inkveil {

namespace {

// Format_RGB32 is 0xffRRGGBB in a 32-bit word: its byte order follows the machine's.
#if Q_BYTE_ORDER == Q_LITTLE_ENDIAN
constexpr cmsUInt32Number Rgb32Layout = TYPE_BGRA_8;
#else
constexpr cmsUInt32Number Rgb32Layout = TYPE_ARGB_8;
#endif

struct ProfileCloser
{
    void operator()(void *profile) const { cmsCloseProfile(profile); }
};

} // namespace

CmykConversion::CmykConversion(std::shared_ptr<void> transform)
    : m_transform(std::move(transform))
{}

std::optional<CmykConversion> CmykConversion::fromProfile(const QByteArray &icc,
                                                          const bool inverted)
{
    if (icc.size() < 20 || icc.mid(16, 4) != QByteArrayLiteral("CMYK"))
        return std::nullopt;
    const std::unique_ptr<void, ProfileCloser> cmyk(
        cmsOpenProfileFromMem(icc.constData(), static_cast<cmsUInt32Number>(icc.size())));
    const std::unique_ptr<void, ProfileCloser> srgb(cmsCreate_sRGBProfile());
    if (!cmyk || !srgb || cmsGetColorSpace(cmyk.get()) != cmsSigCmykData)
        return std::nullopt;
    // Perceptual, as LittleCMS's own tools default to: prepress profiles map their gamut to
    // the display's in that table.
    cmsHTRANSFORM transform =
        cmsCreateTransform(cmyk.get(), inverted ? TYPE_CMYK_8_REV : TYPE_CMYK_8, srgb.get(),
                           Rgb32Layout, INTENT_PERCEPTUAL, 0);
    if (!transform) {
        qCDebug(lcImageIo, "LittleCMS can't convert from this CMYK profile");
        return std::nullopt;
    }
    return CmykConversion(std::shared_ptr<void>(transform, cmsDeleteTransform));
}

void CmykConversion::toRgb32(const uchar *cmyk, uchar *rgb32, const int count) const
{
    // The transform writes colour only: the alpha byte is set opaque first.
    std::memset(rgb32, 0xff, static_cast<size_t>(count) * 4);
    cmsDoTransform(m_transform.get(), cmyk, rgb32, static_cast<cmsUInt32Number>(count));
}

} // namespace inkveil
