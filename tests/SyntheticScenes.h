// SPDX-FileCopyrightText: 2026 Tessaly
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

// Photos with one clearly calm region, for automatic placement: the tests check the choice on
// them, the placement benchmark counts how often the calm region wins.

#include <QImage>
#include <QList>
#include <QPainter>
#include <QRandomGenerator>

#include <algorithm>

namespace scenes {

enum class Kind { TexturedLeft, TexturedRight, SkyOverGround, FaceBottomRight, FaceTopLeft };

struct Scene
{
    const char *name;
    QImage image;
    // Positions (0 to 8, row 0 at the bottom) that lie in the calm region.
    QList<qint16> calm;
};

// Cells of random grey over a rectangle: detail at a scale a small proxy still sees.
inline void texture(QImage &image, const QRect &area, quint32 seed, int low, int high)
{
    QRandomGenerator random(seed);
    const int cell = std::max(2, std::max(image.width(), image.height()) / 90);
    QPainter painter(&image);
    for (int y = area.top(); y <= area.bottom(); y += cell)
        for (int x = area.left(); x <= area.right(); x += cell) {
            const int grey = random.bounded(low, high);
            const int green = std::min(255, grey + random.bounded(0, 30));
            painter.fillRect(QRect(x, y, cell, cell).intersected(area), QColor(grey, green, grey));
        }
}

// A smooth vertical gradient between two colours: calm, but not flat.
inline void gradient(QImage &image, const QRect &area, const QColor &top, const QColor &bottom)
{
    QLinearGradient fill(area.topLeft(), area.bottomLeft());
    fill.setColorAt(0, top);
    fill.setColorAt(1, bottom);
    QPainter(&image).fillRect(area, fill);
}

// A skin-toned oval with eyes and a mouth, centred at (cx, cy) in fractions of the photo.
inline void face(QImage &image, double cx, double cy, quint32 seed)
{
    const double r = 0.16 * std::min(image.width(), image.height());
    const QPointF centre(cx * image.width(), cy * image.height());
    {
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(Qt::NoPen);
        painter.setBrush(QColor(224, 172, 140));
        painter.drawEllipse(centre, r * 0.8, r);
        painter.setBrush(QColor(40, 30, 25));
        painter.drawEllipse(centre + QPointF(-r * 0.3, -r * 0.25), r * 0.12, r * 0.08);
        painter.drawEllipse(centre + QPointF(r * 0.3, -r * 0.25), r * 0.12, r * 0.08);
        painter.drawEllipse(centre + QPointF(0, r * 0.45), r * 0.35, r * 0.08);
    }
    // Hair: texture over the top of the head.
    texture(image, QRectF(centre.x() - r * 0.8, centre.y() - r * 1.1, r * 1.6, r * 0.5).toRect(),
            seed, 20, 90);
}

inline Scene scene(Kind kind, QSize size, quint32 seed = 1)
{
    QImage image(size, QImage::Format_RGB32);
    const int w = size.width();
    const int h = size.height();
    switch (kind) {
    case Kind::TexturedLeft:
        gradient(image, image.rect(), QColor(120, 150, 190), QColor(90, 120, 160));
        texture(image, QRect(0, 0, w / 2, h), seed, 30, 230);
        return {"textured left half", image, {2, 8}};
    case Kind::TexturedRight:
        gradient(image, image.rect(), QColor(200, 200, 190), QColor(170, 170, 160));
        texture(image, QRect(w / 2, 0, w - w / 2, h), seed, 30, 230);
        return {"textured right half", image, {0, 6}};
    case Kind::SkyOverGround:
        gradient(image, QRect(0, 0, w, h / 2), QColor(250, 252, 255), QColor(190, 215, 240));
        texture(image, QRect(0, h / 2, w, h - h / 2), seed, 10, 90);
        return {"bright sky over dark ground", image, {8, 6}};
    case Kind::FaceBottomRight:
        gradient(image, image.rect(), QColor(90, 110, 100), QColor(70, 90, 80));
        face(image, 0.86, 0.84, seed);
        return {"face at the bottom right", image, {0, 8, 6}};
    case Kind::FaceTopLeft:
        gradient(image, image.rect(), QColor(235, 230, 220), QColor(215, 210, 200));
        face(image, 0.14, 0.16, seed);
        return {"face at the top left", image, {2, 0, 8}};
    }
    return {};
}

inline QList<Kind> allKinds()
{
    return {Kind::TexturedLeft, Kind::TexturedRight, Kind::SkyOverGround, Kind::FaceBottomRight,
            Kind::FaceTopLeft};
}

} // namespace scenes
