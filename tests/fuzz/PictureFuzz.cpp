// The JPEG, PNG and GIF decoders and the header reader of every format. The
// first byte chooses the format, the rest is the file: each decodes or
// throws ImageError, and a size its header states is the size decoded.
//
// fuzz-sources: src/downloads/PictureFormats.cpp
// fuzz-pkg: Qt6Core libpng libjpeg
// fuzz-libs: -lgif
#include "downloads/PictureFormats.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1)
        return 0;
    using namespace ImageConversion;
    const PictureFormat formats[] = {PictureFormat::Bmp, PictureFormat::Jpeg, PictureFormat::Png,
                                     PictureFormat::Gif};
    const PictureFormat format = formats[data[0] % 4];
    const QByteArray file(reinterpret_cast<const char*>(data + 1), qsizetype(size - 1));
    const auto stated = SizeFromHeader(format, file);
    try {
        const MonoBitmap m = DecodeToMono(format, file, 1.0f);
        if (stated && stated->width != m.width)
            __builtin_trap();
    } catch (const ImageError&) {
    }
    return 0;
}
