// SPDX-FileCopyrightText: 2026 Tessaly
// SPDX-License-Identifier: GPL-3.0-or-later

#include "imageio/HeifCodec.h"

#include "base/RegularFile.h"
#include "base/StopScope.h"
#include "imageio/HeifLayout.h"

#include <QColorSpace>
#include <QDeadlineTimer>
#include <QFile>
#include <QList>
#include <QtEndian>

#include <libheif/heif.h>

#include <algorithm>
#include <cstring>
#include <memory>

namespace inkveil {

namespace {

// libheif loads its decoder plugins once per process.
void initialise()
{
    static const bool initialised = [] {
        heif_init(nullptr);
        return true;
    }();
    Q_UNUSED(initialised);
}

struct ContextDeleter
{
    void operator()(heif_context *context) const { heif_context_free(context); }
};
struct HandleDeleter
{
    void operator()(heif_image_handle *handle) const { heif_image_handle_release(handle); }
};
struct NclxDeleter
{
    void operator()(heif_color_profile_nclx *profile) const
    {
        heif_nclx_color_profile_free(profile);
    }
};
using Context = std::unique_ptr<heif_context, ContextDeleter>;
using Handle = std::unique_ptr<heif_image_handle, HandleDeleter>;
using NclxProfile = std::unique_ptr<heif_color_profile_nclx, NclxDeleter>;

QString reason(const heif_error &error)
{
    return QString::fromUtf8(error.message ? error.message : "unknown libheif error");
}

QColorSpace colorSpaceOf(const heif_image_handle *handle)
{
    const heif_color_profile_type type = heif_image_handle_get_color_profile_type(handle);
    if (type == heif_color_profile_type_prof || type == heif_color_profile_type_rICC) {
        QByteArray icc(static_cast<qsizetype>(heif_image_handle_get_raw_color_profile_size(handle)),
                       Qt::Uninitialized);
        if (!icc.isEmpty() &&
            heif_image_handle_get_raw_color_profile(handle, icc.data()).code == heif_error_Ok)
            return QColorSpace::fromIccProfile(icc);
        return {};
    }
    // An nclx box names primaries and a transfer curve instead. Phones use Display P3 with the
    // sRGB curve; everything else we meet is sRGB, which is also what no colour space means.
    heif_color_profile_nclx *nclx = nullptr;
    const heif_error error = heif_image_handle_get_nclx_color_profile(handle, &nclx);
    // A box with values libheif does not know comes with an error and the profile all the same.
    const NclxProfile profile(nclx);
    if (error.code != heif_error_Ok || !profile)
        return {};
    if (profile->color_primaries == heif_color_primaries_SMPTE_EG_432_1 &&
        profile->transfer_characteristics == heif_transfer_characteristic_IEC_61966_2_1)
        return QColorSpace(QColorSpace::DisplayP3);
    return {};
}

// The primary image handle of a context read from memory or a file.
Handle primaryHandle(heif_context *context, heif_error &error)
{
    heif_image_handle *handle = nullptr;
    error = heif_context_get_primary_image_handle(context, &handle);
    return Handle(handle);
}

} // namespace

bool HeifCodec::recognises(const QByteArray &head)
{
    // Every HEIF file opens with its 'ftyp' box; libheif then judges the brands.
    if (head.size() < 12 || head.mid(4, 4) != "ftyp")
        return false;
    return heif_check_filetype(reinterpret_cast<const uint8_t *>(head.constData()),
                               static_cast<int>(head.size())) != heif_filetype_no;
}

bool HeifCodec::readsHeic()
{
    initialise();
    return heif_have_decoder_for_format(heif_compression_HEVC) != 0;
}

bool HeifCodec::readsAvif()
{
    initialise();
    return heif_have_decoder_for_format(heif_compression_AV1) != 0;
}

namespace {

// A photo's grid is a few hundred tiles of 256 or 512 pixels a side. Thousands of tiles, or tiles
// far smaller than that, only make a small file cost minutes of decoding.
constexpr int MaxTiles = 4096;
constexpr qint64 MinPixelsPerTile = 32 * 32;
// Long enough for the largest photo we accept on a slow, busy machine.
constexpr int MaxDecodeSeconds = 60;

// The file libheif reads, with what may end the reading early: the run's stop request and the
// time a photo may take. libheif asks for each tile's data as it decodes it, on threads of its
// own, so declining its next request abandons the decode between tiles.
struct Source
{
    QIODevice *device;
    const std::atomic<bool> *running = StopScope::current();
    QDeadlineTimer deadline{std::chrono::seconds(MaxDecodeSeconds)};
    std::atomic<bool> stopped{false};
    std::atomic<bool> late{false};

    bool goOn()
    {
        if (StopScope::requested(running))
            stopped = true;
        else if (deadline.hasExpired())
            late = true;
        return !stopped && !late;
    }
};

Source &sourceOf(void *userdata)
{
    return *static_cast<Source *>(userdata);
}

// libheif reads the file through the device as it needs its parts, so a file's length (a photo
// followed by a gigabyte of anything) costs no memory.
const heif_reader DeviceReader{
    1,
    [](void *userdata) -> int64_t { return sourceOf(userdata).device->pos(); },
    [](void *data, const size_t size, void *userdata) -> int {
        const auto wanted = static_cast<qint64>(size);
        return sourceOf(userdata).device->read(static_cast<char *>(data), wanted) == wanted ? 0 : 1;
    },
    [](const int64_t position, void *userdata) -> int {
        return sourceOf(userdata).device->seek(position) ? 0 : 1;
    },
    // libheif asks here before each read and takes "timeout" as an error; a read that fails
    // after this said yes stops the process on one of libheif's assertions.
    [](const int64_t size, void *userdata) -> heif_reader_grow_status {
        Source &source = sourceOf(userdata);
        if (!source.goOn())
            return heif_reader_grow_status_timeout;
        return size <= source.device->size() ? heif_reader_grow_status_size_reached
                                             : heif_reader_grow_status_size_beyond_eof;
    },
};

// The reason a read that was cut short gives, in place of libheif's own.
QString reason(const heif_error &error, const Source &source)
{
    if (source.stopped)
        return QStringLiteral("the run was stopped while it was being decoded");
    if (source.late)
        return QStringLiteral("decoding it took longer than %1 seconds").arg(MaxDecodeSeconds);
    return reason(error);
}

// The file's primary image, once its boxes have been checked against the file. The layout says
// what libheif's handle does not: the size that will actually be decoded.
struct Opened
{
    Context context;
    Handle handle;
    HeifLayout layout;
};

QString tooManyTiles(const HeifLayout &layout)
{
    const qint64 pixels = static_cast<qint64>(layout.size.width()) * layout.size.height();
    if (layout.tiles > MaxTiles)
        return QStringLiteral("its grid has %1 tiles, more than %2")
            .arg(layout.tiles)
            .arg(MaxTiles);
    if (layout.tiles > 1 && layout.tiles > pixels / MinPixelsPerTile)
        return QStringLiteral("its grid cuts %1 x %2 pixels into %3 tiles")
            .arg(layout.size.width())
            .arg(layout.size.height())
            .arg(layout.tiles);
    return {};
}

Error morePixelsThanSaid(const QSize pixels, const QSize said)
{
    return {QStringLiteral("its pixels are %1 x %2, more than the %3 x %4 its header says")
                .arg(pixels.width())
                .arg(pixels.height())
                .arg(said.width())
                .arg(said.height())};
}

Result<Opened> open(Source &source)
{
    initialise();
    Result<HeifLayout> layout = HeifLayout::read(*source.device);
    if (!layout)
        return layout.error();
    // libheif's own reading of thousands of items is slow already.
    if (const QString tiles = tooManyTiles(*layout); !tiles.isEmpty())
        return Error{tiles};
    if (!source.device->seek(0))
        return Error{source.device->errorString()};
    Opened opened{Context(heif_context_alloc()), nullptr, *layout};
    heif_error error =
        heif_context_read_from_reader(opened.context.get(), &DeviceReader, &source, nullptr);
    if (error.code != heif_error_Ok)
        return Error{reason(error, source)};
    opened.handle = primaryHandle(opened.context.get(), error);
    if (error.code != heif_error_Ok)
        return Error{reason(error, source)};
    // The handle's size is the upright one, after rotation and crop; a grid that claims more
    // pixels than that is decoded at its own size.
    const QSize handleSize(heif_image_handle_get_width(opened.handle.get()),
                           heif_image_handle_get_height(opened.handle.get()));
    const auto pixels = [](const QSize size) {
        return static_cast<qint64>(size.width()) * size.height();
    };
    if (pixels(handleSize) >= pixels(opened.layout.size))
        opened.layout.size = handleSize;
    return opened;
}

heif_chroma chromaFor(const bool alpha, const bool deep)
{
    if (deep)
        return alpha ? heif_chroma_interleaved_RRGGBBAA_LE : heif_chroma_interleaved_RRGGBB_LE;
    return alpha ? heif_chroma_interleaved_RGBA : heif_chroma_interleaved_RGB;
}

// 8-bit pixels: the QImage reads libheif's in place and releases them with the last copy.
QImage wrapped(heif_image *decoded, uchar *pixels, const int stride, const QSize size,
               const bool alpha)
{
    return QImage(
        pixels, size.width(), size.height(), stride,
        alpha ? QImage::Format_RGBA8888 : QImage::Format_RGB888,
        [](void *owner) { heif_image_release(static_cast<heif_image *>(owner)); }, decoded);
}

// Deeper pixels, 3 or 4 little-endian samples of `bits` bits, widened to Qt's 16-bit RGBA (the
// fourth sample opaque where there is no alpha). libheif's copy is released.
QImage widened(heif_image *decoded, const uchar *pixels, const int stride, const QSize size,
               const bool alpha)
{
    const int bits =
        std::clamp(heif_image_get_bits_per_pixel_range(decoded, heif_channel_interleaved), 9, 16);
    const quint16 top = static_cast<quint16>((1u << bits) - 1);
    // The sample's bits repeated below it: 0 stays 0 and the top value becomes 65535.
    const auto widen = [bits, top](const quint16 value) {
        const unsigned v = std::min(value, top);
        return static_cast<quint16>((v << (16 - bits)) | (v >> (2 * bits - 16)));
    };
    QImage image(size, alpha ? QImage::Format_RGBA64 : QImage::Format_RGBX64);
    const int channels = alpha ? 4 : 3;
    for (int y = 0; y < image.height() && !image.isNull(); ++y) {
        const uchar *in = pixels + static_cast<qsizetype>(y) * stride;
        auto *out = reinterpret_cast<quint16 *>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x, in += channels * 2, out += 4) {
            for (int c = 0; c < channels; ++c)
                out[c] = widen(qFromLittleEndian<quint16>(in + c * 2));
            if (!alpha)
                out[3] = 65535;
        }
    }
    heif_image_release(decoded);
    return image;
}

} // namespace

Result<QSize> HeifCodec::imageSize(QIODevice &device)
{
    Source source{&device};
    const Result<Opened> opened = open(source);
    if (!opened)
        return opened.error();
    return opened->layout.size;
}

Result<QImage> HeifCodec::decode(QIODevice &device, const qint64 maxPixels)
{
    Source source{&device};
    const Result<Opened> opened = open(source);
    if (!opened)
        return opened.error();
    const QSize size = opened->layout.size;
    if (static_cast<qint64>(size.width()) * size.height() > maxPixels) {
        return Error{QStringLiteral("%1 x %2 pixels is more than %3 megapixels")
                         .arg(size.width())
                         .arg(size.height())
                         .arg(maxPixels / 1'000'000)};
    }
    // A stream whose header promises more pixels than the boxes say is refused before a
    // decoder allocates them. Coders may pad a picture up to their blocks (libheif's HEVC coder
    // makes 64 x 32 into 64 x 64) and the padding is cropped off; more than a block's worth
    // is not a padded picture.
    const auto padded = [](const int edge) { return (edge + 63) / 64 * 64; };
    if (const QSize coded = opened->layout.coded;
        coded.width() > padded(size.width()) || coded.height() > padded(size.height()))
        return morePixelsThanSaid(coded, size);
    const heif_image_handle *handle = opened->handle.get();
    const bool alpha = heif_image_handle_has_alpha_channel(handle) != 0;
    // More than 8 bits (10-bit HEIC from phones, 10- and 12-bit AVIF) are decoded as they are
    // stored, so that 16-bit outputs keep them.
    const bool deep = heif_image_handle_get_luma_bits_per_pixel(handle) > 8;
    heif_image *decoded = nullptr;
    const heif_error error =
        heif_decode_image(handle, &decoded, heif_colorspace_RGB, chromaFor(alpha, deep), nullptr);
    if (error.code != heif_error_Ok)
        return Error{reason(error, source)};

    int stride = 0;
    uint8_t *pixels = heif_image_get_plane(decoded, heif_channel_interleaved, &stride);
    const QSize decodedSize(heif_image_get_width(decoded, heif_channel_interleaved),
                            heif_image_get_height(decoded, heif_channel_interleaved));
    if (!pixels) {
        heif_image_release(decoded);
        return Error{QStringLiteral("libheif gave no pixels")};
    }
    // libheif decodes what the compressed stream holds, whatever the boxes said; a photo larger
    // than they said is not the one its header describes.
    if (static_cast<qint64>(decodedSize.width()) * decodedSize.height() >
        static_cast<qint64>(size.width()) * size.height()) {
        heif_image_release(decoded);
        return morePixelsThanSaid(decodedSize, size);
    }
    QImage image = deep ? widened(decoded, pixels, stride, decodedSize, alpha)
                        : wrapped(decoded, pixels, stride, decodedSize, alpha);
    if (image.isNull())
        return Error{QStringLiteral("There is not enough memory to decode the image.")};
    image.setColorSpace(colorSpaceOf(handle));
    return image;
}

namespace {

// `use` applied to the primary image of the file at path, once its boxes have been checked;
// `fallback` when the file can't be read.
template <typename T, typename Use> T withPrimaryOf(const QString &path, T fallback, Use use)
{
    RegularFile photo;
    if (!photo.open(path))
        return fallback;
    QFile &file = photo.device();
    Source source{&file};
    const Result<Opened> opened = open(source);
    if (!opened)
        return fallback;
    return use(opened->handle.get());
}

QList<heif_item_id> metadataIds(const heif_image_handle *handle, const char *type)
{
    QList<heif_item_id> ids(
        std::max(heif_image_handle_get_number_of_metadata_blocks(handle, type), 0));
    ids.resize(heif_image_handle_get_list_of_metadata_block_IDs(handle, type, ids.data(),
                                                                static_cast<int>(ids.size())));
    return ids;
}

// The primary image's first metadata item of `type` (and, where given, of `contentType`), as
// stored; empty when there is none or the file is not HEIF.
QByteArray metadataItem(const QString &path, const char *type, const char *contentType)
{
    return withPrimaryOf(path, QByteArray(), [&](const heif_image_handle *handle) {
        for (const heif_item_id id : metadataIds(handle, type)) {
            const char *const content = heif_image_handle_get_metadata_content_type(handle, id);
            if (contentType && (!content || std::strcmp(content, contentType) != 0))
                continue;
            QByteArray block(
                static_cast<qsizetype>(heif_image_handle_get_metadata_size(handle, id)),
                Qt::Uninitialized);
            if (heif_image_handle_get_metadata(handle, id, block.data()).code == heif_error_Ok)
                return block;
        }
        return QByteArray();
    });
}

} // namespace

QByteArray HeifCodec::exifData(const QString &path)
{
    const QByteArray block = metadataItem(path, "Exif", nullptr);
    if (block.size() < 4)
        return {};
    // The block opens with the big-endian offset from its fifth byte to the TIFF header (0, or 6
    // when "Exif\0\0" comes first).
    const quint32 offset = qFromBigEndian<quint32>(block.constData());
    if (offset > static_cast<quint32>(block.size() - 4))
        return {};
    return block.mid(4 + static_cast<qsizetype>(offset));
}

qint64 HeifCodec::largestMetadataItem(const QString &path)
{
    return withPrimaryOf(path, qint64(0), [](const heif_image_handle *handle) {
        qint64 largest = 0;
        for (const heif_item_id id : metadataIds(handle, nullptr))
            largest = std::max(
                largest, static_cast<qint64>(heif_image_handle_get_metadata_size(handle, id)));
        return largest;
    });
}

QByteArray HeifCodec::xmpData(const QString &path)
{
    return metadataItem(path, "mime", "application/rdf+xml");
}

} // namespace inkveil
