// SPDX-FileCopyrightText: 2026 Tessaly
// SPDX-License-Identifier: GPL-3.0-or-later

#include "render/PreviewRenderer.h"

#include "imageio/DecodedImage.h"
#include "imageio/ImageToolkit.h"
#include "render/PlaceholderExpander.h"
#include "render/PreviewGeometry.h"
#include "render/Stamper.h"

#include <QColorSpace>
#include <QtConcurrent/QtConcurrentRun>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <utility>

namespace inkveil {

namespace {

// Canvases kept for reuse. One is on screen while the next is drawn; a third would only hold
// memory.
constexpr qsizetype MaxSpareCanvases = 2;

// The photo's pixels in a canvas to draw on. A canvas of the same size and format is overwritten:
// fresh memory for a large photo is slow to touch the first time, copying into used memory is not.
QImage restoredCanvas(const QImage &photo, QImage canvas)
{
    if (canvas.size() != photo.size() || canvas.format() != photo.format())
        return photo.copy();
    uchar *const bits = canvas.bits();
    if (canvas.bytesPerLine() == photo.bytesPerLine()) {
        std::memcpy(bits, photo.constBits(), static_cast<size_t>(photo.sizeInBytes()));
    } else {
        const auto rowBytes =
            static_cast<size_t>(std::min(canvas.bytesPerLine(), photo.bytesPerLine()));
        for (int y = 0; y < photo.height(); ++y)
            std::memcpy(canvas.scanLine(y), photo.constScanLine(y), rowBytes);
    }
    canvas.setColorSpace(photo.colorSpace());
    canvas.setDotsPerMeterX(photo.dotsPerMeterX());
    canvas.setDotsPerMeterY(photo.dotsPerMeterY());
    return canvas;
}

// The size a photo of pixelSize is shown at in a box of the given size: fitted, never enlarged.
QSize shownSize(QSize pixelSize, QSize box)
{
    const FloatRect fitted = PreviewGeometry::fitRect(
        {static_cast<float>(pixelSize.width()), static_cast<float>(pixelSize.height())},
        {static_cast<float>(box.width()), static_cast<float>(box.height())});
    return {std::max(1, qRound(fitted.size.width)), std::max(1, qRound(fitted.size.height))};
}

// The photo at the size it is shown in the box, keeping its full pixel size: the JPEG decoder
// reads it at an eighth, quarter or half of its size where that is still large enough, and the
// rest of the way is one smooth scaling. Every render then draws on the shown size only, so an
// edit costs the same on a 100-megapixel photo as on a small one. An empty box: full size.
Result<DecodedImage> readForView(const QString &path, QImage &buffer, QSize box)
{
    if (box.isEmpty())
        return ImageToolkit::decodeInto(path, buffer);
    Result<DecodedImage> read = ImageToolkit::decodeInto(path, buffer, {box});
    if (!read)
        return read;
    DecodedImage &decoded = *read;
    const QSize shown = shownSize(decoded.pixelSize(), box);
    if (decoded.image().size() == shown)
        return read;
    const float dpi = decoded.dpi();
    const QSize pixelSize = decoded.pixelSize();
    QImage image = decoded.takeImage();
    const QColorSpace colorSpace = image.colorSpace();
    QImage scaled = image.scaled(shown, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    scaled.setColorSpace(colorSpace);
    return DecodedImage(std::move(scaled), dpi, pixelSize);
}

} // namespace

// Owned by one thread at a time: the renderer's between renders, the worker's during one.
struct PreviewRenderer::Workspace
{
    // The path `photo` was read from; null before the first read.
    QString path;
    // The worker's own record of that photo, so that reading its EXIF for placeholders and
    // setting its size never write the record the interface shows.
    std::shared_ptr<WorkFile> file;
    // The photo as read for the view, never drawn into; it keeps the photo's full pixel size.
    DecodedImage photo;
    // The box the photo was read for.
    QSize displaySize;
    // Whether the photo as read is what a box of the given size shows.
    bool shows(QSize box) const
    {
        if (box == displaySize || photo.isNull())
            return true;
        return !box.isEmpty() && !displaySize.isEmpty() &&
               shownSize(photo.pixelSize(), box) == photo.image().size();
    }
    // Finished canvases, to be overwritten by the next renders.
    QList<QImage> spares;
    // Made on the interface thread: finding the user's name is not safe on another one.
    PlaceholderExpander expander;
    Stamper stamper;
};

struct PreviewRenderer::Task
{
    // Only add a spare canvas for the photo held, rendering nothing.
    bool spareOnly = false;
    // What to render, copied when the render started.
    WorkFile file;
    OverlayList overlays;
    QSize displaySize;
    quint64 fileSerial = 0;
    std::unique_ptr<Workspace> workspace;
    std::atomic<bool> cancelled = false;

    // What came of it.
    bool decoded = false;
    QImage rendered;
    QImage display;
    QSizeF originalSize;
    QSize pixelSize;
    QList<FloatRect> placements;
    bool exifParsed = false;
    ExifData exif;
};

PreviewRenderer::PreviewRenderer(QObject *parent)
    : QObject(parent)
    , m_workspace(std::make_unique<Workspace>())
{
    m_pool.setMaxThreadCount(1);
    connect(&m_watcher, &QFutureWatcherBase::finished, this, &PreviewRenderer::finish);
}

PreviewRenderer::~PreviewRenderer()
{
    m_watcher.disconnect(this);
    if (m_task)
        m_task->cancelled = true;
    m_watcher.waitForFinished();
}

void PreviewRenderer::setFile(const std::shared_ptr<WorkFile> &file)
{
    if (file == m_file)
        return;
    m_file = file;
    ++m_fileSerial;
    m_unreadable = false;
    if (!m_file) {
        m_pending = false;
        m_rendered = QImage();
        m_display = QImage();
        m_photoPixelSize = QSize();
        m_placements.clear();
        return;
    }
    render();
}

void PreviewRenderer::render()
{
    if (!m_file)
        return;
    if (m_task)
        m_pending = true;
    else
        start();
}

void PreviewRenderer::start(bool spareOnly)
{
    auto task = std::make_shared<Task>();
    task->spareOnly = spareOnly;
    task->file = *m_file;
    task->overlays.reserve(m_overlays.size());
    for (const auto &overlay : m_overlays) {
        if (overlay)
            task->overlays.append(std::make_shared<Overlay>(*overlay));
    }
    task->displaySize = m_displaySize;
    task->fileSerial = m_fileSerial;
    task->workspace = std::move(m_workspace);
    m_task = task;
    m_watcher.setFuture(QtConcurrent::run(&m_pool, [task] { run(*task); }));
}

void PreviewRenderer::run(Task &task)
{
    Workspace &space = *task.workspace;
    if (task.spareOnly) {
        if (!space.photo.isNull())
            space.spares.append(space.photo.image().copy());
        return;
    }
    const QString path = task.file.filePath();
    if (space.path.isNull() || space.path != path || !space.shows(task.displaySize)) {
        // Read into the previous photo's memory when the sizes match, as photos of one camera do.
        QImage buffer = space.photo.takeImage();
        Result<DecodedImage> read = readForView(path, buffer, task.displaySize);
        // An unreadable photo is held as a null one, which renders as nothing.
        space.photo = read ? std::move(read).value() : DecodedImage();
        buffer = QImage();
        space.spares.clear();
        space.displaySize = task.displaySize;
        if (space.path != path) {
            space.path = path;
            space.file = std::make_shared<WorkFile>(task.file);
            // Watermark pictures are read again for each photo, so a picture changed on disk
            // shows.
            space.stamper = Stamper(space.expander);
        }
        task.decoded = true;
    }
    if (space.photo.isNull() || task.cancelled)
        return;

    const QImage &photo = space.photo.image();
    QImage canvas =
        restoredCanvas(photo, space.spares.isEmpty() ? QImage() : space.spares.takeLast());
    // The photo's full size goes with the canvas: the watermarks are placed and sized on it and
    // drawn shrunk, as the batch draws them on a photo written small.
    Stamper::Stamped stamped = space.stamper.watermark(
        space.file, DecodedImage(std::move(canvas), space.photo.dpi(), space.photo.pixelSize()),
        task.overlays);
    task.rendered = std::move(stamped.image);
    task.originalSize = stamped.originalSize;
    task.pixelSize = space.photo.pixelSize();
    task.placements = std::move(stamped.placements);
    if (task.rendered.format() != photo.format()) {
        // The Stamper gives a photo in a format it cannot draw on pixels it can. Keep the photo
        // in that form, so that later canvases are plain copies.
        space.photo = DecodedImage(photo.convertToFormat(task.rendered.format()), space.photo.dpi(),
                                   space.photo.pixelSize());
    }
    task.exifParsed = space.file->exifParsed();
    if (task.exifParsed)
        task.exif = space.file->exifData();
    if (task.cancelled || task.displaySize.isEmpty())
        return;

    const QSize drawn = task.rendered.size();
    const QSize shown = shownSize(space.photo.pixelSize(), task.displaySize);
    task.display = shown == drawn ? task.rendered
                                  : task.rendered.scaled(shown, Qt::IgnoreAspectRatio,
                                                         Qt::SmoothTransformation);
}

void PreviewRenderer::finish()
{
    const std::shared_ptr<Task> task = std::exchange(m_task, nullptr);
    m_workspace = std::move(task->workspace);
    if (task->spareOnly) {
        if (std::exchange(m_pending, false))
            start();
        return;
    }
    if (task->decoded)
        ++m_decodeCount;
    const bool current = m_file && task->fileSerial == m_fileSerial;
    QImage previous = std::move(task->rendered);
    if (current) {
        std::swap(previous, m_rendered);
        m_display = std::move(task->display);
        m_unreadable = m_rendered.isNull();
        m_photoPixelSize = task->pixelSize;
        m_placements = std::move(task->placements);
        if (!m_rendered.isNull()) {
            // What a render does to the photo's record, done here on the record itself.
            m_file->setOriginalSize(task->originalSize);
            if (task->exifParsed && !m_file->exifParsed()) {
                m_file->exifData() = task->exif;
                m_file->setExifParsed(true);
            }
        }
    }
    recycle(std::move(previous));
    if (std::exchange(m_pending, false)) {
        start();
    } else if (current && !m_rendered.isNull() && m_workspace->spares.isEmpty()) {
        // The next render needs a second canvas while this one is on screen. Make it now rather
        // than at the first edit: fresh memory for a large photo takes long to touch first.
        start(true);
    }
    if (current)
        Q_EMIT rendered();
}

void PreviewRenderer::recycle(QImage canvas)
{
    // Only canvases the current photo can be restored into are worth their memory.
    const auto fits = [this](const QImage &image) {
        return !image.isNull() && image.size() == m_rendered.size() &&
               image.format() == m_rendered.format();
    };
    QList<QImage> &spares = m_workspace->spares;
    spares.removeIf([&fits](const QImage &spare) { return !fits(spare); });
    if (fits(canvas) && spares.size() < MaxSpareCanvases)
        spares.append(std::move(canvas));
}

} // namespace inkveil
