#include "Faults.h"

#include <cstdlib>
#include <sstream>

namespace vp {

namespace {

bool toInt(const std::string& s, long long& v) {
    if (s.empty()) {
        return false;
    }
    char* end = nullptr;
    v = std::strtoll(s.c_str(), &end, 10);
    return *end == '\0';
}

bool isOff(const std::vector<std::string>& w) {
    return w.size() > 1 && w[1] == "off";
}

} // namespace

bool Faults::appliesTo(const std::string& kind) const {
    if (times == 0) {
        return false;
    }
    return only.empty() || only.count(kind) != 0;
}

std::string Faults::describe() const {
    std::ostringstream s;
    s << "no-reply=" << (noReply ? "on" : "off") << " short-reply=" << shortReply
      << " split-reply=" << splitAt << "/" << splitPauseMs << "ms delay=" << delayMs
      << " bad-checksum=" << (badChecksum ? "on" : "off") << " ack-status=" << ackStatusAt << ":"
      << ackStatusValue << " fw-status=" << fwStatusValue << "@" << fwStatusAt
      << " drop-after=" << dropAfter << " refuse=" << (refuse ? "on" : "off") << " times=" << times
      << " only=";
    bool first = true;
    for (const auto& k : only) {
        s << (first ? "" : ",") << k;
        first = false;
    }
    if (only.empty()) {
        s << "all";
    }
    s << " drop-reply=" << (dropReply ? "on" : "off")
      << " ignore-writes=" << (ignoreWrites ? "on" : "off");
    return s.str();
}

std::string Faults::command(const std::vector<std::string>& w) {
    if (w.empty()) {
        return "empty fault command";
    }
    const std::string& f = w[0];
    long long a = 0, b = 0;
    auto onOff = [&](bool& flag) -> std::string {
        if (w.size() == 1 || w[1] == "on") {
            flag = true;
        } else if (w[1] == "off") {
            flag = false;
        } else {
            return "expected on or off";
        }
        return "";
    };
    if (f == "clear") {
        clear();
        return "";
    }
    if (f == "no-reply") {
        return onOff(noReply);
    }
    if (f == "bad-checksum") {
        return onOff(badChecksum);
    }
    if (f == "refuse") {
        return onOff(refuse);
    }
    if (f == "drop-reply") {
        return onOff(dropReply);
    }
    if (f == "ignore-writes") {
        return onOff(ignoreWrites);
    }
    if (f == "short-reply") {
        if (isOff(w)) {
            shortReply = -1;
            return "";
        }
        if (w.size() != 2 || !toInt(w[1], a) || a < 0) {
            return "usage: short-reply N|off";
        }
        shortReply = static_cast<int>(a);
        return "";
    }
    if (f == "split-reply") {
        if (isOff(w)) {
            splitAt = -1;
            return "";
        }
        if (w.size() < 2 || w.size() > 3 || !toInt(w[1], a) || a < 0 ||
            (w.size() == 3 && (!toInt(w[2], b) || b < 0))) {
            return "usage: split-reply N [PAUSE_MS]|off";
        }
        splitAt = static_cast<int>(a);
        if (w.size() == 3) {
            splitPauseMs = static_cast<int>(b);
        }
        return "";
    }
    if (f == "split-pause") {
        if (w.size() != 2 || !toInt(w[1], a) || a < 0) {
            return "usage: split-pause MS";
        }
        splitPauseMs = static_cast<int>(a);
        return "";
    }
    if (f == "delay") {
        if (isOff(w)) {
            delayMs = 0;
            return "";
        }
        if (w.size() != 2 || !toInt(w[1], a) || a < 0) {
            return "usage: delay MS|off";
        }
        delayMs = static_cast<int>(a);
        return "";
    }
    if (f == "ack-status") {
        if (isOff(w)) {
            ackStatusAt = -1;
            return "";
        }
        if (w.size() < 2 || w.size() > 3 || !toInt(w[1], a) || a < 0 ||
            (w.size() == 3 && (!toInt(w[2], b) || b < 1 || b > 0xFFFF))) {
            return "usage: ack-status K [STATUS]|off";
        }
        ackStatusAt = a;
        ackStatusValue = w.size() == 3 ? static_cast<int>(b) : 1;
        return "";
    }
    if (f == "fw-status") {
        if (isOff(w)) {
            fwStatusValue = -1;
            fwStatusAt = -1;
            return "";
        }
        if (w.size() < 2 || w.size() > 3 || !toInt(w[1], a) || a < 0 || a > 255 ||
            (w.size() == 3 && (!toInt(w[2], b) || b < -1))) {
            return "usage: fw-status VALUE [HEADER_INDEX]|off";
        }
        fwStatusValue = static_cast<int>(a);
        fwStatusAt = w.size() == 3 ? static_cast<int>(b) : -1;
        return "";
    }
    if (f == "drop-after") {
        if (isOff(w)) {
            dropAfter = -1;
            return "";
        }
        if (w.size() != 2 || !toInt(w[1], a) || a < 0) {
            return "usage: drop-after K|off";
        }
        dropAfter = a;
        return "";
    }
    if (f == "only") {
        only.clear();
        if (w.size() == 2 && w[1] == "all") {
            return "";
        }
        for (std::size_t i = 1; i < w.size(); ++i) {
            std::stringstream ss(w[i]);
            std::string k;
            while (std::getline(ss, k, ',')) {
                if (!k.empty()) {
                    only.insert(k);
                }
            }
        }
        return "";
    }
    if (f == "times") {
        if (w.size() != 2 || !toInt(w[1], a) || a < -1) {
            return "usage: times N (-1 = no limit)";
        }
        times = static_cast<int>(a);
        return "";
    }
    return "unknown fault " + f;
}

bool dropsReply(Faults& faults, const std::string& kind) {
    if (!faults.dropReply || !faults.appliesTo(kind)) {
        return false;
    }
    if (faults.times > 0) {
        --faults.times;
    }
    return true;
}

std::vector<Chunk> shapeReply(Faults& faults, const std::string& kind, const Bytes& reply) {
    if (!faults.anyReplyFault() || !faults.appliesTo(kind)) {
        return {Chunk{0, reply}};
    }
    if (faults.times > 0) {
        --faults.times;
    }
    if (faults.noReply) {
        return {};
    }
    Bytes data = reply;
    if (faults.shortReply >= 0 && data.size() > static_cast<std::size_t>(faults.shortReply)) {
        data.resize(static_cast<std::size_t>(faults.shortReply));
    }
    std::vector<Chunk> out;
    if (faults.splitAt >= 0 && data.size() > static_cast<std::size_t>(faults.splitAt)) {
        Bytes first(data.begin(), data.begin() + faults.splitAt);
        Bytes second(data.begin() + faults.splitAt, data.end());
        out.push_back(Chunk{faults.delayMs, std::move(first)});
        out.push_back(Chunk{faults.splitPauseMs, std::move(second)});
    } else {
        out.push_back(Chunk{faults.delayMs, std::move(data)});
    }
    if (!out.empty() && out.front().data.empty()) {
        // A zero-byte first part still keeps the pause before the rest.
        int d = out.front().delayMs;
        out.erase(out.begin());
        if (!out.empty()) {
            out.front().delayMs += d;
        }
    }
    return out;
}

} // namespace vp
