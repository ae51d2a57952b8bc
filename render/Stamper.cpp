#include "render/Stamper.h"

#include "render/IccProfile.h"
#include "render/ImageToolkit.h"
#include "render/StamperGeometry.h"

#include <QColorSpace>
#include <QColorTransform>
#include <QFileInfo>
#include <QFontDatabase>
#include <QFontMetricsF>
#include <QPainter>

#include <cmath>

namespace {

// Images painted on with text get exactly 72 dpi, so a font's point size is its size in pixels
// whatever the photo's own resolution.
constexpr int DotsPerMetreAt72Dpi = 2835;

QImage transparentImage(FloatSize size)
{
    QImage image(std::max(1, static_cast<int>(std::ceil(size.width))),
                 std::max(1, static_cast<int>(std::ceil(size.height))),
                 QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    image.setDotsPerMeterX(DotsPerMetreAt72Dpi);
    image.setDotsPerMeterY(DotsPerMetreAt72Dpi);
    return image;
}

// A device of 72 dpi to measure text on.
const QImage &measuringDevice()
{
    thread_local const QImage device = transparentImage({1, 1});
    return device;
}

QString installedFamily(const QString &name)
{
    if (!name.isEmpty() && QFontDatabase::hasFamily(name))
        return name;
    return QFontDatabase::systemFont(QFontDatabase::GeneralFont).family();
}

} // namespace

Stamper::Stamper()
    : m_baseImage(std::make_shared<WorkFile>())
{}

Stamper::Stamper(PlaceholderExpander expander)
    : m_baseImage(std::make_shared<WorkFile>())
    , m_expander(std::move(expander))
{}

QImage Stamper::watermark(const std::shared_ptr<WorkFile> &file, const OverlayList &overlays)
{
    m_baseImage = file;
    DecodedImage source = ImageToolkit::decode(file->filePath());
    if (source.isNull())
        return {};
    return watermark(file, std::move(source), overlays);
}

QImage Stamper::watermark(const std::shared_ptr<WorkFile> &file, DecodedImage source,
                          const OverlayList &overlays)
{
    m_baseImage = file;
    if (source.isNull())
        return {};
    const FloatSize points = source.sizeInPoints();
    file->setOriginalSize(QSizeF(points.width, points.height));
    const FloatSize canvasSize{static_cast<float>(source.pixelSize().width()),
                               static_cast<float>(source.pixelSize().height())};
    QImage canvas = source.takeImage();
    // QPainter refuses palette images and would paint grey into a greyscale one: give such
    // photos colour pixels before the watermarks go on.
    if (canvas.pixelFormat().colorModel() != QPixelFormat::RGB)
        canvas.convertTo(canvas.hasAlphaChannel() ? QImage::Format_ARGB32_Premultiplied
                         : canvas.depth() >= 16   ? QImage::Format_RGBX64 // keeps 16-bit grey
                                                  : QImage::Format_RGB32);
    for (const auto &overlay : overlays) {
        if (overlay->use())
            drawOverlay(canvas, canvasSize, *overlay);
    }
    return canvas;
}

void Stamper::drawOverlay(QImage &canvas, const FloatSize canvasSize, const Overlay &overlay)
{
    setAttribsFromOverlay(overlay);
    const FloatSize content = findContentSize(overlay);
    if (!(content.width > 0.0f) || !(content.height > 0.0f))
        return;
    QImage contentImage = makeContentImage(overlay, content);
    // Watermark colours are sRGB values: on a photo in another colour space they are converted
    // into it, so that red looks the same red on every photo. The photo's pixels stay as read.
    QColor bandColor = overlay.bgColor();
    const QColorSpace space = canvas.colorSpace();
    if (space.isValid() && space != QColorSpace::SRgb &&
        iccFitsChannels(space.iccProfile(), false)) {
        contentImage.setColorSpace(QColorSpace::SRgb);
        contentImage.convertToColorSpace(space);
        if (bandColor.isValid())
            bandColor =
                QColorSpace(QColorSpace::SRgb).transformationToColorSpace(space).map(bandColor);
    }
    const float angle = findRotationToUse(overlay);
    const FloatSize turned = StamperGeometry::sizeFromRotation(content, angle);
    const FloatPoint drawPoint =
        StamperGeometry::findDrawPoint(FloatRect{{0, 0}, canvasSize}, overlay.position(), turned);

    QPainter painter(&canvas);
    const bool reduced = canvas.width() != static_cast<int>(canvasSize.width) ||
                         canvas.height() != static_cast<int>(canvasSize.height);
    if (reduced)
        painter.scale(canvas.width() / static_cast<double>(canvasSize.width),
                      canvas.height() / static_cast<double>(canvasSize.height));
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    if (overlay.show() && overlay.extend()) {
        const qint16 length = StamperGeometry::bandLength(canvasSize);
        const FloatPoint offset = StamperGeometry::findOffset(angle, turned);
        const FloatPoint start{drawPoint.x + offset.x, drawPoint.y + offset.y};
        const FloatPoint end1 = StamperGeometry::findEndpoint(start, angle, 0.0f, length);
        const FloatPoint end2 = StamperGeometry::findEndpoint(start, angle, 180.0f, length);
        ImageToolkit::strokeSegments(painter, canvasSize, start, {end1, end2},
                                     content.height + 2.0f, bandColor);
    }
    if (reduced) {
        // The content shrunk and turned in one go: a full-size turned copy would be most of the
        // work of a photo written small.
        ImageToolkit::drawTurnedImage(painter, canvasSize, drawPoint, turned, contentImage, content,
                                      angle);
    } else {
        ImageToolkit::drawImage(painter, canvasSize, drawPoint,
                                makeRotatedImage(contentImage, content, turned, angle), turned,
                                1.0f);
    }
}

void Stamper::setAttribsFromOverlay(const Overlay &overlay)
{
    QFont font(installedFamily(overlay.fontName()));
    font.setPointSizeF(overlay.pointSize() > 0.0f ? static_cast<double>(overlay.pointSize()) : 1.0);
    m_currentFont = font;
    // The text colour's own alpha is not used: the watermark's opacity stands in its place.
    const QColor color = overlay.color().isValid() ? overlay.color() : QColor(Qt::black);
    m_currentColor = QColor::fromRgbF(color.redF(), color.greenF(), color.blueF(),
                                      std::clamp(overlay.alpha(), 0.0f, 1.0f));
}

FloatSize Stamper::findContentSize(const Overlay &overlay)
{
    if (overlay.isImage())
        return {static_cast<float>(overlay.width()), static_cast<float>(overlay.height())};
    const QString text = expandText(overlay.text());
    if (text.isEmpty())
        return {0, 0};
    const QSizeF size = QFontMetricsF(m_currentFont, &measuringDevice()).size(0, text);
    return {static_cast<float>(size.width()), static_cast<float>(size.height())};
}

QImage Stamper::makeContentImage(const Overlay &overlay, FloatSize size)
{
    // The box occupies the image's top-left cw x ch; the image is that size rounded up.
    QImage image = transparentImage(size);
    const QRectF box(0, 0, static_cast<double>(size.width), static_cast<double>(size.height));
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    if (overlay.show() && overlay.bgColor().isValid()) {
        painter.setCompositionMode(QPainter::CompositionMode_Source);
        painter.fillRect(box, overlay.bgColor());
        painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
    }
    if (overlay.isImage()) {
        const DecodedImage &pic = picture(overlay.filePath());
        if (!pic.isNull()) {
            // Drawn at its own size from the box's lower-left corner: a larger picture is cut
            // at the right and top, a smaller one leaves the rest of the box as it is.
            const FloatSize drawSize = pic.sizeInPoints();
            painter.setOpacity(static_cast<double>(std::clamp(overlay.imgAlpha(), 0.0f, 1.0f)));
            painter.setClipRect(box);
            painter.drawImage(QRectF(0, box.height() - static_cast<double>(drawSize.height),
                                     static_cast<double>(drawSize.width),
                                     static_cast<double>(drawSize.height)),
                              pic.image());
        }
    } else {
        painter.setFont(m_currentFont);
        painter.setPen(m_currentColor);
        painter.drawText(box, Qt::AlignLeft | Qt::AlignTop, expandText(overlay.text()));
    }
    return image;
}

float Stamper::findRotationToUse(const Overlay &overlay)
{
    return overlay.isImage() ? overlay.imgRotation() : overlay.rotation();
}

QImage Stamper::makeRotatedImage(const QImage &content, FloatSize contentSize, FloatSize turnedSize,
                                 float angle)
{
    QImage image = transparentImage(turnedSize);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    // Turned clockwise about the centre; on a y-down image a positive angle turns clockwise.
    painter.translate(static_cast<double>(turnedSize.width) / 2.0,
                      static_cast<double>(turnedSize.height) / 2.0);
    painter.rotate(static_cast<double>(angle));
    const double cw = static_cast<double>(contentSize.width);
    const double ch = static_cast<double>(contentSize.height);
    painter.drawImage(QRectF(-cw / 2.0, -ch / 2.0, cw, ch), content, QRectF(0, 0, cw, ch));
    return image;
}

QString Stamper::expandText(const QString &text)
{
    return m_expander.expandText(text, *m_baseImage);
}

const DecodedImage &Stamper::picture(const QString &path)
{
    auto cached = m_pictures.find(path);
    if (cached == m_pictures.end())
        cached = m_pictures.insert(path, ImageToolkit::decode(path));
    return *cached;
}
