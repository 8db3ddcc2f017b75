#include "Firmware.h"

#include <algorithm>

#include "KeyValueProtocol.h"

namespace vp {

namespace {

constexpr std::uint32_t kFirmwareBodyMax = 64u * 1024u * 1024u;

} // namespace

bool Firmware::owns(const Bytes& buf) const {
    const Bytes& kv = KeyValueProtocol::prefix();
    return fw_.inBody || fw_.gotHeader || !(startsWith(buf, 0, kv) || partialOf(buf, 0, kv));
}

void Firmware::abortForCommand() {
    JsonLine j("firmware-aborted");
    j.str("reason", "a command arrived instead of a package header");
    p_.write(j);
    fw_ = State{};
}

void Firmware::enter(int link) {
    fw_ = State{};
    fw_.active = true;
    fw_.link = link;
    fw_.entered = p_.now;
}

bool Firmware::readsFrom(int link) const {
    return fw_.active && fw_.link == link && (fw_.gotHeader || fw_.inBody);
}

bool Firmware::take(int link, Bytes& buf, Clock::time_point now, Actions& out) {
    State& fw = fw_;
    fw.link = link;
    fw.lastByte = now;
    if (!fw.inBody) {
        if (buf.size() < kFirmwareHeader) {
            return false;
        }
        Bytes h(buf.begin(), buf.begin() + kFirmwareHeader);
        buf.erase(buf.begin(), buf.begin() + kFirmwareHeader);
        std::uint32_t size = le32(&h[4]);
        std::string name = leadingText(&h[12], 32);
        std::string version = leadingText(&h[44], 32);
        int status = 0;
        std::string error;
        if (size == 0 || size > kFirmwareBodyMax) {
            status = 2;
            error = "body size 0 or above 64 MiB";
        } else if (name.empty()) {
            status = 6;
            error = "empty record name";
        }
        if (p_.faults.fwStatusValue >= 0 && p_.faults.fwStatusAt == fw.headerIndex) {
            status = p_.faults.fwStatusValue;
            error = "fault: status after header";
        }
        JsonLine j("firmware-header");
        j.hex(h).num("index", fw.headerIndex).num("size", size).num("type", h[8]);
        j.str("name", name).str("version", version).num("status", status);
        if (!error.empty()) {
            j.str("error", error);
        }
        p_.write(j);
        reply(out, link, "firmware-header", Bytes{static_cast<std::uint8_t>(status)});
        if (status != 0) {
            fw = State{};
            return true;
        }
        fw.gotHeader = true;
        fw.inBody = true;
        fw.bodySize = size;
        fw.bodyReceived = 0;
        fw.piece.clear();
        fw.recordName = name;
        fw.records.push_back(name);
        ++fw.headerIndex;
        return true;
    }
    std::size_t take =
        std::min<std::size_t>({buf.size(), static_cast<std::size_t>(fw.bodySize - fw.bodyReceived),
                               1024 - fw.piece.size()});
    std::uint32_t pieceStart = fw.bodyReceived - static_cast<std::uint32_t>(fw.piece.size());
    fw.piece.insert(fw.piece.end(), buf.begin(), buf.begin() + static_cast<std::ptrdiff_t>(take));
    buf.erase(buf.begin(), buf.begin() + static_cast<std::ptrdiff_t>(take));
    fw.bodyReceived += static_cast<std::uint32_t>(take);
    fw.totalBytes += static_cast<long long>(take);
    bool done = fw.bodyReceived == fw.bodySize;
    if (fw.piece.size() == 1024 || done) {
        JsonLine j("firmware-body");
        j.hex(fw.piece).str("record", fw.recordName).num("offset", pieceStart);
        j.num("size", static_cast<long long>(fw.piece.size())).flag("record_complete", done);
        p_.write(j);
        fw.piece.clear();
    }
    if (done) {
        fw.inBody = false;
    }
    return true;
}

void Firmware::finish(Actions& out, int status, const std::string& error) {
    if (p_.faults.fwStatusValue >= 0 && p_.faults.fwStatusAt < 0) {
        status = p_.faults.fwStatusValue;
    }
    JsonLine j("firmware-complete");
    j.raw("records", jsonArray(fw_.records)).num("bytes", fw_.totalBytes);
    j.num("status", status).flag("ok", status == 0 && error.empty());
    if (!error.empty()) {
        j.str("error", error);
    }
    if (fw_.inBody) {
        j.num("expected", fw_.bodySize).num("received", fw_.bodyReceived);
    }
    p_.write(j);
    reply(out, fw_.link, "firmware-complete", Bytes{static_cast<std::uint8_t>(status)});
    fw_ = State{};
}

void Firmware::poll(Clock::time_point now, int quietMs, Bytes* linkBuf, Actions& out) {
    using std::chrono::milliseconds;
    if (!fw_.active) {
        return;
    }
    auto quiet = now - fw_.lastByte;
    bool pendingBytes = linkBuf && !linkBuf->empty();
    if (fw_.gotHeader && !fw_.inBody && !pendingBytes && quiet >= milliseconds(quietMs)) {
        finish(out, 0, "");
    } else if (fw_.inBody && quiet >= milliseconds(2 * quietMs)) {
        finish(out, 5, "body shorter than its header says");
    } else if (fw_.gotHeader && pendingBytes && quiet >= milliseconds(2 * quietMs)) {
        linkBuf->clear();
        finish(out, 2, "header cut short");
    } else if (!fw_.gotHeader && now - fw_.entered >= std::chrono::seconds(60)) {
        JsonLine j("firmware-aborted");
        j.str("reason", "no package header within 60 s");
        p_.write(j);
        fw_ = State{};
    }
}

std::optional<Clock::time_point> Firmware::deadline(int quietMs, bool pendingBytes) const {
    using std::chrono::milliseconds;
    if (!fw_.active) {
        return std::nullopt;
    }
    if (fw_.gotHeader && !fw_.inBody && !pendingBytes) {
        return fw_.lastByte + milliseconds(quietMs);
    }
    if (fw_.gotHeader) {
        return fw_.lastByte + milliseconds(2 * quietMs);
    }
    return fw_.entered + std::chrono::seconds(60);
}

} // namespace vp
