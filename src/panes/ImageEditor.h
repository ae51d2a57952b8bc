// SPDX-FileCopyrightText: 2026 Tessaly
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QObject>
#include <QPointer>
#include <QString>

class QComboBox;
class QDoubleSpinBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSlider;

namespace Ui {
class Watermarks;
}

namespace inkveil {

class Overlay;
class SingleDropView;

// The image tab: which image file the watermark shows (chosen in the drop area, removed with
// Delete), its opacity and rotation, and a thumbnail. The image's size follows its path. An
// image that cannot be read is replaced by the missing-image picture, which the watermark then
// keeps. A second picture, for automatic contrast to choose on each photo, is named beside it.
class ImageEditor : public QObject
{
    Q_OBJECT

public:
    explicit ImageEditor(QObject *parent = nullptr);

    // Takes this editor's controls from the watermark pane's form and sets them up.
    void formLoaded(const Ui::Watermarks &form);
    void activate(const Overlay &overlay);

    QString currentFilePath() const { return m_currentFilePath; }
    // The one way the path changes: drop, file dialog, Delete, missing-image fallback. A new
    // path reloads the thumbnail and size and is written back into the watermark.
    void setCurrentFilePath(const QString &path);
    qint16 currentWidth() const { return m_currentWidth; }
    void setCurrentWidth(qint16 width) { m_currentWidth = width; }
    qint16 currentHeight() const { return m_currentHeight; }
    void setCurrentHeight(qint16 height) { m_currentHeight = height; }
    float currentAlpha() const { return m_currentAlpha; }
    void setCurrentAlpha(float alpha) { m_currentAlpha = alpha; }
    float currentRotation() const { return m_currentRotation; }
    void setCurrentRotation(float rotation) { m_currentRotation = rotation; }
    // The picture's height in percent of the photo's shorter side; 0 for its own size.
    float currentRelativeSize() const { return m_currentRelativeSize; }
    void setCurrentRelativeSize(float size) { m_currentRelativeSize = size; }
    // The second picture automatic contrast may choose instead; null for none.
    QString currentAltImagePath() const { return m_currentAltImagePath; }
    void setCurrentAltImagePath(const QString &path);

    // Reloads the thumbnail, width and height from the current path.
    void setPreviewImage();
    // The opacity, rotation and Delete controls work only while there is an image.
    void setButtons();

public Q_SLOTS:
    void deleteImage();
    void changeAlpha(int value);
    void changeRotation(int index);
    void changeSizeMode(int index);
    void changeRelativeSize(double size);
    void chooseAltImage();

Q_SIGNALS:
    // The user changed a value: the pane writes every editor's values into the watermark.
    void edited();

private:
    QPointer<QLabel> m_preview;
    QPointer<QSlider> m_alpha;
    QPointer<QComboBox> m_rotation;
    QPointer<QPushButton> m_delete;
    QPointer<SingleDropView> m_dropView;
    QPointer<QComboBox> m_sizeMode;
    QPointer<QDoubleSpinBox> m_relativeSize;
    QPointer<QLineEdit> m_altPath;
    QPointer<QPushButton> m_altChoose;
    QString m_currentFilePath{QLatin1String("")};
    qint16 m_currentWidth = 0;
    qint16 m_currentHeight = 0;
    float m_currentAlpha = 1.0f;
    float m_currentRotation = 0.0f;
    float m_currentRelativeSize = 0.0f;
    QString m_currentAltImagePath;
};

} // namespace inkveil
