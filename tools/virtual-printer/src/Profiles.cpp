#include "Profiles.h"

#include <cstdlib>
#include <fstream>
#include <sstream>

namespace vp {

namespace {

const std::vector<std::pair<std::string, std::string>> kNoEntries;

bool parseInt(const std::string& text, long long& out) {
    std::string t = trim(text);
    if (t.empty()) {
        return false;
    }
    char* end = nullptr;
    int base = 10;
    if (t.size() > 2 && t[0] == '0' && (t[1] == 'x' || t[1] == 'X')) {
        base = 16;
    }
    out = std::strtoll(t.c_str(), &end, base);
    return end && *end == '\0';
}

bool startsWith(const std::string& s, const std::string& p) {
    return s.compare(0, p.size(), p) == 0;
}

} // namespace

const char* layoutName(Layout l) {
    switch (l) {
    case Layout::Alder:
        return "alder";
    case Layout::Maple:
        return "maple";
    case Layout::Quince:
        return "quince";
    case Layout::Sumac:
        return "sumac";
    case Layout::None:
        break;
    }
    return "none";
}

bool IniFile::load(const std::string& path, std::string& error) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        error = "cannot open " + path;
        return false;
    }
    std::stringstream ss;
    ss << in.rdbuf();
    return parse(ss.str(), error);
}

bool IniFile::parse(const std::string& text, std::string& error) {
    std::istringstream in(text);
    std::string line;
    std::string section;
    int number = 0;
    while (std::getline(in, line)) {
        ++number;
        std::string t = trim(line);
        if (t.empty() || t[0] == ';' || t[0] == '#') {
            continue;
        }
        if (t.front() == '[') {
            if (t.back() != ']') {
                error = "line " + std::to_string(number) + ": unclosed section";
                return false;
            }
            section = trim(t.substr(1, t.size() - 2));
            if (!data_.count(section)) {
                order_.push_back(section);
                data_[section];
            }
            continue;
        }
        auto eq = t.find('=');
        if (eq == std::string::npos || section.empty()) {
            error = "line " + std::to_string(number) + ": expected key = value";
            return false;
        }
        data_[section].emplace_back(trim(t.substr(0, eq)), trim(t.substr(eq + 1)));
    }
    return true;
}

bool IniFile::hasSection(const std::string& section) const {
    return data_.count(section) != 0;
}

const std::vector<std::pair<std::string, std::string>>&
IniFile::entries(const std::string& section) const {
    auto it = data_.find(section);
    return it == data_.end() ? kNoEntries : it->second;
}

bool parseVersion(const std::string& text, std::vector<int>& out) {
    out.clear();
    std::string part;
    std::istringstream in(trim(text));
    while (std::getline(in, part, '.')) {
        long long v = 0;
        if (!parseInt(part, v) || v < 0 || v > 255) {
            return false;
        }
        out.push_back(static_cast<int>(v));
    }
    return out.size() == 3 || out.size() == 4;
}

bool applyBlockValue(Bytes& block, int offset, const std::string& value, std::string& error) {
    auto need = [&](int width) {
        if (offset < 1 || offset + width > 254) {
            error = "block offset " + std::to_string(offset) + " out of 1..253";
            return false;
        }
        return true;
    };
    auto putText = [&](const std::string& s, int width) {
        if (!need(width)) {
            return false;
        }
        if (static_cast<int>(s.size()) > width) {
            error = "text longer than " + std::to_string(width);
            return false;
        }
        for (int i = 0; i < width; ++i) {
            block[offset + i] =
                i < static_cast<int>(s.size()) ? static_cast<std::uint8_t>(s[i]) : 0;
        }
        return true;
    };
    long long v = 0;
    if (startsWith(value, "u16:")) {
        if (!parseInt(value.substr(4), v) || v < 0 || v > 0xFFFF || !need(2)) {
            error = error.empty() ? "bad u16 value " + value : error;
            return false;
        }
        putLe16(&block[offset], static_cast<std::uint16_t>(v));
        return true;
    }
    if (startsWith(value, "heat:")) {
        if (!parseInt(value.substr(5), v) || v < -128 || v > 127 || !need(2)) {
            error = error.empty() ? "bad heat value " + value : error;
            return false;
        }
        block[offset] = static_cast<std::uint8_t>(v & 0xFF);
        block[offset + 1] = v < 0 ? 0xFF : 0x00;
        return true;
    }
    if (startsWith(value, "ip:")) {
        std::istringstream in(value.substr(3));
        std::string part;
        int i = 0;
        if (!need(4)) {
            return false;
        }
        while (std::getline(in, part, '.')) {
            if (i >= 4 || !parseInt(part, v) || v < 0 || v > 255) {
                error = "bad ip value " + value;
                return false;
            }
            block[offset + i++] = static_cast<std::uint8_t>(v);
        }
        if (i != 4) {
            error = "bad ip value " + value;
            return false;
        }
        return true;
    }
    if (startsWith(value, "text16:")) {
        return putText(value.substr(7), 16);
    }
    if (startsWith(value, "text4:")) {
        return putText(value.substr(6), 4);
    }
    if (startsWith(value, "hex:")) {
        Bytes b;
        if (!parseHex(value.substr(4), b) || !need(static_cast<int>(b.size()))) {
            error = error.empty() ? "bad hex value " + value : error;
            return false;
        }
        for (std::size_t i = 0; i < b.size(); ++i) {
            block[offset + i] = b[i];
        }
        return true;
    }
    if (!parseInt(value, v) || v < 0 || v > 255 || !need(1)) {
        error = error.empty() ? "bad byte value " + value : error;
        return false;
    }
    block[offset] = static_cast<std::uint8_t>(v);
    return true;
}

void sealBlock(Bytes& block) {
    block.resize(256, 0);
    block[0] = 0x78;
    putLe16(&block[254], Checksum16(block, 254));
}

Bytes makeDemoRaster(int width, int height) {
    int bpr = (width + 7) / 8;
    int blocks = (height + 7) / 8;
    Bytes r(4 + static_cast<std::size_t>(bpr) * blocks * 8, 0);
    putLe16(&r[0], static_cast<std::uint16_t>(bpr));
    putLe16(&r[2], static_cast<std::uint16_t>(blocks));
    auto set = [&](int x, int y) {
        r[4 + static_cast<std::size_t>(y) * bpr + x / 8] |=
            static_cast<std::uint8_t>(0x80 >> (x % 8));
    };
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            bool frame = x < 2 || y < 2 || x >= width - 2 || y >= height - 2;
            bool diagonal = height > 0 && (x * height / (width ? width : 1)) == y;
            if (frame || diagonal) {
                set(x, y);
            }
        }
    }
    return r;
}

bool ProfileSet::load(const std::string& path, std::string& error) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        error = "cannot open profile file " + path;
        return false;
    }
    std::stringstream ss;
    ss << in.rdbuf();
    return parse(ss.str(), error);
}

bool ProfileSet::parse(const std::string& text, std::string& error) {
    IniFile ini;
    if (!ini.parse(text, error)) {
        return false;
    }
    profiles_.clear();
    for (const std::string& section : ini.sections()) {
        if (!startsWith(section, "model ")) {
            continue;
        }
        Profile p;
        p.name = trim(section.substr(6));
        std::string where = "[" + section + "] ";
        const auto& e = ini.entries(section);
        std::string versionText;
        for (const auto& [k, v] : e) {
            if (k == "protocol") {
                if (v == "block") {
                    p.protocol = Protocol::Block;
                } else if (v == "kv") {
                    p.protocol = Protocol::KeyValue;
                } else {
                    error = where + "protocol must be block or kv";
                    return false;
                }
            } else if (k == "layout") {
                if (v == "alder") {
                    p.layout = Layout::Alder;
                } else if (v == "maple") {
                    p.layout = Layout::Maple;
                } else if (v == "quince") {
                    p.layout = Layout::Quince;
                } else if (v == "sumac") {
                    p.layout = Layout::Sumac;
                } else {
                    error = where + "unknown layout " + v;
                    return false;
                }
            }
        }
        p.block.assign(256, 0);
        if (p.protocol == Protocol::Block) {
            if (p.layout == Layout::None) {
                error = where + "a block model needs a layout";
                return false;
            }
            for (const auto& [k, v] : ini.entries(std::string("layout ") + layoutName(p.layout))) {
                long long off = 0;
                if (startsWith(k, "block.") && parseInt(k.substr(6), off)) {
                    if (!applyBlockValue(p.block, static_cast<int>(off), v, error)) {
                        error = "[layout " + std::string(layoutName(p.layout)) + "] " + error;
                        return false;
                    }
                }
            }
        } else {
            for (const auto& [k, v] : ini.entries("keys")) {
                p.keys[k] = v;
            }
        }
        for (const auto& [k, v] : e) {
            long long n = 0;
            if (k == "protocol" || k == "layout") {
                continue;
            } else if (k == "window") {
                p.window = v;
            } else if (k == "emulation") {
                if (!parseInt(v, n) || n < 0 || n > 255) {
                    error = where + "bad emulation";
                    return false;
                }
                p.emulation = static_cast<int>(n);
            } else if (k == "emulation_offset") {
                if (!parseInt(v, n) || n < 1 || n > 253) {
                    error = where + "bad emulation_offset";
                    return false;
                }
                p.emulationOffset = static_cast<int>(n);
            } else if (k == "version") {
                versionText = v;
            } else if (k == "serial") {
                p.serial = v;
            } else if (k == "printed_length_m") {
                p.printedLengthM = std::atof(v.c_str());
            } else if (k == "dpi") {
                if (!parseInt(v, n)) {
                    error = where + "bad dpi";
                    return false;
                }
                p.dpi = static_cast<int>(n);
            } else if (k == "storage_capacity") {
                if (!parseInt(v, p.storageCapacity)) {
                    error = where + "bad storage_capacity";
                    return false;
                }
            } else if (k == "ram_capacity") {
                if (!parseInt(v, p.ramCapacity)) {
                    error = where + "bad ram_capacity";
                    return false;
                }
            } else if (startsWith(k, "block.")) {
                if (!parseInt(k.substr(6), n) ||
                    !applyBlockValue(p.block, static_cast<int>(n), v, error)) {
                    error = where + k + ": " + error;
                    return false;
                }
            } else if (startsWith(k, "key.")) {
                p.keys[k.substr(4)] = v;
            } else if (k == "file") {
                // file = CLASS NAME raster WxH | CLASS NAME bytes N
                std::istringstream in(v);
                std::string cls, name, how, size;
                in >> cls >> name >> how >> size;
                PreloadedFile f{cls, name, {}};
                if (how == "raster") {
                    auto x = size.find('x');
                    long long w = 0, h = 0;
                    if (x == std::string::npos || !parseInt(size.substr(0, x), w) ||
                        !parseInt(size.substr(x + 1), h) || w < 1 || h < 1 || w > 4096 ||
                        h > 4096) {
                        error = where + "bad raster size " + size;
                        return false;
                    }
                    f.data = makeDemoRaster(static_cast<int>(w), static_cast<int>(h));
                } else if (how == "bytes" && parseInt(size, n) && n >= 0 && n < (1 << 24)) {
                    f.data.assign(static_cast<std::size_t>(n), 0x5A);
                } else {
                    error = where + "bad file entry " + v;
                    return false;
                }
                p.files.push_back(std::move(f));
            } else {
                error = where + "unknown entry " + k;
                return false;
            }
        }
        if (!versionText.empty()) {
            if (p.protocol == Protocol::KeyValue) {
                p.keys["version"] = versionText;
                std::vector<int> nums;
                if (parseVersion(versionText, nums)) {
                    p.version = nums;
                }
            } else if (!parseVersion(versionText, p.version)) {
                error = where + "bad version " + versionText;
                return false;
            }
        }
        if (p.protocol == Protocol::Block) {
            if (p.emulationOffset > 0) {
                p.block[p.emulationOffset] = static_cast<std::uint8_t>(p.emulation);
            }
            sealBlock(p.block);
        } else {
            p.keys["serial_no"] = p.serial;
            p.keys["dpi"] = std::to_string(p.dpi);
            char buf[32];
            std::snprintf(buf, sizeof buf, "%g", p.printedLengthM);
            p.keys["mileage"] = buf;
        }
        profiles_.push_back(std::move(p));
    }
    if (profiles_.empty()) {
        error = "no [model ...] sections";
        return false;
    }
    return true;
}

std::vector<std::string> ProfileSet::names() const {
    std::vector<std::string> n;
    for (const auto& p : profiles_) {
        n.push_back(p.name);
    }
    return n;
}

std::optional<Profile> ProfileSet::find(const std::string& name) const {
    for (const auto& p : profiles_) {
        if (p.name == name) {
            return p;
        }
    }
    for (const auto& p : profiles_) {
        if (lowerAscii(p.name) == lowerAscii(name)) {
            return p;
        }
    }
    return std::nullopt;
}

} // namespace vp
