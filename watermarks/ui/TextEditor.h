#pragma once

#include <QColor>
#include <QObject>
#include <QPointer>
#include <QStringList>
#include <QTimer>

class ColorWell;
class Overlay;
class QComboBox;
class QPlainTextEdit;
class QSlider;
class WatermarksPane;

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

    explicit TextEditor(WatermarksPane *controller);

    // Finds the tab's controls in the pane's form and fills the font, size, block and rotation
    // lists.
    void formLoaded();
    // Shows the watermark's text settings; nothing is written back while loading.
    void activate(const Overlay &overlay);
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
    // The whole text of the text area.
    QString text() const;

    // Typing is written back after a short pause rather than at every key. The pane settles a
    // pending edit before it loads another watermark, and forgets it once a write-back has
    // taken the text anyway.
    bool hasPendingText() const { return m_textPause.isActive(); }
    void flushPendingText();
    void textWrittenBack() { m_textPause.stop(); }

    static const QList<float> &sizes();
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

private:
    void textEdited();
    void refresh();

    WatermarksPane *m_controller;
    QStringList m_fonts;
    QString m_currentName;
    QColor m_currentColor;
    float m_currentSize = 0.0f;
    float m_currentAlpha = 0.0f;
    float m_currentRotation = 0.0f;

    QPointer<QPlainTextEdit> m_text;
    QPointer<QComboBox> m_font;
    QPointer<QComboBox> m_size;
    QPointer<QComboBox> m_blocks;
    QPointer<ColorWell> m_color;
    QPointer<QSlider> m_alpha;
    QPointer<QComboBox> m_rotation;

    QTimer m_textPause;
    bool m_loading = false;
};
