// Picture decoding, the two-colour reduction, the scratch BMP and the raster
// record.
#include "downloads/ImageConversion.h"

#include "core/Localization.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStringList>

#include <cmath>
#include <csetjmp>
#include <cstdio>
#include <cstring>

#include <gif_lib.h>
#include <jerror.h>
#include <jpeglib.h>
#include <png.h>

namespace ImageConversion {

namespace {

QString Msg(const char* key) {
    return pellum::lang::Msg(QLatin1String(key));
}

[[noreturn]] void Fail(const QString& text) {
    throw ImageError(text);
}

std::uint32_t U16(const QByteArray& b, qsizetype at) {
    return std::uint8_t(b[at]) | std::uint32_t(std::uint8_t(b[at + 1])) << 8;
}
std::uint32_t U32(const QByteArray& b, qsizetype at) {
    return U16(b, at) | U16(b, at + 2) << 16;
}
std::int32_t S32(const QByteArray& b, qsizetype at) {
    return std::int32_t(U32(b, at));
}

void CheckSourceSize(const char* format, std::int64_t width, std::int64_t height) {
    if (width <= 0 || height <= 0)
        Fail(QStringLiteral("%1: the picture has no pixels (%2 x %3)")
                 .arg(QLatin1String(format))
                 .arg(width)
                 .arg(height));
    if (width * height > kMaxSourcePixels)
        Fail(QStringLiteral("%1: the picture is too large (%2 x %3 pixels)")
                 .arg(QLatin1String(format))
                 .arg(width)
                 .arg(height));
}

Picture NewPicture(int width, int height) {
    Picture p;
    p.width = width;
    p.height = height;
    p.rgba.assign(std::size_t(width) * std::size_t(height) * 4, 0xFF);
    return p;
}

void SetPixel(Picture& p, int x, int y, std::uint8_t r, std::uint8_t g, std::uint8_t b,
              std::uint8_t a = 0xFF) {
    std::uint8_t* px = &p.rgba[(std::size_t(y) * p.width + x) * 4];
    px[0] = r;
    px[1] = g;
    px[2] = b;
    px[3] = a;
}

QByteArray ReadWholeFile(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        Fail(QStringLiteral("Cannot open file \"%1\": %2").arg(path, f.errorString()));
    if (f.size() > kMaxPictureFileBytes)
        Fail(QStringLiteral("The file \"%1\" is too large for a picture").arg(path));
    QByteArray bytes = f.readAll();
    if (f.error() != QFileDevice::NoError)
        Fail(QStringLiteral("Cannot read file \"%1\": %2").arg(path, f.errorString()));
    return bytes;
}

// ---- BMP -------------------------------------------------------------------

struct BmpLayout {
    int width = 0;
    int height = 0; // always positive
    bool topDown = false;
    int bitCount = 0;
    std::uint32_t compression = 0;
    qsizetype pixelOffset = 0;
    qsizetype stride = 0;
    std::vector<std::uint32_t> palette;    // 0x00RRGGBB
    std::uint32_t masks[4] = {0, 0, 0, 0}; // R, G, B, A for bit fields
};

constexpr std::uint32_t kBiRgb = 0;
constexpr std::uint32_t kBiBitfields = 3;

BmpLayout ParseBmp(const QByteArray& b) {
    BmpLayout l;
    if (b.size() < 26 || b[0] != 'B' || b[1] != 'M')
        Fail(QStringLiteral("BMP: not a BMP file"));
    const std::uint32_t offBits = U32(b, 10);
    const std::uint32_t headerSize = U32(b, 14);
    if (headerSize < 12 || 14 + qsizetype(headerSize) > b.size())
        Fail(QStringLiteral("BMP: the file is cut short in its header"));
    std::int64_t width = 0, height = 0;
    int planes = 0;
    if (headerSize == 12) { // OS/2 core header
        width = U16(b, 18);
        height = std::int16_t(U16(b, 20));
        planes = int(U16(b, 22));
        l.bitCount = int(U16(b, 24));
    } else {
        if (headerSize < 40)
            Fail(QStringLiteral("BMP: unknown header size %1").arg(headerSize));
        width = S32(b, 18);
        height = S32(b, 22);
        planes = int(U16(b, 26));
        l.bitCount = int(U16(b, 28));
        l.compression = U32(b, 30);
    }
    if (planes != 1)
        Fail(QStringLiteral("BMP: %1 colour planes").arg(planes));
    l.topDown = height < 0;
    height = height < 0 ? -height : height;
    CheckSourceSize("BMP", width, height);
    l.width = int(width);
    l.height = int(height);
    switch (l.bitCount) {
    case 1:
    case 4:
    case 8:
    case 24:
        if (l.compression != kBiRgb)
            Fail(QStringLiteral("BMP: compression %1 is not supported").arg(l.compression));
        break;
    case 16:
    case 32:
        if (l.compression != kBiRgb && l.compression != kBiBitfields)
            Fail(QStringLiteral("BMP: compression %1 is not supported").arg(l.compression));
        break;
    default:
        Fail(QStringLiteral("BMP: %1 bits per pixel are not supported").arg(l.bitCount));
    }
    l.stride = ((qsizetype(l.bitCount) * l.width + 31) / 32) * 4;
    const qsizetype infoEnd = 14 + qsizetype(headerSize);
    if (l.compression == kBiBitfields) {
        // The masks follow a 40-byte header; longer headers carry them inside.
        const qsizetype at = 14 + 40;
        if (at + 12 > b.size())
            Fail(QStringLiteral("BMP: the file is cut short in its colour masks"));
        for (int i = 0; i < 3; ++i)
            l.masks[i] = U32(b, at + 4 * i);
        if (headerSize >= 56 && at + 16 <= b.size())
            l.masks[3] = U32(b, at + 12);
    } else if (l.bitCount == 16) {
        l.masks[0] = 0x7C00;
        l.masks[1] = 0x03E0;
        l.masks[2] = 0x001F;
    } else if (l.bitCount == 32) {
        l.masks[0] = 0x00FF0000;
        l.masks[1] = 0x0000FF00;
        l.masks[2] = 0x000000FF;
    }
    if (l.bitCount <= 8) {
        const int entrySize = headerSize == 12 ? 3 : 4;
        std::uint32_t count = headerSize >= 40 ? U32(b, 46) : 0;
        const std::uint32_t most = 1u << l.bitCount;
        if (count == 0 || count > most)
            count = most;
        qsizetype at = infoEnd + (l.compression == kBiBitfields && headerSize == 40 ? 12 : 0);
        if (at + qsizetype(count) * entrySize > b.size())
            Fail(QStringLiteral("BMP: the file is cut short in its palette"));
        for (std::uint32_t i = 0; i < count; ++i, at += entrySize)
            l.palette.push_back(std::uint32_t(std::uint8_t(b[at + 2])) << 16 |
                                std::uint32_t(std::uint8_t(b[at + 1])) << 8 | std::uint8_t(b[at]));
    }
    l.pixelOffset = qsizetype(offBits);
    if (l.pixelOffset < infoEnd || l.pixelOffset > b.size() ||
        l.stride * l.height > b.size() - l.pixelOffset)
        Fail(QStringLiteral("BMP: the file is cut short in its pixel rows"));
    return l;
}

// The value of a bit-field channel scaled to 0-255.
std::uint8_t Channel(std::uint32_t value, std::uint32_t mask) {
    if (mask == 0)
        return 0xFF;
    int shift = 0;
    while (!(mask & 1u)) {
        mask >>= 1;
        ++shift;
    }
    const std::uint32_t v = (value >> shift) & mask;
    return std::uint8_t((v * 255u + mask / 2) / mask);
}

const std::uint8_t* BmpRow(const QByteArray& b, const BmpLayout& l, int y) {
    const int fileRow = l.topDown ? y : l.height - 1 - y;
    return reinterpret_cast<const std::uint8_t*>(b.constData()) + l.pixelOffset +
           qsizetype(fileRow) * l.stride;
}

// ---- JPEG ------------------------------------------------------------------

struct JpegErrorManager {
    jpeg_error_mgr pub;
    std::jmp_buf jump;
    char message[JMSG_LENGTH_MAX];
};

void JpegErrorExit(j_common_ptr info) {
    auto* err = reinterpret_cast<JpegErrorManager*>(info->err);
    (*info->err->format_message)(info, err->message);
    std::longjmp(err->jump, 1);
}

// Warnings are not shown; a file that ends before its last row is refused
// instead of being filled with grey.
void JpegMessage(j_common_ptr info, int level) {
    if (level < 0 && info->err->msg_code == JWRN_JPEG_EOF)
        JpegErrorExit(info);
}

// ---- GIF -------------------------------------------------------------------

struct GifSource {
    const QByteArray* bytes;
    qsizetype at = 0;
};

int GifRead(GifFileType* gif, GifByteType* into, int wanted) {
    auto* src = static_cast<GifSource*>(gif->UserData);
    const qsizetype left = src->bytes->size() - src->at;
    const int n = int(std::min<qsizetype>(left, wanted));
    if (n > 0)
        std::memcpy(into, src->bytes->constData() + src->at, std::size_t(n));
    src->at += n;
    return n;
}

class GifCloser {
public:
    explicit GifCloser(GifFileType* g) : m_gif(g) {}
    ~GifCloser() {
        int error = 0;
        if (m_gif)
            DGifCloseFile(m_gif, &error);
    }
    GifCloser(const GifCloser&) = delete;
    GifCloser& operator=(const GifCloser&) = delete;

private:
    GifFileType* m_gif;
};

[[noreturn]] void GifFail(int error) {
    const char* text = GifErrorString(error);
    Fail(QStringLiteral("GIF: %1").arg(QLatin1String(text ? text : "damaged file")));
}

} // namespace

int MaxImageWidth(int dpi) {
    return dpi == 300 ? kMaxWidth300Dpi : kMaxWidthOther;
}

const QStringList& ScaleFactorItems() {
    static const QStringList items = {QStringLiteral("1.0"), QStringLiteral("1.5"),
                                      QStringLiteral("2.0"), QStringLiteral("2.5"),
                                      QStringLiteral("3.0")};
    return items;
}

Picture DecodeBmp(const QByteArray& file) {
    const BmpLayout l = ParseBmp(file);
    Picture p = NewPicture(l.width, l.height);
    for (int y = 0; y < l.height; ++y) {
        const std::uint8_t* row = BmpRow(file, l, y);
        for (int x = 0; x < l.width; ++x) {
            if (l.bitCount <= 8) {
                const int perByte = 8 / l.bitCount;
                const int shift = 8 - l.bitCount * (x % perByte + 1);
                const std::uint32_t index = (row[x / perByte] >> shift) & ((1u << l.bitCount) - 1);
                if (index >= l.palette.size())
                    Fail(QStringLiteral("BMP: a pixel names colour %1 of a palette of %2")
                             .arg(index)
                             .arg(l.palette.size()));
                const std::uint32_t c = l.palette[index];
                SetPixel(p, x, y, std::uint8_t(c >> 16), std::uint8_t(c >> 8), std::uint8_t(c));
            } else if (l.bitCount == 24) {
                const std::uint8_t* px = row + 3 * x;
                SetPixel(p, x, y, px[2], px[1], px[0]);
            } else {
                const std::uint8_t* px = row + (l.bitCount / 8) * x;
                const std::uint32_t v = l.bitCount == 16
                                            ? std::uint32_t(px[0] | px[1] << 8)
                                            : std::uint32_t(px[0] | px[1] << 8 | px[2] << 16) |
                                                  std::uint32_t(px[3]) << 24;
                SetPixel(p, x, y, Channel(v, l.masks[0]), Channel(v, l.masks[1]),
                         Channel(v, l.masks[2]), l.masks[3] ? Channel(v, l.masks[3]) : 0xFF);
            }
        }
    }
    return p;
}

Picture DecodeJpeg(const QByteArray& file) {
    jpeg_decompress_struct info;
    JpegErrorManager err;
    std::memset(&info, 0, sizeof info);
    info.err = jpeg_std_error(&err.pub);
    err.pub.error_exit = JpegErrorExit;
    err.pub.emit_message = JpegMessage;
    err.message[0] = '\0';
    // The library leaves through longjmp; everything allocated below is
    // reached through these pointers so that the jump can free it.
    Picture* volatile result = nullptr;
    std::uint8_t* volatile line = nullptr;
    if (setjmp(err.jump)) {
        jpeg_destroy_decompress(&info);
        delete result;
        delete[] line;
        Fail(QStringLiteral("JPEG: %1").arg(QString::fromLatin1(err.message)));
    }
    jpeg_create_decompress(&info);
    jpeg_mem_src(&info, reinterpret_cast<const unsigned char*>(file.constData()),
                 static_cast<unsigned long>(file.size()));
    jpeg_read_header(&info, TRUE);
    if (info.jpeg_color_space == JCS_CMYK || info.jpeg_color_space == JCS_YCCK)
        info.out_color_space = JCS_CMYK;
    else if (info.jpeg_color_space == JCS_GRAYSCALE)
        info.out_color_space = JCS_GRAYSCALE;
    else
        info.out_color_space = JCS_RGB;
    const std::int64_t w = info.image_width, h = info.image_height;
    if (w <= 0 || h <= 0 || w * h > kMaxSourcePixels) {
        jpeg_destroy_decompress(&info);
        CheckSourceSize("JPEG", w, h);
    }
    jpeg_start_decompress(&info);
    result = new Picture(NewPicture(int(info.output_width), int(info.output_height)));
    const int comps = info.output_components;
    line = new std::uint8_t[std::size_t(info.output_width) * std::size_t(comps)];
    while (info.output_scanline < info.output_height) {
        const int y = int(info.output_scanline);
        JSAMPROW rows[1] = {line};
        if (jpeg_read_scanlines(&info, rows, 1) != 1)
            break;
        for (int x = 0; x < result->width; ++x) {
            const std::uint8_t* s = &line[std::size_t(x) * comps];
            if (comps == 1) {
                SetPixel(*result, x, y, s[0], s[0], s[0]);
            } else if (comps == 4) {
                // Adobe writes CMYK inverted: each value is already 255 - ink.
                SetPixel(*result, x, y, std::uint8_t(s[0] * s[3] / 255),
                         std::uint8_t(s[1] * s[3] / 255), std::uint8_t(s[2] * s[3] / 255));
            } else {
                SetPixel(*result, x, y, s[0], s[1], s[2]);
            }
        }
    }
    jpeg_finish_decompress(&info);
    jpeg_destroy_decompress(&info);
    delete[] line;
    Picture out = std::move(*result);
    delete result;
    return out;
}

Picture DecodePng(const QByteArray& file) {
    png_image image;
    std::memset(&image, 0, sizeof image);
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_memory(&image, file.constData(), std::size_t(file.size())))
        Fail(QStringLiteral("PNG: %1").arg(QString::fromLatin1(image.message)));
    const std::int64_t w = image.width, h = image.height;
    if (w <= 0 || h <= 0 || w * h > kMaxSourcePixels) {
        png_image_free(&image);
        CheckSourceSize("PNG", w, h);
    }
    image.format = PNG_FORMAT_RGBA;
    Picture p = NewPicture(int(w), int(h));
    if (!png_image_finish_read(&image, nullptr, p.rgba.data(), 0, nullptr)) {
        const QString text = QString::fromLatin1(image.message);
        png_image_free(&image);
        Fail(QStringLiteral("PNG: %1").arg(text));
    }
    return p;
}

Picture DecodeGif(const QByteArray& file) {
    GifSource source{&file, 0};
    int error = 0;
    GifFileType* gif = DGifOpen(&source, GifRead, &error);
    if (!gif)
        GifFail(error);
    GifCloser closer(gif);
    CheckSourceSize("GIF", gif->SWidth, gif->SHeight);
    int transparent = -1;
    GifRecordType record;
    do {
        if (DGifGetRecordType(gif, &record) == GIF_ERROR)
            GifFail(gif->Error);
        if (record == EXTENSION_RECORD_TYPE) {
            int code = 0;
            GifByteType* ext = nullptr;
            if (DGifGetExtension(gif, &code, &ext) == GIF_ERROR)
                GifFail(gif->Error);
            if (code == GRAPHICS_EXT_FUNC_CODE && ext && ext[0] >= 4) {
                GraphicsControlBlock gcb;
                if (DGifExtensionToGCB(ext[0], ext + 1, &gcb) == GIF_OK)
                    transparent = gcb.TransparentColor;
            }
            while (ext) {
                if (DGifGetExtensionNext(gif, &ext) == GIF_ERROR)
                    GifFail(gif->Error);
            }
        } else if (record == IMAGE_DESC_RECORD_TYPE) {
            if (DGifGetImageDesc(gif) == GIF_ERROR)
                GifFail(gif->Error);
            const GifImageDesc& d = gif->Image;
            if (d.Left < 0 || d.Top < 0 || d.Width <= 0 || d.Height <= 0 ||
                std::int64_t(d.Left) + d.Width > gif->SWidth ||
                std::int64_t(d.Top) + d.Height > gif->SHeight)
                Fail(QStringLiteral("GIF: the first frame lies outside the picture"));
            const ColorMapObject* map = d.ColorMap ? d.ColorMap : gif->SColorMap;
            if (!map || !map->Colors || map->ColorCount <= 0)
                Fail(QStringLiteral("GIF: the first frame has no colour table"));
            std::vector<GifPixelType> pixels(static_cast<std::size_t>(d.Width) *
                                             std::size_t(d.Height));
            auto readRow = [&](int row) {
                if (DGifGetLine(gif, &pixels[std::size_t(row) * d.Width], d.Width) == GIF_ERROR)
                    GifFail(gif->Error);
            };
            if (d.Interlace) {
                static const int start[] = {0, 4, 2, 1}, step[] = {8, 8, 4, 2};
                for (int pass = 0; pass < 4; ++pass)
                    for (int row = start[pass]; row < d.Height; row += step[pass])
                        readRow(row);
            } else {
                for (int row = 0; row < d.Height; ++row)
                    readRow(row);
            }
            // Outside the frame and where the frame is transparent the
            // picture stays transparent (drawn as white).
            Picture p = NewPicture(gif->SWidth, gif->SHeight);
            for (auto& a : p.rgba)
                a = 0xFF;
            for (std::size_t i = 3; i < p.rgba.size(); i += 4)
                p.rgba[i] = 0;
            for (int y = 0; y < d.Height; ++y)
                for (int x = 0; x < d.Width; ++x) {
                    const int index = pixels[std::size_t(y) * d.Width + x];
                    if (index == transparent)
                        continue;
                    if (index >= map->ColorCount)
                        Fail(QStringLiteral("GIF: a pixel names colour %1 of a table of %2")
                                 .arg(index)
                                 .arg(map->ColorCount));
                    const GifColorType& c = map->Colors[index];
                    SetPixel(p, d.Left + x, d.Top + y, c.Red, c.Green, c.Blue);
                }
            return p;
        }
    } while (record != TERMINATE_RECORD_TYPE);
    Fail(QStringLiteral("GIF: the file holds no picture"));
}

int ScaledSide(int side, float factor) {
    return int(std::nearbyint(double(side) * double(factor)));
}

MonoBitmap StretchToMono(const Picture& source, int width, int height) {
    if (width <= 0 || height <= 0 || width > kMaxConvertedSide || height > kMaxConvertedSide)
        Fail(QStringLiteral("The converted picture would be %1 x %2 dots").arg(width).arg(height));
    MonoBitmap m;
    m.width = width;
    m.height = height;
    m.bytesPerRow = (width + 7) / 8;
    m.rows.assign(std::size_t(m.bytesPerRow) * std::size_t(height), 0xFF);
    std::vector<int> columns(static_cast<std::size_t>(width));
    for (int x = 0; x < width; ++x)
        columns[x] = int(std::min<std::int64_t>((2 * std::int64_t(x) + 1) * source.width /
                                                    (2 * std::int64_t(width)),
                                                source.width - 1));
    for (int y = 0; y < height; ++y) {
        const int sy = int(std::min<std::int64_t>((2 * std::int64_t(y) + 1) * source.height /
                                                      (2 * std::int64_t(height)),
                                                  source.height - 1));
        std::uint8_t* row = &m.rows[std::size_t(y) * m.bytesPerRow];
        for (int x = 0; x < width; ++x) {
            const std::uint8_t* px =
                &source.rgba[(std::size_t(sy) * source.width + columns[x]) * 4];
            // Composed over white, then weighed by the eye's sensitivity.
            const int a = px[3];
            const int r = (px[0] * a + 255 * (255 - a)) / 255;
            const int g = (px[1] * a + 255 * (255 - a)) / 255;
            const int b = (px[2] * a + 255 * (255 - a)) / 255;
            const int luminance = (299 * r + 587 * g + 114 * b) / 1000;
            if (luminance < 128)
                row[x / 8] &= std::uint8_t(~(0x80 >> (x % 8)));
        }
    }
    return m;
}

QByteArray EncodeMonoBmp(const MonoBitmap& m) {
    const qsizetype stride = ((qsizetype(m.width) + 31) / 32) * 4;
    const qsizetype pixelBytes = stride * m.height;
    const qsizetype offBits = 14 + 40 + 8;
    QByteArray out(offBits + pixelBytes, '\0');
    auto put16 = [&](qsizetype at, std::uint32_t v) {
        out[at] = char(v & 0xFF);
        out[at + 1] = char((v >> 8) & 0xFF);
    };
    auto put32 = [&](qsizetype at, std::uint32_t v) {
        put16(at, v & 0xFFFF);
        put16(at + 2, v >> 16);
    };
    out[0] = 'B';
    out[1] = 'M';
    put32(2, std::uint32_t(out.size()));
    put32(10, std::uint32_t(offBits));
    put32(14, 40);
    put32(18, std::uint32_t(m.width));
    put32(22, std::uint32_t(m.height)); // bottom-up
    put16(26, 1);
    put16(28, 1);
    put32(34, std::uint32_t(pixelBytes));
    put32(38, 2835); // 72 dpi
    put32(42, 2835);
    put32(46, 2);
    put32(50, 2);
    // Palette: index 0 black, index 1 white.
    out[54 + 4] = char(0xFF);
    out[54 + 5] = char(0xFF);
    out[54 + 6] = char(0xFF);
    for (int y = 0; y < m.height; ++y) {
        char* dst = out.data() + offBits + qsizetype(m.height - 1 - y) * stride;
        std::memcpy(dst, &m.rows[std::size_t(y) * m.bytesPerRow], std::size_t(m.bytesPerRow));
        // Bits right of the picture are white, like the picture's background.
        if (const int r = m.width % 8)
            dst[m.bytesPerRow - 1] = char(std::uint8_t(dst[m.bytesPerRow - 1]) | (0xFF >> r));
    }
    return out;
}

MonoBitmap ReadMonoBmp(const QByteArray& file) {
    const BmpLayout l = ParseBmp(file);
    if (l.bitCount != 1 || l.palette.size() < 2)
        Fail(QStringLiteral("BMP: the converted picture is not a two-colour bitmap"));
    // Index 1 is white in the scratch bitmap; a file with the palette the other
    // way round is read by its colours.
    const auto lum = [](std::uint32_t c) {
        return 299 * ((c >> 16) & 0xFF) + 587 * ((c >> 8) & 0xFF) + 114 * (c & 0xFF);
    };
    const bool inverted = lum(l.palette[0]) > lum(l.palette[1]);
    MonoBitmap m;
    m.width = l.width;
    m.height = l.height;
    m.bytesPerRow = (l.width + 7) / 8;
    m.rows.resize(std::size_t(m.bytesPerRow) * std::size_t(m.height));
    for (int y = 0; y < m.height; ++y) {
        const std::uint8_t* src = BmpRow(file, l, y);
        std::uint8_t* dst = &m.rows[std::size_t(y) * m.bytesPerRow];
        for (int i = 0; i < m.bytesPerRow; ++i)
            dst[i] = inverted ? std::uint8_t(~src[i]) : src[i];
    }
    return m;
}

QByteArray RasterRecordOf(const MonoBitmap& m) {
    const int bytesPerRow = (m.width + 7) / 8;
    const int rowBlocks = (m.height + 7) / 8;
    if (bytesPerRow > 0xFFFF || rowBlocks > 0xFFFF)
        Fail(QStringLiteral("The picture of %1 x %2 dots does not fit the printer's raster format")
                 .arg(m.width)
                 .arg(m.height));
    QByteArray record(4 + qsizetype(8) * bytesPerRow * rowBlocks, '\0');
    record[0] = char(bytesPerRow & 0xFF);
    record[1] = char(bytesPerRow >> 8);
    record[2] = char(rowBlocks & 0xFF);
    record[3] = char(rowBlocks >> 8);
    const int r = m.width % 8;
    for (int y = 0; y < m.height; ++y) {
        const std::uint8_t* src = &m.rows[std::size_t(y) * m.bytesPerRow];
        char* dst = record.data() + 4 + qsizetype(y) * bytesPerRow;
        for (int i = 0; i < bytesPerRow; ++i) {
            std::uint8_t byte = src[i];
            if (i == bytesPerRow - 1 && r != 0)
                byte |= std::uint8_t(0xFF >> r);
            dst[i] = char(std::uint8_t(~byte));
        }
    }
    return record;
}

bool ConvertImageFile(const QString& sourcePath, const QString& destPath, float factor) {
    if (!QFileInfo(sourcePath).isFile()) {
        pellum::lang::ErrorBox(Msg("_Err_FileNotExist"));
        return false;
    }
    const qsizetype dot = sourcePath.lastIndexOf(QLatin1Char('.'));
    const QString ext = dot < 0 ? QString() : sourcePath.mid(dot);
    Picture (*decode)(const QByteArray&) = nullptr;
    if (ext == QLatin1String(".bmp"))
        decode = DecodeBmp;
    else if (ext == QLatin1String(".jpg"))
        decode = DecodeJpeg;
    else if (ext == QLatin1String(".png"))
        decode = DecodePng;
    else if (ext == QLatin1String(".gif"))
        decode = DecodeGif;
    if (!decode) {
        pellum::lang::ErrorBox(Msg("_E_IC"));
        return false;
    }
    try {
        const Picture picture = decode(ReadWholeFile(sourcePath));
        const MonoBitmap mono = StretchToMono(picture, ScaledSide(picture.width, factor),
                                              ScaledSide(picture.height, factor));
        QSaveFile out(destPath);
        if (!out.open(QIODevice::WriteOnly))
            Fail(QStringLiteral("Cannot create file \"%1\": %2").arg(destPath, out.errorString()));
        const QByteArray bmp = EncodeMonoBmp(mono);
        if (out.write(bmp) != bmp.size() || !out.commit())
            Fail(QStringLiteral("Cannot write file \"%1\": %2").arg(destPath, out.errorString()));
        return true;
    } catch (const std::bad_alloc&) {
        pellum::lang::ErrorBox(Msg("_E_IC"));
        throw ImageError(QStringLiteral("Not enough memory to convert the picture"));
    } catch (const ImageError&) {
        pellum::lang::ErrorBox(Msg("_E_IC"));
        throw;
    }
}

bool CheckImageWidth(const QString& bmpPath, int limit) {
    if (!QFileInfo(bmpPath).isFile()) {
        pellum::lang::ErrorBox(Msg("_Err_FileNotExist"));
        return false;
    }
    const BmpLayout l = ParseBmp(ReadWholeFile(bmpPath));
    if (l.width <= limit)
        return true;
    pellum::lang::ErrorBox(Msg("_E_ITW"));
    return false;
}

QByteArray BuildRasterRecord(const QString& bmpPath) {
    return RasterRecordOf(ReadMonoBmp(ReadWholeFile(bmpPath)));
}

} // namespace ImageConversion
