// SPDX-FileCopyrightText: 2026 Tessaly
// SPDX-License-Identifier: GPL-3.0-or-later

#include "render/AutoAdjuster.h"

#include "render/Stamper.h"
#include "render/StamperGeometry.h"

#include <array>

namespace inkveil {

AutoAdjuster::AutoAdjuster(const QImage &photo, const FloatSize canvasSize)
    : m_canvasSize(canvasSize)
    , m_proxy(PhotoProxy::fromImage(photo))
    , m_placement(m_proxy, canvasSize)
{}

bool AutoAdjuster::wantsPhoto(const Overlay &overlay)
{
    // A tiled watermark covers the whole photo anyway.
    return overlay.use() && !overlay.tile() &&
           (overlay.autoPlace() ||
            (overlay.autoContrast() && (!overlay.isImage() || !overlay.altImagePath().isEmpty())));
}

FloatRect AutoAdjuster::placedRect(const Overlay &overlay, qint16 position,
                                   const FloatSize turned) const
{
    const float margin = StamperGeometry::percentOfShorterSide(m_canvasSize, overlay.margin());
    const FloatPoint anchored =
        StamperGeometry::findDrawPoint(FloatRect{{0, 0}, m_canvasSize}, position, turned, margin);
    return {StamperGeometry::movedBy(anchored, m_canvasSize, overlay.offsetX(), overlay.offsetY()),
            turned};
}

Overlay AutoAdjuster::adjust(const Overlay &overlay, const FloatSize contentSize,
                             AutoChoice &choice, const PictureVariants &variants)
{
    Overlay adjusted = overlay;
    const FloatSize turned =
        StamperGeometry::sizeFromRotation(contentSize, Stamper::findRotationToUse(overlay));
    qint16 position = overlay.position();
    if (overlay.autoPlace() && !overlay.tile()) {
        // A position of its own on every photo: a hand-made nudge from the fixed one is moot.
        adjusted.setOffsetX(0.0f);
        adjusted.setOffsetY(0.0f);
        const QList<qint16> allowed = overlay.autoPositions();
        QList<FloatRect> candidates;
        for (const qint16 p : allowed)
            candidates.append(placedRect(adjusted, p, turned));
        const int chosen = m_placement.choose(candidates, m_taken);
        if (chosen >= 0) {
            position = allowed.at(chosen);
            m_taken.append(candidates.at(chosen));
        }
        adjusted.setPosition(position);
    }
    choice.position = position;
    if (overlay.isImage()) {
        if (overlay.autoContrast() && !overlay.altImagePath().isEmpty())
            choice.variant =
                chooseVariant(overlay, placedRect(adjusted, position, turned), variants);
        return adjusted;
    }

    AutoContrast::Style style{
        overlay.color(),
        overlay.altColor(),
        overlay.alpha(),
        overlay.show() ? overlay.bgColor() : QColor(),
        overlay.autoShadow(),
        static_cast<float>(overlay.shadowColor().isValid() ? overlay.shadowColor().alphaF() : 0.6),
        overlay.autoOutline()};
    const AutoContrast::Backdrop backdrop =
        AutoContrast::measure(m_proxy, placedRect(adjusted, position, turned), m_canvasSize);
    if (!overlay.autoContrast()) {
        choice.textColor = overlay.color();
        choice.contrast =
            AutoContrast::ratio(backdrop, style, overlay.color(), AutoContrast::Effect::None, {});
        return adjusted;
    }
    const AutoContrast::Choice chosen = AutoContrast::choose(backdrop, style);
    adjusted.setColor(chosen.text);
    if (chosen.effect == AutoContrast::Effect::Shadow) {
        adjusted.setShadow(true);
        QColor shadow = chosen.effectColor;
        shadow.setAlphaF(static_cast<float>(style.shadowStrength));
        adjusted.setShadowColor(shadow);
    } else if (chosen.effect == AutoContrast::Effect::Outline) {
        adjusted.setOutlineColor(chosen.effectColor);
        if (!(adjusted.outlineWidth() > 0.0f))
            adjusted.setOutlineWidth(AddedOutlineWidth);
    }
    choice.textColor = chosen.text;
    choice.contrast = chosen.ratio;
    return adjusted;
}

int AutoAdjuster::chooseVariant(const Overlay &overlay, const FloatRect rect,
                                const PictureVariants &variants) const
{
    // An unreadable second picture leaves the first in place; so does a tie.
    if (variants.first < 0 || variants.second < 0)
        return 0;
    // Each picture counts as a grey of its own luminance, drawn at its opacity on its box.
    const AutoContrast::Style style{
        {}, {}, overlay.imgAlpha(), overlay.show() ? overlay.bgColor() : QColor(), false, 0, false};
    const AutoContrast::Backdrop backdrop = AutoContrast::measure(m_proxy, rect, m_canvasSize);
    const auto ratioOf = [&](double luminance) {
        const float grey = PhotoProxy::srgb(static_cast<float>(luminance));
        return AutoContrast::ratio(backdrop, style, QColor::fromRgbF(grey, grey, grey),
                                   AutoContrast::Effect::None, {});
    };
    return ratioOf(variants.second) > ratioOf(variants.first) ? 1 : 0;
}

double AutoAdjuster::pictureLuminance(const QImage &picture)
{
    static const std::array<double, 256> linear = [] {
        std::array<double, 256> table{};
        for (size_t i = 0; i < table.size(); ++i)
            table[i] = PhotoProxy::linear(static_cast<float>(i) / 255.0f);
        return table;
    }();
    const QImage pixels = picture.convertToFormat(QImage::Format_ARGB32);
    double sum = 0;
    double weight = 0;
    for (int y = 0; y < pixels.height(); ++y) {
        const auto *line = reinterpret_cast<const QRgb *>(pixels.constScanLine(y));
        for (int x = 0; x < pixels.width(); ++x) {
            const double alpha = qAlpha(line[x]) / 255.0;
            const QRgb p = line[x];
            sum += alpha * (0.2126 * linear[static_cast<size_t>(qRed(p))] +
                            0.7152 * linear[static_cast<size_t>(qGreen(p))] +
                            0.0722 * linear[static_cast<size_t>(qBlue(p))]);
            weight += alpha;
        }
    }
    return weight > 0 ? sum / weight : 0;
}

} // namespace inkveil
