// SPDX-FileCopyrightText: 2026 Tessaly
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "base/Result.h"

#include <QByteArray>
#include <QString>
#include <QtGlobal>

class QIODevice;

namespace inkveil {

class ExifData;

// Reads the EXIF values of a JPEG photo into its ExifData record. It walks the JPEG markers
// from the start of the file to the first APP1 segment and, when that segment holds EXIF data
// in TIFF form, picks a fixed set of tags out of IFD0 and the EXIF sub-directory it points to;
// IFD1 (the thumbnail's directory) is never read. Only the head of the file is read, strictly
// forward, and the compressed image is never touched. No instance and nothing kept between
// parses: the parse state lives for one call, so parses on different threads are independent.
//
// Files come from anywhere, so every count and offset is checked against the bytes at hand:
// - The marker walk ends without EXIF at the end of the file and at a segment length below 2.
//   An APP1 segment cut short by the end of the file is read as far as it goes; one shorter
//   than its 14 header bytes holds no EXIF.
// - A directory whose entry table runs past the end of the data is walked up to its last whole
//   entry. An entry is passed over, its field keeping its value, when its format code is
//   unknown (above 12), when its value lies outside the data, or when the value is shorter
//   than what its tag reads (a fraction with a count of 0, a dimension of one byte).
// - A directory is walked at most once and a parse walks at most MaxDirectories of them, so a
//   pointer back to an earlier directory, or a fan of pointers, ends quickly.
// - Text passes through a scratch area of ScratchSize bytes: longer text keeps its first
//   ScratchSize bytes, and text ends at its first zero byte (the terminator is not kept). It
//   is decoded as UTF-8 when it is valid UTF-8, else as Latin-1, which older cameras write.
// - A zero denominator leaves the f-number and the focal length as they were; a resolution
//   becomes infinite (0/0: not a number), as the division gives.
class ExifParser
{
public:
    ExifParser() = delete;

    // Bytes the marker walk reads while looking for markers, over the whole walk.
    static constexpr int MaxMarkerBytes = 32;
    // 0xFF fill bytes in a row that end the walk.
    static constexpr int MaxFillBytes = 7;
    static constexpr qsizetype ScratchSize = 1024;
    static constexpr int MaxDirectories = 8;

    // Fills `data` from the JPEG, HEIC or AVIF file at `path`. Fails only when the file cannot
    // be opened, leaving the record untouched; otherwise succeeds, whether or not EXIF was found
    // (data.valid() tells).
    static Status parseImage(const QString &path, ExifData &data);
    // The same for the bytes of a whole file held in memory.
    static void parseImageData(const QByteArray &bytes, ExifData &data);
    // The same for EXIF held apart from any JPEG segment: its TIFF data, from the byte-order
    // mark on (as HEIF files keep it).
    static void parseTiffData(const QByteArray &tiff, ExifData &data);
    // The same, streamed from a device open for reading, from its current position.
    static void parseDevice(QIODevice &device, ExifData &data);

private:
    struct ParseState;

    static void readJpeg(QIODevice &file, ParseState &state);
    // `section`: the APP1 segment after its length field.
    static void processExifSection(const QByteArray &section, ParseState &state);
    // `dirStart`: where the directory begins in the state's directory area.
    static void processExifDir(qsizetype dirStart, ParseState &state);
    // One directory entry: `value` is where its byteCount bytes of the given format lie.
    static void processEntry(quint16 tag, quint16 format, qint64 value, qint64 byteCount,
                             ParseState &state);
};

} // namespace inkveil
