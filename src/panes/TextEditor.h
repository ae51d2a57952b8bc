// SPDX-FileCopyrightText: 2026 Tessaly
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QColor>
#include <QObject>
#include <QPointer>
#include <QStringList>
#include <QTimer>

#include <memory>

class QCheckBox;
class QComboBox;
class QDoubleSpinBox;
class QPlainTextEdit;
class QSlider;

namespace Ui {
class Watermarks;
}

namespace inkveil {

class ColorWell;
class Overlay;
class WorkFile;

// The text tab of the watermark pane. Holds the text settings of the selected watermark in
// fields of its own; after each user change it asks the pane to write every editor's values
// into the watermark. It never writes the watermark itself.
class TextEditor : public QObject
{
    Q_OBJECT

public:
    // The text blocks offered for insertion: what the list shows and what choosing it inserts.
    struct TextBlock
    {
        QString entry;
        QString inserts;
    };

    explicit TextEditor(QObject *parent = nullptr);

    // Takes the tab's controls from the watermark pane's form and fills the font, size, block
    // and rotation lists.
    void formLoaded(const Ui::Watermarks &form);
    // Shows the watermark's text settings; nothing is written back while loading.
    void activate(const Overlay &overlay);
    // Explains each placeholder of the block list with the value it gives for this photo (the
    // one the preview shows), or only what it means without a photo.
    void setPhoto(const std::shared_ptr<WorkFile> &photo);
    // The text controls are usable only for a text watermark; otherwise the text shows grey.
    void allowTextEditing(bool allow);

    QStringList fonts() const { return m_fonts; }
    QString currentName() const { return m_currentName; }
    void setCurrentName(const QString &name) { m_currentName = name; }
    QColor currentColor() const { return m_currentColor; }
    void setCurrentColor(const QColor &color) { m_currentColor = color; }
    float currentSize() const { return m_currentSize; }
    void setCurrentSize(float size) { m_currentSize = size; }
    float currentAlpha() const { return m_currentAlpha; }
    void setCurrentAlpha(float alpha) { m_currentAlpha = alpha; }
    float currentRotation() const { return m_currentRotation; }
    void setCurrentRotation(float rotation) { m_currentRotation = rotation; }
    // Percent of the photo's shorter side; 0 while the size is in pixels (currentSize).
    float currentRelativeSize() const { return m_currentRelativeSize; }
    void setCurrentRelativeSize(float size) { m_currentRelativeSize = size; }
    QString currentStyle() const { return m_currentStyle; }
    void setCurrentStyle(const QString &style) { m_currentStyle = style; }
    float currentOutlineWidth() const { return m_currentOutlineWidth; }
    void setCurrentOutlineWidth(float width) { m_currentOutlineWidth = width; }
    QColor currentOutlineColor() const { return m_currentOutlineColor; }
    void setCurrentOutlineColor(const QColor &color) { m_currentOutlineColor = color; }
    bool currentShadow() const { return m_currentShadow; }
    void setCurrentShadow(bool shadow) { m_currentShadow = shadow; }
    QColor currentShadowColor() const { return m_currentShadowColor; }
    void setCurrentShadowColor(const QColor &color) { m_currentShadowColor = color; }
    // The whole text of the text area.
    QString text() const;

    // Typing is written back after a short pause rather than at every key. The pane settles a
    // pending edit before it loads another watermark, and forgets it once a write-back has
    // taken the text anyway.
    bool hasPendingText() const { return m_textPause.isActive(); }
    void flushPendingText();
    void textWrittenBack() { m_textPause.stop(); }

    static const QList<float> &sizes();
    // The sizes offered while the size is in percent of the photo.
    static const QList<float> &relativeSizes();
    static const QList<TextBlock> &textBlocks();
    // The number a size text begins with, as the size list takes it; 0 when it begins with none.
    static float leadingNumber(const QString &text);

public Q_SLOTS:
    void changeFont(int index);
    void changeSize();
    void changeColor(const QColor &color);
    void changeAlpha(int value);
    void changeRotation(int index);
    void insertBlock(int index);
    void changeSizeMode(int index);
    void changeStyle(int index);
    void changeOutlineWidth(double width);
    void changeOutlineColor(const QColor &color);
    void changeShadow(bool on);
    void changeShadowColor(const QColor &color);

Q_SIGNALS:
    // The user changed a value: the pane writes every editor's values into the watermark.
    void edited();

private:
    void setUpFontControls();
    void setUpSizeControls();
    // Colour, opacity, rotation, outline and shadow.
    void setUpLookControls();
    // Fills the style list with the current font's styles and shows the current style.
    void fillStyles();
    void showSize();
    // Enables the controls that have an effect now.
    void setButtons();
    void textEdited();
    void refresh();

    QStringList m_fonts;
    QString m_currentName;
    QColor m_currentColor;
    float m_currentSize = 0.0f;
    float m_currentAlpha = 0.0f;
    float m_currentRotation = 0.0f;
    float m_currentRelativeSize = 0.0f;
    QString m_currentStyle;
    float m_currentOutlineWidth = 0.0f;
    QColor m_currentOutlineColor;
    bool m_currentShadow = false;
    QColor m_currentShadowColor;
    bool m_allowed = true;

    QPointer<QPlainTextEdit> m_text;
    QPointer<QComboBox> m_font;
    QPointer<QComboBox> m_size;
    QPointer<QComboBox> m_blocks;
    QPointer<ColorWell> m_color;
    QPointer<QSlider> m_alpha;
    QPointer<QComboBox> m_rotation;
    QPointer<QComboBox> m_sizeMode;
    QPointer<QComboBox> m_style;
    QPointer<QDoubleSpinBox> m_outlineWidth;
    QPointer<ColorWell> m_outlineColor;
    QPointer<QCheckBox> m_shadow;
    QPointer<ColorWell> m_shadowColor;

    QTimer m_textPause;
    bool m_loading = false;
};

} // namespace inkveil
