// The key-value protocol of the GDS models: lines of 1B 1C 26 20 56 31 20, a
// verb (getval, setval, do) and double-quoted pieces, ending with CR LF. getval
// answers the value and 0x00; setval and do answer nothing, except the download
// announcements, which the download unit answers.
#pragma once

#include "Downloads.h"
#include "Firmware.h"
#include "PrinterState.h"

namespace vp {

class KeyValueProtocol {
public:
    KeyValueProtocol(PrinterState& printer, Downloads& downloads, Firmware& firmware)
        : p_(printer), downloads_(downloads), firmware_(firmware) {}

    static const Bytes& prefix();      // 1B 1C 26 20 56 31 20
    static const Bytes& shortPrefix(); // 1B 1C 26 20 56 20, not answered
    static bool startsLine(const Bytes& buf, std::size_t at);
    static bool partialPrefix(const Bytes& buf);

    // buf begins with a prefix: takes the line when its CR LF has come (or
    // drops an endless one); false when it waits for more.
    bool take(int link, Bytes& buf, Actions& out);
    // A line whose CR LF never came.
    void cutShort(const Bytes& rest);

private:
    void line(int link, const Bytes& line, Actions& out);
    void getval(int link, const std::string& key, JsonLine& j, Actions& out);
    void setval(const std::string& key, const std::string& value, JsonLine& j, Actions& out);
    void doCommand(int link, const std::vector<std::string>& tokens, JsonLine& j, Actions& out);

    PrinterState& p_;
    Downloads& downloads_;
    Firmware& firmware_;
};

// The key names of the key-value protocol the printer knows.
const std::vector<std::string>& knownKeys();

} // namespace vp
