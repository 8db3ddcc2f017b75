// The command-language families a printer speaks. The value selects the
// printer library a session talks through: ESC for 0, CPCL for 3, TSPL for
// every other value.
#pragma once

#include <cstdint>

namespace pellum {

enum Family : std::int32_t {
    FamilyESC = 0,
    FamilyTSPL = 1,
    FamilyCPCL = 3,
    FamilyZPL = 4,
    FamilyEPL = 5,
};

} // namespace pellum
