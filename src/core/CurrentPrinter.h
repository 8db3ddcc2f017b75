// The printer the running function talks to, as process-wide values.
//
// Being replaced by PrinterSession, which each window and command owns; what
// still reads these values has not been moved to a session yet.
#pragma once

#include "core/Family.h"

#include <QString>

#include <atomic>
#include <cstdint>

namespace pellum::current {

inline QString CurrentModel;
inline QString SdkModel;
inline QString CurrentPort = QStringLiteral("USB");
// Touched by the download threads as well as the user-interface thread.
inline std::atomic<std::int32_t> CurrentFamily{FamilyTSPL};
inline std::atomic<std::int32_t> LastResultCode{0};

} // namespace pellum::current
