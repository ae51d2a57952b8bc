// SPDX-FileCopyrightText: 2026 Tessaly
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "archive/ArchiveKey.h"

#include <QColor>
#include <QList>
#include <QString>

#include <memory>

namespace inkveil {

// One watermark: a text (with placeholders) or, when filePath is set, an image; where it is
// anchored, how it is turned, how opaque it is, and the background box or band behind it.
// Records are shared by reference between the model, the editors, the preview and the batch.
class Overlay
{
public:
    Overlay();

    qint16 position() const { return m_position; }
    void setPosition(qint16 position) { m_position = position; }
    QString name() const { return m_name; }
    void setName(const QString &name) { m_name = name; }
    bool use() const { return m_use; }
    void setUse(bool use) { m_use = use; }
    QColor bgColor() const { return m_bgColor; }
    void setBgColor(const QColor &color) { m_bgColor = color; }
    bool show() const { return m_show; }
    void setShow(bool show) { m_show = show; }
    bool extend() const { return m_extend; }
    void setExtend(bool extend) { m_extend = extend; }
    QString text() const { return m_text; }
    void setText(const QString &text) { m_text = text; }
    QString fontName() const { return m_fontName; }
    void setFontName(const QString &fontName) { m_fontName = fontName; }
    float pointSize() const { return m_pointSize; }
    void setPointSize(float pointSize) { m_pointSize = pointSize; }
    float alpha() const { return m_alpha; }
    void setAlpha(float alpha) { m_alpha = alpha; }
    float rotation() const { return m_rotation; }
    void setRotation(float rotation) { m_rotation = rotation; }
    QColor color() const { return m_color; }
    void setColor(const QColor &color) { m_color = color; }
    QString filePath() const { return m_filePath; }
    void setFilePath(const QString &filePath) { m_filePath = filePath; }
    // The picture a stored watermark named but that could not be read when it was loaded (the
    // missing-image picture stands in for it); empty otherwise. Not stored.
    QString missingFilePath() const { return m_missingFilePath; }
    qint16 width() const { return m_width; }
    void setWidth(qint16 width) { m_width = width; }
    qint16 height() const { return m_height; }
    void setHeight(qint16 height) { m_height = height; }
    float imgAlpha() const { return m_imgAlpha; }
    void setImgAlpha(float imgAlpha) { m_imgAlpha = imgAlpha; }
    float imgRotation() const { return m_imgRotation; }
    void setImgRotation(float imgRotation) { m_imgRotation = imgRotation; }

    // Fitting the watermark to each photo. Sizes in percent of the photo's shorter side, so that
    // one setting looks the same on portrait, landscape, small and huge photos.
    // relativeSize > 0: a text's pixel size, or a picture's height (aspect kept), instead of
    // pointSize or the picture's own size; 0 is off.
    float relativeSize() const { return m_relativeSize; }
    void setRelativeSize(float size) { m_relativeSize = size; }
    // Distance kept from each edge the position anchors to; the centre is not moved.
    float margin() const { return m_margin; }
    void setMargin(float margin) { m_margin = margin; }
    // Repeated over the whole photo in a grid whose rows are offset by half a step; spacing is
    // in percent of the watermark's own turned size.
    bool tile() const { return m_tile; }
    void setTile(bool tile) { m_tile = tile; }
    float tileSpacing() const { return m_tileSpacing; }
    void setTileSpacing(float spacing) { m_tileSpacing = spacing; }
    // A stroke around the glyphs, under the fill, in percent of the text's pixel size; 0 is none.
    float outlineWidth() const { return m_outlineWidth; }
    void setOutlineWidth(float width) { m_outlineWidth = width; }
    QColor outlineColor() const { return m_outlineColor; }
    void setOutlineColor(const QColor &color) { m_outlineColor = color; }
    // A soft drop shadow under the text; the colour's alpha is its strength.
    bool shadow() const { return m_shadow; }
    void setShadow(bool shadow) { m_shadow = shadow; }
    QColor shadowColor() const { return m_shadowColor; }
    void setShadowColor(const QColor &color) { m_shadowColor = color; }
    // A style of the font's family as the font database names it ("Bold", "Light Italic");
    // empty is the family's regular face.
    QString fontStyle() const { return m_fontStyle; }
    void setFontStyle(const QString &style) { m_fontStyle = style; }

    // Placed by hand and kept inside the photo. offsetX/offsetY move the watermark from where
    // its position puts it, in percent of the photo's width and height, rightward and downward
    // as the photo is seen, so that one placement suits every size. maxWidth keeps a text's
    // turned box within that percent of the photo's width and height by shrinking the text;
    // 0 lets it run past the edges.
    float offsetX() const { return m_offsetX; }
    void setOffsetX(float offset) { m_offsetX = offset; }
    float offsetY() const { return m_offsetY; }
    void setOffsetY(float offset) { m_offsetY = offset; }
    float maxWidth() const { return m_maxWidth; }
    void setMaxWidth(float percent) { m_maxWidth = percent; }
    // Fitting the watermark to what each photo shows.
    // autoPlace: on each photo, the allowed position (autoPositions, in order of preference)
    // where the watermark covers the least detail; position is then unused.
    bool autoPlace() const { return m_autoPlace; }
    void setAutoPlace(bool on) { m_autoPlace = on; }
    QList<qint16> autoPositions() const { return m_autoPositions; }
    void setAutoPositions(const QList<qint16> &positions);
    static const QList<qint16> DefaultAutoPositions;
    // autoContrast: on each photo, the text in color or altColor, whichever stands out against
    // what it covers, with a shadow or an outline in the other colour where allowed and needed.
    bool autoContrast() const { return m_autoContrast; }
    void setAutoContrast(bool on) { m_autoContrast = on; }
    QColor altColor() const { return m_altColor; }
    void setAltColor(const QColor &color) { m_altColor = color; }
    bool autoShadow() const { return m_autoShadow; }
    void setAutoShadow(bool allowed) { m_autoShadow = allowed; }
    bool autoOutline() const { return m_autoOutline; }
    void setAutoOutline(bool allowed) { m_autoOutline = allowed; }
    // A second picture for an image watermark, the dark variant of a light one or the reverse:
    // with autoContrast on, each photo gets whichever of the two stands out more against what
    // it covers. It takes the first one's place and size. Null is none.
    QString altImagePath() const { return m_altImagePath; }
    void setAltImagePath(const QString &path) { m_altImagePath = path; }

    // A watermark as Add and the first run make it: sized and kept off the edges relative to
    // each photo, so that a first batch gives a readable mark on any photo. A plain Overlay()
    // keeps the absolute size of records stored before relative sizes existed.
    static std::shared_ptr<Overlay> newWatermark();
    static constexpr float NewRelativeSize = 3.0f;
    static constexpr float NewMargin = 2.0f;
    static constexpr float NewMaxWidth = 90.0f;

    // An image watermark has a non-empty file path; the text fields then wait unused.
    bool isImage() const { return !m_filePath.isEmpty(); }

    // The record's archive form, and a record decoded from one (starting from the defaults;
    // absent keys give empty values; a vanished image becomes the missing-image placeholder).
    ArchivedRecord encode() const;
    static std::shared_ptr<Overlay> decode(const ArchivedRecord &record);

    static const QString ClassName;
    static const QString DefaultText;
    // The size the missing-image placeholder is given, whatever its real size.
    static constexpr qint16 PlaceholderWidth = 140;
    static constexpr qint16 PlaceholderHeight = 80;

private:
    qint16 m_position = 1;
    QString m_name;
    bool m_use = true;
    QColor m_bgColor;
    bool m_show = true;
    bool m_extend = true;
    QString m_text;
    QString m_fontName;
    float m_pointSize = 36.0f;
    float m_alpha = 0.8f;
    float m_rotation = 0.0f;
    QColor m_color;
    QString m_filePath;
    QString m_missingFilePath;
    qint16 m_width = 0;
    qint16 m_height = 0;
    float m_imgAlpha = 1.0f;
    float m_imgRotation = 0.0f;
    float m_relativeSize = 0.0f;
    float m_margin = 0.0f;
    bool m_tile = false;
    float m_tileSpacing = 50.0f;
    float m_outlineWidth = 0.0f;
    QColor m_outlineColor;
    bool m_shadow = false;
    QColor m_shadowColor;
    QString m_fontStyle;
    float m_offsetX = 0.0f;
    float m_offsetY = 0.0f;
    float m_maxWidth = 0.0f;
    bool m_autoPlace = false;
    QList<qint16> m_autoPositions = DefaultAutoPositions;
    bool m_autoContrast = false;
    QColor m_altColor;
    bool m_autoShadow = true;
    bool m_autoOutline = true;
    QString m_altImagePath;
};

using OverlayList = QList<std::shared_ptr<Overlay>>;

} // namespace inkveil
