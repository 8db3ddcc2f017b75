// The command line of pellum-virtual-printer, parsed into one struct.
#pragma once

#include <string>

#include "Faults.h"

namespace vp {

struct Options {
    std::string model, listenText, controlText, journalPath, statePath, profilesPath, ptyLink;
    std::string emulationText, versionText, blockFile, pngDir;
    long long randomSeed = -1;
    bool listModels = false;
    bool wantPty = false;
    int handoverMs = 1000;
    Faults faults;
    // The printer's own waits; -1 keeps the default.
    int idleFlush = -1, jobIdle = -1, blockTimeout = -1, fwQuiet = -1;
};

extern const char* const kUsage;

// Prints the message to stderr and exits with status 2.
[[noreturn]] void fail(const std::string& message);
// The number of an option's value, or fail().
long toNumber(const std::string& option, const std::string& v, long lo, long hi);

} // namespace vp
