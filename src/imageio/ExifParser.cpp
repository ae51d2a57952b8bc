// SPDX-FileCopyrightText: 2026 Tessaly
// SPDX-License-Identifier: GPL-3.0-or-later

#include "imageio/ExifParser.h"

#include "base/RegularFile.h"
#include "imageio/ExifData.h"
#include "imageio/HeifCodec.h"

#include <QBuffer>
#include <QFile>
#include <QList>
#include <QStringDecoder>
#include <QtEndian>

#include <array>

namespace inkveil {

namespace {

// Size in bytes of one component of each TIFF format code (0 has none).
constexpr std::array<quint8, 13> BytesPerComponent{0, 1, 1, 2, 4, 8, 1, 1, 2, 4, 8, 4, 8};
constexpr quint16 FormatShort = 3;

constexpr uchar MarkerFill = 0xFF;
constexpr uchar MarkerStartOfImage = 0xD8;
constexpr uchar MarkerEndOfImage = 0xD9;
constexpr uchar MarkerStartOfScan = 0xDA;
constexpr uchar MarkerApp1 = 0xE1;

constexpr char ExifHeader[] = {'E', 'x', 'i', 'f', '\0', '\0'};
constexpr qsizetype ExifHeaderSize = 6;
// "Exif\0\0", the byte order, 42 and the offset of IFD0.
constexpr qsizetype SectionHeaderSize = 14;
// The directory area starts at this offset of the TIFF data, right after its header.
constexpr quint32 AreaStart = 8;
constexpr qint64 EntrySize = 12;

enum Tag : quint16 {
    ImageDescription = 0x010E,
    Make = 0x010F,
    Model = 0x0110,
    XResolution = 0x011A,
    YResolution = 0x011B,
    ResolutionUnit = 0x0128,
    DateTime = 0x0132,
    Artist = 0x013B,
    Copyright = 0x8298,
    ExposureTime = 0x829A,
    FNumber = 0x829D,
    ExifPointer = 0x8769,
    IsoSpeedRatings = 0x8827,
    FocalLength = 0x920A,
    PixelXDimension = 0xA002,
    PixelYDimension = 0xA003,
    FocalLengthIn35mmFilm = 0xA405,
    LensModel = 0xA434,
};

// Numbers of the TIFF data, in its byte order: big-endian ("MM", moto) or little-endian.
quint16 make16u(const char *bytes, bool moto)
{
    return moto ? qFromBigEndian<quint16>(bytes) : qFromLittleEndian<quint16>(bytes);
}

quint32 make32u(const char *bytes, bool moto)
{
    return moto ? qFromBigEndian<quint32>(bytes) : qFromLittleEndian<quint32>(bytes);
}

qint32 make32s(const char *bytes, bool moto)
{
    return static_cast<qint32>(make32u(bytes, moto));
}

} // namespace

// What one parse carries along its chain, and nothing else does.
struct ExifParser::ParseState
{
    explicit ParseState(ExifData &record)
        : data(record)
    {}

    // Are `length` bytes from `pos` inside the directory area?
    bool holds(qint64 pos, qint64 length) const
    {
        return pos >= 0 && length >= 0 && pos <= area.size() && length <= area.size() - pos;
    }
    const char *at(qint64 pos, qint64 length) const
    {
        Q_ASSERT(holds(pos, length));
        Q_UNUSED(length);
        return area.constData() + pos;
    }
    quint16 read16u(qint64 pos) const { return make16u(at(pos, 2), moto); }
    quint32 read32u(qint64 pos) const { return make32u(at(pos, 4), moto); }
    qint32 read32s(qint64 pos) const { return make32s(at(pos, 4), moto); }

    QString text(qint64 pos, qint64 byteCount) const
    {
        QByteArray bytes(at(pos, byteCount), qMin<qint64>(byteCount, ScratchSize));
        const qsizetype end = bytes.indexOf('\0');
        if (end >= 0)
            bytes.truncate(end);
        QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
        QString decoded = utf8.decode(bytes);
        return utf8.hasError() ? QString::fromLatin1(bytes) : decoded;
    }
    // Who made the photo, and with which lens: Artist, Copyright and LensModel, trimmed.
    void readCredit(quint16 tag, qint64 pos, qint64 byteCount)
    {
        if (tag == Artist)
            data.setArtist(text(pos, byteCount).trimmed());
        else if (tag == Copyright)
            data.setCopyright(copyright(pos, byteCount));
        else if (tag == LensModel)
            data.setLensModel(text(pos, byteCount).trimmed());
    }
    // "photographer\0editor": the photographer's notice, else the editor's, which follows the
    // first NUL (a photographer's part of one blank stands for none).
    QString copyright(qint64 pos, qint64 byteCount) const
    {
        const QString photographer = text(pos, byteCount).trimmed();
        if (!photographer.isEmpty())
            return photographer;
        const QByteArray bytes(at(pos, byteCount), qMin<qint64>(byteCount, ScratchSize));
        const qsizetype end = bytes.indexOf('\0');
        return end < 0 ? photographer : text(pos + end + 1, byteCount - end - 1).trimmed();
    }
    float floatQuotient(qint64 pos) const
    {
        return static_cast<float>(read32u(pos)) / static_cast<float>(read32u(pos + 4));
    }
    QString fractionText(qint64 pos) const
    {
        return QString::asprintf("%d/%d", read32s(pos), read32s(pos + 4));
    }

    ExifData &data;
    // Big-endian TIFF data.
    bool moto = false;
    // The TIFF data from IFD0 on: TIFF offset k lies at position k - AreaStart.
    QByteArray area;
    // Start of every directory walked so far.
    QList<qsizetype> walked;
};

namespace {

// A PNG's eXIf chunk (the TIFF data), found from the chunks' headers; empty when there is none.
// An EXIF larger than a JPEG could hold is taken for no camera's.
QByteArray pngExif(QIODevice &file)
{
    constexpr qint64 MaxExifBytes = 65536;
    for (qint64 at = 8; file.seek(at);) {
        const QByteArray header = file.read(8);
        if (header.size() < 8)
            break;
        const qint64 size = qFromBigEndian<quint32>(header.constData());
        if (header.mid(4) == "eXIf")
            return size <= MaxExifBytes ? file.read(size) : QByteArray();
        at += 12 + size;
    }
    return {};
}

} // namespace

Status ExifParser::parseImage(const QString &path, ExifData &data)
{
    // Streamed from the file: the walk stops at the first image data, however long the file.
    RegularFile file;
    if (Status opened = file.open(path); !opened)
        return opened;
    if (HeifCodec::recognises(file.device().peek(SectionHeaderSize))) {
        file.device().close();
        parseTiffData(HeifCodec::exifData(path), data);
        return {};
    }
    if (file.device().peek(8) == "\x89PNG\r\n\x1a\n") {
        parseTiffData(pngExif(file.device()), data);
        return {};
    }
    ParseState state(data);
    readJpeg(file.device(), state);
    return {};
}

void ExifParser::parseImageData(const QByteArray &bytes, ExifData &data)
{
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    ParseState state(data);
    readJpeg(buffer, state);
}

void ExifParser::parseTiffData(const QByteArray &tiff, ExifData &data)
{
    if (tiff.isEmpty())
        return;
    ParseState state(data);
    processExifSection(QByteArray(ExifHeader, ExifHeaderSize) + tiff, state);
}

void ExifParser::parseDevice(QIODevice &device, ExifData &data)
{
    ParseState state(data);
    readJpeg(device, state);
}

void ExifParser::readJpeg(QIODevice &file, ParseState &state)
{
    char start[2];
    if (file.read(start, 2) != 2 || uchar(start[0]) != MarkerFill ||
        uchar(start[1]) != MarkerStartOfImage)
        return;

    // Marker bytes are counted over the whole walk: two per segment in a sound file, so a
    // file of stray bytes ends the search early.
    int markerBytes = 0;
    for (;;) {
        uchar code = MarkerFill;
        int fill = 0;
        while (code == MarkerFill) {
            char byte;
            if (markerBytes == MaxMarkerBytes || !file.getChar(&byte))
                return;
            ++markerBytes;
            code = uchar(byte);
            if (code == MarkerFill && ++fill == MaxFillBytes)
                return;
        }

        char lengthBytes[2];
        if (file.read(lengthBytes, 2) != 2)
            return;
        // Segment lengths are big-endian whatever the TIFF data says, and count themselves.
        const qint64 length = qFromBigEndian<quint16>(lengthBytes);
        if (length < 2)
            return;

        switch (code) {
        case MarkerEndOfImage:
        case MarkerStartOfScan:
            return;
        case MarkerApp1:
            // Only the first APP1 segment counts, whatever it holds.
            processExifSection(file.read(length - 2), state);
            return;
        default:
            if (file.skip(length - 2) != length - 2)
                return;
        }
    }
}

void ExifParser::processExifSection(const QByteArray &section, ParseState &state)
{
    if (section.size() < SectionHeaderSize ||
        !section.startsWith(QByteArrayView(ExifHeader, ExifHeaderSize)))
        return;
    const char *tiff = section.constData() + ExifHeaderSize;
    state.moto = tiff[0] == 'M' && tiff[1] == 'M';
    if (make16u(tiff + 2, state.moto) != 42 || make32u(tiff + 4, state.moto) != AreaStart)
        return;

    state.area = section.mid(SectionHeaderSize);
    processExifDir(0, state);
    state.data.setValid(true);
}

void ExifParser::processExifDir(qsizetype dirStart, ParseState &state)
{
    if (state.walked.contains(dirStart) || state.walked.size() >= MaxDirectories)
        return;
    state.walked.append(dirStart);
    if (!state.holds(dirStart, 2))
        return;

    const quint16 entryCount = state.read16u(dirStart);
    // The link to the next directory after the entries leads to IFD1, which is not read.
    for (qint64 i = 0; i < entryCount; ++i) {
        const qint64 entry = dirStart + 2 + i * EntrySize;
        if (!state.holds(entry, EntrySize))
            return;
        const quint16 tag = state.read16u(entry);
        const quint16 format = state.read16u(entry + 2);
        if (format >= BytesPerComponent.size())
            continue;
        const qint64 byteCount = qint64(BytesPerComponent[format]) * state.read32u(entry + 4);

        // Up to four bytes lie in the entry's value field itself, more at an offset.
        qint64 value = entry + 8;
        if (byteCount > 4) {
            value = qint64(state.read32u(entry + 8)) - AreaStart;
            if (!state.holds(value, byteCount))
                continue;
        }
        processEntry(tag, format, value, byteCount, state);
    }
}

void ExifParser::processEntry(const quint16 tag, const quint16 format, const qint64 value,
                              const qint64 byteCount, ParseState &state)
{
    ExifData &data = state.data;
    const auto has = [byteCount](qint64 needed) { return byteCount >= needed; };

    switch (tag) {
    case ImageDescription:
        data.setDescription(state.text(value, byteCount));
        break;
    case Make:
        data.setMake(state.text(value, byteCount));
        break;
    case Model:
        data.setModel(state.text(value, byteCount));
        break;
    case DateTime:
        data.setDateTime(state.text(value, byteCount));
        break;
    case XResolution:
        if (has(8))
            data.setResx(state.floatQuotient(value));
        break;
    case YResolution:
        if (has(8))
            data.setResy(state.floatQuotient(value));
        break;
    case ResolutionUnit:
        if (format == FormatShort && has(2))
            data.setResolutionUnit(state.read16u(value));
        break;
    case ExposureTime:
        if (has(8))
            data.setExposure(state.fractionText(value));
        break;
    case FNumber:
    case FocalLength:
        if (has(8) && state.read32u(value + 4) != 0) {
            const DecimalNumber quotient(state.read32u(value), state.read32u(value + 4));
            if (tag == FNumber)
                data.setFNumber(quotient);
            else
                data.setFocalLength(quotient);
        }
        break;
    case IsoSpeedRatings:
        if (has(2))
            data.setIso(state.read16u(value));
        break;
    case PixelXDimension:
    case PixelYDimension:
        if (has(format == FormatShort ? 2 : 4)) {
            const quint16 dimension = format == FormatShort
                                          ? state.read16u(value)
                                          : static_cast<quint16>(state.read32u(value));
            if (tag == PixelXDimension)
                data.setWidth(dimension);
            else
                data.setHeight(dimension);
        }
        break;
    case FocalLengthIn35mmFilm:
        if (format == FormatShort && has(2))
            data.setKbFl(state.read16u(value));
        break;
    case ExifPointer:
        if (has(4))
            processExifDir(qint64(state.read32u(value)) - AreaStart, state);
        break;
    default:
        state.readCredit(tag, value, byteCount);
        break;
    }
}

} // namespace inkveil
