// Pictures for download: a BMP, JPEG, PNG or GIF file is enlarged by a scale
// factor and reduced to a black-and-white 1-bit BMP (the scratch bitmap
// ConvertedBitmapPath), which is then turned into the printer's raster record.
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
#include <QStringList>

#include <cstdint>
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

// Width limits in dots: 1248 for a 300 dpi printer, 864 otherwise.
constexpr int kMaxWidth300Dpi = 1248;
constexpr int kMaxWidthOther = 864;
int MaxImageWidth(int dpi);

// The scale factors offered, as the drop-down list shows them.
const QStringList& ScaleFactorItems();

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
Picture DecodeBmp(const QByteArray& file);
Picture DecodeJpeg(const QByteArray& file);
Picture DecodePng(const QByteArray& file);
Picture DecodeGif(const QByteArray& file); // the first frame

// The converted size: each side times `factor`, rounded to the nearest
// integer with halves to the even neighbour.
int ScaledSide(int side, float factor);

// Draws `source` stretched onto a width x height two-colour bitmap (nearest
// source pixel; a pixel is black when its luminance, composed over white, is
// below one half).
MonoBitmap StretchToMono(const Picture& source, int width, int height);

// The BMP bytes of a 1-bit bitmap (bottom-up rows, palette black, white).
QByteArray EncodeMonoBmp(const MonoBitmap& bitmap);
// Reads a 1-bit BMP (either row order). Throws ImageError.
MonoBitmap ReadMonoBmp(const QByteArray& file);

// The record of a 1-bit bitmap.
QByteArray RasterRecordOf(const MonoBitmap& bitmap);

// Converts the picture at `sourcePath` (extension ".bmp", ".jpg", ".png" or
// ".gif", exactly) to a 1-bit BMP at `destPath`, written atomically. Shows
// _Err_FileNotExist for a missing file and _E_IC when no bitmap was written;
// an error of a decoder or of the writer is shown as _E_IC and then thrown on
// for the caller to show its text. True when the bitmap was written.
bool ConvertImageFile(const QString& sourcePath, const QString& destPath, float factor);

// True when the BMP at `bmpPath` exists and is at most `limit` dots wide;
// otherwise shows _Err_FileNotExist or _E_ITW and returns false. A file that
// is not a readable BMP throws ImageError.
bool CheckImageWidth(const QString& bmpPath, int limit);

// The RasterRecord of the 1-bit BMP at `bmpPath`. Throws ImageError.
QByteArray BuildRasterRecord(const QString& bmpPath);

} // namespace ImageConversion
