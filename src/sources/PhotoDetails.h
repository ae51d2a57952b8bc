// SPDX-FileCopyrightText: 2026 Tessaly
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QHash>
#include <QImage>
#include <QObject>
#include <QSet>
#include <QSize>
#include <QString>
#include <QStringList>
#include <QThreadPool>

namespace inkveil {

// What the source list shows of a photo besides its name: its pixel size and the date it was
// taken, read from the header and the EXIF block only, and a small picture of it. Read off the
// interface thread and kept for the session by path, so a photo removed and added again, or
// scrolled past twice, is read once. Headers are read for every photo added (cheap, and what
// sorting needs); pictures only for the rows that are shown, most recently asked for first.
class PhotoDetails : public QObject
{
    Q_OBJECT

public:
    // The longer edge of a picture in the list.
    static constexpr int ThumbnailEdge = 48;

    struct Header
    {
        // Upright, as the photo is shown; invalid when the header can't be read.
        QSize pixelSize;
        // "YYYY:MM:DD HH:MM:SS" as the camera wrote it; empty when the photo records none.
        QString taken;
    };

    struct Thumbnail
    {
        QImage image;
        // Why the photo's pixels can't be decoded; empty when they could.
        QString problem;
    };

    explicit PhotoDetails(QObject *parent = nullptr);
    // Drops what is queued and waits for what is being read.
    ~PhotoDetails() override;

    // Reads the headers of the photos not yet read, in the background.
    void readHeaders(const QStringList &paths);
    // The header of a photo, or null until it has been read.
    const Header *header(const QString &path) const;
    // The picture of a photo, or null until it has been made; asks for it the first time.
    const Thumbnail *thumbnail(const QString &path);
    // True while headers are being read.
    bool readingHeaders() const { return m_headersPending > 0; }

    // The work of one photo, on whatever thread calls them.
    static Header readHeader(const QString &path);
    static Thumbnail readThumbnail(const QString &path, int edge = ThumbnailEdge);

Q_SIGNALS:
    // Some headers were read; readingHeaders() tells whether more are coming.
    void headersRead();
    void thumbnailRead(const QString &path);

private:
    QThreadPool m_pool;
    QHash<QString, Header> m_headers;
    QHash<QString, Thumbnail> m_thumbnails;
    // Paths asked for and not yet delivered, so that each is read once.
    QSet<QString> m_requested;
    int m_headersPending = 0;
    int m_thumbnailOrder = 0;
};

} // namespace inkveil
