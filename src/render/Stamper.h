// SPDX-FileCopyrightText: 2026 Tessaly
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "base/FloatGeometry.h"
#include "base/Result.h"
#include "imageio/DecodedImage.h"
#include "render/AutoAdjuster.h"
#include "render/PlaceholderExpander.h"
#include "sources/WorkFile.h"
#include "watermarks/Overlay.h"

#include <QColor>
#include <QColorSpace>
#include <QFont>
#include <QHash>
#include <QImage>
#include <QSizeF>

#include <memory>

namespace inkveil {

// Draws the used watermarks of a list onto one source photo. The one place where watermark
// definitions become pixels: the batch and the preview both draw through it, so the preview
// shows what will be written. Coordinates are canvas pixels with the origin at the lower left.
// One instance is used by one thread at a time.
class Stamper
{
public:
    Stamper();
    explicit Stamper(PlaceholderExpander expander);

    // A photo with its watermarks on, and what was measured of it on the way.
    struct Stamped
    {
        QImage image;
        // The photo's size in points (its full pixel size x 72 / dpi).
        QSizeF originalSize;
        // Watermarks that left something visible: 0 when each used one is empty, transparent
        // or a picture that can't be read, and the photo looks as it did.
        int watermarksShown = 0;
        // Texts drawn smaller than their size so as to stay within their maximum width.
        int watermarksShrunk = 0;
        // Where each watermark of the list went: its turned box in full-size canvas pixels,
        // y-up; empty for one not drawn.
        QList<FloatRect> placements;
        // Where each used watermark went and in which colour, when any of them is fitted to
        // the photo (automatic placement or contrast); empty otherwise.
        QList<AutoChoice> choices;
    };

    // The photo with every used watermark drawn on it at full pixel size; fails with the reason
    // when the file cannot be read. May read the file's EXIF.
    Result<Stamped> watermark(const std::shared_ptr<WorkFile> &file, const OverlayList &overlays);
    // The same on a photo the caller has decoded already; its pixels are drawn into in place.
    // On a photo decoded at a reduced size, the watermarks are placed and sized on its full
    // pixel size and drawn shrunk to match, as if drawn at full size and then scaled. The image
    // is null when the photo is, or when there was no memory for its drawable pixels.
    Stamped watermark(const std::shared_ptr<WorkFile> &file, DecodedImage source,
                      const OverlayList &overlays);

    std::shared_ptr<WorkFile> baseImage() const { return m_baseImage; }
    void setBaseImage(const std::shared_ptr<WorkFile> &file) { m_baseImage = file; }

    // The steps, each usable on its own.
    void setAttribsFromOverlay(const Overlay &overlay);
    // As above for a photo of canvasSize pixels, which relative sizes are measured against.
    void setAttribsFromOverlay(const Overlay &overlay, FloatSize canvasSize);
    // The text's size in pixels on a photo of canvasSize: relativeSize percent of its shorter
    // side when set, else pointSize. Nothing is drawn at 0 or less.
    static float textPixelSize(const Overlay &overlay, FloatSize canvasSize);
    float currentPixelSize() const { return m_currentPixelSize; }
    QFont currentFont() const { return m_currentFont; }
    QColor currentColor() const { return m_currentColor; }
    FloatSize findContentSize(const Overlay &overlay);
    // The content image is larger than size by contentPadding() on every side when the text
    // has an outline or a shadow, which reach past the text's box; the box sits inside it.
    QImage makeContentImage(const Overlay &overlay, FloatSize size);
    float contentPadding(const Overlay &overlay) const;
    static float findRotationToUse(const Overlay &overlay);
    static QImage makeRotatedImage(const QImage &content, FloatSize contentSize,
                                   FloatSize turnedSize, float angle);
    QString expandText(const QString &text);

    // A watermark text is drawn up to this many characters (after its placeholders are filled
    // in); a longer one is cut there. Nobody means a page of text on a photo, and every
    // character is measured and drawn on every photo.
    static constexpr qsizetype MaxTextLength = 4000;
    // Why the overlay cannot be drawn as it is (its picture can't be read or is too large, its
    // text is too long), as a sentence; empty when it can.
    static QString overlayProblem(const Overlay &overlay);
    // Whether the overlay can show on a photo, judged before any photo is read: it is used, and
    // has visible text or a picture whose header reads. A text whose placeholders fill in empty
    // on a photo is found out only when drawing it.
    static bool mayShow(const Overlay &overlay);

private:
    struct Drawn
    {
        // The overlay left something visible.
        bool shown = false;
        bool shrunk = false;
        FloatRect placed;
    };
    // canvasSize: the photo's full pixel size, which canvas may be a reduced decode of.
    Drawn drawOverlay(QImage &canvas, FloatSize canvasSize, const Overlay &overlay);
    // Shrinks the text set up for drawing until its turned content fits the overlay's maximum
    // width; true when it had to. content is the text's size, updated.
    bool fitToMaxWidth(const Overlay &overlay, FloatSize &content);
    // The content and band colour converted from sRGB into the photo's colour space.
    static void inCanvasColours(const QColorSpace &space, QImage &content, QColor &band);
    // The watermarks drawn one by one, fitted to the photo where they ask for it.
    void drawOverlays(QImage &canvas, FloatSize canvasSize, const OverlayList &overlays,
                      Stamped &stamped);
    // Whether the overlay, set up for drawing, puts ink or a band on the photo.
    bool showsInk(const Overlay &overlay);
    const DecodedImage &picture(const QString &path);
    // Of a picture with a second one under automatic contrast, the two pictures' luminances;
    // and the overlay with its second picture, at that picture's size, in place of the first.
    PictureVariants pictureVariants(const Overlay &overlay);
    Overlay withSecondPicture(const Overlay &overlay);
    // The text with its outline and shadow into image, its box's top-left at boxOrigin.
    void drawTextWithEffects(QImage &image, const Overlay &overlay, const QString &text,
                             QPointF boxOrigin, FloatSize boxSize) const;
    // The content turned, at the scale of the canvas it is repeated on.
    static QImage turnedTile(const QImage &canvas, FloatSize canvasSize, const QImage &content,
                             FloatSize contentSize, float angle);
    // Repeats a turned copy over the canvas; turnedContent is at the canvas's scale.
    void drawTiles(QImage &canvas, FloatSize canvasSize, const QImage &turnedContent,
                   FloatSize turnedPadded, FloatPoint origin, FloatSize turned,
                   FloatPoint paddingOffset, float spacing) const;

    QFont m_currentFont;
    QColor m_currentColor;
    float m_currentPixelSize = 0.0f;
    FloatSize m_canvasSize{0, 0};
    std::shared_ptr<WorkFile> m_baseImage;
    PlaceholderExpander m_expander;
    // Watermark pictures decoded once, not once per photo.
    QHash<QString, DecodedImage> m_pictures;
    QHash<QString, double> m_pictureLuminances;
};

} // namespace inkveil
