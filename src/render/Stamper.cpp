// SPDX-FileCopyrightText: 2026 Tessaly
// SPDX-License-Identifier: GPL-3.0-or-later

#include "render/Stamper.h"

#include "base/Logging.h"
#include "imageio/IccProfile.h"
#include "imageio/ImageToolkit.h"
#include "render/StamperGeometry.h"

#include <QColorSpace>
#include <QColorTransform>
#include <QFileInfo>
#include <QFontDatabase>
#include <QFontMetricsF>
#include <QPainter>
#include <QPainterPath>

#include <algorithm>
#include <cmath>
#include <optional>

namespace inkveil {

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

// A shadow's offset (down and to the right of the text) and blur radius, in text pixel sizes.
constexpr float ShadowOffset = 0.06f;
constexpr float ShadowBlur = 0.05f;

// Averages each pixel with its neighbours along rows and columns, twice: close to a Gaussian
// of a pixel or two, on premultiplied pixels so that colours do not bleed from transparent ones.
void blurPixels(QImage &image)
{
    const int w = image.width();
    const int h = image.height();
    QList<QRgb> line(std::max(w, h));
    const auto pass = [&](int count, int length, auto pixelAt) {
        for (int i = 0; i < count; ++i) {
            for (int j = 0; j < length; ++j)
                line[j] = *pixelAt(i, j);
            for (int j = 0; j < length; ++j) {
                const QRgb a = line[std::max(j - 1, 0)];
                const QRgb b = line[j];
                const QRgb c = line[std::min(j + 1, length - 1)];
                const auto mix = [&](int shift) {
                    return ((((a >> shift) & 0xff) + 2 * ((b >> shift) & 0xff) +
                             ((c >> shift) & 0xff) + 2) /
                            4)
                           << shift;
                };
                *pixelAt(i, j) = mix(24) | mix(16) | mix(8) | mix(0);
            }
        }
    };
    for (int round = 0; round < 2; ++round) {
        pass(h, w, [&](int y, int x) { return reinterpret_cast<QRgb *>(image.scanLine(y)) + x; });
        pass(w, h, [&](int x, int y) { return reinterpret_cast<QRgb *>(image.scanLine(y)) + x; });
    }
}

// The ink's shape in the shadow colour, softened by blur pixels. Blurred at a scale where the
// blur is a couple of pixels, so that it costs the same for a small text and a huge one.
QImage softShadow(const QImage &ink, double blur, const QColor &colour)
{
    const double scale = std::clamp(2.0 / std::max(blur, 1e-3), 0.02, 1.0);
    QImage small = ink.scaled(std::max(1, qRound(ink.width() * scale)),
                              std::max(1, qRound(ink.height() * scale)), Qt::IgnoreAspectRatio,
                              Qt::SmoothTransformation)
                       .convertToFormat(QImage::Format_ARGB32_Premultiplied);
    {
        QPainter painter(&small);
        painter.setCompositionMode(QPainter::CompositionMode_SourceIn);
        painter.fillRect(small.rect(), colour);
    }
    blurPixels(small);
    return small.scaled(ink.size(), Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
}

// The parts of an image that are not fully transparent: for each band of rows, the columns
// from its first to its last pixel with some alpha. Empty bands are left out.
QList<QRect> inkedParts(const QImage &image)
{
    constexpr int BandRows = 32;
    const QImage pixels = image.format() == QImage::Format_ARGB32_Premultiplied
                              ? image
                              : image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    QList<QRect> parts;
    for (int top = 0; top < pixels.height(); top += BandRows) {
        const int bottom = std::min(top + BandRows, pixels.height());
        int first = pixels.width();
        int last = -1;
        for (int y = top; y < bottom; ++y) {
            const auto *line = reinterpret_cast<const QRgb *>(pixels.constScanLine(y));
            int x = 0;
            while (x < first && qAlpha(line[x]) == 0)
                ++x;
            first = std::min(first, x);
            int end = pixels.width() - 1;
            while (end > last && qAlpha(line[end]) == 0)
                --end;
            last = std::max(last, end);
        }
        if (last >= first)
            parts.append(QRect(first, top, last - first + 1, bottom - top));
    }
    return parts;
}

// Qt 6.4 premultiplies straight 16-bit RGBA pixels wrongly (channels mixed up, alpha squared),
// both when converting them and when painting on them, which garbles the area under a
// watermark; the way back is right. Premultiplied here, in place.
void premultiplyDeep(QImage &image)
{
    for (int y = 0; y < image.height(); ++y) {
        auto *const line = reinterpret_cast<QRgba64 *>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x)
            line[x] = line[x].premultiplied();
    }
    image.reinterpretAsFormat(QImage::Format_RGBA64_Premultiplied);
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

Result<Stamper::Stamped> Stamper::watermark(const std::shared_ptr<WorkFile> &file,
                                            const OverlayList &overlays)
{
    m_baseImage = file;
    Result<DecodedImage> source = ImageToolkit::decode(file->filePath());
    if (!source)
        return source.error();
    return watermark(file, std::move(source).value(), overlays);
}

Stamper::Stamped Stamper::watermark(const std::shared_ptr<WorkFile> &file, DecodedImage source,
                                    const OverlayList &overlays)
{
    m_baseImage = file;
    if (source.isNull())
        return {};
    const FloatSize points = source.sizeInPoints();
    Stamped stamped;
    stamped.originalSize = QSizeF(points.width, points.height);
    const FloatSize canvasSize{static_cast<float>(source.pixelSize().width()),
                               static_cast<float>(source.pixelSize().height())};
    QImage canvas = source.takeImage();
    // QPainter refuses palette images and would paint grey into a greyscale one: give such
    // photos colour pixels before the watermarks go on.
    if (canvas.pixelFormat().colorModel() != QPixelFormat::RGB)
        canvas.convertTo(canvas.hasAlphaChannel() ? QImage::Format_ARGB32_Premultiplied
                         : canvas.depth() >= 16   ? QImage::Format_RGBX64 // keeps 16-bit grey
                                                  : QImage::Format_RGB32);
    // Straight 16-bit RGBA pixels are drawn on premultiplied and handed back as they came, so
    // that encoders still see the photo's own format.
    const bool straightDeep = canvas.format() == QImage::Format_RGBA64;
    const bool drawing = std::any_of(overlays.cbegin(), overlays.cend(),
                                     [](const auto &overlay) { return overlay->use(); });
    if (straightDeep && drawing)
        premultiplyDeep(canvas);
    drawOverlays(canvas, canvasSize, overlays, stamped);
    if (straightDeep && drawing)
        canvas.convertTo(QImage::Format_RGBA64);
    stamped.image = std::move(canvas);
    return stamped;
}

void Stamper::drawOverlays(QImage &canvas, const FloatSize canvasSize, const OverlayList &overlays,
                           Stamped &stamped)
{
    // The photo is read before the first watermark goes on, so that none is judged on another.
    std::optional<AutoAdjuster> adjuster;
    if (std::any_of(overlays.cbegin(), overlays.cend(),
                    [](const auto &overlay) { return AutoAdjuster::wantsPhoto(*overlay); }))
        adjuster.emplace(canvas, canvasSize);
    stamped.placements.reserve(overlays.size());
    for (qsizetype i = 0; i < overlays.size(); ++i) {
        const Overlay &overlay = *overlays.at(i);
        Drawn drawn;
        if (overlay.use() && adjuster && AutoAdjuster::wantsPhoto(overlay)) {
            AutoChoice choice{static_cast<int>(i), overlay.position(),
                              overlay.isImage() ? QColor() : overlay.color()};
            setAttribsFromOverlay(overlay, canvasSize);
            FloatSize content = findContentSize(overlay);
            fitToMaxWidth(overlay, content);
            const Overlay adjusted =
                adjuster->adjust(overlay, content, choice, pictureVariants(overlay));
            drawn = drawOverlay(canvas, canvasSize,
                                choice.variant == 1 ? withSecondPicture(adjusted) : adjusted);
            stamped.choices.append(choice);
        } else if (overlay.use()) {
            drawn = drawOverlay(canvas, canvasSize, overlay);
            if (adjuster)
                stamped.choices.append({static_cast<int>(i), overlay.position(),
                                        overlay.isImage() ? QColor() : overlay.color()});
        }
        stamped.watermarksShown += drawn.shown ? 1 : 0;
        stamped.watermarksShrunk += drawn.shrunk ? 1 : 0;
        stamped.placements.append(drawn.placed);
    }
}

Stamper::Drawn Stamper::drawOverlay(QImage &canvas, const FloatSize canvasSize,
                                    const Overlay &overlay)
{
    setAttribsFromOverlay(overlay, canvasSize);
    // Judged on what the watermark holds, not on its size: one too small for a tiny photo
    // still counts as drawn; a text of no size does not.
    Drawn drawn;
    drawn.shown = showsInk(overlay) && (overlay.isImage() || m_currentPixelSize > 0.0f);
    FloatSize content = findContentSize(overlay);
    if (!(content.width > 0.0f) || !(content.height > 0.0f))
        return drawn;
    // A huge font size would ask for a content image of gigabytes; such a watermark is left out.
    if (static_cast<double>(content.width) * static_cast<double>(content.height) >
        static_cast<double>(ImageToolkit::MaxPicturePixels))
        return {};
    drawn.shrunk = fitToMaxWidth(overlay, content);
    QImage contentImage = makeContentImage(overlay, content);
    QColor bandColor = overlay.bgColor();
    inCanvasColours(canvas.colorSpace(), contentImage, bandColor);
    const float angle = findRotationToUse(overlay);
    const FloatSize turned = StamperGeometry::sizeFromRotation(content, angle);
    const float margin = StamperGeometry::percentOfShorterSide(canvasSize, overlay.margin());
    const FloatPoint drawPoint =
        StamperGeometry::movedBy(StamperGeometry::findDrawPoint(FloatRect{{0, 0}, canvasSize},
                                                                overlay.position(), turned, margin),
                                 canvasSize, overlay.offsetX(), overlay.offsetY());
    drawn.placed = {drawPoint, turned};
    // An outline or a shadow pads the content image on every side; the padded image is centred
    // where the content would be.
    const float padding = contentPadding(overlay);
    const FloatSize padded{content.width + 2.0f * padding, content.height + 2.0f * padding};
    const FloatSize turnedPadded = StamperGeometry::sizeFromRotation(padded, angle);
    const FloatPoint paddingOffset{(turnedPadded.width - turned.width) * 0.5f,
                                   (turnedPadded.height - turned.height) * 0.5f};
    const FloatPoint paddedPoint{drawPoint.x - paddingOffset.x, drawPoint.y - paddingOffset.y};

    if (overlay.tile()) {
        // One turned copy, repeated: the band is left out, as one per copy would cover the photo.
        drawTiles(canvas, canvasSize, turnedTile(canvas, canvasSize, contentImage, padded, angle),
                  turnedPadded, drawPoint, turned, paddingOffset, overlay.tileSpacing());
        return drawn;
    }

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
        ImageToolkit::drawTurnedImage(painter, canvasSize, paddedPoint, turnedPadded, contentImage,
                                      padded, angle);
    } else {
        ImageToolkit::drawImage(painter, canvasSize, paddedPoint,
                                makeRotatedImage(contentImage, padded, turnedPadded, angle),
                                turnedPadded, 1.0f);
    }
    return drawn;
}

void Stamper::inCanvasColours(const QColorSpace &space, QImage &content, QColor &band)
{
    // Watermark colours are sRGB values: on a photo in another colour space they are converted
    // into it, so that red looks the same red on every photo. The photo's pixels stay as read.
    // A grey profile counts too: a greyscale photo is drawn on in colour, and its grey curve
    // then applies to each channel.
    if (space.isValid() && space != QColorSpace::SRgb &&
        (iccFitsChannels(space.iccProfile(), false) || iccFitsChannels(space.iccProfile(), true))) {
        content.setColorSpace(QColorSpace::SRgb);
        content.convertToColorSpace(space);
        if (band.isValid())
            band = QColorSpace(QColorSpace::SRgb).transformationToColorSpace(space).map(band);
    }
}

bool Stamper::fitToMaxWidth(const Overlay &overlay, FloatSize &content)
{
    if (overlay.isImage() || !(overlay.maxWidth() > 0.0f) || !(m_canvasSize.width > 0.0f) ||
        !(m_canvasSize.height > 0.0f))
        return false;
    const float angle = findRotationToUse(overlay);
    const FloatSize limit{m_canvasSize.width * overlay.maxWidth() / 100.0f,
                          m_canvasSize.height * overlay.maxWidth() / 100.0f};
    const auto excess = [&] {
        const FloatSize turned = StamperGeometry::sizeFromRotation(content, angle);
        return std::max(turned.width / limit.width, turned.height / limit.height);
    };
    float ratio = excess();
    if (!(ratio > 1.0f))
        return false;
    // Text does not scale exactly with its size (hinting, whole-pixel advances): measured
    // again, and shrunk a little further while it still sticks out.
    for (int attempt = 0; attempt < 4 && ratio > 1.0f; ++attempt) {
        m_currentPixelSize /= ratio * (attempt == 0 ? 1.0f : 1.01f);
        m_currentFont.setPointSizeF(static_cast<double>(m_currentPixelSize));
        content = findContentSize(overlay);
        ratio = excess();
    }
    return true;
}

namespace {

bool opaqueEnough(const QColor &color)
{
    return color.isValid() && color.alpha() > 0;
}

} // namespace

// A band counts only around something: a box of colour around a blank text or a missing
// picture is no watermark.
bool Stamper::showsInk(const Overlay &overlay)
{
    const bool band = overlay.show() && !overlay.tile() && opaqueEnough(overlay.bgColor());
    if (overlay.isImage())
        return overlay.missingFilePath().isEmpty() && !picture(overlay.filePath()).isNull() &&
               (overlay.imgAlpha() > 0.0f || band);
    const bool inked = m_currentColor.alpha() > 0 ||
                       (overlay.outlineWidth() > 0.0f && opaqueEnough(overlay.outlineColor())) ||
                       (overlay.shadow() && opaqueEnough(overlay.shadowColor()));
    return (inked || band) && !expandText(overlay.text()).trimmed().isEmpty();
}

bool Stamper::mayShow(const Overlay &overlay)
{
    if (!overlay.use())
        return false;
    const bool band = overlay.show() && !overlay.tile() && opaqueEnough(overlay.bgColor());
    if (overlay.isImage())
        return overlay.missingFilePath().isEmpty() &&
               ImageToolkit::readHeader(overlay.filePath()).ok() &&
               (overlay.imgAlpha() > 0.0f || band);
    const bool inked = overlay.alpha() > 0.0f ||
                       (overlay.outlineWidth() > 0.0f && opaqueEnough(overlay.outlineColor())) ||
                       (overlay.shadow() && opaqueEnough(overlay.shadowColor()));
    const bool sized = overlay.relativeSize() > 0.0f || overlay.pointSize() > 0.0f;
    return sized && (inked || band) && !overlay.text().trimmed().isEmpty();
}

void Stamper::drawTiles(QImage &canvas, const FloatSize canvasSize, const QImage &turnedContent,
                        const FloatSize turnedPadded, const FloatPoint origin,
                        const FloatSize turned, const FloatPoint paddingOffset,
                        const float spacing) const
{
    // Copies are placed in whole device pixels with a plain painter: hundreds of copies are
    // then blits, not resampled draws.
    const double scaleX = canvas.width() / static_cast<double>(canvasSize.width);
    const double scaleY = canvas.height() / static_cast<double>(canvasSize.height);
    // A turned copy is mostly transparent (a diagonal strip in a square): only the parts of
    // each band of rows that hold ink are blended.
    const QList<QRect> inked = inkedParts(turnedContent);
    QPainter painter(&canvas);
    painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
    for (const FloatPoint &point :
         StamperGeometry::tilePoints(canvasSize, origin, turned, spacing)) {
        // Lower-left corner in y-up units to the top-left device pixel.
        const double left = static_cast<double>(point.x - paddingOffset.x) * scaleX;
        const double top = static_cast<double>(canvasSize.height - (point.y - paddingOffset.y) -
                                               turnedPadded.height) *
                           scaleY;
        const QPoint corner(qRound(left), qRound(top));
        for (const QRect &part : inked)
            painter.drawImage(corner + part.topLeft(), turnedContent, part);
    }
}

QImage Stamper::turnedTile(const QImage &canvas, const FloatSize canvasSize, const QImage &content,
                           const FloatSize contentSize, const float angle)
{
    const FloatSize turnedSize = StamperGeometry::sizeFromRotation(contentSize, angle);
    const bool reduced = canvas.width() != static_cast<int>(canvasSize.width) ||
                         canvas.height() != static_cast<int>(canvasSize.height);
    if (!reduced)
        return makeRotatedImage(content, contentSize, turnedSize, angle);
    // On a photo decoded small the copy is shrunk and turned in one go, at the canvas's scale:
    // the cost of an edit then does not grow with the photo.
    const double scaleX = canvas.width() / static_cast<double>(canvasSize.width);
    const double scaleY = canvas.height() / static_cast<double>(canvasSize.height);
    QImage tile = transparentImage(
        {static_cast<float>(
             std::max(1L, std::lround(static_cast<double>(turnedSize.width) * scaleX))),
         static_cast<float>(
             std::max(1L, std::lround(static_cast<double>(turnedSize.height) * scaleY)))});
    QPainter painter(&tile);
    painter.scale(tile.width() / static_cast<double>(turnedSize.width),
                  tile.height() / static_cast<double>(turnedSize.height));
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    ImageToolkit::drawTurnedImage(painter, turnedSize, {0, 0}, turnedSize, content, contentSize,
                                  angle);
    return tile;
}

void Stamper::setAttribsFromOverlay(const Overlay &overlay)
{
    setAttribsFromOverlay(overlay, FloatSize{0, 0});
}

void Stamper::setAttribsFromOverlay(const Overlay &overlay, const FloatSize canvasSize)
{
    m_canvasSize = canvasSize;
    m_currentPixelSize = textPixelSize(overlay, canvasSize);
    QFont font(installedFamily(overlay.fontName()));
    if (!overlay.fontStyle().isEmpty())
        font.setStyleName(overlay.fontStyle());
    font.setPointSizeF(m_currentPixelSize > 0.0f ? static_cast<double>(m_currentPixelSize) : 1.0);
    m_currentFont = font;
    // The text colour's own alpha is not used: the watermark's opacity stands in its place.
    const QColor color = overlay.color().isValid() ? overlay.color() : QColor(Qt::black);
    m_currentColor = QColor::fromRgbF(color.redF(), color.greenF(), color.blueF(),
                                      std::clamp(overlay.alpha(), 0.0f, 1.0f));
}

float Stamper::textPixelSize(const Overlay &overlay, const FloatSize canvasSize)
{
    if (overlay.relativeSize() > 0.0f && canvasSize.width > 0.0f && canvasSize.height > 0.0f)
        return StamperGeometry::percentOfShorterSide(canvasSize, overlay.relativeSize());
    return overlay.pointSize();
}

FloatSize Stamper::findContentSize(const Overlay &overlay)
{
    if (overlay.isImage()) {
        const FloatSize natural{static_cast<float>(overlay.width()),
                                static_cast<float>(overlay.height())};
        if (overlay.relativeSize() > 0.0f && m_canvasSize.width > 0.0f &&
            m_canvasSize.height > 0.0f) {
            if (!(natural.width > 0.0f) || !(natural.height > 0.0f))
                return {0, 0};
            // The aspect from the picture's pixels: its size in points is truncated to whole
            // points, which would stretch a small picture.
            const DecodedImage &pic = picture(overlay.filePath());
            const FloatSize aspect = pic.isNull()
                                         ? natural
                                         : FloatSize{static_cast<float>(pic.image().width()),
                                                     static_cast<float>(pic.image().height())};
            const float height =
                StamperGeometry::percentOfShorterSide(m_canvasSize, overlay.relativeSize());
            return {height * aspect.width / aspect.height, height};
        }
        return natural;
    }
    if (!(m_currentPixelSize > 0.0f))
        return {0, 0};
    const QString text = expandText(overlay.text());
    if (text.isEmpty())
        return {0, 0};
    const QSizeF size = QFontMetricsF(m_currentFont, &measuringDevice()).size(0, text);
    return {static_cast<float>(size.width()), static_cast<float>(size.height())};
}

float Stamper::contentPadding(const Overlay &overlay) const
{
    if (overlay.isImage())
        return 0.0f;
    const float pixels = std::max(m_currentPixelSize, 0.0f);
    float padding = pixels * std::max(overlay.outlineWidth(), 0.0f) / 100.0f;
    if (overlay.shadow())
        // 1.5: an offset turned back along a diagonal reaches 1.41 times as far on one axis.
        padding += pixels * (1.5f * ShadowOffset + 2.0f * ShadowBlur);
    return std::ceil(padding);
}

QImage Stamper::makeContentImage(const Overlay &overlay, FloatSize size)
{
    // The box occupies cw x ch inside the padding; the image is that size rounded up.
    const float padding = contentPadding(overlay);
    QImage image = transparentImage({size.width + 2.0f * padding, size.height + 2.0f * padding});
    const QRectF box(static_cast<double>(padding), static_cast<double>(padding),
                     static_cast<double>(size.width), static_cast<double>(size.height));
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
            painter.setOpacity(static_cast<double>(std::clamp(overlay.imgAlpha(), 0.0f, 1.0f)));
            if (overlay.relativeSize() > 0.0f && m_canvasSize.width > 0.0f) {
                // Sized to the photo: the whole picture fills the box.
                painter.drawImage(box, pic.image());
            } else {
                // Drawn at its own size from the box's lower-left corner: a larger picture is
                // cut at the right and top, a smaller one leaves the rest of the box as it is.
                const FloatSize drawSize = pic.sizeInPoints();
                painter.setClipRect(box);
                painter.drawImage(QRectF(0, box.height() - static_cast<double>(drawSize.height),
                                         static_cast<double>(drawSize.width),
                                         static_cast<double>(drawSize.height)),
                                  pic.image());
            }
        }
    } else if (padding > 0.0f) {
        painter.end();
        drawTextWithEffects(image, overlay, expandText(overlay.text()), box.topLeft(), size);
    } else {
        painter.setFont(m_currentFont);
        painter.setPen(m_currentColor);
        painter.drawText(box, Qt::AlignLeft | Qt::AlignTop, expandText(overlay.text()));
    }
    return image;
}

void Stamper::drawTextWithEffects(QImage &image, const Overlay &overlay, const QString &text,
                                  const QPointF boxOrigin, const FloatSize boxSize) const
{
    // The glyphs as outlines, laid out as plain text is: left-aligned lines from the box's top.
    // Paths take the font at the screen's resolution; scale them to our 72 dpi units.
    const QFontMetricsF metrics(m_currentFont, &measuringDevice());
    const double resolution = QFontMetricsF(m_currentFont).height() / metrics.height();
    const QStringList lines = text.split(QLatin1Char('\n'));
    const double lineStep = static_cast<double>(boxSize.height) / static_cast<double>(lines.size());
    QPainterPath glyphs;
    for (qsizetype i = 0; i < lines.size(); ++i)
        glyphs.addText(
            QPointF(0, (static_cast<double>(i) * lineStep + metrics.ascent()) * resolution),
            m_currentFont, lines.at(i));
    glyphs = QTransform::fromTranslate(boxOrigin.x(), boxOrigin.y())
                 .scale(1.0 / resolution, 1.0 / resolution)
                 .map(glyphs);

    const double pixels = static_cast<double>(m_currentPixelSize);
    QImage ink =
        transparentImage({static_cast<float>(image.width()), static_cast<float>(image.height())});
    {
        QPainter painter(&ink);
        painter.setRenderHint(QPainter::Antialiasing);
        const double outline = pixels * static_cast<double>(overlay.outlineWidth()) / 100.0;
        if (outline > 0.0 && overlay.outlineColor().isValid()) {
            // Centred on the glyph edges, so twice as wide; the fill then covers the inner half.
            painter.strokePath(glyphs, QPen(overlay.outlineColor(), 2.0 * outline, Qt::SolidLine,
                                            Qt::RoundCap, Qt::RoundJoin));
        }
        // The fill replaces the outline under it, so a translucent text does not show it.
        painter.setCompositionMode(QPainter::CompositionMode_Source);
        painter.fillPath(glyphs, m_currentColor);
    }
    QPainter painter(&image);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    if (overlay.shadow() && overlay.shadowColor().isValid()) {
        // Down and to the right on the photo whatever the text's angle: the content is turned
        // clockwise by it afterwards, so the offset is turned back here.
        const double offset = pixels * static_cast<double>(ShadowOffset);
        const double radians = qDegreesToRadians(static_cast<double>(overlay.rotation()));
        const double cosine = std::cos(radians);
        const double sine = std::sin(radians);
        painter.drawImage(
            QPointF(offset * (cosine + sine), offset * (cosine - sine)),
            softShadow(ink, pixels * static_cast<double>(ShadowBlur), overlay.shadowColor()));
    }
    painter.drawImage(0, 0, ink);
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
    return m_expander.expandText(text.left(MaxTextLength), *m_baseImage).left(MaxTextLength);
}

QString Stamper::overlayProblem(const Overlay &overlay)
{
    if (overlay.isImage())
        return ImageToolkit::decodePicture(overlay.filePath()).reason();
    if (overlay.text().size() > MaxTextLength)
        return QStringLiteral("The text is longer than %1 characters; the rest is left out.")
            .arg(MaxTextLength);
    return {};
}

const DecodedImage &Stamper::picture(const QString &path)
{
    auto cached = m_pictures.find(path);
    if (cached == m_pictures.end()) {
        Result<DecodedImage> decoded = ImageToolkit::decodePicture(path);
        // Left out of every photo, as the summary warned before the run.
        if (!decoded)
            qCDebug(lcRender, "Watermark picture %s left out: %s", qUtf8Printable(path),
                    qUtf8Printable(decoded.reason()));
        cached = m_pictures.insert(path, decoded ? std::move(decoded).value() : DecodedImage());
    }
    return *cached;
}

PictureVariants Stamper::pictureVariants(const Overlay &overlay)
{
    if (!overlay.isImage() || !overlay.autoContrast() || overlay.altImagePath().isEmpty())
        return {};
    const auto luminance = [this](const QString &path) {
        auto cached = m_pictureLuminances.find(path);
        if (cached == m_pictureLuminances.end()) {
            const DecodedImage &pic = picture(path);
            cached = m_pictureLuminances.insert(
                path, pic.isNull() ? -1.0 : AutoAdjuster::pictureLuminance(pic.image()));
        }
        return *cached;
    };
    return {luminance(overlay.filePath()), luminance(overlay.altImagePath())};
}

Overlay Stamper::withSecondPicture(const Overlay &overlay)
{
    Overlay second = overlay;
    second.setFilePath(overlay.altImagePath());
    const FloatSize size = picture(overlay.altImagePath()).sizeInPoints();
    second.setWidth(static_cast<qint16>(static_cast<int>(size.width)));
    second.setHeight(static_cast<qint16>(static_cast<int>(size.height)));
    return second;
}

} // namespace inkveil
