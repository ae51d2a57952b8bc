// SPDX-FileCopyrightText: 2026 Tessaly
// SPDX-License-Identifier: GPL-3.0-or-later

#include "render/AutoContrast.h"

#include <algorithm>
#include <vector>

namespace inkveil {

namespace {

struct Rgb
{
    float r;
    float g;
    float b;
};

Rgb components(const QColor &color)
{
    return {static_cast<float>(color.redF()), static_cast<float>(color.greenF()),
            static_cast<float>(color.blueF())};
}

// Painting blends in sRGB values, so the blend is taken there.
Rgb blend(Rgb over, Rgb under, float alpha)
{
    return {alpha * over.r + (1 - alpha) * under.r, alpha * over.g + (1 - alpha) * under.g,
            alpha * over.b + (1 - alpha) * under.b};
}

double luminanceOf(Rgb c)
{
    return 0.2126 * PhotoProxy::linear(c.r) + 0.7152 * PhotoProxy::linear(c.g) +
           0.0722 * PhotoProxy::linear(c.b);
}

// The ratio of the text to one backdrop luminance; the photo behind counts as a grey of it.
double ratioOn(float backdrop, const AutoContrast::Style &style, const QColor &text,
               AutoContrast::Effect effect, const QColor &effectColor)
{
    const float grey = PhotoProxy::srgb(backdrop);
    Rgb under{grey, grey, grey};
    if (style.box.isValid())
        under = blend(components(style.box), under, static_cast<float>(style.box.alphaF()));
    // A shadow lies offset under the glyphs and shows along about half of their edges: it
    // counts at half its strength.
    if (effect == AutoContrast::Effect::Shadow)
        under = blend(components(effectColor), under, 0.5f * style.shadowStrength);
    else if (effect == AutoContrast::Effect::Outline)
        under = components(effectColor);
    const Rgb ink = blend(components(text), under, std::clamp(style.alpha, 0.0f, 1.0f));
    return AutoContrast::contrastRatio(luminanceOf(ink), luminanceOf(under));
}

} // namespace

AutoContrast::Backdrop AutoContrast::measure(const PhotoProxy &proxy, const FloatRect rect,
                                             const FloatSize canvasSize)
{
    const QRect cells = proxy.cover(rect, canvasSize);
    if (cells.isEmpty())
        return {};
    // The median of the boxes' means; the extremes from their darkest and brightest samples,
    // so that fine texture a mean would flatten to grey still counts.
    const auto percentile = [&](float (PhotoProxy::*value)(int, int) const, double share) {
        std::vector<float> values;
        values.reserve(static_cast<size_t>(cells.width() * cells.height()));
        for (int y = cells.top(); y <= cells.bottom(); ++y)
            for (int x = cells.left(); x <= cells.right(); ++x)
                values.push_back((proxy.*value)(x, y));
        const auto nth =
            values.begin() + static_cast<ptrdiff_t>(share * static_cast<double>(values.size() - 1));
        std::nth_element(values.begin(), nth, values.end());
        return *nth;
    };
    Backdrop backdrop;
    backdrop.median = percentile(&PhotoProxy::at, 0.5);
    backdrop.dark = percentile(&PhotoProxy::darkest, 0.1);
    backdrop.bright = percentile(&PhotoProxy::brightest, 0.9);
    return backdrop;
}

double AutoContrast::contrastRatio(double a, double b)
{
    return (std::max(a, b) + 0.05) / (std::min(a, b) + 0.05);
}

double AutoContrast::luminance(const QColor &color)
{
    return luminanceOf(components(color));
}

double AutoContrast::ratio(const Backdrop &backdrop, const Style &style, const QColor &text,
                           Effect effect, const QColor &effectColor)
{
    return std::min({ratioOn(backdrop.median, style, text, effect, effectColor),
                     ratioOn(backdrop.dark, style, text, effect, effectColor),
                     ratioOn(backdrop.bright, style, text, effect, effectColor)});
}

AutoContrast::Choice AutoContrast::choose(const Backdrop &backdrop, const Style &style)
{
    const QColor first = style.first.isValid() ? style.first : QColor(Qt::white);
    const QColor second = style.second.isValid() ? style.second : QColor(Qt::black);
    // An effect is drawn in the other colour, opaque: a dark shadow under light text.
    const auto tryWith = [&](const QColor &text, const QColor &other, Effect effect) {
        const QColor effectColor =
            effect == Effect::None
                ? QColor()
                : QColor::fromRgbF(other.redF(), other.greenF(), other.blueF(), 1.0f);
        return Choice{text, effect, effectColor, ratio(backdrop, style, text, effect, effectColor)};
    };
    Choice closest;
    const auto steps = {Effect::None, Effect::Shadow, Effect::Outline};
    for (const Effect effect : steps) {
        if ((effect == Effect::Shadow && !style.shadowAllowed) ||
            (effect == Effect::Outline && !style.outlineAllowed))
            continue;
        for (const Choice &choice :
             {tryWith(first, second, effect), tryWith(second, first, effect)}) {
            if (choice.ratio >= Target)
                return choice;
            if (effect == Effect::None && choice.ratio > closest.ratio)
                closest = choice;
        }
    }
    return closest;
}

} // namespace inkveil
