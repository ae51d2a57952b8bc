// SPDX-FileCopyrightText: 2026 Tessaly
// SPDX-License-Identifier: GPL-3.0-or-later

#include "imageio/JpegCodec.h"

#include "imageio/CmykConversion.h"
#include "imageio/IccProfile.h"

#include <QBuffer>
#include <QColorSpace>

#include <algorithm>
#include <csetjmp>
#include <cstdio> // jpeglib.h needs FILE
#include <cstdlib>
#include <memory>
#include <new>
#include <optional>
#include <vector>

#include <jpeglib.h>
// After jpeglib.h, which it needs.
#include <jerror.h>

namespace inkveil {

#if !defined(JCS_EXTENSIONS)
#error "libjpeg-turbo's colour space extensions are needed (Debian: libjpeg62-turbo-dev)"
#endif

namespace {

// QImage keeps Format_RGB32 pixels as 32-bit words 0xffRRGGBB, so their byte order in memory
// follows the machine's. Decoding asks for the alpha layouts: with the X layouts libjpeg-turbo
// leaves the fourth byte as it finds it, where Qt needs 0xff.
#if Q_BYTE_ORDER == Q_LITTLE_ENDIAN
constexpr J_COLOR_SPACE FourByteColorSpace = JCS_EXT_BGRX;
constexpr J_COLOR_SPACE OpaqueFourByteColorSpace = JCS_EXT_BGRA;
#else
constexpr J_COLOR_SPACE FourByteColorSpace = JCS_EXT_XRGB;
constexpr J_COLOR_SPACE OpaqueFourByteColorSpace = JCS_EXT_ARGB;
#endif

// libjpeg reports a fatal error by calling error_exit, which must not return; it jumps back to
// the guard that started the step. Only plain C state lives between the guard and the jump.
struct ErrorManager
{
    jpeg_error_mgr pub;
    std::jmp_buf jump;
    char message[JMSG_LENGTH_MAX];
    // Why the pixels are not all the file's own, from a warning libjpeg carried on after; null
    // while they are.
    const char *damage;
};

[[noreturn]] void errorExit(j_common_ptr info)
{
    auto *const error = reinterpret_cast<ErrorManager *>(info->err);
    (*info->err->format_message)(info, error->message);
    std::longjmp(error->jump, 1);
}

// Warnings (a file cut short, a bad restart marker) are not fatal and libjpeg carries on with
// what it has; nothing of them goes to the terminal.
void ignoreMessage(j_common_ptr) {}

// libjpeg fills missing or undecodable data with grey and carries on; such a photo is noted as
// damaged. Warnings about the file's form (bytes between markers, an unknown JFIF version) leave
// the pixels whole and are ignored. The end of the file alone is no damage in a single scan:
// data missing from a scan shows as a scan that ends early, while a file missing only its end
// marker has all its pixels. A progressive file may stop between scans, all pixels there but
// blurred: the end of the file there is damage.
void noteDamage(j_common_ptr info, int level)
{
    if (level >= 0) // trace messages
        return;
    ++info->err->num_warnings;
    auto *const error = reinterpret_cast<ErrorManager *>(info->err);
    if (error->damage || !info->is_decompressor)
        return;
    const auto *const decompress = reinterpret_cast<j_decompress_ptr>(info);
    switch (info->err->msg_code) {
    case JWRN_JPEG_EOF:
        if (decompress->progressive_mode || decompress->comps_in_scan < decompress->num_components)
            error->damage = JpegCodec::EndsEarly;
        break;
    case JWRN_HIT_MARKER:
        error->damage = JpegCodec::EndsEarly;
        break;
    case JWRN_HUFF_BAD_CODE:
    case JWRN_ARITH_BAD_CODE:
    case JWRN_MUST_RESYNC:
        error->damage = JpegCodec::CorruptData;
        break;
    default:
        break;
    }
}

void installErrorManager(ErrorManager &error)
{
    jpeg_std_error(&error.pub);
    error.pub.error_exit = errorExit;
    error.pub.output_message = ignoreMessage;
    error.pub.emit_message = noteDamage;
    error.message[0] = '\0';
    error.damage = nullptr;
}

[[noreturn]] void outOfMemory(j_compress_ptr info)
{
    info->err->msg_code = JERR_OUT_OF_MEMORY;
    (*info->err->error_exit)(reinterpret_cast<j_common_ptr>(info));
    std::abort(); // error_exit does not return
}

void limitScans(j_common_ptr info)
{
    const auto *const decompress = reinterpret_cast<j_decompress_ptr>(info);
    if (decompress->input_scan_number <= JpegCodec::MaxScans)
        return;
    auto *const error = reinterpret_cast<ErrorManager *>(info->err);
    std::snprintf(error->message, sizeof error->message, "more than %d scans", JpegCodec::MaxScans);
    std::longjmp(error->jump, 1);
}

// Runs one step of libjpeg work; false when libjpeg gave up, with its message in the error
// manager. The step must not create anything that needs destroying: a jump skips destructors.
template <typename Step> bool guarded(ErrorManager &error, const Step &step)
{
    if (setjmp(error.jump) != 0)
        return false;
    step();
    return true;
}

struct Decompressor
{
    Decompressor()
    {
        installErrorManager(error);
        info.err = &error.pub;
        created = guarded(error, [this] { jpeg_create_decompress(&info); });
        progress.progress_monitor = limitScans;
        info.progress = &progress;
    }
    ~Decompressor()
    {
        if (created)
            jpeg_destroy_decompress(&info);
    }
    Q_DISABLE_COPY_MOVE(Decompressor)

    ErrorManager error{};
    jpeg_decompress_struct info{};
    jpeg_progress_mgr progress{};
    bool created = false;
};

// Input streamed from a device in chunks, so that memory never depends on the file's length
// (a photo followed by a gigabyte of zeros is read only up to its end of image). The end of the
// device reads as an end-of-image marker with a warning, as libjpeg's own file source does; the
// warning marks a file cut short as damaged.
struct DeviceSource
{
    static constexpr size_t ChunkSize = 64 * 1024;
    jpeg_source_mgr pub;
    QIODevice *device;
    std::unique_ptr<JOCTET[]> chunk;
};

void initSource(j_decompress_ptr) {}
void termSource(j_decompress_ptr) {}

boolean fillInputBuffer(j_decompress_ptr info)
{
    auto &source = *reinterpret_cast<DeviceSource *>(info->src);
    qint64 got = source.device->read(reinterpret_cast<char *>(source.chunk.get()),
                                     static_cast<qint64>(DeviceSource::ChunkSize));
    if (got <= 0) {
        WARNMS(info, JWRN_JPEG_EOF);
        source.chunk[0] = 0xFF;
        source.chunk[1] = JPEG_EOI;
        got = 2;
    }
    source.pub.next_input_byte = source.chunk.get();
    source.pub.bytes_in_buffer = static_cast<size_t>(got);
    return TRUE;
}

void skipInputData(j_decompress_ptr info, long count)
{
    if (count <= 0)
        return;
    auto &source = *reinterpret_cast<DeviceSource *>(info->src);
    auto remaining = static_cast<size_t>(count);
    while (remaining > source.pub.bytes_in_buffer) {
        remaining -= source.pub.bytes_in_buffer;
        fillInputBuffer(info);
    }
    source.pub.next_input_byte += remaining;
    source.pub.bytes_in_buffer -= remaining;
}

// Output straight into a QByteArray that grows as the encoder fills it.
struct ByteArrayDestination
{
    jpeg_destination_mgr pub;
    QByteArray *bytes;
    qsizetype initialSize;
};

bool resizeDestination(ByteArrayDestination &destination, const qsizetype size)
{
    try {
        destination.bytes->resize(size);
    } catch (const std::bad_alloc &) {
        return false;
    }
    return true;
}

void initDestination(j_compress_ptr info)
{
    auto &destination = *reinterpret_cast<ByteArrayDestination *>(info->dest);
    if (!resizeDestination(destination, destination.initialSize))
        outOfMemory(info);
    destination.pub.next_output_byte = reinterpret_cast<JOCTET *>(destination.bytes->data());
    destination.pub.free_in_buffer = static_cast<size_t>(destination.bytes->size());
}

boolean emptyOutputBuffer(j_compress_ptr info)
{
    // libjpeg calls this only when the whole buffer is full.
    auto &destination = *reinterpret_cast<ByteArrayDestination *>(info->dest);
    const qsizetype used = destination.bytes->size();
    if (!resizeDestination(destination, used + used / 2))
        outOfMemory(info);
    destination.pub.next_output_byte = reinterpret_cast<JOCTET *>(destination.bytes->data()) + used;
    destination.pub.free_in_buffer = static_cast<size_t>(destination.bytes->size() - used);
    return TRUE;
}

void termDestination(j_compress_ptr info)
{
    auto &destination = *reinterpret_cast<ByteArrayDestination *>(info->dest);
    destination.bytes->truncate(destination.bytes->size() -
                                static_cast<qsizetype>(destination.pub.free_in_buffer));
}

struct Compressor
{
    Compressor()
    {
        installErrorManager(error);
        info.err = &error.pub;
        created = guarded(error, [this] { jpeg_create_compress(&info); });
    }
    ~Compressor()
    {
        if (created)
            jpeg_destroy_compress(&info);
    }
    Q_DISABLE_COPY_MOVE(Compressor)

    ErrorManager error{};
    jpeg_compress_struct info{};
    bool created = false;
};

Error failed(const ErrorManager &error)
{
    return {QString::fromLocal8Bit(error.message)};
}

QByteArray iccProfile(Decompressor &decompressor)
{
    JOCTET *data = nullptr;
    unsigned int length = 0;
    const bool read = guarded(decompressor.error, [&] {
        if (!jpeg_read_icc_profile(&decompressor.info, &data, &length))
            data = nullptr;
    });
    if (!read || !data)
        return {};
    const QByteArray profile(reinterpret_cast<const char *>(data), static_cast<qsizetype>(length));
    std::free(data);
    return profile;
}

// Decodes every row into the buffer; CMYK rows through a row of their own and the conversion.
bool readRows(Decompressor &decompressor, QImage &buffer, const CmykConversion *cmyk)
{
    jpeg_decompress_struct &info = decompressor.info;
    uchar *const pixels = buffer.bits();
    const qsizetype bytesPerLine = buffer.bytesPerLine();
    std::vector<uchar> cmykRow(cmyk ? static_cast<size_t>(buffer.width()) * 4 : 0);
    return guarded(decompressor.error, [&] {
        jpeg_start_decompress(&info);
        while (info.output_scanline < info.output_height) {
            uchar *const line = pixels + bytesPerLine * info.output_scanline;
            JSAMPROW row = cmyk ? cmykRow.data() : line;
            jpeg_read_scanlines(&info, &row, 1);
            if (cmyk)
                cmyk->toRgb32(cmykRow.data(), line, buffer.width());
        }
        jpeg_finish_decompress(&info);
    });
}

// Dots per metre as Qt's JPEG reader records a JFIF density, or 0 for none.
int jfifDotsPerMetre(const jpeg_decompress_struct &info, const UINT16 density)
{
    if (!info.saw_JFIF_marker)
        return 0;
    if (info.density_unit == 1) // dots per inch
        return static_cast<int>(100.0 * density / 2.54);
    if (info.density_unit == 2) // dots per centimetre
        return static_cast<int>(100.0 * density);
    return 0; // an aspect ratio only
}

} // namespace

Result<JpegCodec::Decoding> JpegCodec::decode(const QByteArray &file, const int reduction,
                                              const qint64 maxPixels, QImage &buffer)
{
    QBuffer device;
    device.setData(file);
    device.open(QIODevice::ReadOnly);
    return decode(device, reduction, maxPixels, buffer);
}

Result<JpegCodec::Decoding> JpegCodec::decode(QIODevice &file, const int reduction,
                                              const qint64 maxPixels, QImage &buffer)
{
    Decompressor decompressor;
    jpeg_decompress_struct &info = decompressor.info;
    if (!decompressor.created)
        return failed(decompressor.error);

    DeviceSource source{{}, &file, std::make_unique<JOCTET[]>(DeviceSource::ChunkSize)};
    source.pub.init_source = initSource;
    source.pub.fill_input_buffer = fillInputBuffer;
    source.pub.skip_input_data = skipInputData;
    source.pub.resync_to_restart = jpeg_resync_to_restart;
    source.pub.term_source = termSource;
    info.src = &source.pub;

    const bool header = guarded(decompressor.error, [&] {
        jpeg_save_markers(&info, JPEG_APP0 + 2, 0xFFFF);
        jpeg_read_header(&info, TRUE);
    });
    if (!header)
        return failed(decompressor.error);

    if (qint64(info.image_width) * info.image_height > maxPixels)
        return Error{QStringLiteral("%1 x %2 pixels is more than %3 megapixels")
                         .arg(info.image_width)
                         .arg(info.image_height)
                         .arg(maxPixels / 1'000'000)};

    const QByteArray profile = iccProfile(decompressor);
    std::optional<CmykConversion> cmyk;
    QImage::Format format = QImage::Format_Invalid;
    if ((info.jpeg_color_space == JCS_YCbCr || info.jpeg_color_space == JCS_RGB) &&
        info.num_components == 3) {
        format = QImage::Format_RGB32;
        info.out_color_space = OpaqueFourByteColorSpace;
    } else if (info.jpeg_color_space == JCS_GRAYSCALE && info.num_components == 1) {
        format = QImage::Format_Grayscale8;
        info.out_color_space = JCS_GRAYSCALE;
    } else if ((info.jpeg_color_space == JCS_CMYK || info.jpeg_color_space == JCS_YCCK) &&
               info.num_components == 4) {
        // Converted through the profile it carries; one without is left to Qt's reader. Its
        // colours can't be read right without the profile, so one too large fails the photo.
        if (profile.size() > MaxIccBytes)
            return Error{oversizedIccReason(profile.size())};
        cmyk = CmykConversion::fromProfile(profile, info.saw_Adobe_marker);
        if (!cmyk)
            return Decoding{Status::Unsupported};
        format = QImage::Format_RGB32;
        info.out_color_space = JCS_CMYK;
    } else {
        return Decoding{Status::Unsupported};
    }
    info.scale_num = 1;
    info.scale_denom = static_cast<unsigned int>(std::clamp(reduction, 1, 8));
    if (!guarded(decompressor.error, [&] { jpeg_calc_output_dimensions(&info); }))
        return failed(decompressor.error);

    const QSize size(static_cast<int>(info.output_width), static_cast<int>(info.output_height));
    if (buffer.size() != size || buffer.format() != format) {
        buffer = QImage(); // let go of the old pixels before taking new ones
        buffer = QImage(size, format);
        if (buffer.isNull())
            return Error{QStringLiteral("not enough memory")};
    }
    // CMYK comes out in sRGB, which a photo without a profile is taken for. Qt warns about every
    // empty profile it is handed, so a photo without one is not handed over.
    buffer.setColorSpace(cmyk || profile.isEmpty() ? QColorSpace()
                                                   : QColorSpace::fromIccProfile(profile));

    if (!readRows(decompressor, buffer, cmyk ? &*cmyk : nullptr))
        return failed(decompressor.error);
    if (decompressor.error.damage)
        return Error{QString::fromLatin1(decompressor.error.damage)};
    return Decoding{Status::Decoded, jfifDotsPerMetre(info, info.X_density),
                    jfifDotsPerMetre(info, info.Y_density)};
}

Result<QByteArray> JpegCodec::encode(const QImage &image, const int quality, const int dotsPerInch)
{
    if (image.isNull())
        return Error{QStringLiteral("There is no image to encode.")};
    const QImage::Format format = image.format();
    const bool grey = format == QImage::Format_Grayscale8;
    if (!grey && format != QImage::Format_RGB32 && format != QImage::Format_ARGB32 &&
        format != QImage::Format_ARGB32_Premultiplied)
        return encode(image.convertToFormat(QImage::Format_RGB32), quality, dotsPerInch);

    Compressor compressor;
    jpeg_compress_struct &info = compressor.info;
    if (!compressor.created)
        return failed(compressor.error);

    QByteArray bytes;
    // Room for a byte a pixel, more than a photo takes at any quality short of 100, so that the
    // bytes are rarely copied to grow; pages the encoder never writes take no memory.
    const qsizetype room = qsizetype(image.width()) * image.height() / 2;
    ByteArrayDestination destination{{}, &bytes, std::max<qsizetype>(64 * 1024, room)};
    destination.pub.init_destination = initDestination;
    destination.pub.empty_output_buffer = emptyOutputBuffer;
    destination.pub.term_destination = termDestination;
    info.dest = &destination.pub;

    // Only a profile of the file's own kind, grey or RGB, is written.
    QByteArray profile = image.colorSpace().iccProfile();
    if (!iccFitsChannels(profile, grey))
        profile.clear();
    const uchar *const pixels = image.constBits();
    const qsizetype bytesPerLine = image.bytesPerLine();
    const bool encoded = guarded(compressor.error, [&] {
        info.image_width = static_cast<JDIMENSION>(image.width());
        info.image_height = static_cast<JDIMENSION>(image.height());
        info.input_components = grey ? 1 : 4;
        info.in_color_space = grey ? JCS_GRAYSCALE : FourByteColorSpace;
        jpeg_set_defaults(&info);
        info.density_unit = 1;
        info.X_density = static_cast<UINT16>(std::clamp(dotsPerInch, 1, 65535));
        info.Y_density = info.X_density;
        jpeg_set_quality(&info, std::clamp(quality, 0, 100), TRUE);
        // At high quality colour keeps full resolution: halved chroma smears thin coloured
        // lines such as red text into their surroundings.
        if (!grey && quality >= JpegCodec::FullChromaQuality) {
            info.comp_info[0].h_samp_factor = 1;
            info.comp_info[0].v_samp_factor = 1;
        }
        jpeg_start_compress(&info, TRUE);
        if (!profile.isEmpty())
            jpeg_write_icc_profile(&info, reinterpret_cast<const JOCTET *>(profile.constData()),
                                   static_cast<unsigned int>(profile.size()));
        while (info.next_scanline < info.image_height) {
            // libjpeg reads the rows only; its interface is older than const.
            JSAMPROW row = const_cast<uchar *>(pixels + bytesPerLine * info.next_scanline);
            jpeg_write_scanlines(&info, &row, 1);
        }
        jpeg_finish_compress(&info);
    });
    if (!encoded)
        return failed(compressor.error);
    return bytes;
}

} // namespace inkveil
