// Who the printer is: its emulation (command language), firmware version,
// printed length and serial number. Key-value models are asked through the
// key-value protocol, the others with short fixed commands on the TSPL
// connection.
#pragma once

#include "core/PrinterSession.h"

#include <QString>

#include <cstdint>

namespace IdentityQueries {

// The emulation code in the coding of CurrentFamily. Expects the TSPL
// connection to CurrentPort to be open; leaves it open.
std::int32_t QueryEmulation(pellum::PrinterSession& session);

// Opens and closes the TSPL connection itself; true when the printer's
// firmware is at least `requiredVersion` (dotted decimal, "1.03.0").
bool CheckFirmwareVersion(pellum::PrinterSession& session, const QString& requiredVersion);

// Expect an open connection.
QString ReadFirmwareVersion(pellum::PrinterSession& session);
QString ReadPrintedLength(pellum::PrinterSession& session);
QString ReadSerialNumber(pellum::PrinterSession& session);

// The printed-length text of a count of the printer's length unit:
// count / 10 * 3 / 100 metres, shortest form (up to 15 significant digits,
// the system's decimal separator), then " (m)". 12345 gives "37.035 (m)".
QString FormatPrintedLength(std::int32_t count);

} // namespace IdentityQueries
