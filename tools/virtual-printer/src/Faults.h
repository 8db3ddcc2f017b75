// Faults the virtual printer can inject, chosen on the command line or through
// the control channel, and the shaping of a reply by them.
#pragma once

#include <set>
#include <string>
#include <vector>

#include "Bytes.h"

namespace vp {

struct Faults {
    // Reply faults: they act on the bytes of a reply before it is sent.
    bool noReply = false;
    int shortReply = -1;    // send only this many bytes of each reply
    int splitAt = -1;       // send this many bytes, pause, then the rest
    int splitPauseMs = 150; // the pause of a split reply
    int delayMs = 0;        // pause before every reply
    // Restricts the reply faults (and the wrong checksum) to replies of these
    // journal kinds; empty means every reply.
    std::set<std::string> only;
    // The reply faults hit this many more replies, then switch off; -1 = no limit.
    int times = -1;
    // The connection is closed where a reply would be sent (a reply fault too).
    bool dropReply = false;

    // Content faults.
    bool badChecksum = false;   // wrong checksum in block replies and packet acks
    long long ackStatusAt = -1; // packet index that gets a non-zero status
    int ackStatusValue = 1;
    int fwStatusValue = -1;   // firmware status byte to send ...
    int fwStatusAt = -1;      // ... after this header (0 = first); -1 = the final status
    long long dropAfter = -1; // drop the connection after receiving this packet index
    bool refuse = false;      // refuse new connections
    // Setting writes (block write, setval) are accepted and journaled as usual
    // but the stored settings stay as they were.
    bool ignoreWrites = false;

    bool appliesTo(const std::string& kind) const;
    bool anyReplyFault() const { return noReply || shortReply >= 0 || splitAt >= 0 || delayMs > 0; }
    void clear() { *this = Faults(); }
    std::string describe() const;
    // Parses one fault command ("short-reply 10", "delay 50", "clear", ...).
    // Returns an empty text on success, else the error.
    std::string command(const std::vector<std::string>& words);
};

struct Chunk {
    int delayMs = 0; // wait this long after the previous chunk (or the command)
    Bytes data;
};

// Whether the connection is to be closed instead of sending this reply (the
// drop-reply fault). Consumes one use of a limited fault when it is.
bool dropsReply(Faults& faults, const std::string& kind);

// What is sent for one reply of the given kind, after the reply faults.
// Consumes one use of a limited fault ("times").
std::vector<Chunk> shapeReply(Faults& faults, const std::string& kind, const Bytes& reply);

} // namespace vp
