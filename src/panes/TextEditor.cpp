// SPDX-FileCopyrightText: 2026 Tessaly
// SPDX-License-Identifier: GPL-3.0-or-later

#include "panes/TextEditor.h"

#include "panes/EditorControls.h"
#include "render/PlaceholderExpander.h"
#include "sources/WorkFile.h"
#include "watermarks/Overlay.h"
#include "widgets/ColorWell.h"

#include "ui_WatermarksPane.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QFontDatabase>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QRegularExpression>
#include <QSignalBlocker>
#include <QSlider>

#include <algorithm>

namespace inkveil {

namespace {

// Long enough to take a burst of keys as one edit, short enough that the preview follows the
// typing.
constexpr int TextPauseMs = 200;

// The size text as the list shows it: up to seven significant digits, no trailing zeros.
QString sizeText(float size)
{
    return QString::number(static_cast<double>(size), 'g', 7);
}

} // namespace

TextEditor::TextEditor(QObject *parent)
    : QObject(parent)
{
    m_textPause.setSingleShot(true);
    m_textPause.setInterval(TextPauseMs);
    connect(&m_textPause, &QTimer::timeout, this, &TextEditor::refresh);
}

const QList<float> &TextEditor::sizes()
{
    static const QList<float> list{9, 10, 11, 12, 13, 14, 18, 24, 36, 48, 72, 144, 288};
    return list;
}

const QList<float> &TextEditor::relativeSizes()
{
    static const QList<float> list{1, 1.5f, 2, 3, 4, 5, 6, 8, 10, 12, 15, 20, 25};
    return list;
}

const QList<TextEditor::TextBlock> &TextEditor::textBlocks()
{
    static const QList<TextBlock> blocks = [] {
        QList<TextBlock> list{
            {QStringLiteral("-- Select text block"), QString()},
            {QStringLiteral("All rights reserved"), QStringLiteral("All rights reserved")},
            {QStringLiteral("Copyright"), QStringLiteral("Copyright")},
            {QStringLiteral("Copyright sign"), QStringLiteral("\u00A9")},
        };
        for (const char *placeholder : {"{FILENAME}",     "{FULLDATE}",
                                        "{YEAR}",         "{MONTH}",
                                        "{DATE}",         "{DAY}",
                                        "{EXIF_MAKE}",    "{EXIF_MODEL}",
                                        "{EXIF_DATE}",    "{EXIF_FOCALLENGTH}",
                                        "{EXIF_ISO}",     "{EXIF_FNUMBER}",
                                        "{EXIF_SHUTTER}", "{EXIF_WIDTH}",
                                        "{EXIF_HEIGHT}",  "{EXIF_RESOLUTION}",
                                        "{EXIF_ARTIST}",  "{EXIF_COPYRIGHT}",
                                        "{EXIF_LENS}",    "{USERNAME}"}) {
            const QString text = QString::fromLatin1(placeholder);
            list.append({text, text});
        }
        return list;
    }();
    return blocks;
}

float TextEditor::leadingNumber(const QString &text)
{
    static const QRegularExpression number(
        QStringLiteral("^\\s*[+-]?(\\d+\\.?\\d*|\\.\\d+)([eE][+-]?\\d+)?"));
    const QRegularExpressionMatch match = number.match(text);
    return match.hasMatch() ? match.captured(0).trimmed().toFloat() : 0.0f;
}

void TextEditor::formLoaded(const Ui::Watermarks &form)
{
    m_text = form.text;
    m_font = form.font;
    m_size = form.size;
    m_blocks = form.blocks;
    m_color = form.color;
    m_alpha = form.alpha;
    m_rotation = form.rotation;
    m_sizeMode = form.sizeMode;
    m_style = form.fontStyle;
    m_outlineWidth = form.outlineWidth;
    m_outlineColor = form.outlineColor;
    m_shadow = form.shadow;
    m_shadowColor = form.shadowColor;
    setUpFontControls();
    setUpSizeControls();
    setUpLookControls();
    // Tab moves on to the next control: a watermark text has no use for tab characters.
    m_text->setTabChangesFocus(true);
    connect(m_text, &QPlainTextEdit::textChanged, this, &TextEditor::textEdited);
    for (const TextBlock &block : textBlocks())
        m_blocks->addItem(block.entry);
    m_blocks->setCurrentIndex(0);
    // What each placeholder means, until there is a photo to show its value.
    setPhoto(nullptr);
    connect(m_blocks, &QComboBox::activated, this, &TextEditor::insertBlock);
}

void TextEditor::setUpFontControls()
{
    m_fonts = QFontDatabase::families();
    std::sort(m_fonts.begin(), m_fonts.end(), [](const QString &a, const QString &b) {
        const int order = a.compare(b, Qt::CaseInsensitive);
        return order != 0 ? order < 0 : a < b;
    });
    m_font->addItems(m_fonts);
    connect(m_font, &QComboBox::activated, this, &TextEditor::changeFont);
    connect(m_style, &QComboBox::activated, this, &TextEditor::changeStyle);
}

void TextEditor::setUpSizeControls()
{
    EditorControls::fillSizeModes(m_sizeMode);
    connect(m_sizeMode, &QComboBox::activated, this, &TextEditor::changeSizeMode);
    m_size->setEditable(true);
    m_size->setInsertPolicy(QComboBox::NoInsert);
    for (const float size : sizes())
        m_size->addItem(sizeText(size));
    connect(m_size, &QComboBox::activated, this, &TextEditor::changeSize);
    // A typed size counts once the user presses Enter or leaves the field.
    connect(m_size->lineEdit(), &QLineEdit::editingFinished, this, [this] {
        if (m_size->lineEdit()->isModified())
            changeSize();
    });
}

void TextEditor::setUpLookControls()
{
    // The text has an opacity slider of its own; the drawing takes only the colour.
    m_color->setAlphaShown(false);
    connect(m_color, &ColorWell::colorChosen, this, &TextEditor::changeColor);
    EditorControls::setUpOpacitySlider(m_alpha);
    connect(m_alpha, &QSlider::valueChanged, this, &TextEditor::changeAlpha);
    EditorControls::fillRotations(m_rotation);
    connect(m_rotation, &QComboBox::activated, this, &TextEditor::changeRotation);
    // Typing counts at Enter or when leaving the field; the arrows count at once.
    m_outlineWidth->setKeyboardTracking(false);
    connect(m_outlineWidth, &QDoubleSpinBox::valueChanged, this, &TextEditor::changeOutlineWidth);
    connect(m_outlineColor, &ColorWell::colorChosen, this, &TextEditor::changeOutlineColor);
    connect(m_shadow, &QCheckBox::clicked, this, &TextEditor::changeShadow);
    connect(m_shadowColor, &ColorWell::colorChosen, this, &TextEditor::changeShadowColor);
}

void TextEditor::activate(const Overlay &overlay)
{
    m_loading = true;
    m_currentAlpha = overlay.alpha();
    m_currentName = overlay.fontName();
    m_currentSize = overlay.pointSize();
    m_currentColor = overlay.color();
    m_currentRotation = overlay.rotation();
    m_currentRelativeSize = overlay.relativeSize();
    m_currentStyle = overlay.fontStyle();
    m_currentOutlineWidth = overlay.outlineWidth();
    m_currentOutlineColor = overlay.outlineColor();
    m_currentShadow = overlay.shadow();
    m_currentShadowColor = overlay.shadowColor();

    if (m_font) {
        // A font that is no longer installed keeps its name in view, with no entry chosen.
        const int index =
            m_font->findText(m_currentName, Qt::MatchFixedString | Qt::MatchCaseSensitive);
        m_font->setCurrentIndex(index);
        m_font->setPlaceholderText(m_currentName);
    }
    showSize();
    fillStyles();
    if (m_outlineWidth) {
        const QSignalBlocker blocker(m_outlineWidth);
        m_outlineWidth->setValue(static_cast<double>(m_currentOutlineWidth));
    }
    if (m_outlineColor)
        m_outlineColor->setColor(m_currentOutlineColor);
    if (m_shadow)
        m_shadow->setChecked(m_currentShadow);
    if (m_shadowColor)
        m_shadowColor->setColor(m_currentShadowColor);
    setButtons();
    if (m_color)
        m_color->setColor(m_currentColor);
    if (m_alpha) {
        const QSignalBlocker blocker(m_alpha);
        m_alpha->setValue(EditorControls::opacityToSlider(m_currentAlpha));
    }
    if (m_text) {
        m_text->setPlainText(overlay.text());
        m_textPause.stop();
    }
    if (m_rotation) {
        const int index = EditorControls::rotationIndex(m_currentRotation);
        if (index >= 0)
            m_rotation->setCurrentIndex(index);
    }
    m_loading = false;
}

void TextEditor::showSize()
{
    const bool relative = m_currentRelativeSize > 0.0f;
    if (m_sizeMode)
        m_sizeMode->setCurrentIndex(relative ? EditorControls::RelativeSizeMode : 0);
    if (m_size) {
        // The list offers sizes of the unit shown, so that completing a typed number never
        // turns 4 % into 48.
        const QList<float> &offered = relative ? relativeSizes() : sizes();
        if (m_size->count() != offered.size() || m_size->itemText(0) != sizeText(offered.first())) {
            const QSignalBlocker blocker(m_size);
            m_size->clear();
            for (const float size : offered)
                m_size->addItem(sizeText(size));
        }
        const QString text = sizeText(relative ? m_currentRelativeSize : m_currentSize);
        const int index = m_size->findText(text, Qt::MatchFixedString | Qt::MatchCaseSensitive);
        m_size->setCurrentIndex(index);
        if (index < 0)
            m_size->setEditText(text);
        m_size->lineEdit()->setModified(false);
        m_size->setToolTip(relative ? QStringLiteral("Text size in percent of the photo's shorter "
                                                     "side; type any number or pick one")
                                    : QStringLiteral("Text size in pixels of the photo; type any "
                                                     "number or pick one"));
    }
}

void TextEditor::fillStyles()
{
    if (!m_style)
        return;
    // The first entry is the family's regular face, which the watermark stores as no style.
    m_style->clear();
    m_style->addItem(QStringLiteral("Regular"), QString());
    const QString family =
        m_font && m_font->currentIndex() >= 0 ? m_font->currentText() : m_currentName;
    for (const QString &style : QFontDatabase::styles(family)) {
        if (style != QLatin1String("Regular"))
            m_style->addItem(style, style);
    }
    int index = m_currentStyle.isEmpty() ? 0 : m_style->findData(m_currentStyle);
    if (index < 0) {
        // A style the family lacks (another computer's font) stays in the watermark and in view.
        m_style->addItem(m_currentStyle, m_currentStyle);
        index = m_style->count() - 1;
    }
    m_style->setCurrentIndex(index);
}

void TextEditor::setButtons()
{
    if (m_style)
        m_style->setEnabled(m_allowed && m_style->count() > 1);
    if (m_outlineColor)
        m_outlineColor->setEnabled(m_allowed && m_currentOutlineWidth > 0.0f);
    if (m_shadowColor)
        m_shadowColor->setEnabled(m_allowed && m_currentShadow);
}

void TextEditor::allowTextEditing(bool allow)
{
    m_allowed = allow;
    if (m_text) {
        m_text->setReadOnly(!allow);
        if (allow) {
            // Back to the palette the text area inherits.
            m_text->setPalette(QPalette());
        } else {
            QPalette palette = m_text->palette();
            palette.setColor(QPalette::Text, QColor(Qt::lightGray));
            m_text->setPalette(palette);
        }
    }
    for (QWidget *control :
         std::initializer_list<QWidget *>{m_font, m_size, m_blocks, m_color, m_alpha, m_rotation,
                                          m_sizeMode, m_outlineWidth, m_shadow}) {
        if (control)
            control->setEnabled(allow);
    }
    setButtons();
}

QString TextEditor::text() const
{
    return m_text ? m_text->toPlainText() : QString();
}

void TextEditor::flushPendingText()
{
    if (m_textPause.isActive()) {
        m_textPause.stop();
        refresh();
    }
}

void TextEditor::changeFont(int index)
{
    if (index < 0)
        return;
    m_currentName = m_font->itemText(index);
    // Another family may not have the style: its regular face then.
    if (!m_currentStyle.isEmpty() && !QFontDatabase::styles(m_currentName).contains(m_currentStyle))
        m_currentStyle.clear();
    fillStyles();
    setButtons();
    refresh();
}

void TextEditor::changeSize()
{
    const float size = leadingNumber(m_size->currentText());
    m_size->lineEdit()->setModified(false);
    if (m_currentRelativeSize > 0.0f && size > 0.0f) {
        m_currentRelativeSize = size;
    } else if (m_currentRelativeSize > 0.0f) {
        // No size at all, in either unit: the watermark draws nothing until one is given.
        m_currentRelativeSize = 0.0f;
        m_currentSize = size;
        showSize();
    } else {
        m_currentSize = size;
    }
    refresh();
}

void TextEditor::changeSizeMode(int index)
{
    const bool relative = index == EditorControls::RelativeSizeMode;
    if (relative == (m_currentRelativeSize > 0.0f))
        return;
    m_currentRelativeSize = relative ? Overlay::NewRelativeSize : 0.0f;
    showSize();
    refresh();
}

void TextEditor::changeStyle(int index)
{
    if (index < 0)
        return;
    m_currentStyle = m_style->itemData(index).toString();
    refresh();
}

void TextEditor::changeOutlineWidth(double width)
{
    m_currentOutlineWidth = static_cast<float>(width);
    setButtons();
    refresh();
}

void TextEditor::changeOutlineColor(const QColor &color)
{
    m_currentOutlineColor = color;
    refresh();
}

void TextEditor::changeShadow(bool on)
{
    m_currentShadow = on;
    setButtons();
    refresh();
}

void TextEditor::changeShadowColor(const QColor &color)
{
    m_currentShadowColor = color;
    refresh();
}

void TextEditor::changeColor(const QColor &color)
{
    m_currentColor = color;
    refresh();
}

void TextEditor::changeAlpha(int value)
{
    m_currentAlpha = EditorControls::sliderToOpacity(value);
    refresh();
}

void TextEditor::changeRotation(int index)
{
    if (index < 0)
        return;
    m_currentRotation = EditorControls::rotationAt(index);
    refresh();
}

void TextEditor::setPhoto(const std::shared_ptr<WorkFile> &photo)
{
    if (!m_blocks)
        return;
    const PlaceholderExpander expander;
    for (int index = 0; index < textBlocks().size() && index < m_blocks->count(); ++index) {
        const TextBlock &block = textBlocks().at(index);
        const QString meaning = PlaceholderExpander::meaning(block.inserts);
        if (meaning.isEmpty())
            continue;
        // What the placeholder means, and what it gives on the photo the preview shows.
        QString entry = block.entry + QStringLiteral(" – ") + meaning;
        if (photo) {
            constexpr int MostShown = 40;
            QString value = expander.expandText(block.inserts, *photo).simplified();
            if (value.size() > MostShown)
                value = value.left(MostShown - 1) + QStringLiteral("\u2026");
            entry += value.isEmpty() ? QStringLiteral(" (none in this photo)")
                                     : QStringLiteral(": ") + value;
        }
        m_blocks->setItemText(index, entry);
    }
}

void TextEditor::insertBlock(int index)
{
    if (index < 1 || index >= textBlocks().size() || !m_text || m_text->isReadOnly())
        return;
    m_text->insertPlainText(textBlocks().at(index).inserts);
    m_text->setFocus();
    refresh();
}

void TextEditor::textEdited()
{
    if (m_loading)
        return;
    if (!m_textPause.isActive())
        m_textPause.start();
}

void TextEditor::refresh()
{
    Q_EMIT edited();
}

} // namespace inkveil
