// Names of the serial and parallel ports and the devices behind them.
//
// Port names keep their Windows form: COM1-COM32 are /dev/ttyS0-31,
// COM33-COM64 /dev/ttyUSB0-31, COM65-COM96 /dev/ttyACM0-31, LPT1-LPT8
// /dev/lp0-7. A PortMap.ini file (section "Ports", keys "COMn", "LPTn" and
// "USB", values device paths) adds names or overrides these mappings. The
// printer libraries open ports through DeviceForPort, and the printer editor
// lists them through EnumeratePorts, so both agree on every name.
//
// Standard C++ and POSIX only.
#ifndef PELLUM_PORTS_PORTNAMES_H
#define PELLUM_PORTS_PORTNAMES_H

#include <string>
#include <vector>

namespace pellum::ports {

struct PortEntry {
    std::string name;   // as offered to the user: "COM1:", "LPT1:"
    std::string device; // the device path it maps to
};

// Ports of a kind ("COM" or "LPT") that have hardware behind them, in COM/LPT
// number order, plus every PortMap.ini entry of that kind. Ghost 8250 ports
// (type unknown) are not listed; /dev/ttyUSB*, /dev/ttyACM* and /dev/lp* are
// listed when the device node exists.
std::vector<PortEntry> EnumeratePorts(const std::string& kind, const std::string& portMapIniPath);

// Device path for "COM5" or "LPT1" (a trailing colon is accepted), "" when the
// name has no mapping. "USB" gives only a PortMap.ini override (the USB driver
// searches /dev/usb/lp* itself otherwise).
std::string DeviceForPort(const std::string& name, const std::string& portMapIniPath);

// PELLUM_PORTMAP when set and not empty, else <folder of this library or
// program>/files/PortMap.ini.
std::string DefaultPortMapPath();

// Splits "COM12" (any case, optional trailing colon) into kind "COM" and
// number 12; false for anything else (no digits, a zero, trailing text).
bool SplitPortName(const std::string& name, std::string& kind, int& number);

} // namespace pellum::ports

#endif
