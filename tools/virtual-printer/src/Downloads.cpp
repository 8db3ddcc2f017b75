#include "Downloads.h"

#include <algorithm>
#include <set>

namespace vp {

Bytes PacketAck(const Bytes& packet, int status, bool wrongChecksum) {
    Bytes ack(packet.begin(), packet.begin() + 8);
    ack.push_back(static_cast<std::uint8_t>(status & 0xFF));
    ack.push_back(static_cast<std::uint8_t>((status >> 8) & 0xFF));
    std::uint16_t sum = Checksum16(ack, 10);
    if (wrongChecksum) {
        sum = static_cast<std::uint16_t>(sum ^ 0xFFFF);
    }
    ack.push_back(static_cast<std::uint8_t>(sum & 0xFF));
    ack.push_back(static_cast<std::uint8_t>(sum >> 8));
    return ack;
}

const Bytes& Downloads::packetMarker() {
    static const Bytes marker{0xDD, 0xCC, 0xBB, 0xAA};
    return marker;
}

bool Downloads::atPacket(const Bytes& buf) {
    return startsWith(buf, 0, packetMarker()) || partialOf(buf, 0, packetMarker());
}

void Downloads::announce(int link, const std::vector<std::string>& t, JsonLine& j, Actions& out) {
    bool userFont = t[0] == "userfont_download";
    std::string error;
    j.rename(userFont ? "userfont-announce" : "download-announce");
    static const std::set<std::string> classes{"bitmaps", "fonts", "labels", "autoform"};
    static const std::set<std::string> encodings{"gbk", "big5", "jis", "euc", "ascii"};
    if (p_.profile.protocol != Protocol::KeyValue) {
        error = "this model keeps no files";
    } else if (userFont && (t.size() != 2 || !encodings.count(t[1]))) {
        error = "expected one encoding: gbk, big5, jis, euc or ascii";
    } else if (!userFont && t.size() != 3) {
        error = "expected a storage class and a name";
    } else if (!userFont && !classes.count(t[1])) {
        error = "unknown storage class";
    } else if (!userFont && (t[2].size() < 3 || t[2].size() > 12 ||
                             (t[2].rfind("R_", 0) != 0 && t[2].rfind("E_", 0) != 0) ||
                             t[2].find(' ') != std::string::npos)) {
        error = "name must be R_ or E_ followed by 1 to 10 characters without spaces";
    }
    if (!error.empty()) {
        j.flag("accepted", false).str("error", error);
        p_.write(j);
        reply(out, link, j.kind(), toBytes("NG"));
        return;
    }
    if (d_.active) {
        abort("a new download was announced");
    }
    d_ = Download{};
    d_.active = true;
    d_.userFont = userFont;
    d_.link = link;
    if (userFont) {
        d_.encoding = t[1];
        d_.storageClass = "userfont";
    } else {
        d_.storageClass = t[1];
        d_.name = t[2];
    }
    j.flag("accepted", true).str("announces", userFont ? "userfont-download" : "file-download");
    p_.write(j);
    reply(out, link, j.kind(), toBytes("OK"));
}

void Downloads::abort(const std::string& why) {
    if (!d_.active) {
        return;
    }
    JsonLine j(d_.userFont ? "userfont-aborted" : "download-aborted");
    j.str("class", d_.storageClass)
        .str("name", d_.name)
        .num("packets", d_.nextIndex)
        .num("bytes", static_cast<long long>(d_.data.size()))
        .str("reason", why);
    p_.write(j);
    d_ = Download{};
}

void Downloads::packetTimedOut(Bytes& buf) {
    JsonLine j(d_.userFont ? "userfont-packet" : "download-packet");
    j.hex(buf).num("status", -1).str("error", "packet cut short; not acknowledged");
    p_.write(j);
    buf.clear();
    abort("packet cut short");
}

bool Downloads::packet(int link, Bytes& buf, const std::string& pngDir, Actions& out) {
    Bytes p(buf.begin(), buf.begin() + static_cast<std::ptrdiff_t>(kDownloadPacketSize));
    buf.erase(buf.begin(), buf.begin() + static_cast<std::ptrdiff_t>(kDownloadPacketSize));
    std::uint32_t index = le32(&p[4]);
    std::size_t n = le16(&p[8]);
    bool userFont = d_.active && d_.userFont;
    std::string kind = userFont ? "userfont-packet" : "download-packet";
    JsonLine j(kind);
    j.hex(p).num("index", index).num("n", static_cast<long long>(n));
    if (!d_.active) {
        j.num("status", -1).str("error", "no download was announced; not acknowledged");
        p_.write(j);
        return false;
    }
    int status = 0;
    std::string error;
    std::uint16_t want = 0;
    std::uint16_t got = le16(&p[kDownloadPacketSize - 2]);
    if (n > kDownloadPacketData) {
        status = 3;
        error = "count above 1024";
    } else if (index != d_.nextIndex) {
        status = 2;
        error = "index out of sequence, expected " + std::to_string(d_.nextIndex);
    } else {
        want = Checksum16(p, userFont ? kDownloadPacketSize - 2 : n + 10);
        std::uint8_t fill = userFont ? 0xFF : 0x00;
        if (want != got) {
            status = 1;
            error = "checksum";
        } else if (!std::all_of(p.begin() + 10 + static_cast<std::ptrdiff_t>(n), p.end() - 2,
                                [&](std::uint8_t b) { return b == fill; })) {
            status = 4;
            error = userFont ? "fill bytes are not FF" : "fill bytes are not 00";
        } else {
            long long total = static_cast<long long>(d_.data.size() + n);
            if (userFont) {
                if (total > static_cast<long long>(kUserFontMax)) {
                    status = 5;
                    error = "user font larger than " + std::to_string(kUserFontMax);
                }
            } else {
                char mem = d_.name[0] == 'R' ? 'R' : 'E';
                long long replaced = 0;
                for (const auto& f : p_.files) {
                    if (f.storageClass == d_.storageClass && f.name == d_.name) {
                        replaced = static_cast<long long>(f.data.size());
                    }
                }
                if (p_.usedBytes(mem) - replaced + total > p_.capacity(mem)) {
                    status = 5;
                    error = "not enough free memory";
                }
            }
        }
    }
    j.num("checksum_expected", want).num("checksum_received", got);
    if (p_.faults.ackStatusAt >= 0 && static_cast<long long>(index) == p_.faults.ackStatusAt) {
        status = p_.faults.ackStatusValue;
        error = "fault: acknowledgement status";
    }
    j.num("status", status);
    if (!error.empty()) {
        j.str("error", error);
    }
    if (p_.faults.dropAfter >= 0 && static_cast<long long>(index) == p_.faults.dropAfter) {
        j.flag("fault_dropped", true);
        p_.write(j);
        out.drops.push_back(link);
        abort("fault: connection dropped");
        return true;
    }
    bool wrongChecksum = p_.faults.badChecksum && p_.faults.appliesTo(kind);
    if (wrongChecksum) {
        j.flag("fault_bad_checksum", true);
    }
    Bytes ack = PacketAck(p, status, wrongChecksum);
    p_.write(j);
    reply(out, link, kind, std::move(ack));
    if (status != 0) {
        abort(error);
        return false;
    }
    d_.data.insert(d_.data.end(), p.begin() + 10, p.begin() + 10 + static_cast<std::ptrdiff_t>(n));
    ++d_.nextIndex;
    if (n == kDownloadPacketData) {
        return false;
    }
    out.stateChanged = true;
    if (userFont) {
        p_.userFont = StoredFile{"userfont", d_.encoding, d_.data};
        JsonLine c("userfont-complete");
        c.str("encoding", d_.encoding)
            .num("size", static_cast<long long>(d_.data.size()))
            .num("packets", d_.nextIndex);
        p_.write(c);
    } else {
        StoredFile f{d_.storageClass, d_.name, d_.data};
        p_.files.erase(std::remove_if(p_.files.begin(), p_.files.end(),
                                      [&](const StoredFile& o) {
                                          return o.storageClass == f.storageClass &&
                                                 (o.name == f.name || f.storageClass == "autoform");
                                      }),
                       p_.files.end());
        p_.files.push_back(f);
        JsonLine c("download-complete");
        c.str("class", f.storageClass)
            .str("name", f.name)
            .str("memory", f.name[0] == 'R' ? "ram" : "storage")
            .num("size", static_cast<long long>(f.data.size()))
            .num("packets", d_.nextIndex);
        int w = 0, h = 0;
        if (f.storageClass == "bitmaps" && RasterRecordSize(f.data, w, h)) {
            c.num("width", w).num("height", h);
        } else if (f.storageClass == "bitmaps") {
            c.flag("raster_valid", false);
        }
        p_.write(c);
        writePng(f, pngDir);
    }
    d_ = Download{};
    return false;
}

void Downloads::writePng(const StoredFile& f, const std::string& pngDir) {
    if (pngDir.empty() || f.storageClass != "bitmaps") {
        return;
    }
    std::string path = pngDir + "/" + f.name + ".png";
    std::string error;
    JsonLine j("png-written");
    j.str("name", f.name).str("path", path);
    if (!RasterRecordToPng(f.data, path, error)) {
        j.str("error", error);
    }
    p_.write(j);
}

} // namespace vp
