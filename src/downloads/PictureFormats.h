// The picture formats a download accepts (BMP, JPEG, PNG, GIF), their
// reduction to a black-and-white bitmap of dots, the 1-bit scratch BMP and the
// printer's raster record. Plain data in and out: no messages, no files, so
// that the windows, pellumctl and the fuzz harnesses share one code path.
//
// RasterRecord, all fields little-endian:
//   0  2  bytesPerRow = ceil(W / 8)
//   2  2  rowBlocks   = ceil(H / 8), the height in units of 8 rows
//   4  .. 8 x rowBlocks rows of bytesPerRow bytes, top row first, most
//         significant bit = leftmost dot, 1 = black; the bits right of the
//         picture and the rows below it are 0 (white).
//
// The decoders refuse damaged and hostile files with an ImageError instead of
// reading outside the file or allocating without bound.
#pragma once

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <vector>

namespace ImageConversion {

// A decoder, the scaler or the writer failed; what() is the text to show.
class ImageError : public std::runtime_error {
public:
    explicit ImageError(const QString& text) : std::runtime_error(text.toStdString()) {}
    QString text() const { return QString::fromStdString(what()); }
};

// Largest picture a decoder accepts (pixels of the source) and the largest
// side of a converted picture (the record's 16-bit fields count bytes and
// blocks of 8 rows).
constexpr std::int64_t kMaxSourcePixels = 32LL * 1024 * 1024;
constexpr int kMaxConvertedSide = 65535 * 8;
// Largest picture file read into memory.
constexpr std::int64_t kMaxPictureFileBytes = 256LL * 1024 * 1024;

// The four formats, chosen by the file name's extension: ".bmp", ".jpg",
// ".png" or ".gif", compared exactly (".JPG" and ".jpeg" are none of them).
enum class PictureFormat { Bmp, Jpeg, Png, Gif };
std::optional<PictureFormat> FormatOfFileName(const QString& path);

// A decoded picture: width x height pixels, 4 bytes each (R, G, B, A).
struct Picture {
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> rgba;
};

// A 1-bit picture as the scratch BMP holds it: rows top first, each
// ceil(width / 8) bytes, most significant bit leftmost, bit set = white
// (palette index 1), bit clear = black (index 0).
struct MonoBitmap {
    int width = 0;
    int height = 0;
    int bytesPerRow = 0;
    std::vector<std::uint8_t> rows;
    bool black(int x, int y) const {
        return (rows[std::size_t(y) * bytesPerRow + x / 8] & (0x80 >> (x % 8))) == 0;
    }
};

// Decoders over the file's bytes; each throws ImageError on a damaged file.
// BMP covers 1, 4, 8, 16, 24 and 32 bits per pixel, bit fields and the
// run-length encodings of 8 and 4 bits per pixel.
Picture DecodeBmp(const QByteArray& file);
Picture DecodeJpeg(const QByteArray& file);
Picture DecodePng(const QByteArray& file);
Picture DecodeGif(const QByteArray& file); // the first frame
Picture Decode(PictureFormat format, const QByteArray& file);

// The picture's width and height as its header states them, from the first
// bytes of the file (kHeaderBytesWanted of them are enough for every
// format but a JPEG with large metadata before its frame header). Nothing
// when the header is not there or not readable: the decoder then decides.
struct PictureSize {
    int width = 0;
    int height = 0;
};
constexpr qsizetype kHeaderBytesWanted = 256 * 1024;
std::optional<PictureSize> SizeFromHeader(PictureFormat format, const QByteArray& start);

// The converted size: each side times `factor`, rounded to the nearest
// integer with halves to the even neighbour.
int ScaledSide(int side, float factor);

// Draws `source` stretched onto a width x height two-colour bitmap (nearest
// source pixel; a pixel is black when its luminance, composed over white, is
// below one half).
MonoBitmap StretchToMono(const Picture& source, int width, int height);

// Decodes the file and reduces it to dots at `factor` in one pass: the same
// dots as StretchToMono(Decode(format, file), ...) without the colour copy
// of the whole picture. Throws ImageError.
MonoBitmap DecodeToMono(PictureFormat format, const QByteArray& file, float factor);

// The BMP bytes of a 1-bit bitmap (bottom-up rows, palette black, white).
QByteArray EncodeMonoBmp(const MonoBitmap& bitmap);
// Reads a 1-bit BMP (either row order). Throws ImageError.
MonoBitmap ReadMonoBmp(const QByteArray& file);

// The record of a 1-bit bitmap. Throws ImageError when the picture does not
// fit the record's 16-bit fields.
QByteArray RasterRecordOf(const MonoBitmap& bitmap);

// A 1-bit grey PNG with one pixel per dot, black dots black.
QByteArray EncodeMonoPng(const MonoBitmap& bitmap);

} // namespace ImageConversion
