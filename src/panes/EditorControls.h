// SPDX-FileCopyrightText: 2026 Tessaly
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QComboBox>
#include <QSlider>

#include <array>
#include <cmath>

namespace inkveil {

// What the text and image editors share: the rotation list and the opacity slider.
namespace EditorControls {

// The eight rotations offered, in steps of 45 degrees; entry n stands for n x 45 degrees.
inline constexpr std::array<float, 8> Angles{0.0f,   45.0f,  90.0f,  135.0f,
                                             180.0f, 225.0f, 270.0f, 315.0f};

inline void fillRotations(QComboBox *combo)
{
    for (const float angle : Angles)
        combo->addItem(QString::number(static_cast<double>(angle)) + QChar(0x00B0));
}

// The entry of the first angle exactly equal to the given one, or -1: a stored 30 degrees is
// not offered, and the list then keeps the entry it showed.
inline int rotationIndex(float angle)
{
    for (std::size_t i = 0; i < Angles.size(); ++i) {
        if (Angles[i] == angle)
            return static_cast<int>(i);
    }
    return -1;
}

inline float rotationAt(int index)
{
    return Angles.at(static_cast<std::size_t>(index));
}

// The opacity slider runs in hundredths: its value over 100 is the opacity, 0.0 to 1.0.
inline constexpr int OpacitySteps = 100;

inline void setUpOpacitySlider(QSlider *slider)
{
    slider->setRange(0, OpacitySteps);
    slider->setSingleStep(1);
    slider->setPageStep(10);
}

inline int opacityToSlider(float opacity)
{
    return static_cast<int>(std::lround(opacity * static_cast<float>(OpacitySteps)));
}

inline float sliderToOpacity(int value)
{
    return static_cast<float>(value) / static_cast<float>(OpacitySteps);
}

// The size modes of the text and image editors: entry 0 is an absolute size, entry 1 a size in
// percent of the photo's shorter side (the watermark's relativeSize).
inline void fillSizeModes(QComboBox *combo)
{
    combo->addItem(QStringLiteral("pixels"));
    combo->addItem(QStringLiteral("% of photo"));
}

inline constexpr int RelativeSizeMode = 1;

} // namespace EditorControls

} // namespace inkveil
