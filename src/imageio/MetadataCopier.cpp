// SPDX-FileCopyrightText: 2026 Tessaly
// SPDX-License-Identifier: GPL-3.0-or-later

#include "imageio/MetadataCopier.h"

#include "base/RegularFile.h"
#include "imageio/HeifCodec.h"
#include "imageio/ImageFormat.h"

#include <QFile>
#include <QList>
#include <QtEndian>

#include <exiv2/exiv2.hpp>
#include <zlib.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <cmath>
#include <cstring>
#include <exception>
#include <mutex>
#include <set>
#include <stdexcept>
#include <string>
#include <string_view>

namespace inkveil {

namespace {

// Exiv2 prints its warnings to the terminal and registers XMP namespaces in shared tables: it is
// set up once, quiet, with those registrations serialised for the workers.
std::mutex xmpMutex;

void lockXmp(void *, const bool lock)
{
    if (lock)
        xmpMutex.lock();
    else
        xmpMutex.unlock();
}

void setUpExiv2()
{
    static std::once_flag once;
    std::call_once(once, [] {
        Exiv2::LogMsg::setLevel(Exiv2::LogMsg::mute);
        Exiv2::XmpParser::initialize(lockXmp, nullptr);
    });
}

bool startsWith(const std::string &text, const std::string_view prefix)
{
    return text.compare(0, prefix.size(), prefix) == 0;
}

// Tags of the first image directory that describe how a file stores its pixels (or its colour,
// or where its other metadata sits). They belong to the file written, never to the source.
constexpr std::array<std::string_view, 32> ImageStructureTags{
    "NewSubfileType",
    "SubfileType",
    "ImageWidth",
    "ImageLength",
    "BitsPerSample",
    "Compression",
    "PhotometricInterpretation",
    "FillOrder",
    "StripOffsets",
    "Orientation",
    "SamplesPerPixel",
    "RowsPerStrip",
    "StripByteCounts",
    "XResolution",
    "YResolution",
    "PlanarConfiguration",
    "ResolutionUnit",
    "TransferFunction",
    "Predictor",
    "TileWidth",
    "TileLength",
    "TileOffsets",
    "TileByteCounts",
    "SubIFDs",
    "ExtraSamples",
    "SampleFormat",
    "JPEGInterchangeFormat",
    "JPEGInterchangeFormatLength",
    "XMLPacket",
    "IPTCNAA",
    "ImageResources",
    "InterColorProfile",
};

bool isStructureTag(const Exiv2::Exifdatum &datum)
{
    if (datum.groupName() != "Image")
        return false;
    const std::string name = datum.tagName();
    return std::find(ImageStructureTags.begin(), ImageStructureTags.end(), name) !=
               ImageStructureTags.end() ||
           name == "ExifTag" || name == "GPSTag" || startsWith(name, "YCbCr") ||
           name == "ReferenceBlackWhite";
}

bool isMakerNote(const Exiv2::Exifdatum &datum)
{
    const std::string group = datum.groupName();
    return group == "MakerNote" || Exiv2::ExifTags::isMakerGroup(group) ||
           datum.key() == "Exif.Photo.MakerNote";
}

// A preview image a camera files in its maker note (Casio's PreviewImage, Nikon's and Samsung's
// preview directories, Minolta's and Olympus' thumbnails, Pentax' preview): an unwatermarked copy
// of the photo, which no output may carry. Cameras name them, and the tags that locate them, so.
bool isMakerNotePreview(const Exiv2::Exifdatum &datum)
{
    if (!isMakerNote(datum))
        return false;
    const std::string key = datum.key();
    return key.find("Preview") != std::string::npos || key.find("Thumbnail") != std::string::npos;
}

// What ties a photo to a person or to one camera: the owner's name, serial numbers of the body,
// the lens and the camera's internals, and the camera's unique number for the picture, wherever
// a camera files them.
constexpr std::array<std::string_view, 5> ExifIdentityKeys{
    "Exif.Photo.BodySerialNumber", "Exif.Photo.LensSerialNumber", "Exif.Image.CameraSerialNumber",
    "Exif.Photo.CameraOwnerName",  "Exif.Photo.ImageUniqueID",
};
constexpr std::array<std::string_view, 8> XmpIdentityPrefixes{
    "Xmp.aux.SerialNumber",        "Xmp.aux.LensSerialNumber",    "Xmp.aux.OwnerName",
    "Xmp.exifEX.BodySerialNumber", "Xmp.exifEX.LensSerialNumber", "Xmp.exifEX.CameraSerialNumber",
    "Xmp.exifEX.CameraOwnerName",  "Xmp.exif.ImageUniqueID",
};
// Where a photo was taken or what place it shows.
constexpr std::array<std::string_view, 9> XmpLocationPrefixes{
    "Xmp.exif.GPS",
    "Xmp.exifEX.GPS",
    "Xmp.iptc.Location",
    "Xmp.iptc.CountryCode",
    "Xmp.photoshop.City",
    "Xmp.photoshop.State",
    "Xmp.photoshop.Country",
    "Xmp.iptcExt.LocationShown",
    "Xmp.iptcExt.LocationCreated",
};
constexpr std::array<std::string_view, 7> IptcLocationKeys{
    "Iptc.Application2.City",          "Iptc.Application2.SubLocation",
    "Iptc.Application2.ProvinceState", "Iptc.Application2.CountryName",
    "Iptc.Application2.CountryCode",   "Iptc.Application2.LocationCode",
    "Iptc.Application2.LocationName",
};
// Images of the source inside its XMP: previews, and the unblurred original and depth map a
// phone's portrait mode keeps. The output's own pixels are what counts.
constexpr std::array<std::string_view, 4> XmpImagePrefixes{
    "Xmp.xmp.Thumbnails", "Xmp.GImage.Data", "Xmp.GDepth.Data", "Xmp.GDepth.Confidence"};
// Properties Exiv2 makes up when it reads a file as a video (its own file name and path, MIME
// type, frame sizes): they describe how Exiv2 saw the source, not the photo.
constexpr std::array<std::string_view, 2> XmpContainerPrefixes{"Xmp.video.", "Xmp.audio."};

template <std::size_t N>
bool matchesAny(const std::string &key, const std::array<std::string_view, N> &prefixes)
{
    return std::any_of(prefixes.begin(), prefixes.end(),
                       [&](const std::string_view prefix) { return startsWith(key, prefix); });
}

// The EXIF that goes into the output: the source's picture and camera tags, without the tags
// that describe the source file's storage, its thumbnail or other images it held.
bool keepExif(const Exiv2::Exifdatum &datum, const MetadataCopier::Mode mode)
{
    const std::string group = datum.groupName();
    const bool carried = group == "Image" || group == "Photo" || group == "GPSInfo" ||
                         group == "Iop" || isMakerNote(datum);
    if (!carried || isStructureTag(datum) || isMakerNotePreview(datum))
        return false;
    if (mode != MetadataCopier::Mode::Private)
        return true;
    return group != "GPSInfo" && !isMakerNote(datum) && !matchesAny(datum.key(), ExifIdentityKeys);
}

// Whether an XMP property, in any schema (drones and phones file positions under their own),
// names a position: a GPS field, a latitude, longitude or altitude, also inside a structure
// ("Xmp.iptcExt.LocationShown[1]/exif:GPSLatitude").
bool isXmpPosition(const std::string &key)
{
    // The schema's own prefix ("Xmp.exif") names no property.
    std::string name = key.substr(std::min(key.find('.', 4), key.size()));
    std::transform(name.begin(), name.end(), name.begin(),
                   [](const unsigned char c) { return static_cast<char>(std::tolower(c)); });
    const auto contains = [&name](const char *word) {
        return name.find(word) != std::string::npos;
    };
    return contains("latitude") || contains("longitude") || contains("altitude") ||
           contains(".gps") || contains("/gps") || contains(":gps");
}

bool keepXmp(const Exiv2::Xmpdatum &datum, const MetadataCopier::Mode mode)
{
    const std::string key = datum.key();
    if (matchesAny(key, XmpImagePrefixes) || matchesAny(key, XmpContainerPrefixes))
        return false;
    return mode != MetadataCopier::Mode::Private ||
           !(matchesAny(key, XmpLocationPrefixes) || isXmpPosition(key) ||
             matchesAny(key, XmpIdentityPrefixes));
}

bool keepIptc(const Exiv2::Iptcdatum &datum, const MetadataCopier::Mode mode)
{
    return mode != MetadataCopier::Mode::Private || !matchesAny(datum.key(), IptcLocationKeys);
}

// Where a JPEG's or TIFF's EXIF structure starts in the file, and how many bytes it may span.
struct TiffSpan
{
    qint64 start = 0;
    qint64 size = 0;
};

std::optional<TiffSpan> tiffSpan(QFile &file)
{
    if (!file.seek(0))
        return std::nullopt;
    const QByteArray head = file.read(4);
    if (head == QByteArray("II*\0", 4) || head == QByteArray("MM\0*", 4))
        return TiffSpan{0, file.size()};
    if (!head.startsWith("\xff\xd8"))
        return std::nullopt;
    for (qint64 at = 2; file.seek(at);) {
        const QByteArray marker = file.read(4);
        if (marker.size() < 4 || static_cast<uchar>(marker.at(0)) != 0xff ||
            static_cast<uchar>(marker.at(1)) == 0xda)
            return std::nullopt;
        const qint64 length = qFromBigEndian<quint16>(marker.constData() + 2);
        if (static_cast<uchar>(marker.at(1)) == 0xe1 && file.read(6) == QByteArray("Exif\0\0", 6))
            return TiffSpan{at + 10, length - 8};
        at += 2 + length;
    }
    return std::nullopt;
}

// Whether a Canon maker note's values lie where its offsets say. Canon counts them from the
// start of the EXIF structure; an editor that moved the maker note without rewriting them
// leaves them pointing before it or past the EXIF, and Exiv2 would carry whatever bytes sit
// there as the camera's values.
bool canonMakerNoteMisplaced(const QString &path, const Exiv2::ExifData &exif)
{
    RegularFile opened;
    if (!opened.open(path))
        return false;
    QFile &file = opened.device();
    const auto offset = exif.findKey(Exiv2::ExifKey("Exif.MakerNote.Offset"));
    const auto order = exif.findKey(Exiv2::ExifKey("Exif.MakerNote.ByteOrder"));
    const auto canon = std::find_if(exif.begin(), exif.end(), [](const Exiv2::Exifdatum &datum) {
        return datum.groupName() == "Canon";
    });
    const std::optional<TiffSpan> span = tiffSpan(file);
    if (offset == exif.end() || order == exif.end() || canon == exif.end() || !span)
        return false;
    const bool big = order->toString() == "MM";
    const auto number = [big](const char *at, const int bytes) -> qint64 {
        if (bytes == 2)
            return big ? qFromBigEndian<quint16>(at) : qFromLittleEndian<quint16>(at);
        return big ? qFromBigEndian<quint32>(at) : qFromLittleEndian<quint32>(at);
    };
    const qint64 start = offset->toLong();
    if (!file.seek(span->start + start))
        return false;
    const QByteArray countBytes = file.read(2);
    if (countBytes.size() < 2)
        return false;
    const qint64 count = number(countBytes.constData(), 2);
    const QByteArray entries = file.read(12 * count);
    for (qsizetype at = 0; at + 12 <= entries.size(); at += 12) {
        const char *const entry = entries.constData() + at;
        const qint64 size =
            Exiv2::TypeInfo::typeSize(static_cast<Exiv2::TypeId>(number(entry + 2, 2))) *
            number(entry + 4, 4);
        const qint64 value = number(entry + 8, 4);
        if (size > 4 && (value < start || value + size > span->size))
            return true;
    }
    return false;
}

// A resolution as EXIF stores it: whole dots per inch where they are whole, else hundredths.
Exiv2::URational rationalDpi(const float dpi)
{
    const double value = static_cast<double>(dpi);
    if (std::abs(value - std::round(value)) < 1e-6)
        return {static_cast<uint32_t>(std::lround(value)), 1};
    return {static_cast<uint32_t>(std::lround(value * 100.0)), 100};
}

// Adds the source's EXIF that the mode keeps to `exif`, and makes it describe the file written:
// upright, at pixelSize, recorded at dpi (unless dpi is 0: a TIFF records its resolution itself,
// in the same tags). Tags already in `exif` are the file's own and win over the source's.
void carryExif(Exiv2::ExifData &exif, const Exiv2::ExifData &source,
               const MetadataCopier::Mode mode, const QSize pixelSize, const float dpi)
{
    std::set<std::string> ownKeys;
    for (const Exiv2::Exifdatum &datum : exif)
        ownKeys.insert(datum.key());
    bool carried = false;
    for (const Exiv2::Exifdatum &datum : source) {
        if (keepExif(datum, mode) && ownKeys.count(datum.key()) == 0) {
            exif.add(datum);
            carried = true;
        }
    }
    Exiv2::ExifThumb(exif).erase();
    if (!carried)
        return;
    exif["Exif.Image.Orientation"] = static_cast<uint16_t>(1);
    exif["Exif.Photo.PixelXDimension"] = static_cast<uint32_t>(pixelSize.width());
    exif["Exif.Photo.PixelYDimension"] = static_cast<uint32_t>(pixelSize.height());
    if (dpi > 0.0f) {
        exif["Exif.Image.XResolution"] = rationalDpi(dpi);
        exif["Exif.Image.YResolution"] = rationalDpi(dpi);
        exif["Exif.Image.ResolutionUnit"] = static_cast<uint16_t>(2); // inches
    }
}

// Adds the source's XMP that the mode keeps to `xmp`, upright and at pixelSize.
void carryXmp(Exiv2::XmpData &xmp, const Exiv2::XmpData &source, const MetadataCopier::Mode mode,
              const QSize pixelSize)
{
    for (const Exiv2::Xmpdatum &datum : source) {
        if (keepXmp(datum, mode))
            xmp.add(datum);
    }
    const auto setIfPresent = [&xmp](const char *key, const std::string &value) {
        const auto found = xmp.findKey(Exiv2::XmpKey(key));
        if (found != xmp.end())
            found->setValue(value);
    };
    setIfPresent("Xmp.tiff.Orientation", "1");
    const std::string width = std::to_string(pixelSize.width());
    const std::string height = std::to_string(pixelSize.height());
    setIfPresent("Xmp.exif.PixelXDimension", width);
    setIfPresent("Xmp.exif.PixelYDimension", height);
    setIfPresent("Xmp.tiff.ImageWidth", width);
    setIfPresent("Xmp.tiff.ImageLength", height);
}

// For a format with no place for IPTC: its fields that the mode keeps, as the XMP properties
// the IPTC Core mapping gives them, where the photo's XMP has none of its own.
void mirrorIptc(Exiv2::XmpData &xmp, const Exiv2::IptcData &source, const MetadataCopier::Mode mode)
{
    Exiv2::IptcData kept;
    for (const Exiv2::Iptcdatum &datum : source) {
        if (keepIptc(datum, mode))
            kept.add(datum);
    }
    if (kept.empty())
        return;
    Exiv2::XmpData mirrored;
    Exiv2::copyIptcToXmp(kept, mirrored);
    for (const Exiv2::Xmpdatum &datum : mirrored) {
        if (keepXmp(datum, mode) && xmp.findKey(Exiv2::XmpKey(datum.key())) == xmp.end())
            xmp.add(datum);
    }
}

bool holdsIptc(const QString &format)
{
    const ImageFormatInfo *const kind = ImageFormats::find(format);
    return kind && (kind->metadata & ImageFormatInfo::Iptc) != 0;
}

bool isTiff(const QString &format)
{
    return ImageFormats::fromName(format) == ImageFormat::Tiff;
}

// The metadata of JPEG and PNG files sits in their header, before the compressed pixels, which
// Exiv2 would otherwise copy through its own buffers several times: it is handed the header only
// and the pixels are appended to what it writes. A photo's header is a few kilobytes.
struct Split
{
    QByteArray head;        // what Exiv2 rewrites
    qsizetype tailFrom = 0; // where the part appended unchanged starts in the file
    qsizetype trailer = 0;  // bytes at the end of Exiv2's file that the tail replaces
};

const QByteArray PngEnd = QByteArray::fromHex("0000000049454e44ae426082"); // an empty IEND chunk

quint32 bigEndian(const QByteArray &file, const qsizetype at, const int bytes)
{
    quint32 value = 0;
    for (int i = 0; i < bytes; ++i)
        value = (value << 8) | static_cast<uchar>(file.at(at + i));
    return value;
}

// A JPEG up to and with its first start-of-scan segment; Exiv2 copies everything from that
// segment on as it finds it.
qsizetype jpegHeaderEnd(const QByteArray &file)
{
    if (!file.startsWith("\xff\xd8"))
        return 0;
    qsizetype at = 2;
    while (at + 4 <= file.size()) {
        if (static_cast<uchar>(file.at(at)) != 0xff)
            return 0;
        const auto marker = static_cast<uchar>(file.at(at + 1));
        if (marker == 0xff) { // fill byte
            ++at;
            continue;
        }
        const auto length = static_cast<qsizetype>(bigEndian(file, at + 2, 2));
        if (length < 2)
            return 0;
        at += 2 + length;
        if (marker == 0xda)
            return at <= file.size() ? at : 0;
    }
    return 0;
}

// Where a PNG's first image data chunk starts.
qsizetype pngDataStart(const QByteArray &file)
{
    if (!file.startsWith("\x89PNG\r\n\x1a\n"))
        return 0;
    qsizetype at = 8;
    while (at + 12 <= file.size()) {
        if (file.mid(at + 4, 4) == "IDAT")
            return at;
        at += 12 + static_cast<qsizetype>(bigEndian(file, at, 4));
    }
    return 0;
}

// A PNG chunk of `type` holding `data`, or nothing for no data.
QByteArray pngChunk(const char *type, const QByteArray &data)
{
    if (data.isEmpty())
        return {};
    QByteArray chunk(4, '\0');
    qToBigEndian(static_cast<quint32>(data.size()), chunk.data());
    chunk += QByteArray(type, 4) + data;
    QByteArray crc(4, '\0');
    qToBigEndian(
        static_cast<quint32>(crc32(0, reinterpret_cast<const Bytef *>(chunk.constData() + 4),
                                   static_cast<uInt>(chunk.size() - 4))),
        crc.data());
    return chunk + crc;
}

Split split(const QByteArray &file, const QString &format)
{
    const std::optional<ImageFormat> kind = ImageFormats::fromName(format);
    if (kind == ImageFormat::Jpeg) {
        if (const qsizetype end = jpegHeaderEnd(file))
            return {file.left(end), end, 0};
    } else if (kind == ImageFormat::Png) {
        if (const qsizetype start = pngDataStart(file))
            return {file.left(start) + PngEnd, start, PngEnd.size()};
    }
    return {file, file.size(), 0};
}

// Runs a step that calls Exiv2, which reports failures by throwing: they stop here and come
// back as the step's reason.
template <typename Step> auto guarded(Step step) -> decltype(step())
{
    try {
        return step();
    } catch (const std::exception &error) {
        return Error{QString::fromLocal8Bit(error.what())};
    } catch (...) {
        return Error{QStringLiteral("unknown error")};
    }
}

// What a compressed PNG text or profile chunk inflates to, counted without being kept, up to
// just past `most`; 0 for text stored as it is.
qint64 inflatedSize(const QByteArray &type, const QByteArray &data, const qint64 most)
{
    qsizetype start = data.indexOf('\0') + 1; // past the keyword
    if (start == 0)
        return 0;
    if (type == "iTXt") {
        if (start + 2 > data.size() || data.at(start) == 0)
            return 0;
        // Past the compression flag and method, the language and the translated keyword.
        start = data.indexOf('\0', data.indexOf('\0', start + 2) + 1) + 1;
        if (start <= 0)
            return 0;
    } else {
        ++start; // the compression method
    }
    if (start >= data.size())
        return 0;
    z_stream stream{};
    if (inflateInit(&stream) != Z_OK)
        return 0;
    stream.next_in = reinterpret_cast<Bytef *>(const_cast<char *>(data.constData() + start));
    stream.avail_in = static_cast<uInt>(data.size() - start);
    std::array<Bytef, 16384> out{};
    qint64 total = 0;
    int status = Z_OK;
    while (status == Z_OK && total <= most) {
        stream.next_out = out.data();
        stream.avail_out = static_cast<uInt>(out.size());
        status = inflate(&stream, Z_NO_FLUSH);
        total += static_cast<qint64>(out.size() - stream.avail_out);
    }
    inflateEnd(&stream);
    return total;
}

// The bytes of a JPEG's colour profile, in its APP2 segments ahead of the image data: Exiv2
// and the decoder each put them together whole.
qint64 jpegProfileBytes(QIODevice &file)
{
    qint64 total = 0;
    for (qint64 at = 2; file.seek(at);) {
        const QByteArray header = file.read(16);
        if (header.size() < 4 || uchar(header.at(0)) != 0xFF || uchar(header.at(1)) == 0xDA)
            break;
        const qint64 length = qFromBigEndian<quint16>(header.constData() + 2);
        if (uchar(header.at(1)) == 0xE2 && header.mid(4) == QByteArray("ICC_PROFILE\0", 12))
            total += length;
        at += 2 + length;
    }
    return total;
}

// The largest text, EXIF, XMP or profile chunk of a PNG (or a WebP) file open on `file`. A
// compressed one counts with what it inflates to, which is held beside it while it is read.
qint64 largestChunk(QIODevice &file, const bool png)
{
    static const QList<QByteArray> compressedTypes{"iTXt", "zTXt", "iCCP"};
    static const QList<QByteArray> metadataTypes{"iTXt", "zTXt", "tEXt", "eXIf",
                                                 "iCCP", "EXIF", "XMP ", "ICCP"};
    qint64 largest = 0;
    for (qint64 at = png ? 8 : 12; file.seek(at);) {
        const QByteArray header = file.read(8);
        if (header.size() < 8)
            break;
        const qint64 size = png ? qFromBigEndian<quint32>(header.constData())
                                : qFromLittleEndian<quint32>(header.constData() + 4);
        const QByteArray type = png ? header.mid(4, 4) : header.left(4);
        qint64 held = size;
        if (png && compressedTypes.contains(type) && size <= MetadataCopier::MaxMetadataBytes)
            held += inflatedSize(type, file.read(size), MetadataCopier::MaxMetadataBytes);
        if (metadataTypes.contains(type))
            largest = std::max(largest, held);
        at += 8 + size + (png ? 4 : size % 2);
    }
    return largest;
}

// The largest XMP, IPTC, Photoshop or ICC block of a TIFF file's first directory.
qint64 largestTiffBlock(QIODevice &file, const bool big)
{
    const auto number = [big](const QByteArray &bytes, const qsizetype at, const int size) {
        const char *const data = bytes.constData() + at;
        if (size == 2)
            return qint64(big ? qFromBigEndian<quint16>(data) : qFromLittleEndian<quint16>(data));
        return qint64(big ? qFromBigEndian<quint32>(data) : qFromLittleEndian<quint32>(data));
    };
    const QByteArray header = file.read(4);
    if (header.size() < 4 || !file.seek(number(header, 0, 4)))
        return 0;
    const QByteArray countBytes = file.read(2);
    const QByteArray entries =
        countBytes.size() == 2 ? file.read(12 * number(countBytes, 0, 2)) : QByteArray();
    constexpr std::array<qint64, 4> metadataTags{700, 33723, 34377, 34675};
    qint64 largest = 0;
    for (qsizetype at = 0; at + 12 <= entries.size(); at += 12) {
        if (std::find(metadataTags.begin(), metadataTags.end(), number(entries, at, 2)) ==
            metadataTags.end())
            continue;
        const auto type = static_cast<Exiv2::TypeId>(number(entries, at + 2, 2));
        largest = std::max(largest, Exiv2::TypeInfo::typeSize(type) * number(entries, at + 4, 4));
    }
    return largest;
}

// The largest camera-data block of the photo at `path`, from the headers of its parts alone:
// Exiv2 reads each block whole and builds XMP's tree at about ten times its size. JPEG's
// segments are small by nature; only its colour profile spans many.
qint64 largestMetadataBlock(const QString &path)
{
    RegularFile opened;
    if (!opened.open(path))
        return 0;
    QFile &file = opened.device();
    const QByteArray head = file.read(12);
    if (head.startsWith("\x89PNG\r\n\x1a\n"))
        return largestChunk(file, true);
    if (head.startsWith("RIFF") && head.mid(8, 4) == "WEBP")
        return largestChunk(file, false);
    if (head.startsWith(QByteArray("II*\0", 4)) || head.startsWith(QByteArray("MM\0*", 4)))
        return file.seek(4) ? largestTiffBlock(file, head.startsWith("MM")) : 0;
    if (HeifCodec::recognises(head))
        return HeifCodec::largestMetadataItem(path);
    if (head.startsWith("\xFF\xD8"))
        return jpegProfileBytes(file);
    return 0;
}

// Exiv2's video readers (RIFF, Matroska, QuickTime, ASF: its image types 20, 21, 22 and 24)
// make up tags of their own and can spin for many seconds on a hostile file; no photo is one.
bool isVideo(const int imageType)
{
    return imageType == 20 || imageType == 21 || imageType == 22 || imageType == 24;
}

bool isHeif(const QString &path)
{
    RegularFile file;
    return file.open(path).ok() && HeifCodec::recognises(file.device().read(64));
}

} // namespace

struct MetadataCopier::Data
{
    Exiv2::ExifData exif;
    Exiv2::IptcData iptc;
    Exiv2::XmpData xmp;
};

// Exiv2 would read a HEIF file as a video and describe the container instead of the photo.
std::unique_ptr<MetadataCopier::Data> MetadataCopier::heifData(const QString &path)
{
    auto data = std::make_unique<Data>();
    const QByteArray exif = HeifCodec::exifData(path);
    if (!exif.isEmpty())
        Exiv2::ExifParser::decode(data->exif,
                                  reinterpret_cast<const Exiv2::byte *>(exif.constData()),
                                  static_cast<uint32_t>(exif.size()));
    const QByteArray xmp = HeifCodec::xmpData(path);
    if (!xmp.isEmpty() && Exiv2::XmpParser::decode(data->xmp, xmp.toStdString()) != 0)
        throw std::runtime_error("Exiv2 could not read the XMP packet");
    return data;
}

MetadataCopier::Mode MetadataCopier::modeFromOption(const int option)
{
    if (option == static_cast<int>(Mode::Private))
        return Mode::Private;
    if (option == static_cast<int>(Mode::None))
        return Mode::None;
    return Mode::Keep;
}

MetadataCopier::MetadataCopier(const QString &sourcePath, const Mode mode)
    : m_mode(mode)
{
    if (mode == Mode::None)
        return;
    setUpExiv2();
    if (const qint64 largest = largestMetadataBlock(sourcePath); largest > MaxMetadataBytes) {
        m_read = Error{QStringLiteral("its camera data takes %1 MB, more than photos carry")
                           .arg(largest / (1024 * 1024))};
        return;
    }
    m_read = guarded([&]() -> Status {
        if (isHeif(sourcePath)) {
            m_data = heifData(sourcePath);
            return {};
        }
        const auto image =
            Exiv2::ImageFactory::open(RegularFile::encodeName(sourcePath).toStdString());
        if (isVideo(image->imageType()))
            return Error{QStringLiteral("it is held in a video's container")};
        image->readMetadata();
        auto data = std::make_unique<Data>();
        data->exif = image->exifData();
        if (mode == Mode::Keep && canonMakerNoteMisplaced(sourcePath, data->exif)) {
            data->exif.erase(std::remove_if(data->exif.begin(), data->exif.end(), isMakerNote),
                             data->exif.end());
            m_note = QStringLiteral("its values lie elsewhere than its offsets say");
        }
        data->iptc = image->iptcData();
        data->xmp = image->xmpData();
        m_data = std::move(data);
        return {};
    });
}

MetadataCopier::~MetadataCopier() = default;

qint64 MetadataCopier::memoryNeeded(const QString &sourcePath)
{
    constexpr qint64 XmpTreeFactor = 12;
    const qint64 largest = largestMetadataBlock(sourcePath);
    return largest <= MaxMetadataBytes ? largest * XmpTreeFactor : 0;
}

bool MetadataCopier::formatCarriesMetadata(const QString &format)
{
    const ImageFormatInfo *const kind = ImageFormats::find(format);
    return kind && kind->writable && kind->metadata != 0;
}

bool MetadataCopier::formatEmbedsMetadata(const QString &format)
{
    const ImageFormatInfo *const kind = ImageFormats::find(format);
    return kind && kind->writable && kind->embedsMetadata;
}

QByteArray MetadataCopier::exifBlob(const QSize pixelSize, const float dpi) const
{
    Exiv2::ExifData exif;
    carryExif(exif, m_data->exif, m_mode, pixelSize, dpi);
    if (exif.empty())
        return {};
    Exiv2::Blob blob;
    Exiv2::ExifParser::encode(blob, Exiv2::littleEndian, exif);
    return QByteArray(reinterpret_cast<const char *>(blob.data()),
                      static_cast<qsizetype>(blob.size()));
}

QByteArray MetadataCopier::xmpPacket(const QString &format, const QSize pixelSize) const
{
    Exiv2::XmpData xmp;
    carryXmp(xmp, m_data->xmp, m_mode, pixelSize);
    if (!holdsIptc(format))
        mirrorIptc(xmp, m_data->iptc, m_mode);
    if (xmp.empty())
        return {};
    std::string packet;
    if (Exiv2::XmpParser::encode(packet, xmp) != 0)
        throw std::runtime_error("Exiv2 could not write the XMP packet");
    return QByteArray::fromStdString(packet);
}

Result<CameraData> MetadataCopier::embeddedData(const QString &format, const QSize pixelSize,
                                                const float dpi) const
{
    if (m_mode == Mode::None || !formatEmbedsMetadata(format))
        return CameraData{};
    if (!m_data)
        return m_read.error();
    return guarded([&]() -> Result<CameraData> {
        CameraData data;
        data.exif = exifBlob(pixelSize, dpi);
        data.xmp = xmpPacket(format, pixelSize);
        return data;
    });
}

Status MetadataCopier::writeInto(QByteArray &encoded, const QString &format, const QSize pixelSize,
                                 const float dpi) const
{
    if (m_mode == Mode::None || !formatCarriesMetadata(format) || formatEmbedsMetadata(format))
        return {};
    if (!m_data)
        return m_read.error();
    if (m_data->exif.empty() && m_data->iptc.empty() && m_data->xmp.empty())
        return {}; // nothing to carry: the file stays exactly as encoded
    return guarded([&]() -> Status { return carryInto(encoded, format, pixelSize, dpi); });
}

Status MetadataCopier::carryInto(QByteArray &encoded, const QString &format, const QSize pixelSize,
                                 const float dpi) const
{
    const Split parts = split(encoded, format);
    const auto image =
        Exiv2::ImageFactory::open(reinterpret_cast<const Exiv2::byte *>(parts.head.constData()),
                                  static_cast<long>(parts.head.size()));
    // The output's own metadata first: its colour profile, and for TIFF the tags that
    // describe its pixels.
    image->readMetadata();

    // Exiv2 0.27 files a PNG's EXIF in a text chunk most readers ignore; it goes into the
    // standard eXIf chunk instead, added below.
    const bool png = ImageFormats::fromName(format) == ImageFormat::Png && parts.trailer > 0;
    if (!png)
        carryExif(image->exifData(), m_data->exif, m_mode, pixelSize, isTiff(format) ? 0.0f : dpi);

    carryXmp(image->xmpData(), m_data->xmp, m_mode, pixelSize);
    if (holdsIptc(format)) {
        Exiv2::IptcData &iptc = image->iptcData();
        for (const Exiv2::Iptcdatum &datum : m_data->iptc) {
            if (keepIptc(datum, m_mode))
                iptc.add(datum);
        }
    } else {
        mirrorIptc(image->xmpData(), m_data->iptc, m_mode);
    }

    image->writeMetadata();

    Exiv2::BasicIo &io = image->io();
    io.open();
    const auto headSize = static_cast<qsizetype>(io.size()) - parts.trailer;
    const QByteArray exifChunk = png ? pngChunk("eXIf", exifBlob(pixelSize, dpi)) : QByteArray();
    const qsizetype tailSize = encoded.size() - parts.tailFrom;
    QByteArray written(std::max<qsizetype>(0, headSize) + exifChunk.size() + tailSize,
                       Qt::Uninitialized);
    const long read = headSize < 0 ? -1
                                   : io.read(reinterpret_cast<Exiv2::byte *>(written.data()),
                                             static_cast<long>(headSize));
    io.close();
    if (read != static_cast<long>(headSize))
        return Error{QStringLiteral("Exiv2 wrote a file of an unexpected shape")};
    // The eXIf chunk goes right before the image data, as the format asks.
    std::memcpy(written.data() + headSize, exifChunk.constData(),
                static_cast<size_t>(exifChunk.size()));
    std::memcpy(written.data() + headSize + exifChunk.size(), encoded.constData() + parts.tailFrom,
                static_cast<size_t>(tailSize));
    encoded = std::move(written);
    return {};
}

} // namespace inkveil
