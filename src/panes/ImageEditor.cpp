// SPDX-FileCopyrightText: 2026 Tessaly
// SPDX-License-Identifier: GPL-3.0-or-later

#include "panes/ImageEditor.h"

#include "base/Resources.h"
#include "imageio/ImageToolkit.h"
#include "panes/EditorControls.h"
#include "watermarks/Overlay.h"
#include "widgets/SingleDropView.h"

#include "ui_WatermarksPane.h"

#include <QComboBox>
#include <QDoubleSpinBox>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPixmap>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSlider>

namespace inkveil {

ImageEditor::ImageEditor(QObject *parent)
    : QObject(parent)
{}

void ImageEditor::formLoaded(const Ui::Watermarks &form)
{
    m_preview = form.imgPreview;
    m_alpha = form.imgAlpha;
    m_rotation = form.imgRotation;
    m_delete = form.imgDelete;
    m_dropView = form.imgDrop;
    m_sizeMode = form.imgSizeMode;
    m_relativeSize = form.imgRelativeSize;
    EditorControls::fillSizeModes(m_sizeMode);
    m_sizeMode->setItemText(0, QStringLiteral("own size"));
    connect(m_sizeMode, &QComboBox::activated, this, &ImageEditor::changeSizeMode);
    m_relativeSize->setKeyboardTracking(false);
    connect(m_relativeSize, &QDoubleSpinBox::valueChanged, this, &ImageEditor::changeRelativeSize);
    EditorControls::setUpOpacitySlider(m_alpha);
    m_alpha->setValue(EditorControls::opacityToSlider(m_currentAlpha));
    connect(m_alpha, &QSlider::valueChanged, this, &ImageEditor::changeAlpha);
    EditorControls::fillRotations(m_rotation);
    connect(m_rotation, &QComboBox::activated, this, &ImageEditor::changeRotation);
    connect(m_delete, &QPushButton::clicked, this, &ImageEditor::deleteImage);
    connect(m_dropView, &SingleDropView::fileChosen, this, &ImageEditor::setCurrentFilePath);
    m_altPath = form.imgAltPath;
    m_altChoose = form.imgAltChoose;
    connect(m_altPath, &QLineEdit::editingFinished, this,
            [this] { setCurrentAltImagePath(m_altPath->text().trimmed()); });
    connect(m_altChoose, &QPushButton::clicked, this, &ImageEditor::chooseAltImage);
    setButtons();
}

void ImageEditor::activate(const Overlay &overlay)
{
    m_currentAlpha = overlay.imgAlpha();
    m_currentRotation = overlay.imgRotation();
    m_currentRelativeSize = overlay.relativeSize();
    // The size is the watermark's own until its image is read; a text watermark keeps the size
    // of the image it last had rather than taking the previous watermark's.
    m_currentWidth = overlay.width();
    m_currentHeight = overlay.height();
    m_currentAltImagePath = overlay.altImagePath();
    if (m_altPath)
        m_altPath->setText(m_currentAltImagePath);
    setCurrentFilePath(overlay.filePath());
    if (m_alpha) {
        const QSignalBlocker blocker(m_alpha);
        m_alpha->setValue(EditorControls::opacityToSlider(m_currentAlpha));
    }
    if (m_rotation) {
        const int index = EditorControls::rotationIndex(m_currentRotation);
        if (index >= 0)
            m_rotation->setCurrentIndex(index);
    }
    if (m_sizeMode)
        m_sizeMode->setCurrentIndex(m_currentRelativeSize > 0.0f ? EditorControls::RelativeSizeMode
                                                                 : 0);
    if (m_relativeSize) {
        const QSignalBlocker blocker(m_relativeSize);
        m_relativeSize->setValue(static_cast<double>(
            m_currentRelativeSize > 0.0f ? m_currentRelativeSize : Overlay::NewRelativeSize));
    }
    // The same path as before is read again too: its file may have gone since.
    setPreviewImage();
    setButtons();
}

void ImageEditor::setCurrentFilePath(const QString &path)
{
    if (path == m_currentFilePath)
        return;
    // A null path counts as empty and is stored as the empty string the archive expects.
    m_currentFilePath = path.isNull() ? QString(QLatin1String("")) : path;
    setPreviewImage();
    Q_EMIT edited();
    setButtons();
}

void ImageEditor::setPreviewImage()
{
    if (m_currentFilePath.isEmpty()) {
        if (m_preview)
            m_preview->clear();
        return;
    }
    if (const Result<DecodedImage> picture = ImageToolkit::decodePicture(m_currentFilePath)) {
        const DecodedImage &decoded = *picture;
        const FloatSize size = decoded.sizeInPoints();
        m_currentWidth = static_cast<qint16>(static_cast<int>(size.width));
        m_currentHeight = static_cast<qint16>(static_cast<int>(size.height));
        if (m_preview) {
            // Fit the thumbnail into its place without enlarging a small image.
            QSize room = m_preview->contentsRect().size();
            if (room.isEmpty())
                room = m_preview->minimumSize();
            QImage thumbnail = decoded.image();
            if (thumbnail.width() > room.width() || thumbnail.height() > room.height())
                thumbnail = thumbnail.scaled(room, Qt::KeepAspectRatio, Qt::SmoothTransformation);
            m_preview->setPixmap(QPixmap::fromImage(thumbnail));
        }
        return;
    }
    // The missing-image picture stands in for an unreadable file. When even that cannot be
    // read, the path stays as it is rather than falling back again and again.
    const QString placeholder = Resources::imagePath(QStringLiteral("bomb"));
    if (placeholder.isEmpty() || placeholder == m_currentFilePath) {
        if (m_preview)
            m_preview->clear();
        return;
    }
    setCurrentFilePath(placeholder);
}

void ImageEditor::setButtons()
{
    const bool hasImage = !m_currentFilePath.isEmpty();
    if (m_alpha)
        m_alpha->setEnabled(hasImage);
    if (m_rotation)
        m_rotation->setEnabled(hasImage);
    if (m_delete)
        m_delete->setEnabled(hasImage);
    if (m_sizeMode)
        m_sizeMode->setEnabled(hasImage);
    if (m_relativeSize)
        m_relativeSize->setEnabled(hasImage && m_currentRelativeSize > 0.0f);
    if (m_altPath)
        m_altPath->setEnabled(hasImage);
    if (m_altChoose)
        m_altChoose->setEnabled(hasImage);
}

void ImageEditor::setCurrentAltImagePath(const QString &path)
{
    // Cleared, the key is left out of the state file altogether.
    const QString kept = path.isEmpty() ? QString() : path;
    if (kept == m_currentAltImagePath)
        return;
    m_currentAltImagePath = kept;
    if (m_altPath && m_altPath->text() != kept)
        m_altPath->setText(kept);
    Q_EMIT edited();
}

void ImageEditor::chooseAltImage()
{
    auto *dialog = new QFileDialog(m_altChoose ? m_altChoose->window() : nullptr,
                                   QStringLiteral("Second variant of the watermark image"));
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setFileMode(QFileDialog::ExistingFile);
    dialog->setWindowModality(Qt::WindowModal);
    connect(dialog, &QFileDialog::fileSelected, this, &ImageEditor::setCurrentAltImagePath);
    dialog->open();
}

void ImageEditor::deleteImage()
{
    setCurrentFilePath(QLatin1String(""));
    setPreviewImage();
    Q_EMIT edited();
    setButtons();
}

void ImageEditor::changeSizeMode(int index)
{
    const bool relative = index == EditorControls::RelativeSizeMode;
    if (relative == (m_currentRelativeSize > 0.0f))
        return;
    m_currentRelativeSize =
        relative && m_relativeSize ? static_cast<float>(m_relativeSize->value()) : 0.0f;
    setButtons();
    Q_EMIT edited();
}

void ImageEditor::changeRelativeSize(double size)
{
    if (!(m_currentRelativeSize > 0.0f) || !(size > 0.0))
        return;
    m_currentRelativeSize = static_cast<float>(size);
    Q_EMIT edited();
}

void ImageEditor::changeAlpha(int value)
{
    m_currentAlpha = EditorControls::sliderToOpacity(value);
    Q_EMIT edited();
}

void ImageEditor::changeRotation(int index)
{
    if (index < 0)
        return;
    m_currentRotation = EditorControls::rotationAt(index);
    Q_EMIT edited();
}

} // namespace inkveil
