// Picture conversion for download against a bare libjpeg decode of the same
// file, and the refusal of a picture too wide for the printer.
//
//   bench-pictures [ROUNDS]
//
// The JPEG files are made here with libjpeg: a 1248 x 1800 photograph-like
// picture (the widest a 300 dpi printer takes) and a 4000 x 3000 one. Every
// figure is the median of ROUNDS runs (default 15), all in this one process.
#include "core/Localization.h"
#include "core/ProgramFiles.h"
#include "downloads/ImageConversion.h"
#include "platform/UserDialogs.h"
#include "shell/StartUp.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <vector>

#include <jpeglib.h>

using Clock = std::chrono::steady_clock;

namespace {

// Soft shapes and a grain, so that the file costs what a photograph costs.
QByteArray MakeJpeg(int w, int h) {
    jpeg_compress_struct info;
    jpeg_error_mgr err;
    info.err = jpeg_std_error(&err);
    jpeg_create_compress(&info);
    unsigned char* mem = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&info, &mem, &size);
    info.image_width = JDIMENSION(w);
    info.image_height = JDIMENSION(h);
    info.input_components = 3;
    info.in_color_space = JCS_RGB;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, 90, TRUE);
    jpeg_start_compress(&info, TRUE);
    std::vector<std::uint8_t> line(std::size_t(w) * 3);
    unsigned seed = 1;
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            seed = seed * 1103515245u + 12345u;
            const double v =
                128 + 90 * std::sin(x / 37.0) * std::cos(y / 53.0) + int((seed >> 16) % 31) - 15;
            const int g = std::clamp(int(v), 0, 255);
            line[std::size_t(x) * 3] = std::uint8_t(std::clamp(g + 20, 0, 255));
            line[std::size_t(x) * 3 + 1] = std::uint8_t(g);
            line[std::size_t(x) * 3 + 2] = std::uint8_t(std::clamp(g - 25, 0, 255));
        }
        JSAMPROW rows[1] = {line.data()};
        jpeg_write_scanlines(&info, rows, 1);
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    QByteArray out(reinterpret_cast<const char*>(mem), qsizetype(size));
    std::free(mem);
    return out;
}

// libjpeg alone: the file decoded to RGB rows, as djpeg does, into a buffer
// that is reused.
void BareDecode(const QByteArray& file, J_COLOR_SPACE space) {
    jpeg_decompress_struct info;
    jpeg_error_mgr err;
    info.err = jpeg_std_error(&err);
    jpeg_create_decompress(&info);
    jpeg_mem_src(&info, reinterpret_cast<const unsigned char*>(file.constData()),
                 static_cast<unsigned long>(file.size()));
    jpeg_read_header(&info, TRUE);
    info.out_color_space = space;
    jpeg_start_decompress(&info);
    std::vector<std::uint8_t> line(std::size_t(info.output_width) * info.output_components * 16);
    JSAMPROW rows[16];
    for (int i = 0; i < 16; ++i)
        rows[i] = line.data() + std::size_t(info.output_width) * info.output_components * i;
    while (info.output_scanline < info.output_height)
        jpeg_read_scanlines(&info, rows, 16);
    jpeg_finish_decompress(&info);
    jpeg_destroy_decompress(&info);
}

double MedianMs(int rounds, const std::function<void()>& run) {
    std::vector<double> ms;
    for (int i = 0; i < rounds; ++i) {
        const auto start = Clock::now();
        run();
        ms.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
    }
    std::sort(ms.begin(), ms.end());
    return ms[ms.size() / 2];
}

void Write(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size())
        std::exit(1);
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 15;
    QTemporaryDir dir;
    StartUp::InitialiseFolders(dir.path() + QLatin1Char('/'));
    pellum::lang::LanguageId = QStringLiteral("1033");
    pellum::lang::LoadMessageTable();
    pellum::ConsoleDialogs dialogs;
    pellum::SetDialogs(&dialogs);

    const QString photo = dir.filePath(QStringLiteral("photo.jpg"));
    const QString large = dir.filePath(QStringLiteral("large.jpg"));
    const QByteArray photoBytes = MakeJpeg(1248, 1800);
    Write(photo, photoBytes);
    Write(large, MakeJpeg(4000, 3000));
    const QString scratch = pellum::files::ConvertedBitmapPath;

    const double bareRgb = MedianMs(rounds, [&] {
        QFile f(photo);
        f.open(QIODevice::ReadOnly);
        BareDecode(f.readAll(), JCS_RGB);
    });
    const double bareGrey = MedianMs(rounds, [&] { BareDecode(photoBytes, JCS_GRAYSCALE); });
    QByteArray record;
    bool ok = true;
    const auto limit300 = [] { return ImageConversion::MaxImageWidth(300); };
    const double convert = MedianMs(rounds, [&] {
        ok = ok && ImageConversion::ConvertForDownload(photo, scratch, 1.0f, limit300, &record);
    });
    const double inMemory = MedianMs(rounds, [&] {
        QByteArray again;
        ok = ok && ImageConversion::ConvertForDownload(photo, QString(), 1.0f, limit300, &again) &&
             again == record;
    });
    // The route through the scratch file: convert, read it back for the
    // width, read it back again for the record.
    const double viaFile = MedianMs(rounds, [&] {
        ok = ok && ImageConversion::ConvertImageFile(photo, scratch, 1.0f) &&
             ImageConversion::CheckImageWidth(scratch, 1248);
        ok = ok && ImageConversion::BuildRasterRecord(scratch) == record;
    });
    bool refused = true;
    const auto limit203 = [] { return ImageConversion::MaxImageWidth(203); };
    const double refusal = MedianMs(rounds, [&] {
        QByteArray none;
        refused =
            refused && !ImageConversion::ConvertForDownload(large, scratch, 1.0f, limit203, &none);
    });
    if (!ok || !refused) {
        std::fprintf(stderr, "a conversion did not end as expected\n");
        return 1;
    }
    std::printf("median of %d rounds\n", rounds);
    std::printf("1248 x 1800 JPEG (%lld bytes)\n", static_cast<long long>(photoBytes.size()));
    std::printf("  bare libjpeg decode to RGB:          %8.2f ms\n", bareRgb);
    std::printf("  bare libjpeg decode to grey:         %8.2f ms\n", bareGrey);
    std::printf("  conversion to its raster record:     %8.2f ms  (%.2f x the RGB decode, "
                "target 1.5; %lld bytes, scratch BMP written)\n",
                convert, convert / bareRgb, static_cast<long long>(record.size()));
    std::printf("  the same without the scratch BMP:    %8.2f ms  (%.2f x)\n", inMemory,
                inMemory / bareRgb);
    std::printf("  the same through the scratch file:   %8.2f ms\n", viaFile);
    std::printf("4000 x 3000 JPEG at 203 dpi\n");
    std::printf("  refused as too wide:                 %8.3f ms  (target 5)\n", refusal);
    return 0;
}
