// Printer profiles: what each model is (block or key-value protocol, block
// layout family, emulation, firmware version, serial number, printed length,
// resolution, memory sizes, initial block or key store). They come from a data
// file so models are added without code.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <vector>

#include "Bytes.h"

namespace vp {

// A small INI reader: sections, "key = value" lines, ';' or '#' comments.
// Keys may repeat inside a section (all values are kept in order).
class IniFile {
public:
    bool load(const std::string& path, std::string& error);
    bool parse(const std::string& text, std::string& error);
    std::vector<std::string> sections() const { return order_; }
    bool hasSection(const std::string& section) const;
    const std::vector<std::pair<std::string, std::string>>&
    entries(const std::string& section) const;

private:
    std::vector<std::string> order_;
    std::map<std::string, std::vector<std::pair<std::string, std::string>>> data_;
};

enum class Protocol { Block, KeyValue };
enum class Layout { Alder, Maple, Quince, Sumac, None };

const char* layoutName(Layout l);

struct PreloadedFile {
    std::string storageClass; // "bitmaps", "fonts", "labels", "autoform"
    std::string name;         // with its memory prefix, "E_LOGO.GRF"
    Bytes data;
};

struct Profile {
    std::string name;
    Protocol protocol = Protocol::Block;
    Layout layout = Layout::None;
    std::string window;       // the settings window the program opens
    int emulation = 1;        // code answered to the emulation query
    int emulationOffset = -1; // block offset that holds the emulation (0 ESC, 1 TSC)
    std::vector<int> version{1, 0, 0};
    std::string serial;
    double printedLengthM = 0;
    int dpi = 203;
    long long storageCapacity = 0; // bytes, key-value models
    long long ramCapacity = 0;
    Bytes block;                             // 256 bytes, block models
    std::map<std::string, std::string> keys; // key store, key-value models
    std::vector<PreloadedFile> files;
};

class ProfileSet {
public:
    bool load(const std::string& path, std::string& error);
    bool parse(const std::string& text, std::string& error);
    std::vector<std::string> names() const;
    // Exact name first, then ignoring ASCII case.
    std::optional<Profile> find(const std::string& name) const;

private:
    std::vector<Profile> profiles_;
};

// Parses "1.2.5" or "1.2.5.0" into numbers 0-255.
bool parseVersion(const std::string& text, std::vector<int>& out);
// Applies one "block.N = value" entry; value forms: 12, 0x0C, u16:1600, heat:-5,
// ip:192.168.1.100, text16:NAME, text4:0000, hex:AA BB.
bool applyBlockValue(Bytes& block, int offset, const std::string& value, std::string& error);
// Puts marker and checksum in place.
void sealBlock(Bytes& block);
// A raster picture (frame and diagonal) of the given size in dots.
Bytes makeDemoRaster(int widthDots, int heightDots);

} // namespace vp
