#include "StateFile.h"

#include <cstdio>
#include <fstream>
#include <sstream>

namespace vp {

bool saveState(const PrinterState& p, const std::string& path, std::string& error) {
    std::string tmp = path + ".tmp";
    {
        std::ofstream out(tmp, std::ios::binary | std::ios::trunc);
        if (!out) {
            error = "cannot write " + tmp;
            return false;
        }
        out << "pellum-virtual-printer state 1\n";
        out << "model " << p.profile.name << "\n";
        if (p.profile.protocol == Protocol::Block) {
            Bytes b = p.block;
            out << "block " << hexText(b) << "\n";
        }
        for (const auto& [k, v] : p.keys) {
            out << "key " << k << " " << hexText(toBytes(v)) << "\n";
        }
        for (const auto& f : p.files) {
            out << "file " << f.storageClass << " " << f.name << " " << hexText(f.data) << "\n";
        }
        if (p.userFont) {
            out << "userfont " << p.userFont->name << " " << hexText(p.userFont->data) << "\n";
        }
        out.flush();
        if (!out) {
            error = "cannot write " + tmp;
            return false;
        }
    }
    if (std::rename(tmp.c_str(), path.c_str()) != 0) {
        error = "cannot rename " + tmp + " to " + path;
        return false;
    }
    return true;
}

bool loadState(PrinterState& p, const std::string& path, std::string& error) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        error = "cannot open " + path;
        return false;
    }
    std::string line;
    if (!std::getline(in, line) || line != "pellum-virtual-printer state 1") {
        error = path + " is not a virtual-printer state file";
        return false;
    }
    Bytes block = p.block;
    std::map<std::string, std::string> keys;
    std::vector<StoredFile> files;
    std::optional<StoredFile> userFont;
    bool sawModel = false;
    while (std::getline(in, line)) {
        if (line.empty()) {
            continue;
        }
        auto sp = line.find(' ');
        std::string tag = line.substr(0, sp);
        std::string rest = sp == std::string::npos ? "" : line.substr(sp + 1);
        if (tag == "model") {
            if (rest != p.profile.name) {
                error = path + " holds the state of " + rest + ", not " + p.profile.name;
                return false;
            }
            sawModel = true;
        } else if (tag == "block") {
            Bytes b;
            if (!parseHex(rest, b) || b.size() != 256) {
                error = path + ": bad block line";
                return false;
            }
            block = b;
        } else if (tag == "key" || tag == "file" || tag == "userfont") {
            std::istringstream ls(rest);
            std::string a, b;
            ls >> a;
            if (tag == "file") {
                ls >> b;
            }
            std::string hex;
            std::getline(ls, hex);
            Bytes data;
            if (a.empty() || !parseHex(hex, data)) {
                error = path + ": bad " + tag + " line";
                return false;
            }
            if (tag == "key") {
                keys[a] = toString(data);
            } else if (tag == "file") {
                files.push_back(StoredFile{a, b, data});
            } else {
                userFont = StoredFile{"userfont", a, data};
            }
        } else {
            error = path + ": unknown line " + tag;
            return false;
        }
    }
    if (!sawModel) {
        error = path + ": no model line";
        return false;
    }
    p.block = block;
    if (p.profile.protocol == Protocol::KeyValue) {
        p.keys = keys;
    }
    p.files = files;
    p.userFont = userFont;
    return true;
}

} // namespace vp
