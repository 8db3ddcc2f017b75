// What the printer is and holds, shared by every protocol unit: its profile,
// the 256-byte block or the key store, the stored files, and the journal and
// faults every unit reports to. Also the Reply/Actions a unit hands back to the
// transports, which do the sending.
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

inline void reply(Actions& out, int link, const std::string& kind, Bytes data) {
    out.replies.push_back(Reply{link, kind, std::move(data)});
}

struct StoredFile {
    std::string storageClass;
    std::string name; // with its memory prefix
    Bytes data;
};

// A command recognised by its exact bytes wherever a command may begin.
struct FixedCommand {
    const char* kind;
    Bytes bytes;
    const char* form; // which of the printer's command forms it is ("" when only one)
};

struct PrinterState {
    PrinterState(Profile p, Journal& j, Faults& f);

    Profile profile;
    Journal& journal;
    Faults& faults;
    Bytes block;
    std::map<std::string, std::string> keys;
    std::vector<StoredFile> files;
    std::optional<StoredFile> userFont;
    Clock::time_point now{}; // time of the bytes being handled

    void write(const JsonLine& j) { journal.write(j); }
    // Emulation code answered to 1B 1B 08 (from "ppl", the block or the profile).
    int emulation() const;
    void setEmulationOverride(int code);
    std::string value(const std::string& key) const;
    // Names of the stored files of a class, joined by "," as getval answers them.
    std::string listOf(const std::string& storageClass) const;
    long long usedBytes(char memory) const; // 'R' RAM, 'E' storage
    long long capacity(char memory) const;
    void factoryDefaults();
};

} // namespace vp
