// Pictures written byte by byte for the download tests.
#pragma once

#include <QByteArray>

#include <cstdint>
#include <string>
#include <vector>

namespace downloads_test {

// A picture given as rows of '#' (black) and '.' (white).
using Pattern = std::vector<std::string>;

inline const Pattern kFace = {"#..#", ".##.", "#.#."};

inline void Put16(QByteArray& b, std::uint32_t v) {
    b.append(char(v & 0xFF));
    b.append(char((v >> 8) & 0xFF));
}
inline void Put32(QByteArray& b, std::uint32_t v) {
    Put16(b, v & 0xFFFF);
    Put16(b, v >> 16);
}

// A BMP of `bits` bits per pixel showing `pattern`. Palettes put white first
// so that index 0 is not automatically black.
inline QByteArray MakeBmp(const Pattern& pattern, int bits, bool topDown) {
    const int w = int(pattern[0].size()), h = int(pattern.size());
    const int stride = ((bits * w + 31) / 32) * 4;
    const int paletteEntries = bits <= 8 ? (1 << bits) : 0;
    const int offBits = 14 + 40 + 4 * paletteEntries;
    QByteArray b;
    b.append("BM");
    Put32(b, std::uint32_t(offBits + stride * h));
    Put32(b, 0);
    Put32(b, std::uint32_t(offBits));
    Put32(b, 40);
    Put32(b, std::uint32_t(w));
    Put32(b, std::uint32_t(topDown ? -h : h));
    Put16(b, 1);
    Put16(b, std::uint32_t(bits));
    Put32(b, 0);
    Put32(b, std::uint32_t(stride * h));
    Put32(b, 2835);
    Put32(b, 2835);
    Put32(b, 0);
    Put32(b, 0);
    for (int i = 0; i < paletteEntries; ++i) {
        const char c = i == 0 ? char(0xFF) : (i == 1 ? char(0) : char(0x80));
        b.append(c).append(c).append(c).append('\0');
    }
    for (int r = 0; r < h; ++r) {
        const std::string& row = pattern[topDown ? r : h - 1 - r];
        QByteArray line(stride, '\0');
        for (int x = 0; x < w; ++x) {
            const bool black = row[x] == '#';
            switch (bits) {
            case 1:
            case 4:
            case 8: {
                const int index = black ? 1 : 0;
                const int perByte = 8 / bits;
                line[x / perByte] =
                    char(line[x / perByte] | index << (8 - bits * (x % perByte + 1)));
                break;
            }
            default: {
                const char v = black ? 0 : char(0xFF);
                const int bytes = bits / 8;
                for (int k = 0; k < bytes; ++k)
                    line[x * bytes + k] = v;
                break;
            }
            }
        }
        b.append(line);
    }
    return b;
}

} // namespace downloads_test

namespace downloads_test {

// One firmware record: a header with the body size, type, name and version,
// followed by a body of `bodySize` bytes.
inline QByteArray FirmwareRecord(std::uint32_t bodySize, int type, const char* name,
                                 const char* version) {
    QByteArray header(76, '\0');
    header.replace(0, 4, QByteArray("PKG1"));
    for (int i = 0; i < 4; ++i)
        header[4 + i] = char((bodySize >> (8 * i)) & 0xFF);
    header[8] = char(type);
    header.replace(12, int(qstrlen(name)), name);
    header.replace(44, int(qstrlen(version)), version);
    QByteArray body(qsizetype(bodySize), '\0');
    for (qsizetype i = 0; i < body.size(); ++i)
        body[i] = char(i * 13 + type);
    return header + body;
}

} // namespace downloads_test
