// Picture decoding, the two-colour reduction, the 1-bit BMP and PNG and the
// raster record.
//
// Every decoder hands its rows to a sink: one sink keeps the colours (the
// Picture of DecodeBmp and the others), the other keeps only whether each
// pixel is black, which is all the reduction needs. Both apply the same rule,
// so the dots do not depend on the route.
#include "downloads/PictureFormats.h"

#include <algorithm>
#include <cmath>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <memory>

#include <gif_lib.h>
#include <jerror.h>
#include <jpeglib.h>
#include <png.h>

namespace ImageConversion {

namespace {

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
std::uint32_t BigU16(const QByteArray& b, qsizetype at) {
    return std::uint32_t(std::uint8_t(b[at])) << 8 | std::uint8_t(b[at + 1]);
}
std::uint32_t BigU32(const QByteArray& b, qsizetype at) {
    return BigU16(b, at) << 16 | BigU16(b, at + 2);
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

// ---- Rows and sinks --------------------------------------------------------

// How the pixels of one row are laid out.
enum class Layout {
    Grey,        // 1 byte
    Rgb,         // 3 bytes
    Rgba,        // 4 bytes
    InvertedCmyk // 4 bytes, each 255 - ink, as Adobe writes CMYK JPEG files
};

class RowSink {
public:
    virtual ~RowSink() = default;
    // Called once, before any row, with a size CheckSourceSize accepted.
    virtual void Begin(int width, int height) = 0;
    // Row y (0 = top) of `width` pixels; rows may come in any order.
    virtual void Row(int y, const std::uint8_t* pixels, Layout layout) = 0;
};

// Black when the luminance of the colour, composed over white, is below one
// half. For an opaque pixel (299 r + 587 g + 114 b) / 1000 < 128 is the same
// test as the sum below 128000.
inline bool BlackRgba(const std::uint8_t* px) {
    const int a = px[3];
    const int r = (px[0] * a + 255 * (255 - a)) / 255;
    const int g = (px[1] * a + 255 * (255 - a)) / 255;
    const int b = (px[2] * a + 255 * (255 - a)) / 255;
    return (299 * r + 587 * g + 114 * b) / 1000 < 128;
}
inline bool BlackRgb(int r, int g, int b) {
    return 299 * r + 587 * g + 114 * b < 128000;
}
inline void CmykToRgb(const std::uint8_t* s, std::uint8_t* rgb) {
    rgb[0] = std::uint8_t(s[0] * s[3] / 255);
    rgb[1] = std::uint8_t(s[1] * s[3] / 255);
    rgb[2] = std::uint8_t(s[2] * s[3] / 255);
}

// Keeps the colours: the Picture of the decoders.
class ColourSink : public RowSink {
public:
    void Begin(int width, int height) override {
        picture.width = width;
        picture.height = height;
        picture.rgba.assign(std::size_t(width) * std::size_t(height) * 4, 0xFF);
    }
    void Row(int y, const std::uint8_t* s, Layout layout) override {
        std::uint8_t* d = &picture.rgba[std::size_t(y) * picture.width * 4];
        for (int x = 0; x < picture.width; ++x, d += 4) {
            switch (layout) {
            case Layout::Grey:
                d[0] = d[1] = d[2] = s[x];
                d[3] = 0xFF;
                break;
            case Layout::Rgb:
                std::memcpy(d, s + 3 * x, 3);
                d[3] = 0xFF;
                break;
            case Layout::Rgba:
                std::memcpy(d, s + 4 * x, 4);
                break;
            case Layout::InvertedCmyk:
                CmykToRgb(s + 4 * x, d);
                d[3] = 0xFF;
                break;
            }
        }
    }
    Picture picture;
};

// Keeps one byte per pixel: 1 black, 0 white.
class BlackSink : public RowSink {
public:
    void Begin(int w, int h) override {
        width = w;
        height = h;
        black.assign(std::size_t(w) * std::size_t(h), 0);
    }
    void Row(int y, const std::uint8_t* s, Layout layout) override {
        std::uint8_t* d = &black[std::size_t(y) * width];
        switch (layout) {
        case Layout::Grey:
            for (int x = 0; x < width; ++x)
                d[x] = s[x] < 128;
            break;
        case Layout::Rgb:
            for (int x = 0; x < width; ++x)
                d[x] = BlackRgb(s[3 * x], s[3 * x + 1], s[3 * x + 2]);
            break;
        case Layout::Rgba:
            for (int x = 0; x < width; ++x, s += 4)
                d[x] = BlackRgba(s);
            break;
        case Layout::InvertedCmyk:
            for (int x = 0; x < width; ++x, s += 4) {
                std::uint8_t rgb[3];
                CmykToRgb(s, rgb);
                d[x] = BlackRgb(rgb[0], rgb[1], rgb[2]);
            }
            break;
        }
    }
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> black;
};

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
constexpr std::uint32_t kBiRle8 = 1;
constexpr std::uint32_t kBiRle4 = 2;
constexpr std::uint32_t kBiBitfields = 3;

bool RunLength(const BmpLayout& l) {
    return l.compression == kBiRle8 || l.compression == kBiRle4;
}

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
    case 24:
        if (l.compression != kBiRgb)
            Fail(QStringLiteral("BMP: compression %1 is not supported").arg(l.compression));
        break;
    case 4:
    case 8:
        if (l.compression != kBiRgb && l.compression != (l.bitCount == 8 ? kBiRle8 : kBiRle4))
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
    // Run-length pictures are stored bottom-up only.
    if (RunLength(l) && l.topDown)
        Fail(QStringLiteral("BMP: a run-length-encoded picture cannot be stored top-down"));
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
        (!RunLength(l) && l.stride * l.height > b.size() - l.pixelOffset))
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

// The palette indices of a run-length-encoded picture, one byte per pixel,
// top row first. The data is a sequence of two-byte codes: a count above 0
// with a colour (8 bits) or two alternating colours (4 bits), or 0 with an
// escape: 0 end of line, 1 end of picture, 2 a move right and up by the next
// two bytes, 3-255 that many pixels stored as they are, padded to an even
// number of bytes. Pixels no code reaches keep colour 0.
std::vector<std::uint8_t> DecodeRunLength(const QByteArray& b, const BmpLayout& l) {
    const bool four = l.compression == kBiRle4;
    const int w = l.width, h = l.height;
    std::vector<std::uint8_t> index(std::size_t(w) * std::size_t(h), 0);
    const auto* data = reinterpret_cast<const std::uint8_t*>(b.constData());
    qsizetype at = l.pixelOffset;
    const qsizetype end = b.size();
    int x = 0, row = 0; // row counted from the bottom, as the file stores them
    auto need = [&](qsizetype n) {
        if (end - at < n)
            Fail(QStringLiteral("BMP: the run-length data ends inside the picture"));
    };
    auto room = [&](int count) {
        if (row >= h || count > w - x)
            Fail(QStringLiteral("BMP: a run leaves the picture at row %1").arg(h - 1 - row));
    };
    for (;;) {
        if (at == end) {
            // Nothing is missing once every row is done; otherwise the file
            // was cut.
            if (row >= h)
                return index;
            Fail(QStringLiteral("BMP: the run-length data ends inside the picture"));
        }
        need(2);
        const int count = data[at];
        const std::uint8_t value = data[at + 1];
        at += 2;
        if (count > 0) {
            room(count);
            std::uint8_t* d = &index[std::size_t(h - 1 - row) * w + x];
            for (int i = 0; i < count; ++i)
                d[i] = four ? std::uint8_t(i % 2 == 0 ? value >> 4 : value & 0x0F) : value;
            x += count;
        } else if (value == 0) { // end of line
            x = 0;
            if (row < h)
                ++row;
        } else if (value == 1) { // end of picture
            return index;
        } else if (value == 2) { // move
            need(2);
            const int dx = data[at], dy = data[at + 1];
            at += 2;
            if (dx > w - x || dy > h - row)
                Fail(QStringLiteral("BMP: a move leaves the picture at row %1").arg(h - 1 - row));
            x += dx;
            row += dy;
        } else { // pixels as they are
            const int pixels = value;
            const qsizetype bytes = four ? (pixels + 1) / 2 : pixels;
            room(pixels);
            need(bytes + (bytes & 1));
            std::uint8_t* d = &index[std::size_t(h - 1 - row) * w + x];
            for (int i = 0; i < pixels; ++i)
                d[i] = four ? std::uint8_t(i % 2 == 0 ? data[at + i / 2] >> 4
                                                      : data[at + i / 2] & 0x0F)
                            : data[at + i];
            x += pixels;
            at += bytes + (bytes & 1);
        }
    }
}

void DecodeBmpRows(const QByteArray& file, RowSink& sink) {
    const BmpLayout l = ParseBmp(file);
    std::vector<std::uint8_t> runLength;
    if (RunLength(l))
        runLength = DecodeRunLength(file, l);
    sink.Begin(l.width, l.height);
    std::vector<std::uint8_t> line(std::size_t(l.width) * 4);
    auto colour = [&](std::uint32_t index, std::uint8_t* px) {
        if (index >= l.palette.size())
            Fail(QStringLiteral("BMP: a pixel names colour %1 of a palette of %2")
                     .arg(index)
                     .arg(l.palette.size()));
        const std::uint32_t c = l.palette[index];
        px[0] = std::uint8_t(c >> 16);
        px[1] = std::uint8_t(c >> 8);
        px[2] = std::uint8_t(c);
        px[3] = 0xFF;
    };
    for (int y = 0; y < l.height; ++y) {
        std::uint8_t* px = line.data();
        if (RunLength(l)) {
            const std::uint8_t* row = &runLength[std::size_t(y) * l.width];
            for (int x = 0; x < l.width; ++x, px += 4)
                colour(row[x], px);
            sink.Row(y, line.data(), Layout::Rgba);
            continue;
        }
        const std::uint8_t* row = BmpRow(file, l, y);
        for (int x = 0; x < l.width; ++x, px += 4) {
            if (l.bitCount <= 8) {
                const int perByte = 8 / l.bitCount;
                const int shift = 8 - l.bitCount * (x % perByte + 1);
                colour((row[x / perByte] >> shift) & ((1u << l.bitCount) - 1), px);
            } else if (l.bitCount == 24) {
                const std::uint8_t* s = row + 3 * x;
                px[0] = s[2];
                px[1] = s[1];
                px[2] = s[0];
                px[3] = 0xFF;
            } else {
                const std::uint8_t* s = row + (l.bitCount / 8) * x;
                const std::uint32_t v =
                    l.bitCount == 16
                        ? std::uint32_t(s[0] | s[1] << 8)
                        : std::uint32_t(s[0] | s[1] << 8 | s[2] << 16) | std::uint32_t(s[3]) << 24;
                px[0] = Channel(v, l.masks[0]);
                px[1] = Channel(v, l.masks[1]);
                px[2] = Channel(v, l.masks[2]);
                px[3] = l.masks[3] ? Channel(v, l.masks[3]) : 0xFF;
            }
        }
        sink.Row(y, line.data(), Layout::Rgba);
    }
}

// ---- JPEG ------------------------------------------------------------------

struct JpegState {
    jpeg_decompress_struct info;
    jpeg_error_mgr err;
    std::jmp_buf jump;
    char message[JMSG_LENGTH_MAX] = {};
    bool created = false;
    std::vector<std::uint8_t> lines;
    ~JpegState() {
        if (created)
            jpeg_destroy_decompress(&info);
    }
};

void JpegErrorExit(j_common_ptr info) {
    auto* state = static_cast<JpegState*>(info->client_data);
    (*info->err->format_message)(info, state->message);
    std::longjmp(state->jump, 1);
}

// Warnings are not shown; a file that ends before its last row is refused
// instead of being filled with grey.
void JpegMessage(j_common_ptr info, int level) {
    if (level < 0 && info->err->msg_code == JWRN_JPEG_EOF)
        JpegErrorExit(info);
}

void DecodeJpegRows(const QByteArray& file, RowSink& sink) {
    // Everything the library's longjmp may leave behind lives on the heap,
    // owned by one pointer that does not change after setjmp.
    const auto state = std::make_unique<JpegState>();
    std::memset(&state->info, 0, sizeof state->info);
    state->info.err = jpeg_std_error(&state->err);
    state->err.error_exit = JpegErrorExit;
    state->err.emit_message = JpegMessage;
    state->info.client_data = state.get();
    if (setjmp(state->jump))
        Fail(QStringLiteral("JPEG: %1").arg(QString::fromLatin1(state->message)));
    jpeg_decompress_struct& info = state->info;
    jpeg_create_decompress(&info);
    state->created = true;
    jpeg_mem_src(&info, reinterpret_cast<const unsigned char*>(file.constData()),
                 static_cast<unsigned long>(file.size()));
    jpeg_read_header(&info, TRUE);
    Layout layout = Layout::Rgb;
    if (info.jpeg_color_space == JCS_CMYK || info.jpeg_color_space == JCS_YCCK) {
        info.out_color_space = JCS_CMYK;
        layout = Layout::InvertedCmyk;
    } else if (info.jpeg_color_space == JCS_GRAYSCALE) {
        info.out_color_space = JCS_GRAYSCALE;
        layout = Layout::Grey;
    } else {
        info.out_color_space = JCS_RGB;
    }
    CheckSourceSize("JPEG", info.image_width, info.image_height);
    jpeg_start_decompress(&info);
    sink.Begin(int(info.output_width), int(info.output_height));
    // Several rows per call: the library then hands over whole blocks.
    constexpr int kRows = 16;
    const std::size_t rowBytes = std::size_t(info.output_width) * info.output_components;
    state->lines.resize(rowBytes * kRows);
    JSAMPROW rows[kRows];
    for (int i = 0; i < kRows; ++i)
        rows[i] = state->lines.data() + rowBytes * i;
    while (info.output_scanline < info.output_height) {
        const int y = int(info.output_scanline);
        const int got = int(jpeg_read_scanlines(&info, rows, kRows));
        if (got <= 0)
            break;
        for (int i = 0; i < got; ++i)
            sink.Row(y + i, rows[i], layout);
    }
    jpeg_finish_decompress(&info);
}

// ---- PNG -------------------------------------------------------------------

void DecodePngRows(const QByteArray& file, RowSink& sink) {
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
    std::vector<std::uint8_t> rgba;
    try {
        rgba.resize(std::size_t(w) * std::size_t(h) * 4);
    } catch (...) {
        png_image_free(&image);
        throw;
    }
    if (!png_image_finish_read(&image, nullptr, rgba.data(), 0, nullptr)) {
        const QString text = QString::fromLatin1(image.message);
        png_image_free(&image);
        Fail(QStringLiteral("PNG: %1").arg(text));
    }
    sink.Begin(int(w), int(h));
    for (int y = 0; y < int(h); ++y)
        sink.Row(y, &rgba[std::size_t(y) * std::size_t(w) * 4], Layout::Rgba);
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

void DecodeGifRows(const QByteArray& file, RowSink& sink) {
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
            sink.Begin(gif->SWidth, gif->SHeight);
            std::vector<std::uint8_t> line(std::size_t(gif->SWidth) * 4);
            for (int y = 0; y < gif->SHeight; ++y) {
                for (std::size_t i = 0; i < line.size(); i += 4) {
                    line[i] = line[i + 1] = line[i + 2] = 0xFF;
                    line[i + 3] = 0;
                }
                const int fy = y - d.Top;
                if (fy >= 0 && fy < d.Height)
                    for (int x = 0; x < d.Width; ++x) {
                        const int index = pixels[std::size_t(fy) * d.Width + x];
                        if (index == transparent)
                            continue;
                        if (index >= map->ColorCount)
                            Fail(QStringLiteral("GIF: a pixel names colour %1 of a table of %2")
                                     .arg(index)
                                     .arg(map->ColorCount));
                        const GifColorType& c = map->Colors[index];
                        std::uint8_t* px = &line[std::size_t(d.Left + x) * 4];
                        px[0] = c.Red;
                        px[1] = c.Green;
                        px[2] = c.Blue;
                        px[3] = 0xFF;
                    }
                sink.Row(y, line.data(), Layout::Rgba);
            }
            return;
        }
    } while (record != TERMINATE_RECORD_TYPE);
    Fail(QStringLiteral("GIF: the file holds no picture"));
}

void DecodeRows(PictureFormat format, const QByteArray& file, RowSink& sink) {
    switch (format) {
    case PictureFormat::Bmp:
        return DecodeBmpRows(file, sink);
    case PictureFormat::Jpeg:
        return DecodeJpegRows(file, sink);
    case PictureFormat::Png:
        return DecodePngRows(file, sink);
    case PictureFormat::Gif:
        return DecodeGifRows(file, sink);
    }
    Fail(QStringLiteral("Unknown picture format"));
}

Picture DecodeColours(PictureFormat format, const QByteArray& file) {
    ColourSink sink;
    DecodeRows(format, file, sink);
    return std::move(sink.picture);
}

// ---- Reduction -------------------------------------------------------------

// Stretches a picture of black flags onto width x height dots, each dot
// taking the source pixel nearest to its centre.
MonoBitmap StretchBlack(const std::vector<std::uint8_t>& black, int sourceWidth, int sourceHeight,
                        int width, int height) {
    if (width <= 0 || height <= 0 || width > kMaxConvertedSide || height > kMaxConvertedSide)
        Fail(QStringLiteral("The converted picture would be %1 x %2 dots").arg(width).arg(height));
    MonoBitmap m;
    m.width = width;
    m.height = height;
    m.bytesPerRow = (width + 7) / 8;
    m.rows.assign(std::size_t(m.bytesPerRow) * std::size_t(height), 0xFF);
    std::vector<int> columns(static_cast<std::size_t>(width));
    for (int x = 0; x < width; ++x)
        columns[x] = int(std::min<std::int64_t>(
            (2 * std::int64_t(x) + 1) * sourceWidth / (2 * std::int64_t(width)), sourceWidth - 1));
    int previous = -1;
    for (int y = 0; y < height; ++y) {
        const int sy = int(std::min<std::int64_t>((2 * std::int64_t(y) + 1) * sourceHeight /
                                                      (2 * std::int64_t(height)),
                                                  sourceHeight - 1));
        std::uint8_t* row = &m.rows[std::size_t(y) * m.bytesPerRow];
        if (sy == previous) { // an enlarged picture repeats its rows
            std::memcpy(row, row - m.bytesPerRow, std::size_t(m.bytesPerRow));
            continue;
        }
        previous = sy;
        const std::uint8_t* src = &black[std::size_t(sy) * sourceWidth];
        const int whole = width / 8;
        if (width == sourceWidth) { // the columns are the source's own
            for (int i = 0; i < whole; ++i) {
                const std::uint8_t* s = src + 8 * i;
                row[i] = std::uint8_t(~(s[0] << 7 | s[1] << 6 | s[2] << 5 | s[3] << 4 | s[4] << 3 |
                                        s[5] << 2 | s[6] << 1 | s[7]));
            }
        } else {
            const int* c = columns.data();
            for (int i = 0; i < whole; ++i, c += 8)
                row[i] = std::uint8_t(~(src[c[0]] << 7 | src[c[1]] << 6 | src[c[2]] << 5 |
                                        src[c[3]] << 4 | src[c[4]] << 3 | src[c[5]] << 2 |
                                        src[c[6]] << 1 | src[c[7]]));
        }
        if (const int n = width % 8) { // the bits right of the picture stay white
            unsigned bits = 0;
            for (int k = 0; k < n; ++k)
                bits |= unsigned(src[columns[std::size_t(whole * 8 + k)]]) << (7 - k);
            row[whole] = std::uint8_t(~bits);
        }
    }
    return m;
}

// libpng reports errors through longjmp; the writer keeps its state on the
// heap like the JPEG reader.
struct PngWriteState {
    png_structp png = nullptr;
    png_infop info = nullptr;
    QByteArray out;
    std::vector<png_bytep> rows;
    ~PngWriteState() {
        if (png)
            png_destroy_write_struct(&png, info ? &info : nullptr);
    }
};

void PngAppend(png_structp png, png_bytep data, png_size_t n) {
    static_cast<PngWriteState*>(png_get_io_ptr(png))
        ->out.append(reinterpret_cast<const char*>(data), qsizetype(n));
}
void PngFlush(png_structp) {}

} // namespace

std::optional<PictureFormat> FormatOfFileName(const QString& path) {
    const qsizetype dot = path.lastIndexOf(QLatin1Char('.'));
    const QString ext = dot < 0 ? QString() : path.mid(dot);
    if (ext == QLatin1String(".bmp"))
        return PictureFormat::Bmp;
    if (ext == QLatin1String(".jpg"))
        return PictureFormat::Jpeg;
    if (ext == QLatin1String(".png"))
        return PictureFormat::Png;
    if (ext == QLatin1String(".gif"))
        return PictureFormat::Gif;
    return std::nullopt;
}

Picture DecodeBmp(const QByteArray& file) {
    return DecodeColours(PictureFormat::Bmp, file);
}
Picture DecodeJpeg(const QByteArray& file) {
    return DecodeColours(PictureFormat::Jpeg, file);
}
Picture DecodePng(const QByteArray& file) {
    return DecodeColours(PictureFormat::Png, file);
}
Picture DecodeGif(const QByteArray& file) {
    return DecodeColours(PictureFormat::Gif, file);
}
Picture Decode(PictureFormat format, const QByteArray& file) {
    return DecodeColours(format, file);
}

std::optional<PictureSize> SizeFromHeader(PictureFormat format, const QByteArray& b) {
    auto size = [](std::int64_t w, std::int64_t h) -> std::optional<PictureSize> {
        if (w <= 0 || w > 0x7FFFFFFF || h < 0 || h > 0x7FFFFFFF)
            return std::nullopt;
        return PictureSize{int(w), int(h)};
    };
    switch (format) {
    case PictureFormat::Bmp: {
        if (b.size() < 26 || b[0] != 'B' || b[1] != 'M')
            return std::nullopt;
        const std::uint32_t headerSize = U32(b, 14);
        if (headerSize == 12)
            return size(U16(b, 18), std::abs(std::int16_t(U16(b, 20))));
        if (headerSize < 40)
            return std::nullopt;
        const std::int64_t h = S32(b, 22);
        return size(S32(b, 18), h < 0 ? -h : h);
    }
    case PictureFormat::Png:
        if (b.size() < 24 || !b.startsWith(QByteArray::fromHex("89504E470D0A1A0A")) ||
            b.mid(12, 4) != "IHDR")
            return std::nullopt;
        return size(BigU32(b, 16), BigU32(b, 20));
    case PictureFormat::Gif:
        if (b.size() < 10 || !(b.startsWith("GIF87a") || b.startsWith("GIF89a")))
            return std::nullopt;
        return size(U16(b, 6), U16(b, 8));
    case PictureFormat::Jpeg: {
        // Markers from the start of the file to the first frame header; the
        // segments between them are skipped by their lengths.
        if (b.size() < 4 || std::uint8_t(b[0]) != 0xFF || std::uint8_t(b[1]) != 0xD8)
            return std::nullopt;
        qsizetype at = 2;
        while (at < b.size()) {
            if (std::uint8_t(b[at]) != 0xFF)
                return std::nullopt;
            while (at < b.size() && std::uint8_t(b[at]) == 0xFF)
                ++at;
            if (at >= b.size())
                return std::nullopt;
            const int marker = std::uint8_t(b[at++]);
            if (marker == 0x01 || (marker >= 0xD0 && marker <= 0xD7))
                continue; // no segment follows
            if (marker == 0xD9 || marker == 0xDA || at + 2 > b.size())
                return std::nullopt; // no frame header before the picture data
            const qsizetype length = BigU16(b, at);
            if (length < 2)
                return std::nullopt;
            const bool frame = marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 &&
                               marker != 0xC8 && marker != 0xCC;
            if (frame) {
                if (length < 7 || at + 7 > b.size())
                    return std::nullopt;
                return size(BigU16(b, at + 5), BigU16(b, at + 3));
            }
            at += length;
        }
        return std::nullopt;
    }
    }
    return std::nullopt;
}

int ScaledSide(int side, float factor) {
    return int(std::nearbyint(double(side) * double(factor)));
}

MonoBitmap StretchToMono(const Picture& source, int width, int height) {
    std::vector<std::uint8_t> black(std::size_t(source.width) * std::size_t(source.height));
    for (std::size_t i = 0; i < black.size(); ++i)
        black[i] = BlackRgba(&source.rgba[i * 4]);
    return StretchBlack(black, source.width, source.height, width, height);
}

MonoBitmap DecodeToMono(PictureFormat format, const QByteArray& file, float factor) {
    BlackSink sink;
    DecodeRows(format, file, sink);
    return StretchBlack(sink.black, sink.width, sink.height, ScaledSide(sink.width, factor),
                        ScaledSide(sink.height, factor));
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

QByteArray EncodeMonoPng(const MonoBitmap& m) {
    // One bit per pixel, 1 = white: the bitmap's rows as they are.
    const auto state = std::make_unique<PngWriteState>();
    state->png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    if (!state->png)
        Fail(QStringLiteral("PNG: cannot start the writer"));
    state->info = png_create_info_struct(state->png);
    if (!state->info)
        Fail(QStringLiteral("PNG: cannot start the writer"));
    state->rows.resize(std::size_t(m.height));
    for (int y = 0; y < m.height; ++y)
        state->rows[std::size_t(y)] =
            const_cast<png_bytep>(&m.rows[std::size_t(y) * std::size_t(m.bytesPerRow)]);
    if (setjmp(png_jmpbuf(state->png)))
        Fail(QStringLiteral("PNG: the preview could not be written"));
    png_set_write_fn(state->png, state.get(), PngAppend, PngFlush);
    png_set_IHDR(state->png, state->info, png_uint_32(m.width), png_uint_32(m.height), 1,
                 PNG_COLOR_TYPE_GRAY, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    png_write_info(state->png, state->info);
    png_write_image(state->png, state->rows.data());
    png_write_end(state->png, nullptr);
    return state->out;
}

} // namespace ImageConversion
