#pragma once

#include "app/ArchiveKey.h"

#include <QColor>
#include <QList>
#include <QString>

#include <memory>

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
    qint16 width() const { return m_width; }
    void setWidth(qint16 width) { m_width = width; }
    qint16 height() const { return m_height; }
    void setHeight(qint16 height) { m_height = height; }
    float imgAlpha() const { return m_imgAlpha; }
    void setImgAlpha(float imgAlpha) { m_imgAlpha = imgAlpha; }
    float imgRotation() const { return m_imgRotation; }
    void setImgRotation(float imgRotation) { m_imgRotation = imgRotation; }

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
    qint16 m_width = 0;
    qint16 m_height = 0;
    float m_imgAlpha = 1.0f;
    float m_imgRotation = 0.0f;
};

using OverlayList = QList<std::shared_ptr<Overlay>>;
