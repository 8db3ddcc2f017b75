#include "Engine.h"

#include <algorithm>

#include "StateFile.h"

namespace vp {

namespace {

// Bytes without a line end beyond this are journaled at once, not kept.
constexpr std::size_t kLongestLine = 65536;

// Every command of fixed bytes, of the block and the service units.
const std::vector<FixedCommand>& fixedCommands() {
    static const std::vector<FixedCommand> table = [] {
        std::vector<FixedCommand> t = BlockProtocol::commands();
        const auto& s = ServiceCommands::commands();
        t.insert(t.end(), s.begin(), s.end());
        return t;
    }();
    return table;
}

} // namespace

Engine::Engine(Profile profile, Journal& journal, Faults& faults)
    : printer_(std::move(profile), journal, faults), block_(printer_), downloads_(printer_),
      firmware_(printer_), kv_(printer_, downloads_, firmware_), service_(printer_),
      jobs_(printer_), control_(printer_, block_) {}

bool Engine::saveState(const std::string& path, std::string& error) const {
    return vp::saveState(printer_, path, error);
}

bool Engine::loadState(const std::string& path, std::string& error) {
    return vp::loadState(printer_, path, error);
}

void Engine::linkOpened(int link, const std::string& transport) {
    links_[link] = Link{};
    JsonLine j("connect");
    j.num("link", link).str("transport", transport);
    printer_.write(j);
}

void Engine::linkClosed(int link, Clock::time_point, Actions& out) {
    auto it = links_.find(link);
    if (it == links_.end()) {
        return;
    }
    Link& l = it->second;
    if (!l.buf.empty() && !l.blockWrite.active) {
        Bytes rest = l.buf;
        l.buf.clear();
        textLine(link, l, rest, false, out);
    } else if (l.blockWrite.active) {
        block_.writeCutByClose(l.blockWrite, l.buf.size());
    }
    if (l.job.open()) {
        jobs_.finish(l.job, false);
    }
    JsonLine j("disconnect");
    j.num("link", link);
    printer_.write(j);
    links_.erase(it);
}

void Engine::feed(int link, const std::uint8_t* data, std::size_t count, Clock::time_point now,
                  Actions& out) {
    auto it = links_.find(link);
    if (it == links_.end()) {
        it = links_.emplace(link, Link{}).first;
    }
    Link& l = it->second;
    if (l.dropped) {
        return;
    }
    printer_.now = now;
    l.buf.insert(l.buf.end(), data, data + count);
    l.lastByte = now;
    process(link, l, now, out);
}

bool Engine::commandStartsAt(const Bytes& buf, std::size_t at) const {
    if (KeyValueProtocol::startsLine(buf, at) ||
        (downloads_.active() && startsWith(buf, at, Downloads::packetMarker()))) {
        return true;
    }
    for (const auto& f : fixedCommands()) {
        if (f.bytes[0] < 0x20 && startsWith(buf, at, f.bytes)) {
            return true;
        }
    }
    return false;
}

void Engine::process(int link, Link& l, Clock::time_point now, Actions& out) {
    while (!l.buf.empty() && !l.dropped) {
        if (l.blockWrite.active) {
            if (l.buf.size() < 256) {
                return;
            }
            block_.write(l.blockWrite, l.buf, out);
            continue;
        }
        // The printer-level modes come first: their bytes are no commands.
        if (firmware_.active()) {
            if (firmware_.owns(l.buf)) {
                if (!firmware_.take(link, l.buf, now, out)) {
                    return;
                }
                continue;
            }
            firmware_.abortForCommand();
        }
        if (downloads_.active()) {
            if (Downloads::atPacket(l.buf)) {
                if (l.buf.size() < kDownloadPacketSize) {
                    return;
                }
                l.dropped = downloads_.packet(link, l.buf, pngDir, out);
                continue;
            }
            downloads_.abort("a command arrived instead of a packet");
        } else if (startsWith(l.buf, 0, Downloads::packetMarker()) &&
                   l.buf.size() >= kDownloadPacketSize) {
            l.dropped = downloads_.packet(link, l.buf, pngDir, out);
            continue;
        }
        if (KeyValueProtocol::startsLine(l.buf, 0)) {
            if (!kv_.take(link, l.buf, out)) {
                return;
            }
            continue;
        }
        if (KeyValueProtocol::partialPrefix(l.buf)) {
            return;
        }
        bool partial = false;
        if (fixed(link, l, out, partial)) {
            continue;
        }
        if (partial) {
            return;
        }
        // Text: up to a line feed, or up to the start of a recognised command.
        std::size_t end = l.buf.size();
        bool terminated = false;
        for (std::size_t i = 0; i < l.buf.size(); ++i) {
            if (l.buf[i] == '\n') {
                end = i + 1;
                terminated = true;
                break;
            }
            if (i > 0 && commandStartsAt(l.buf, i)) {
                end = i;
                break;
            }
        }
        if (!terminated && end == l.buf.size() && l.buf.size() <= kLongestLine) {
            return; // wait for the rest of the line (or the quiet time)
        }
        Bytes line(l.buf.begin(), l.buf.begin() + static_cast<std::ptrdiff_t>(end));
        l.buf.erase(l.buf.begin(), l.buf.begin() + static_cast<std::ptrdiff_t>(end));
        textLine(link, l, line, terminated, out);
    }
}

bool Engine::fixed(int link, Link& l, Actions& out, bool& partial) {
    for (const auto& f : fixedCommands()) {
        if (partialOf(l.buf, 0, f.bytes)) {
            partial = true;
            continue;
        }
        if (!startsWith(l.buf, 0, f.bytes)) {
            continue;
        }
        l.buf.erase(l.buf.begin(), l.buf.begin() + static_cast<std::ptrdiff_t>(f.bytes.size()));
        std::string kind = f.kind;
        if (kind == "block-read" || kind == "block-write") {
            block_.command(link, f, l.blockWrite, out);
        } else {
            service_.command(link, f, out);
        }
        return true;
    }
    return false;
}

void Engine::textLine(int link, Link& l, const Bytes& line, bool terminated, Actions& out) {
    std::string s(line.begin(), line.end());
    while (!s.empty() && (s.back() == '\n' || s.back() == '\r')) {
        s.pop_back();
    }
    if (terminated && service_.textLine(link, line, s, out)) {
        return;
    }
    jobs_.line(l.job, line, s, terminated);
}

void Engine::poll(Clock::time_point now, Actions& out) {
    using std::chrono::milliseconds;
    printer_.now = now;
    for (auto& [id, l] : links_) {
        if (l.dropped) {
            continue;
        }
        auto quiet = now - l.lastByte;
        if (l.blockWrite.active) {
            if (quiet >= milliseconds(blockTimeoutMs)) {
                block_.writeTimedOut(l.blockWrite, l.buf);
            }
            continue;
        }
        if (!l.buf.empty() && !firmware_.readsFrom(id)) {
            bool packet = downloads_.active() && Downloads::atPacket(l.buf);
            if (packet && quiet >= milliseconds(packetTimeoutMs)) {
                downloads_.packetTimedOut(l.buf);
            } else if (!packet && quiet >= milliseconds(idleFlushMs)) {
                Bytes rest = l.buf;
                l.buf.clear();
                if (KeyValueProtocol::startsLine(rest, 0) ||
                    partialOf(rest, 0, KeyValueProtocol::prefix())) {
                    kv_.cutShort(rest);
                } else {
                    textLine(id, l, rest, false, out);
                }
            }
        }
        if (l.job.open() && l.buf.empty() && quiet >= milliseconds(jobIdleMs)) {
            jobs_.finish(l.job, false);
        }
    }
    if (firmware_.active()) {
        auto it = links_.find(firmware_.link());
        firmware_.poll(now, fwQuietMs, it != links_.end() ? &it->second.buf : nullptr, out);
    }
}

std::optional<Clock::time_point> Engine::nextDeadline() const {
    using std::chrono::milliseconds;
    std::optional<Clock::time_point> best;
    auto consider = [&](Clock::time_point t) {
        if (!best || t < *best) {
            best = t;
        }
    };
    for (const auto& [id, l] : links_) {
        if (l.dropped) {
            continue;
        }
        if (l.blockWrite.active) {
            consider(l.lastByte + milliseconds(blockTimeoutMs));
        } else if (!l.buf.empty()) {
            bool packet = downloads_.active() && Downloads::atPacket(l.buf);
            if (!firmware_.readsFrom(id)) {
                consider(l.lastByte + milliseconds(packet ? packetTimeoutMs : idleFlushMs));
            }
        }
        if (l.job.open()) {
            consider(l.lastByte + milliseconds(jobIdleMs));
        }
    }
    if (firmware_.active()) {
        auto it = links_.find(firmware_.link());
        bool pendingBytes = it != links_.end() && !it->second.buf.empty();
        if (auto d = firmware_.deadline(fwQuietMs, pendingBytes)) {
            consider(*d);
        }
    }
    return best;
}

} // namespace vp
