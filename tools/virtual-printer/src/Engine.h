// The dispatcher of the printer's side of every byte format: it takes the bytes
// that arrive on a link (a TCP connection or the pseudo-terminal), finds where
// each command begins and what it is, and hands it to the unit of its protocol
// (block, key-value, identity and service, downloads, firmware, print jobs).
// The units change the printer's state, journal each command and produce the
// replies. It does no input or output itself, so it is driven directly by the
// tests.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <vector>

#include "BlockProtocol.h"
#include "ControlChannel.h"
#include "Downloads.h"
#include "Firmware.h"
#include "KeyValueProtocol.h"
#include "PrintJobs.h"
#include "PrinterState.h"
#include "ServiceCommands.h"

namespace vp {

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
    const Profile& profile() const { return printer_.profile; }
    const Bytes& block() const { return printer_.block; }
    void setBlock(const Bytes& b) { printer_.block = b; }
    int emulation() const { return printer_.emulation(); }
    void setEmulationOverride(int code) { printer_.setEmulationOverride(code); }
    const std::map<std::string, std::string>& keys() const { return printer_.keys; }
    std::string value(const std::string& key) const { return printer_.value(key); }
    const std::vector<StoredFile>& files() const { return printer_.files; }
    bool saveState(const std::string& path, std::string& error) const;
    bool loadState(const std::string& path, std::string& error);
    // Block fields of the layout family by name (for the journal and the control channel).
    std::string blockFieldsJson(const Bytes& b) const { return block_.fieldsJson(b); }
    // One control-channel command; returns the reply line ("OK ..." or "ERR ...").
    std::string control(const std::string& line) { return control_.command(line); }
    bool downloadActive() const { return downloads_.active(); }

private:
    // What arrived on one link and is not handled yet, and the commands that
    // span several pieces of it.
    struct Link {
        Bytes buf;
        Clock::time_point lastByte{};
        BlockProtocol::PendingWrite blockWrite;
        PrintJobs::Job job;
        bool dropped = false;
    };

    void process(int link, Link& l, Clock::time_point now, Actions& out);
    // A command of fixed bytes at the front of the buffer; partial is set
    // when the buffer holds only the first bytes of one.
    bool fixed(int link, Link& l, Actions& out, bool& partial);
    // A text line (terminated by LF or not): a text command, a print job line,
    // text or unknown bytes.
    void textLine(int link, Link& l, const Bytes& line, bool terminated, Actions& out);
    // A command may begin at this offset (for telling back-to-back commands apart).
    bool commandStartsAt(const Bytes& buf, std::size_t at) const;

    PrinterState printer_;
    BlockProtocol block_;
    Downloads downloads_;
    Firmware firmware_;
    KeyValueProtocol kv_;
    ServiceCommands service_;
    PrintJobs jobs_;
    ControlChannel control_;
    std::map<int, Link> links_;
};

} // namespace vp
