// Raster records (the printer's 1-bit picture format) written out as PNG files
// so a person can look at what the printer holds.
#include <cstdio>
#include <zlib.h>

#include "Downloads.h"

namespace vp {

bool RasterRecordSize(const Bytes& r, int& width, int& height) {
    if (r.size() < 4) {
        return false;
    }
    std::size_t bpr = le16(&r[0]);
    std::size_t blocks = le16(&r[2]);
    if (bpr == 0 || blocks == 0 || r.size() != 4 + bpr * blocks * 8) {
        return false;
    }
    width = static_cast<int>(bpr * 8);
    height = static_cast<int>(blocks * 8);
    return true;
}

namespace {

void put32(Bytes& out, std::uint32_t v) {
    out.push_back(static_cast<std::uint8_t>(v >> 24));
    out.push_back(static_cast<std::uint8_t>(v >> 16));
    out.push_back(static_cast<std::uint8_t>(v >> 8));
    out.push_back(static_cast<std::uint8_t>(v));
}

void chunk(Bytes& out, const char* type, const Bytes& data) {
    put32(out, static_cast<std::uint32_t>(data.size()));
    Bytes typed(type, type + 4);
    typed.insert(typed.end(), data.begin(), data.end());
    out.insert(out.end(), typed.begin(), typed.end());
    put32(out, static_cast<std::uint32_t>(crc32(0, typed.data(), static_cast<uInt>(typed.size()))));
}

} // namespace

bool RasterRecordToPng(const Bytes& r, const std::string& path, std::string& error) {
    int width = 0, height = 0;
    if (!RasterRecordSize(r, width, height)) {
        error = "not a raster record (size does not match its header)";
        return false;
    }
    std::size_t bpr = le16(&r[0]);
    // 1-bit grey: 0 is black. A set bit of the record is a printed (black) dot.
    Bytes raw;
    raw.reserve((bpr + 1) * static_cast<std::size_t>(height));
    for (int y = 0; y < height; ++y) {
        raw.push_back(0); // filter: none
        for (std::size_t i = 0; i < bpr; ++i) {
            raw.push_back(static_cast<std::uint8_t>(~r[4 + static_cast<std::size_t>(y) * bpr + i]));
        }
    }
    uLongf packedSize = compressBound(static_cast<uLong>(raw.size()));
    Bytes packed(packedSize);
    if (compress2(packed.data(), &packedSize, raw.data(), static_cast<uLong>(raw.size()), 9) !=
        Z_OK) {
        error = "compression failed";
        return false;
    }
    packed.resize(packedSize);
    Bytes png{0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
    Bytes ihdr;
    put32(ihdr, static_cast<std::uint32_t>(width));
    put32(ihdr, static_cast<std::uint32_t>(height));
    ihdr.insert(ihdr.end(), {1, 0, 0, 0, 0}); // depth 1, grey, deflate, no filter, no interlace
    chunk(png, "IHDR", ihdr);
    chunk(png, "IDAT", packed);
    chunk(png, "IEND", {});
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) {
        error = "cannot write " + path;
        return false;
    }
    bool ok = std::fwrite(png.data(), 1, png.size(), f) == png.size();
    ok = std::fclose(f) == 0 && ok;
    if (!ok) {
        error = "cannot write " + path;
    }
    return ok;
}

} // namespace vp
