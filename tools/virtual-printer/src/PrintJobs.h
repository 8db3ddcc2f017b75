// Print jobs (TSPL up to PRINT, ZPL ^XA ... ^XZ, EPL N ... P1, CPCL ! 0 ...
// PRINT) and plain text lines: a job is gathered line by line per link and
// journaled once whole (or as incomplete after a quiet time or a close).
#pragma once

#include "PrinterState.h"

namespace vp {

class PrintJobs {
public:
    explicit PrintJobs(PrinterState& printer) : p_(printer) {}

    // The job being gathered on one link.
    struct Job {
        enum class Kind { None, Tspl, Zpl, Epl, Cpcl } kind = Kind::None;
        std::vector<std::string> lines;
        Bytes bytes;
        bool open() const { return kind != Kind::None; }
    };

    // One line (s without its line end) that is no other command: part of a
    // job, the start of one, text or unknown bytes.
    void line(Job& job, const Bytes& line, const std::string& s, bool terminated);
    // Journals the gathered job and ends it.
    void finish(Job& job, bool complete);

private:
    PrinterState& p_;
};

} // namespace vp
