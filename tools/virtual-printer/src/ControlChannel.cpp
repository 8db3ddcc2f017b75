#include "ControlChannel.h"

#include <sstream>

#include "Downloads.h"
#include "StateFile.h"

namespace vp {

std::string ControlChannel::command(const std::string& lineIn) {
    std::string line = trim(lineIn);
    std::vector<std::string> w;
    {
        std::istringstream in(line);
        std::string x;
        while (in >> x) {
            w.push_back(x);
        }
    }
    JsonLine j("control");
    j.str("command", line);
    p_.write(j);
    if (w.empty()) {
        return "ERR empty command";
    }
    const std::string& c = w[0];
    if (c == "ping") {
        return "OK pong";
    }
    if (c == "faults") {
        return "OK " + p_.faults.describe();
    }
    if (c == "block") {
        return "OK " + hexText(p_.block);
    }
    if (c == "fields") {
        return "OK " + block_.fieldsJson(p_.block);
    }
    if (c == "set-block") {
        Bytes b;
        if (!parseHex(
                line.substr(line.find(' ') == std::string::npos ? line.size() : line.find(' ') + 1),
                b) ||
            b.size() != 256) {
            return "ERR set-block needs 256 bytes in hex";
        }
        p_.block = b;
        return "OK";
    }
    if (c == "get" && w.size() == 2) {
        return "OK " + p_.value(w[1]);
    }
    if (c == "set" && w.size() >= 2) {
        // The value is the rest of the line after the key (it may hold spaces).
        std::size_t pos = line.find_first_not_of(' ', c.size());
        pos += w[1].size();
        p_.keys[w[1]] = trim(line.substr(pos));
        return "OK";
    }
    if (c == "help") {
        return "OK ping faults block set-block fields get set files emulation factory png save "
               "no-reply short-reply split-reply split-pause delay bad-checksum ack-status "
               "fw-status drop-after refuse only times clear drop-reply ignore-writes";
    }
    if (c == "files") {
        std::string s;
        for (const auto& f : p_.files) {
            s += (s.empty() ? "" : ",") + f.storageClass + ":" + f.name + ":" +
                 std::to_string(f.data.size());
        }
        if (p_.userFont) {
            s += (s.empty() ? "" : ",") + std::string("userfont:") + p_.userFont->name + ":" +
                 std::to_string(p_.userFont->data.size());
        }
        return "OK " + s;
    }
    if (c == "emulation" && w.size() == 2) {
        long long v = 0;
        if (!isInteger(w[1], v) || v < 0 || v > 255) {
            return "ERR emulation needs a code 0-255";
        }
        p_.setEmulationOverride(static_cast<int>(v));
        return "OK";
    }
    if (c == "emulation") {
        return "OK " + std::to_string(p_.emulation());
    }
    if (c == "factory") {
        p_.factoryDefaults();
        return "OK";
    }
    if (c == "png" && w.size() == 3) {
        for (const auto& f : p_.files) {
            if (f.name == w[1] && f.storageClass == "bitmaps") {
                std::string error;
                if (!RasterRecordToPng(f.data, w[2], error)) {
                    return "ERR " + error;
                }
                return "OK";
            }
        }
        return "ERR no stored picture " + w[1];
    }
    if (c == "save" && w.size() == 2) {
        std::string error;
        if (!saveState(p_, w[1], error)) {
            return "ERR " + error;
        }
        return "OK";
    }
    std::string error = p_.faults.command(w);
    if (!error.empty()) {
        return "ERR " + error;
    }
    return "OK " + p_.faults.describe();
}

} // namespace vp
