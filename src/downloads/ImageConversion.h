// Pictures for download: a BMP, JPEG, PNG or GIF file is enlarged by a scale
// factor and reduced to a black-and-white 1-bit BMP (the scratch bitmap
// ConvertedBitmapPath), which is then turned into the printer's raster record.
// The formats, the reduction and the record are in PictureFormats.h; this
// module adds the files, the width limit and the messages.
#pragma once

#include "downloads/PictureFormats.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <functional>

namespace ImageConversion {

// Width limits in dots: 1248 for a 300 dpi printer, 864 otherwise.
constexpr int kMaxWidth300Dpi = 1248;
constexpr int kMaxWidthOther = 864;
int MaxImageWidth(int dpi);

// The scale factors offered, as the drop-down list shows them.
const QStringList& ScaleFactorItems();

// What became of a picture file converted for download.
struct Conversion {
    enum class Result { Converted, FileMissing, UnknownExtension, TooWide };
    Result result = Result::FileMissing;
    // The converted size in dots (for TooWide, as the header announced it).
    int width = 0;
    int height = 0;
    // The dots (Converted only).
    MonoBitmap bitmap;
};

// The conversion steps of a download, without messages: the file must exist,
// its extension must be one of the four, then the picture is decoded and
// reduced to dots at `factor`. `widthLimit`, when given, is asked once after
// the extension passed (a download asks the printer then); a picture whose
// header already shows it wider than the limit after scaling is refused
// without being decoded. Throws ImageError for a damaged file.
Conversion ConvertPicture(const QString& sourcePath, float factor,
                          const std::function<int()>& widthLimit = {});

// A picture download's conversion in one pass, with the messages of
// ConvertImageFile and CheckImageWidth: _Err_FileNotExist, _E_IC for an
// unknown extension, _E_ITW for a picture too wide. The 1-bit BMP is written
// to `scratchPath` (when not empty) and the record and the dots are handed
// back; nothing is read back from the file. False after the message; an
// error of a decoder or of the writer is shown as _E_IC and then thrown on.
bool ConvertForDownload(const QString& sourcePath, const QString& scratchPath, float factor,
                        const std::function<int()>& widthLimit, QByteArray* record,
                        MonoBitmap* bitmap = nullptr);

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
