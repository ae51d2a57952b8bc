// SPDX-FileCopyrightText: 2026 Tessaly
// SPDX-License-Identifier: GPL-3.0-or-later

#include "imageio/HeifCodec.h"

#include <QColorSpace>
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

// libheif reads the file through the device as it needs its parts, so a file's length (a photo
// followed by a gigabyte of anything) costs no memory.
QIODevice *deviceOf(void *userdata)
{
    return static_cast<QIODevice *>(userdata);
}

const heif_reader DeviceReader{
    1,
    [](void *userdata) -> int64_t { return deviceOf(userdata)->pos(); },
    [](void *data, const size_t size, void *userdata) -> int {
        const auto wanted = static_cast<qint64>(size);
        return deviceOf(userdata)->read(static_cast<char *>(data), wanted) == wanted ? 0 : 1;
    },
    [](const int64_t position, void *userdata) -> int {
        return deviceOf(userdata)->seek(position) ? 0 : 1;
    },
    [](const int64_t size, void *userdata) -> heif_reader_grow_status {
        return size <= deviceOf(userdata)->size() ? heif_reader_grow_status_size_reached
                                                  : heif_reader_grow_status_size_beyond_eof;
    },
};

} // namespace

Result<QSize> HeifCodec::imageSize(QIODevice &device)
{
    initialise();
    if (!device.seek(0))
        return Error{device.errorString()};
    const Context context(heif_context_alloc());
    heif_error error =
        heif_context_read_from_reader(context.get(), &DeviceReader, &device, nullptr);
    if (error.code != heif_error_Ok)
        return Error{reason(error)};
    const Handle handle = primaryHandle(context.get(), error);
    if (error.code != heif_error_Ok)
        return Error{reason(error)};
    return QSize(heif_image_handle_get_width(handle.get()),
                 heif_image_handle_get_height(handle.get()));
}

Result<QImage> HeifCodec::decode(QIODevice &device, const qint64 maxPixels)
{
    initialise();
    if (!device.seek(0))
        return Error{device.errorString()};
    const Context context(heif_context_alloc());
    heif_error error =
        heif_context_read_from_reader(context.get(), &DeviceReader, &device, nullptr);
    if (error.code != heif_error_Ok)
        return Error{reason(error)};
    const Handle handle = primaryHandle(context.get(), error);
    if (error.code != heif_error_Ok)
        return Error{reason(error)};

    // The handle's size is the upright one, after rotation and crop.
    const int width = heif_image_handle_get_width(handle.get());
    const int height = heif_image_handle_get_height(handle.get());
    if (static_cast<qint64>(width) * height > maxPixels) {
        return Error{QStringLiteral("%1 x %2 pixels is more than %3 megapixels")
                         .arg(width)
                         .arg(height)
                         .arg(maxPixels / 1'000'000)};
    }

    const bool alpha = heif_image_handle_has_alpha_channel(handle.get()) != 0;
    heif_image *decoded = nullptr;
    error = heif_decode_image(handle.get(), &decoded, heif_colorspace_RGB,
                              alpha ? heif_chroma_interleaved_RGBA : heif_chroma_interleaved_RGB,
                              nullptr);
    if (error.code != heif_error_Ok)
        return Error{reason(error)};

    int stride = 0;
    uint8_t *pixels = heif_image_get_plane(decoded, heif_channel_interleaved, &stride);
    if (!pixels) {
        heif_image_release(decoded);
        return Error{QStringLiteral("libheif gave no pixels")};
    }
    // The QImage reads libheif's pixels in place and releases them with the last copy.
    QImage image(
        pixels, heif_image_get_width(decoded, heif_channel_interleaved),
        heif_image_get_height(decoded, heif_channel_interleaved), stride,
        alpha ? QImage::Format_RGBA8888 : QImage::Format_RGB888,
        [](void *owner) { heif_image_release(static_cast<heif_image *>(owner)); }, decoded);
    image.setColorSpace(colorSpaceOf(handle.get()));
    return image;
}

namespace {

// The primary image's first metadata item of `type` (and, where given, of `contentType`), as
// stored; empty when there is none or the file is not HEIF.
QByteArray metadataItem(const QString &path, const char *type, const char *contentType)
{
    initialise();
    const Context context(heif_context_alloc());
    heif_error error =
        heif_context_read_from_file(context.get(), QFile::encodeName(path).constData(), nullptr);
    if (error.code != heif_error_Ok)
        return {};
    const Handle handle = primaryHandle(context.get(), error);
    if (error.code != heif_error_Ok)
        return {};
    QList<heif_item_id> ids(
        std::max(heif_image_handle_get_number_of_metadata_blocks(handle.get(), type), 0));
    ids.resize(heif_image_handle_get_list_of_metadata_block_IDs(handle.get(), type, ids.data(),
                                                                static_cast<int>(ids.size())));
    for (const heif_item_id id : ids) {
        const char *const content = heif_image_handle_get_metadata_content_type(handle.get(), id);
        if (contentType && (!content || std::strcmp(content, contentType) != 0))
            continue;
        QByteArray block(
            static_cast<qsizetype>(heif_image_handle_get_metadata_size(handle.get(), id)),
            Qt::Uninitialized);
        if (heif_image_handle_get_metadata(handle.get(), id, block.data()).code == heif_error_Ok)
            return block;
    }
    return {};
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
    initialise();
    const Context context(heif_context_alloc());
    heif_error error =
        heif_context_read_from_file(context.get(), QFile::encodeName(path).constData(), nullptr);
    if (error.code != heif_error_Ok)
        return 0;
    const Handle handle = primaryHandle(context.get(), error);
    if (error.code != heif_error_Ok)
        return 0;
    QList<heif_item_id> ids(
        std::max(heif_image_handle_get_number_of_metadata_blocks(handle.get(), nullptr), 0));
    ids.resize(heif_image_handle_get_list_of_metadata_block_IDs(handle.get(), nullptr, ids.data(),
                                                                static_cast<int>(ids.size())));
    qint64 largest = 0;
    for (const heif_item_id id : ids)
        largest = std::max(
            largest, static_cast<qint64>(heif_image_handle_get_metadata_size(handle.get(), id)));
    return largest;
}

QByteArray HeifCodec::xmpData(const QString &path)
{
    return metadataItem(path, "mime", "application/rdf+xml");
}

} // namespace inkveil
