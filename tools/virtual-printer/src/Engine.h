// The printer's side of every byte format: it takes the bytes that arrive on a
// link (a TCP connection or the pseudo-terminal), recognises the commands,
// changes the printer's state, journals each command and produces the replies.
// It does no input or output itself, so it is driven directly by the tests.
#pragma once

#include <chrono>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "Bytes.h"
#include "Faults.h"
#include "Journal.h"
#include "Profiles.h"

namespace vp {

using Clock = std::chrono::steady_clock;

struct Reply {
    int link = 0;
    std::string kind; // journal kind of the command answered
    Bytes data;
};

struct Actions {
    std::vector<Reply> replies;
    std::vector<int> drops; // links to close (a fault)
    bool stateChanged = false;
};

struct StoredFile {
    std::string storageClass;
    std::string name; // with its memory prefix
    Bytes data;
};

// Packet layout of downloads: marker, index, count, 1024 data bytes, checksum.
constexpr std::size_t kDownloadPacketData = 1024;
constexpr std::size_t kDownloadPacketSize = kDownloadPacketData + 12;
constexpr std::size_t kUserFontMax = 3133440;

class Engine {
public:
    Engine(Profile profile, Journal& journal, Faults& faults);

    // Timing of the printer's own waits.
    int idleFlushMs = 300;      // bytes without an ending are journaled after this quiet time
    int jobIdleMs = 2000;       // an unfinished print job is journaled after this quiet time
    int blockTimeoutMs = 1000;  // wait for the 256 bytes after a block write command
    int packetTimeoutMs = 1000; // wait for the rest of a download packet
    int fwQuietMs = 500;        // quiet time after the last firmware record: send the final status
    std::string pngDir;         // when set, every downloaded picture is also written as PNG here

    void feed(int link, const std::uint8_t* data, std::size_t count, Clock::time_point now,
              Actions& out);
    void feed(int link, const Bytes& data, Clock::time_point now, Actions& out) {
        feed(link, data.data(), data.size(), now, out);
    }
    // Runs the timeouts that are due.
    void poll(Clock::time_point now, Actions& out);
    std::optional<Clock::time_point> nextDeadline() const;
    void linkOpened(int link, const std::string& transport);
    void linkClosed(int link, Clock::time_point now, Actions& out);

    // State.
    const Profile& profile() const { return profile_; }
    const Bytes& block() const { return block_; }
    void setBlock(const Bytes& b) { block_ = b; }
    int emulation() const;
    void setEmulationOverride(int code);
    const std::map<std::string, std::string>& keys() const { return keys_; }
    std::string value(const std::string& key) const;
    const std::vector<StoredFile>& files() const { return files_; }
    bool saveState(const std::string& path, std::string& error) const;
    bool loadState(const std::string& path, std::string& error);
    // Block fields of the layout family by name (for the journal and the control channel).
    std::string blockFieldsJson(const Bytes& block) const;
    // One control-channel command; returns the reply line ("OK ..." or "ERR ...").
    std::string control(const std::string& line);
    bool downloadActive() const { return download_.active; }

private:
    struct Link {
        Bytes buf;
        Clock::time_point lastByte{};
        bool blockPending = false;
        Bytes blockCommand;
        std::string blockForm;
        enum class Job { None, Tspl, Zpl, Epl, Cpcl } job = Job::None;
        std::vector<std::string> jobLines;
        Bytes jobBytes;
        bool dropped = false;
    };
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
    struct Firmware {
        bool active = false;
        bool inBody = false;
        bool gotHeader = false;
        int headerIndex = 0;
        std::uint32_t bodySize = 0;
        std::uint32_t bodyReceived = 0;
        Bytes piece;
        std::string recordName;
        long long totalBytes = 0;
        int link = 0;
        Clock::time_point lastByte{};
        Clock::time_point entered{};
        std::vector<std::string> records;
    };

    void process(int link, Link& l, Clock::time_point now, Actions& out);
    void reply(Actions& out, int link, const std::string& kind, Bytes data);
    void journal(JsonLine& j) { journal_.write(j); }

    bool handleFixed(int link, Link& l, Actions& out, bool& partial);
    void handleBlockWrite(int link, Link& l, Actions& out);
    void handleKvLine(int link, const Bytes& line, Actions& out);
    void handleDo(int link, const std::vector<std::string>& tokens, JsonLine& j, Actions& out);
    void handleGetval(int link, const std::string& key, JsonLine& j, Actions& out);
    void handleSetval(const std::string& key, const std::string& value, JsonLine& j, Actions& out);
    void handlePacket(int link, Link& l, Actions& out);
    void handleLine(int link, Link& l, const Bytes& line, bool terminated, Clock::time_point now,
                    Actions& out);
    void finishJob(Link& l, bool complete);
    bool processFirmware(int link, Link& l, Clock::time_point now, Actions& out);
    void firmwareFinal(Actions& out, int status, const std::string& error);
    void abortDownload(const std::string& why);
    void factoryDefaults();

    std::string listOf(const std::string& storageClass) const;
    long long usedBytes(char memory) const;
    long long capacity(char memory) const;
    void writePng(const StoredFile& f);

    Profile profile_;
    Journal& journal_;
    Faults& faults_;
    Bytes block_;
    std::map<std::string, std::string> keys_;
    std::vector<StoredFile> files_;
    std::optional<StoredFile> userFont_;
    std::optional<int> emulationOverride_;
    std::map<int, Link> links_;
    Download download_;
    Firmware firmware_;
    Clock::time_point now_{};
};

// The 12-byte acknowledgement of a download packet: its first 8 bytes, the
// status (little-endian) and Checksum16 of those 10 bytes (inverted when asked).
Bytes PacketAck(const Bytes& packet, int status, bool wrongChecksum = false);
// The key names of the key-value protocol the printer knows.
const std::vector<std::string>& knownKeys();
// Writes a raster record as a PNG file; false when the record is malformed.
bool RasterRecordToPng(const Bytes& record, const std::string& path, std::string& error);
// Width and height of a raster record in dots; false when malformed.
bool RasterRecordSize(const Bytes& record, int& width, int& height);

} // namespace vp
