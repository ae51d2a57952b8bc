// SPDX-FileCopyrightText: 2026 Tessaly
// SPDX-License-Identifier: GPL-3.0-or-later

#include "sources/PhotoDetails.h"

#include "imageio/ExifData.h"
#include "imageio/ExifParser.h"
#include "imageio/ImageToolkit.h"

#include <QImageIOHandler>
#include <QImageReader>
#include <QThread>

#include <algorithm>
#include <limits>

namespace inkveil {

namespace {

// Headers are read in runs of this many photos: one hand-over to the interface thread each, and
// short enough that a picture asked for meanwhile waits little.
constexpr qsizetype HeaderRun = 64;

} // namespace

PhotoDetails::PhotoDetails(QObject *parent)
    : QObject(parent)
{
    // A list of thousands of photos must not hold up a batch or a preview in the other panes.
    m_pool.setMaxThreadCount(std::max(1, QThread::idealThreadCount() / 2));
}

PhotoDetails::~PhotoDetails()
{
    m_pool.clear();
    m_pool.waitForDone();
}

void PhotoDetails::readHeaders(const QStringList &paths)
{
    QStringList missing;
    for (const QString &path : paths) {
        if (!m_headers.contains(path))
            missing.append(path);
    }
    for (qsizetype start = 0; start < missing.size(); start += HeaderRun) {
        const QStringList run = missing.mid(start, HeaderRun);
        ++m_headersPending;
        m_pool.start([this, run] {
            QList<std::pair<QString, Header>> read;
            read.reserve(run.size());
            for (const QString &path : run)
                read.append({path, readHeader(path)});
            // Queued to this object: the tables are only touched on its own thread.
            QMetaObject::invokeMethod(
                this,
                [this, read] {
                    for (const auto &[path, found] : read)
                        m_headers.insert(path, found);
                    --m_headersPending;
                    Q_EMIT headersRead();
                },
                Qt::QueuedConnection);
        });
    }
}

const PhotoDetails::Header *PhotoDetails::header(const QString &path) const
{
    const auto found = m_headers.constFind(path);
    return found == m_headers.cend() ? nullptr : &found.value();
}

const PhotoDetails::Thumbnail *PhotoDetails::thumbnail(const QString &path)
{
    if (const auto found = m_thumbnails.constFind(path); found != m_thumbnails.cend())
        return &found.value();
    if (m_requested.contains(path))
        return nullptr;
    m_requested.insert(path);
    // The rows shown last are wanted first: the user has scrolled on to them.
    const int priority = std::min(++m_thumbnailOrder, std::numeric_limits<int>::max() - 1);
    m_pool.start(
        [this, path] {
            Thumbnail made = readThumbnail(path);
            QMetaObject::invokeMethod(
                this,
                [this, path, made] {
                    m_thumbnails.insert(path, made);
                    m_requested.remove(path);
                    Q_EMIT thumbnailRead(path);
                },
                Qt::QueuedConnection);
        },
        priority);
    return nullptr;
}

PhotoDetails::Header PhotoDetails::readHeader(const QString &path)
{
    Header result;
    if (const Result<ImageToolkit::Header> read = ImageToolkit::readHeader(path); read) {
        result.pixelSize = read->size;
        // The photo is shown upright: a quarter turn swaps its sides.
        QImageReader reader(path);
        if (reader.transformation() & QImageIOHandler::TransformationRotate90)
            result.pixelSize.transpose();
    }
    ExifData exif;
    if (ExifParser::parseImage(path, exif) && exif.valid())
        result.taken = exif.dateTime().trimmed();
    return result;
}

PhotoDetails::Thumbnail PhotoDetails::readThumbnail(const QString &path, int edge)
{
    Thumbnail result;
    // A JPEG is decoded at an eighth of its size or less: a camera photo in a few milliseconds.
    QImage buffer;
    const Result<DecodedImage> decoded =
        ImageToolkit::decodeInto(path, buffer, {QSize(edge, edge)});
    if (!decoded) {
        result.problem = decoded.reason();
        return result;
    }
    result.image =
        decoded->image().scaled(edge, edge, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    return result;
}

} // namespace inkveil
