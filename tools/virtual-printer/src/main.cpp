// pellum-virtual-printer: a printer that lives in software. It plays one model
// of the catalogue on a loopback TCP port and/or a pseudo-terminal, answers the
// program's commands, journals them and injects faults on request. main() only
// reads the command line; the Server sets up the printer and serves it.
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "Options.h"
#include "Server.h"

namespace vp {

const char* const kUsage =
    "usage: pellum-virtual-printer --model NAME [--listen 127.0.0.1:PORT] [--pty]\n"
    "       [--pty-link PATH] [--control 127.0.0.1:PORT] [--journal FILE] [--state FILE]\n"
    "       [--profiles FILE] [--emulation N] [--version X.Y.Z[.B]] [--random-block SEED]\n"
    "       [--block-file FILE] [--png-dir DIR] [fault and timing options]\n"
    "       pellum-virtual-printer --list-models [--profiles FILE]\n"
    "faults:  --no-reply --short-reply N --split-reply N --split-pause MS --delay MS\n"
    "         --bad-checksum --ack-status K[:STATUS] --fw-status VALUE[@HEADER]\n"
    "         --drop-after K --drop-reply --refuse --ignore-writes\n"
    "         --fault-only KIND[,KIND...] --fault-times N\n"
    "timing:  --idle-flush MS --job-idle MS --block-timeout MS --fw-quiet MS --handover MS\n"
    "See README.md beside the sources for every option.\n";

void fail(const std::string& message) {
    std::fprintf(stderr, "pellum-virtual-printer: %s\n", message.c_str());
    std::exit(2);
}

long toNumber(const std::string& option, const std::string& v, long lo, long hi) {
    char* end = nullptr;
    long n = std::strtol(v.c_str(), &end, 10);
    if (v.empty() || *end || n < lo || n > hi) {
        fail(option + " needs a number in " + std::to_string(lo) + ".." + std::to_string(hi));
    }
    return n;
}

} // namespace vp

using namespace vp;

int main(int argc, char** argv) {
    Options o;
    std::vector<std::string> args(argv + 1, argv + argc);
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        auto next = [&]() -> std::string {
            if (i + 1 >= args.size()) {
                fail(a + " needs a value");
            }
            return args[++i];
        };
        if (a == "--model") {
            o.model = next();
        } else if (a == "--listen") {
            o.listenText = next();
        } else if (a == "--pty") {
            o.wantPty = true;
        } else if (a == "--pty-link") {
            o.ptyLink = next();
            o.wantPty = true;
        } else if (a == "--control") {
            o.controlText = next();
        } else if (a == "--journal") {
            o.journalPath = next();
        } else if (a == "--state") {
            o.statePath = next();
        } else if (a == "--profiles") {
            o.profilesPath = next();
        } else if (a == "--list-models") {
            o.listModels = true;
        } else if (a == "--emulation") {
            o.emulationText = next();
        } else if (a == "--version") {
            o.versionText = next();
        } else if (a == "--random-block") {
            o.randomSeed = toNumber(a, next(), 0, 0x7FFFFFFF);
        } else if (a == "--block-file") {
            o.blockFile = next();
        } else if (a == "--png-dir") {
            o.pngDir = next();
        } else if (a == "--no-reply") {
            o.faults.noReply = true;
        } else if (a == "--short-reply") {
            o.faults.shortReply = static_cast<int>(toNumber(a, next(), 0, 1 << 20));
        } else if (a == "--split-reply") {
            o.faults.splitAt = static_cast<int>(toNumber(a, next(), 0, 1 << 20));
        } else if (a == "--split-pause") {
            o.faults.splitPauseMs = static_cast<int>(toNumber(a, next(), 0, 600000));
        } else if (a == "--delay") {
            o.faults.delayMs = static_cast<int>(toNumber(a, next(), 0, 600000));
        } else if (a == "--bad-checksum") {
            o.faults.badChecksum = true;
        } else if (a == "--ack-status") {
            std::string v = next();
            auto c = v.find(':');
            o.faults.ackStatusAt = toNumber(a, v.substr(0, c), 0, 0x7FFFFFFF);
            if (c != std::string::npos) {
                o.faults.ackStatusValue = static_cast<int>(toNumber(a, v.substr(c + 1), 1, 0xFFFF));
            }
        } else if (a == "--fw-status") {
            std::string v = next();
            auto c = v.find('@');
            o.faults.fwStatusValue = static_cast<int>(toNumber(a, v.substr(0, c), 0, 255));
            if (c != std::string::npos) {
                o.faults.fwStatusAt = static_cast<int>(toNumber(a, v.substr(c + 1), 0, 1 << 20));
            }
        } else if (a == "--drop-after") {
            o.faults.dropAfter = toNumber(a, next(), 0, 0x7FFFFFFF);
        } else if (a == "--refuse") {
            o.faults.refuse = true;
        } else if (a == "--drop-reply") {
            o.faults.dropReply = true;
        } else if (a == "--ignore-writes") {
            o.faults.ignoreWrites = true;
        } else if (a == "--fault-only") {
            std::string err = o.faults.command({"only", next()});
            if (!err.empty()) {
                fail(err);
            }
        } else if (a == "--fault-times") {
            o.faults.times = static_cast<int>(toNumber(a, next(), -1, 1 << 30));
        } else if (a == "--idle-flush") {
            o.idleFlush = static_cast<int>(toNumber(a, next(), 1, 600000));
        } else if (a == "--job-idle") {
            o.jobIdle = static_cast<int>(toNumber(a, next(), 1, 600000));
        } else if (a == "--block-timeout") {
            o.blockTimeout = static_cast<int>(toNumber(a, next(), 1, 600000));
        } else if (a == "--fw-quiet") {
            o.fwQuiet = static_cast<int>(toNumber(a, next(), 1, 600000));
        } else if (a == "--handover") {
            o.handoverMs = static_cast<int>(toNumber(a, next(), -1, 3600000));
        } else if (a == "--help" || a == "-h") {
            std::fputs(kUsage, stdout);
            return 0;
        } else {
            std::fputs(kUsage, stderr);
            fail("unknown option " + a);
        }
    }

    Server server(std::move(o));
    return server.run();
}
