// The 256-byte parameter block: read (5A 5A 5A 43 52 0A or 12 62), write (the
// command, then 256 bytes with marker 0x78 and Checksum16 in bytes 254-255),
// and the fields of the four layout families decoded by name.
#pragma once

#include "PrinterState.h"

namespace vp {

class BlockProtocol {
public:
    explicit BlockProtocol(PrinterState& printer) : p_(printer) {}

    // A block write whose 256 bytes are still awaited, per link.
    struct PendingWrite {
        bool active = false;
        Bytes command;
        std::string form;
    };

    static const std::vector<FixedCommand>& commands();
    // Handles a recognised block command: answers a read, or starts to await
    // the bytes of a write.
    void command(int link, const FixedCommand& c, PendingWrite& pending, Actions& out);
    // The 256 bytes of a pending write have arrived (taken from buf).
    void write(PendingWrite& pending, Bytes& buf, Actions& out);
    // The bytes of a pending write stopped before 256 (buf holds what came).
    void writeTimedOut(PendingWrite& pending, Bytes& buf);
    // The link closed before the bytes of a pending write were complete.
    void writeCutByClose(const PendingWrite& pending, std::size_t received);

    // Block fields of the model's layout family by name, as JSON.
    std::string fieldsJson(const Bytes& block) const;

private:
    PrinterState& p_;
};

} // namespace vp
