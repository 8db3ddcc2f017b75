#include "PrinterState.h"

namespace vp {

PrinterState::PrinterState(Profile p, Journal& j, Faults& f)
    : profile(std::move(p)), journal(j), faults(f) {
    block = profile.block;
    keys = profile.keys;
    for (const auto& pf : profile.files) {
        files.push_back(StoredFile{pf.storageClass, pf.name, pf.data});
    }
}

int PrinterState::emulation() const {
    if (profile.protocol == Protocol::KeyValue) {
        std::string ppl = lowerAscii(value("ppl"));
        if (ppl == "zpl") {
            return 4;
        }
        if (ppl == "epl") {
            return 5;
        }
        return 1;
    }
    if (profile.emulationOffset > 0) {
        return block[static_cast<std::size_t>(profile.emulationOffset)];
    }
    return profile.emulation;
}

void PrinterState::setEmulationOverride(int code) {
    profile.emulation = code;
    if (profile.protocol == Protocol::KeyValue) {
        std::string ppl = code == 4 ? "zpl" : code == 5 ? "epl" : "tsc";
        profile.keys["ppl"] = ppl;
        keys["ppl"] = ppl;
    } else if (profile.emulationOffset > 0) {
        auto off = static_cast<std::size_t>(profile.emulationOffset);
        profile.block[off] = static_cast<std::uint8_t>(code);
        sealBlock(profile.block);
        block[off] = static_cast<std::uint8_t>(code);
        sealBlock(block);
    }
}

std::string PrinterState::value(const std::string& key) const {
    auto it = keys.find(key);
    return it == keys.end() ? std::string() : it->second;
}

std::string PrinterState::listOf(const std::string& storageClass) const {
    std::string s;
    for (const auto& f : files) {
        if (f.storageClass == storageClass) {
            s += (s.empty() ? "" : ",") + f.name;
        }
    }
    if (storageClass == "autoform" && !s.empty()) {
        s += ",";
    }
    return s;
}

long long PrinterState::usedBytes(char memory) const {
    long long used = 0;
    for (const auto& f : files) {
        bool ram = !f.name.empty() && f.name[0] == 'R';
        if ((memory == 'R') == ram) {
            used += static_cast<long long>(f.data.size());
        }
    }
    return used;
}

long long PrinterState::capacity(char memory) const {
    return memory == 'R' ? profile.ramCapacity : profile.storageCapacity;
}

void PrinterState::factoryDefaults() {
    if (profile.protocol == Protocol::Block) {
        block = profile.block;
    } else {
        keys = profile.keys;
    }
}

} // namespace vp
