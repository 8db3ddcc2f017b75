#include "Bytes.h"

#include <algorithm>
#include <cstdlib>

namespace vp {

std::uint16_t Checksum16(const std::uint8_t* data, std::size_t count) {
    std::uint32_t sum = 0;
    for (std::size_t i = 0; i < count; ++i) {
        sum = (sum + data[i]) & 0xFFFFu;
    }
    return static_cast<std::uint16_t>(sum);
}

std::string hexText(const std::uint8_t* data, std::size_t count) {
    static const char digits[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(count * 3);
    for (std::size_t i = 0; i < count; ++i) {
        if (i) {
            out.push_back(' ');
        }
        out.push_back(digits[data[i] >> 4]);
        out.push_back(digits[data[i] & 0x0F]);
    }
    return out;
}

static int hexDigit(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return -1;
}

bool parseHex(std::string_view text, Bytes& out) {
    out.clear();
    int high = -1;
    for (char c : text) {
        if (c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == ',') {
            if (high >= 0) {
                return false;
            }
            continue;
        }
        int d = hexDigit(c);
        if (d < 0) {
            return false;
        }
        if (high < 0) {
            high = d;
        } else {
            out.push_back(static_cast<std::uint8_t>(high * 16 + d));
            high = -1;
        }
    }
    return high < 0;
}

std::string leadingText(const std::uint8_t* data, std::size_t count) {
    std::string s;
    for (std::size_t i = 0; i < count && data[i] > 0x20; ++i) {
        s.push_back(static_cast<char>(data[i]));
    }
    return s;
}

std::string lowerAscii(std::string s) {
    for (char& c : s) {
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c - 'A' + 'a');
        }
    }
    return s;
}

std::string trim(std::string_view s) {
    std::size_t b = 0;
    std::size_t e = s.size();
    while (b < e && (s[b] == ' ' || s[b] == '\t' || s[b] == '\r' || s[b] == '\n')) {
        ++b;
    }
    while (e > b && (s[e - 1] == ' ' || s[e - 1] == '\t' || s[e - 1] == '\r' || s[e - 1] == '\n')) {
        --e;
    }
    return std::string(s.substr(b, e - b));
}

bool isInteger(const std::string& s, long long& v) {
    if (s.empty()) {
        return false;
    }
    char* end = nullptr;
    v = std::strtoll(s.c_str(), &end, 10);
    return *end == '\0';
}

bool startsWith(const Bytes& buf, std::size_t at, const Bytes& p) {
    if (buf.size() - at < p.size()) {
        return false;
    }
    return std::equal(p.begin(), p.end(), buf.begin() + static_cast<std::ptrdiff_t>(at));
}

bool partialOf(const Bytes& buf, std::size_t at, const Bytes& p) {
    std::size_t have = buf.size() - at;
    if (have >= p.size()) {
        return false;
    }
    return std::equal(buf.begin() + static_cast<std::ptrdiff_t>(at), buf.end(), p.begin());
}

} // namespace vp
