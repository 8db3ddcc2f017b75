// The port strings handed to the libraries' open functions:
//   "USB"                  the first USB printer-class device
//   "COMn,BAUDRATE_b"      serial port n at b baud ("COMn" alone: 9600 baud)
//   "LPTn"                 parallel port n
//   "NET,host"             raw TCP to port 9100 of host
//   "NET,host:port"        raw TCP to another port ("NET,[v6-address]:port")
// Keywords match without regard to case; surrounding blanks are ignored.
#ifndef PELLUM_SDK_PORTSTRING_H
#define PELLUM_SDK_PORTSTRING_H

#include <cstdint>
#include <string>

namespace pellum::sdk {

struct PortSpec {
    enum class Kind { Usb, Serial, Parallel, Network };
    Kind kind = Kind::Usb;
    std::string name; // "USB", "COM9", "LPT1" (upper case, no colon)
    int baud = 0;     // serial only
    std::string host; // network only
    int tcpPort = 0;  // network only
    // The same key means the same port opened the same way.
    std::string Key() const;
};

constexpr int kDefaultBaud = 9600;
constexpr int kDefaultTcpPort = 9100;

// 0 or PELLUM_ERR_BAD_PORT.
std::int32_t ParsePortString(const std::string& text, PortSpec& spec);

} // namespace pellum::sdk

#endif
