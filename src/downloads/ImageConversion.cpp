// The files around the picture conversion: reading the picture, the scratch
// bitmap, the width limit and the messages of a download.
#include "downloads/ImageConversion.h"

#include "core/Localization.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

namespace ImageConversion {

namespace {

QString Msg(const char* key) {
    return pellum::lang::Msg(QLatin1String(key));
}

[[noreturn]] void Fail(const QString& text) {
    throw ImageError(text);
}

QByteArray ReadFile(const QString& path, qsizetype most = -1) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        Fail(QStringLiteral("Cannot open file \"%1\": %2").arg(path, f.errorString()));
    if (most < 0 && f.size() > kMaxPictureFileBytes)
        Fail(QStringLiteral("The file \"%1\" is too large for a picture").arg(path));
    QByteArray bytes = most < 0 ? f.readAll() : f.read(most);
    if (f.error() != QFileDevice::NoError)
        Fail(QStringLiteral("Cannot read file \"%1\": %2").arg(path, f.errorString()));
    return bytes;
}

QByteArray ReadWholeFile(const QString& path) {
    return ReadFile(path);
}

void WriteScratchBitmap(const QString& destPath, const MonoBitmap& mono) {
    QSaveFile out(destPath);
    if (!out.open(QIODevice::WriteOnly))
        Fail(QStringLiteral("Cannot create file \"%1\": %2").arg(destPath, out.errorString()));
    const QByteArray bmp = EncodeMonoBmp(mono);
    if (out.write(bmp) != bmp.size() || !out.commit())
        Fail(QStringLiteral("Cannot write file \"%1\": %2").arg(destPath, out.errorString()));
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

Conversion ConvertPicture(const QString& sourcePath, float factor,
                          const std::function<int()>& widthLimit) {
    Conversion c;
    if (!QFileInfo(sourcePath).isFile()) {
        c.result = Conversion::Result::FileMissing;
        return c;
    }
    const std::optional<PictureFormat> format = FormatOfFileName(sourcePath);
    if (!format) {
        c.result = Conversion::Result::UnknownExtension;
        return c;
    }
    const int limit = widthLimit ? widthLimit() : 0;
    if (limit > 0) {
        // A picture that will be too wide is refused from its header, before
        // the whole file is read and decoded.
        if (const auto size = SizeFromHeader(*format, ReadFile(sourcePath, kHeaderBytesWanted))) {
            const int width = ScaledSide(size->width, factor);
            if (width > limit) {
                c.result = Conversion::Result::TooWide;
                c.width = width;
                c.height = ScaledSide(size->height, factor);
                return c;
            }
        }
    }
    c.bitmap = DecodeToMono(*format, ReadWholeFile(sourcePath), factor);
    c.width = c.bitmap.width;
    c.height = c.bitmap.height;
    c.result =
        limit > 0 && c.width > limit ? Conversion::Result::TooWide : Conversion::Result::Converted;
    return c;
}

bool ConvertForDownload(const QString& sourcePath, const QString& scratchPath, float factor,
                        const std::function<int()>& widthLimit, QByteArray* record,
                        MonoBitmap* bitmap) {
    Conversion c;
    try {
        c = ConvertPicture(sourcePath, factor, widthLimit);
        if (c.result == Conversion::Result::Converted && !scratchPath.isEmpty())
            WriteScratchBitmap(scratchPath, c.bitmap);
    } catch (const std::bad_alloc&) {
        pellum::lang::ErrorBox(Msg("_E_IC"));
        throw ImageError(QStringLiteral("Not enough memory to convert the picture"));
    } catch (const ImageError&) {
        pellum::lang::ErrorBox(Msg("_E_IC"));
        throw;
    }
    switch (c.result) {
    case Conversion::Result::FileMissing:
        pellum::lang::ErrorBox(Msg("_Err_FileNotExist"));
        return false;
    case Conversion::Result::UnknownExtension:
        pellum::lang::ErrorBox(Msg("_E_IC"));
        return false;
    case Conversion::Result::TooWide:
        pellum::lang::ErrorBox(Msg("_E_ITW"));
        return false;
    case Conversion::Result::Converted:
        break;
    }
    if (record)
        *record = RasterRecordOf(c.bitmap);
    if (bitmap)
        *bitmap = std::move(c.bitmap);
    return true;
}

bool ConvertImageFile(const QString& sourcePath, const QString& destPath, float factor) {
    return ConvertForDownload(sourcePath, destPath, factor, {}, nullptr);
}

bool CheckImageWidth(const QString& bmpPath, int limit) {
    if (!QFileInfo(bmpPath).isFile()) {
        pellum::lang::ErrorBox(Msg("_Err_FileNotExist"));
        return false;
    }
    if (DecodeBmp(ReadWholeFile(bmpPath)).width <= limit)
        return true;
    pellum::lang::ErrorBox(Msg("_E_ITW"));
    return false;
}

QByteArray BuildRasterRecord(const QString& bmpPath) {
    return RasterRecordOf(ReadMonoBmp(ReadWholeFile(bmpPath)));
}

} // namespace ImageConversion
