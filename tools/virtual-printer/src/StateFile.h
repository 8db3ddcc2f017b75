// The state file: the block or key store and the stored files, one item a
// line, so a printer keeps what the program wrote across restarts.
#pragma once

#include "PrinterState.h"

namespace vp {

// Writes a temporary file and renames it, so the file is never half written.
bool saveState(const PrinterState& printer, const std::string& path, std::string& error);
// Loads a state file of the same model; nothing changes when it fails.
bool loadState(PrinterState& printer, const std::string& path, std::string& error);

} // namespace vp
