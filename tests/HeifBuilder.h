// SPDX-FileCopyrightText: 2026 Tessaly
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

// Grid HEIF files made box by box around one small AVIF tile that every grid cell shares, so a
// file of thousands of tiles stays small. Each record can be made to lie.

#include "imageio/ImageToolkit.h"

#include <QByteArray>
#include <QImage>
#include <QtEndian>

namespace heifbuilder {

inline QByteArray be(qint64 number, int bytes)
{
    auto value = static_cast<quint64>(number);
    QByteArray out(bytes, '\0');
    for (int i = bytes - 1; i >= 0; --i, value >>= 8)
        out[i] = char(value & 0xff);
    return out;
}

inline QByteArray box(const char *type, const QByteArray &payload, int version = -1)
{
    const QByteArray body = (version >= 0 ? be(qint64(version) << 24, 4) : QByteArray()) + payload;
    return be(body.size() + 8, 4) + type + body;
}

// The payload of the first box of this type found in the file.
inline QByteArray payloadOf(const QByteArray &file, const char *type)
{
    const qsizetype at = file.indexOf(type);
    const quint32 size = qFromBigEndian<quint32>(file.constData() + at - 4);
    return file.mid(at + 4, size - 8);
}

// A single AVIF of this size whose 'ispe' box claims another.
inline QByteArray lyingAvif(const QSize size, const QSize claimed)
{
    QImage image(size, QImage::Format_RGB32);
    image.fill(Qt::darkGreen);
    QByteArray avif =
        inkveil::ImageToolkit::encode(image, QStringLiteral("avif"), 80, 72.0f).value();
    const qsizetype at = avif.indexOf("ispe") + 8;
    avif.replace(at, 8, QByteArray(be(claimed.width(), 4) + be(claimed.height(), 4)));
    return avif;
}

struct Grid
{
    int rows = 2, columns = 2;
    QSize output{128, 96};       // what the grid record claims
    QSize claimed{128, 96};      // what the grid's 'ispe' claims
    quint32 tileOffsetShift = 0; // moves every tile's data this far past where it is
};

// A grid of 64 x 48 AVIF tiles.
inline QByteArray gridFile(const Grid &grid)
{
    QImage tile(64, 48, QImage::Format_RGB32);
    tile.fill(Qt::darkGreen);
    const QByteArray avif =
        inkveil::ImageToolkit::encode(tile, QStringLiteral("avif"), 80, 72.0f).value();
    const QByteArray data = payloadOf(avif, "mdat");
    const QByteArray av1C = box("av1C", payloadOf(avif, "av1C"));
    const int tiles = grid.rows * grid.columns;
    const QByteArray ftyp = box("ftyp", "avif" + be(0, 4) + "avifmif1miaf");
    QByteArray infe = box("infe", be(1, 2) + be(0, 2) + "grid" + '\0', 2);
    QByteArray refs, ipma = be(1, 2) + be(1, 1) + be(1, 1);
    for (int id = 2; id <= tiles + 1; ++id) {
        infe += box("infe", be(id, 2) + be(0, 2) + "av01" + '\0', 2);
        refs += be(id, 2);
        ipma += be(id, 2) + be(2, 1) + be(2, 1) + be(0x83, 1);
    }
    const QByteArray gridRecord = be(0, 2) + be(grid.rows - 1, 1) + be(grid.columns - 1, 1) +
                                  be(grid.output.width(), 2) + be(grid.output.height(), 2);
    const auto meta = [&](quint32 dataAt) {
        QByteArray iloc = be(0x44, 1) + be(0, 1) + be(tiles + 1, 2) + be(1, 2) + be(1, 2) +
                          be(0, 2) + be(1, 2) + be(0, 4) + be(gridRecord.size(), 4);
        for (int id = 2; id <= tiles + 1; ++id)
            iloc += be(id, 2) + be(0, 2) + be(0, 2) + be(1, 2) + be(dataAt, 4) + be(data.size(), 4);
        const QByteArray ipco =
            box("ispe", be(grid.claimed.width(), 4) + be(grid.claimed.height(), 4), 0) +
            box("ispe", be(64, 4) + be(48, 4), 0) + av1C;
        return box("meta",
                   box("hdlr", be(0, 4) + "pict" + be(0, 12) + '\0', 0) + box("pitm", be(1, 2), 0) +
                       box("iinf", be(tiles + 1, 2) + infe, 0) +
                       box("iref", box("dimg", be(1, 2) + be(tiles, 2) + refs), 0) +
                       box("iloc", iloc, 1) +
                       box("iprp", box("ipco", ipco) + box("ipma", be(tiles + 1, 4) + ipma, 0)) +
                       box("idat", gridRecord),
                   0);
    };
    const qsizetype head = ftyp.size() + meta(0).size();
    return ftyp + meta(quint32(head + 8 + grid.tileOffsetShift)) + box("mdat", data);
}

} // namespace heifbuilder
