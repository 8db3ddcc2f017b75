// The BMP reader (every depth, bit fields, both run-length encodings) and
// the 1-bit reader of the scratch bitmap, on arbitrary bytes: they either
// decode or throw ImageError, and never read outside the buffer.
//
// fuzz-sources: src/downloads/PictureFormats.cpp
// fuzz-pkg: Qt6Core libpng libjpeg
// fuzz-libs: -lgif
#include "downloads/PictureFormats.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArray file(reinterpret_cast<const char*>(data), qsizetype(size));
    using namespace ImageConversion;
    try {
        const Picture p = DecodeBmp(file);
        if (p.rgba.size() != std::size_t(p.width) * std::size_t(p.height) * 4)
            __builtin_trap();
    } catch (const ImageError&) {
    }
    try {
        (void)DecodeToMono(PictureFormat::Bmp, file, 1.5f);
    } catch (const ImageError&) {
    }
    try {
        (void)RasterRecordOf(ReadMonoBmp(file));
    } catch (const ImageError&) {
    }
    (void)SizeFromHeader(PictureFormat::Bmp, file);
    return 0;
}
