// Packet downloads of stored files and of the user font: the announcement
// (do "download" "CLASS" "NAME", do "userfont_download" "ENC"), the 1036-byte
// DownloadPacket (marker DD CC BB AA, index, count, 1024 data bytes, checksum)
// and its 12-byte PacketAck. The download belongs to the printer, not to a
// link: the program may reopen the port between announcement and packets.
#pragma once

#include "PrinterState.h"

namespace vp {

constexpr std::size_t kDownloadPacketData = 1024;
constexpr std::size_t kDownloadPacketSize = kDownloadPacketData + 12;
constexpr std::size_t kUserFontMax = 3133440;

// The 12-byte acknowledgement of a download packet: its first 8 bytes, the
// status (little-endian) and Checksum16 of those 10 bytes (inverted when asked).
Bytes PacketAck(const Bytes& packet, int status, bool wrongChecksum = false);

class Downloads {
public:
    explicit Downloads(PrinterState& printer) : p_(printer) {}

    static const Bytes& packetMarker();
    bool active() const { return d_.active; }
    // The buffer begins with a packet marker (or the first bytes of one).
    static bool atPacket(const Bytes& buf);

    // An announcement: answers "OK" and awaits packets, or "NG". t holds the
    // key and its arguments; j is the journal line begun by the key-value unit.
    void announce(int link, const std::vector<std::string>& t, JsonLine& j, Actions& out);
    // One whole packet at the front of buf (taken from it). Returns true when
    // the link is to be dropped (a fault).
    bool packet(int link, Bytes& buf, const std::string& pngDir, Actions& out);
    // The rest of a packet did not come: buf holds what did.
    void packetTimedOut(Bytes& buf);
    void abort(const std::string& why);

private:
    struct Download {
        bool active = false;
        bool userFont = false;
        std::string storageClass;
        std::string name;
        std::string encoding;
        std::uint32_t nextIndex = 0;
        Bytes data;
        int link = 0;
    };
    void writePng(const StoredFile& f, const std::string& pngDir);

    PrinterState& p_;
    Download d_;
};

// Writes a raster record as a PNG file; false when the record is malformed.
bool RasterRecordToPng(const Bytes& record, const std::string& path, std::string& error);
// Width and height of a raster record in dots; false when malformed.
bool RasterRecordSize(const Bytes& record, int& width, int& height);

} // namespace vp
