#include "watermarks/ui/ImageEditor.h"

#include "app/Resources.h"
#include "render/ImageToolkit.h"
#include "watermarks/Overlay.h"
#include "watermarks/ui/EditorControls.h"
#include "watermarks/ui/SingleDropView.h"
#include "watermarks/ui/WatermarksPane.h"

#include <QComboBox>
#include <QLabel>
#include <QPixmap>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSlider>

ImageEditor::ImageEditor(WatermarksPane *controller)
    : QObject(controller)
    , m_controller(controller)
{}

void ImageEditor::formLoaded()
{
    m_preview = m_controller->outlet<QLabel>(QStringLiteral("imgPreview"));
    m_alpha = m_controller->outlet<QSlider>(QStringLiteral("imgAlpha"));
    m_rotation = m_controller->outlet<QComboBox>(QStringLiteral("imgRotation"));
    m_delete = m_controller->outlet<QPushButton>(QStringLiteral("imgDelete"));
    m_dropView = m_controller->outlet<SingleDropView>(QStringLiteral("imgDrop"));
    if (m_alpha) {
        EditorControls::setUpOpacitySlider(m_alpha);
        m_alpha->setValue(EditorControls::opacityToSlider(m_currentAlpha));
        connect(m_alpha, &QSlider::valueChanged, this, &ImageEditor::changeAlpha);
    }
    if (m_rotation) {
        EditorControls::fillRotations(m_rotation);
        connect(m_rotation, &QComboBox::activated, this, &ImageEditor::changeRotation);
    }
    if (m_delete)
        connect(m_delete, &QPushButton::clicked, this, &ImageEditor::deleteImage);
    if (m_dropView)
        connect(m_dropView, &SingleDropView::fileChosen, this, &ImageEditor::setCurrentFilePath);
    setButtons();
}

void ImageEditor::activate(const Overlay &overlay)
{
    m_currentAlpha = overlay.imgAlpha();
    m_currentRotation = overlay.imgRotation();
    // The size is the watermark's own until its image is read; a text watermark keeps the size
    // of the image it last had rather than taking the previous watermark's.
    m_currentWidth = overlay.width();
    m_currentHeight = overlay.height();
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
    m_controller->refresh(this);
    setButtons();
}

void ImageEditor::setPreviewImage()
{
    if (m_currentFilePath.isEmpty()) {
        if (m_preview)
            m_preview->clear();
        return;
    }
    const DecodedImage decoded = ImageToolkit::decodePicture(m_currentFilePath);
    if (!decoded.isNull()) {
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
}

void ImageEditor::deleteImage()
{
    setCurrentFilePath(QLatin1String(""));
    setPreviewImage();
    m_controller->refresh(this);
    setButtons();
}

void ImageEditor::changeAlpha(int value)
{
    m_currentAlpha = EditorControls::sliderToOpacity(value);
    m_controller->refresh(this);
}

void ImageEditor::changeRotation(int index)
{
    if (index < 0)
        return;
    m_currentRotation = EditorControls::rotationAt(index);
    m_controller->refresh(this);
}
