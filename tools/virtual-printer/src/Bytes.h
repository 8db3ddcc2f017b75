// Byte helpers shared by the virtual printer's modules: hex text, the additive
// 16-bit checksum the printer protocols use, and little/big-endian access.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace vp {

using Bytes = std::vector<std::uint8_t>;

// Sum of the bytes modulo 65536.
std::uint16_t Checksum16(const std::uint8_t* data, std::size_t count);
inline std::uint16_t Checksum16(const Bytes& b, std::size_t count) {
    return Checksum16(b.data(), count);
}

// "1B 1C 26": two upper-case digits per byte, single spaces between bytes.
std::string hexText(const std::uint8_t* data, std::size_t count);
inline std::string hexText(const Bytes& b) {
    return hexText(b.data(), b.size());
}

// Parses hex digits with optional blanks between byte pairs ("1B 1C", "1b1c").
// Returns false on an odd digit count or a non-hex character.
bool parseHex(std::string_view text, Bytes& out);

inline std::uint16_t le16(const std::uint8_t* p) {
    return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}
inline std::uint32_t le32(const std::uint8_t* p) {
    return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
           (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}
inline void putLe16(std::uint8_t* p, std::uint16_t v) {
    p[0] = static_cast<std::uint8_t>(v & 0xFF);
    p[1] = static_cast<std::uint8_t>(v >> 8);
}

inline Bytes toBytes(std::string_view s) {
    return Bytes(s.begin(), s.end());
}
inline std::string toString(const Bytes& b) {
    return std::string(b.begin(), b.end());
}

// Bytes up to (not including) the first byte at or below 0x20.
std::string leadingText(const std::uint8_t* data, std::size_t count);

// The bytes from `at` begin with p.
bool startsWith(const Bytes& buf, std::size_t at, const Bytes& p);
// The bytes from `at` are the beginning of p (but shorter).
bool partialOf(const Bytes& buf, std::size_t at, const Bytes& p);

// A whole decimal number (with an optional sign) and nothing else.
bool isInteger(const std::string& s, long long& v);

std::string lowerAscii(std::string s);
std::string trim(std::string_view s);

} // namespace vp
