// SPDX-FileCopyrightText: 2026 Tessaly
// SPDX-License-Identifier: GPL-3.0-or-later

#include "imageio/GifEncoder.h"

#include <gif_lib.h>

#include <algorithm>
#include <limits>
#include <memory>
#include <vector>

namespace inkveil {

namespace {

// GIF stores sizes as 16-bit numbers.
constexpr int MaxEdge = std::numeric_limits<quint16>::max();

int appendToArray(GifFileType *gif, const GifByteType *bytes, int length)
{
    static_cast<QByteArray *>(gif->UserData)->append(reinterpret_cast<const char *>(bytes), length);
    return length;
}

struct GifCloser
{
    void operator()(GifFileType *gif) const { EGifCloseFile(gif, nullptr); }
};
using GifHandle = std::unique_ptr<GifFileType, GifCloser>;

struct ColorMapDeleter
{
    void operator()(ColorMapObject *map) const { GifFreeMapObject(map); }
};
using ColorMap = std::unique_ptr<ColorMapObject, ColorMapDeleter>;

// giflib wants a colour map of 2, 4, ..., 256 entries.
ColorMap colorMapFor(const QList<QRgb> &palette)
{
    int size = 2;
    while (size < palette.size())
        size *= 2;
    ColorMap map(GifMakeMapObject(size, nullptr));
    if (!map)
        return map;
    for (int i = 0; i < size; ++i) {
        const QRgb rgb = i < palette.size() ? palette.at(i) : 0;
        map->Colors[i] =
            GifColorType{static_cast<GifByteType>(qRed(rgb)), static_cast<GifByteType>(qGreen(rgb)),
                         static_cast<GifByteType>(qBlue(rgb))};
    }
    return map;
}

Error failed(const GifFileType *gif)
{
    return {QString::fromLatin1(GifErrorString(gif->Error))};
}

} // namespace

Result<QByteArray> GifEncoder::encode(const QImage &image)
{
    if (image.isNull())
        return Error{QStringLiteral("There is no image to encode.")};
    if (image.width() > MaxEdge || image.height() > MaxEdge)
        return Error{QStringLiteral("GIF holds images of at most %1 pixels a side.").arg(MaxEdge)};
    const bool alpha = image.hasAlphaChannel();
    // Qt dithers alpha only from straight ARGB32: its threshold puts every pixel under half
    // opacity on one fully transparent palette entry, which becomes GIF's transparent colour.
    const QImage indexed =
        image.convertToFormat(alpha ? QImage::Format_ARGB32 : QImage::Format_RGB32)
            .convertToFormat(QImage::Format_Indexed8, Qt::DiffuseDither | Qt::ThresholdAlphaDither);
    const QList<QRgb> palette = indexed.colorTable();
    if (indexed.isNull() || palette.isEmpty())
        return Error{QStringLiteral("There is not enough memory to encode the image.")};
    const auto transparent =
        std::find_if(palette.cbegin(), palette.cend(), [](QRgb c) { return qAlpha(c) == 0; });
    const int transparentIndex =
        alpha && transparent != palette.cend()
            ? static_cast<int>(std::distance(palette.cbegin(), transparent))
            : NO_TRANSPARENT_COLOR;
    const ColorMap map = colorMapFor(palette);
    if (!map)
        return Error{QStringLiteral("There is not enough memory to encode the image.")};

    QByteArray data;
    int error = 0;
    GifHandle gif(EGifOpen(&data, appendToArray, &error));
    if (!gif)
        return Error{QString::fromLatin1(GifErrorString(error))};
    GifFileType *const g = gif.get();
    EGifSetGifVersion(g, true);
    const int width = indexed.width();
    const int height = indexed.height();
    if (EGifPutScreenDesc(g, width, height, 8, 0, map.get()) != GIF_OK)
        return failed(g);
    if (transparentIndex != NO_TRANSPARENT_COLOR) {
        GraphicsControlBlock control{};
        control.DisposalMode = DISPOSAL_UNSPECIFIED;
        control.UserInputFlag = false;
        control.DelayTime = 0;
        control.TransparentColor = transparentIndex;
        GifByteType extension[4];
        const size_t length = EGifGCBToExtension(&control, extension);
        if (EGifPutExtension(g, GRAPHICS_EXT_FUNC_CODE, static_cast<int>(length), extension) !=
            GIF_OK)
            return failed(g);
    }
    if (EGifPutImageDesc(g, 0, 0, width, height, false, nullptr) != GIF_OK)
        return failed(g);
    // giflib takes rows as writable although it only reads them; hand it a copy of each.
    std::vector<GifPixelType> row(static_cast<size_t>(width));
    for (int y = 0; y < height; ++y) {
        const uchar *line = indexed.constScanLine(y);
        std::copy(line, line + width, row.begin());
        if (EGifPutLine(g, row.data(), width) != GIF_OK)
            return failed(g);
    }
    // Closing writes the trailer; its result is the last word on success.
    if (EGifCloseFile(gif.release(), &error) != GIF_OK)
        return Error{QString::fromLatin1(GifErrorString(error))};
    return data;
}

} // namespace inkveil
