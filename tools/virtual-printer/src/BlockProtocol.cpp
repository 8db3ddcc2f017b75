#include "BlockProtocol.h"

#include <cstdio>

namespace vp {

namespace {

// Fields of the four block layout families: name, offset, encoding.
struct Field {
    const char* name;
    int offset;
    char enc; // b byte, d dots16 (shown in mm), h heat, i ipv4, t text16, p text4, v volts16
};

const std::vector<Field>& layoutFields(Layout l) {
    static const std::vector<Field> alder{{"baud_rate", 4, 'b'},
                                          {"bt_name_alder", 9, 't'},
                                          {"bt_pin_ginkgo", 20, 'p'},
                                          {"bt_pin_alder", 25, 'p'},
                                          {"bt_pairing_alder", 31, 'b'},
                                          {"density", 34, 'b'},
                                          {"code_page", 55, 'b'},
                                          {"charset", 56, 'b'},
                                          {"paper_type", 58, 'b'},
                                          {"black_mark_max_mm", 68, 'd'},
                                          {"label_max_mm", 70, 'd'},
                                          {"print_method", 76, 'b'},
                                          {"auto_position", 83, 'b'},
                                          {"dhcp", 84, 'b'},
                                          {"ip", 88, 'i'},
                                          {"subnet", 92, 'i'},
                                          {"gateway", 96, 'i'},
                                          {"reprint_after_error", 100, 'b'},
                                          {"small_label", 101, 'b'},
                                          {"parity", 105, 'b'},
                                          {"stop_bits", 107, 'b'},
                                          {"reprint_notice", 113, 'b'},
                                          {"anti_stick_min", 114, 'b'},
                                          {"heat", 130, 'h'},
                                          {"speed_ips", 132, 'b'},
                                          {"label_min_mm", 134, 'd'},
                                          {"bt_pairing_ginkgo", 162, 'b'},
                                          {"bt_name_ginkgo", 199, 't'}};
    static const std::vector<Field> maple{{"baud_rate", 4, 'b'},     {"bt_name_cedar", 10, 't'},
                                          {"bt_pin_cedar", 20, 'p'}, {"density", 34, 'b'},
                                          {"code_page", 55, 'b'},    {"charset", 56, 'b'},
                                          {"paper_type", 58, 'b'},   {"paper_mode", 59, 'b'},
                                          {"protocol", 61, 'b'},     {"sensor_volts", 62, 'v'},
                                          {"label_min_mm", 64, 'd'}, {"noise_rejection", 66, 'b'},
                                          {"korean_mode", 67, 'b'},  {"black_mark_max_mm", 68, 'd'},
                                          {"label_max_mm", 70, 'd'}, {"auto_position", 82, 'b'},
                                          {"heat", 90, 'h'},         {"speed_ips", 92, 'b'}};
    static const std::vector<Field> quince{{"density", 34, 'b'},
                                           {"code_page", 55, 'b'},
                                           {"paper_type", 58, 'b'},
                                           {"paper_list", 59, 'b'},
                                           {"label_max_mm", 70, 'd'},
                                           {"print_method", 76, 'b'},
                                           {"auto_position", 83, 'b'},
                                           {"dhcp", 84, 'b'},
                                           {"ip", 88, 'i'},
                                           {"subnet", 92, 'i'},
                                           {"gateway", 96, 'i'},
                                           {"reprint_after_error", 100, 'b'},
                                           {"small_label", 101, 'b'},
                                           {"anti_stick_min", 104, 'b'},
                                           {"speed_ips", 126, 'b'},
                                           {"heat", 128, 'h'}};
    static const std::vector<Field> sumac{
        {"stop_position", 8, 'b'},   {"h_origin", 12, 'b'},
        {"v_origin", 14, 'b'},       {"baud_rate", 52, 'b'},
        {"density", 57, 'b'},        {"code_page", 58, 'b'},
        {"detect_mode", 60, 'b'},    {"buzzer", 68, 'b'},
        {"backlight", 69, 'b'},      {"reprint_after_error", 76, 'b'},
        {"speed_ips", 78, 'b'},      {"sensor_location", 79, 'b'},
        {"reprint_notice", 80, 'b'}, {"power_protect", 81, 'b'},
        {"anti_stick_min", 82, 'b'}, {"heat", 84, 'h'},
        {"bt_name", 215, 't'},       {"bt_pin", 231, 'p'},
        {"bt_pairing", 236, 'b'}};
    static const std::vector<Field> none;
    switch (l) {
    case Layout::Alder:
        return alder;
    case Layout::Maple:
        return maple;
    case Layout::Quince:
        return quince;
    case Layout::Sumac:
        return sumac;
    case Layout::None:
        break;
    }
    return none;
}

} // namespace

const std::vector<FixedCommand>& BlockProtocol::commands() {
    static const std::vector<FixedCommand> table{
        {"block-read", {0x5A, 0x5A, 0x5A, 0x43, 0x52, 0x0A}, "tspl"},
        {"block-read", {0x12, 0x62}, "esc"},
        {"block-write", {0x5A, 0x5A, 0x5A, 0x43, 0x57, 0x20}, "tspl"},
        {"block-write", {0x12, 0x63}, "esc"},
    };
    return table;
}

void BlockProtocol::command(int link, const FixedCommand& c, PendingWrite& pending, Actions& out) {
    std::string kind = c.kind;
    std::string form = c.form;
    if (kind == "block-write") {
        pending.active = true;
        pending.command = c.bytes;
        pending.form = form;
        return;
    }
    JsonLine j(kind);
    j.hex(c.bytes);
    j.str("form", form);
    bool tsplForm = form == "tspl";
    bool mismatch = p_.profile.protocol == Protocol::Block && (p_.emulation() == 0) == tsplForm;
    j.num("emulation", p_.emulation()).flag("emulation_mismatch", mismatch);
    Bytes data = p_.block;
    if (p_.profile.protocol != Protocol::Block) {
        j.str("note", "key-value model: no parameter block, no reply");
        p_.write(j);
        return;
    }
    if (p_.faults.badChecksum && p_.faults.appliesTo(kind)) {
        data[254] ^= 0xFF;
        j.flag("fault_bad_checksum", true);
    }
    p_.write(j);
    reply(out, link, kind, std::move(data));
}

void BlockProtocol::write(PendingWrite& pending, Bytes& buf, Actions& out) {
    Bytes incoming(buf.begin(), buf.begin() + 256);
    buf.erase(buf.begin(), buf.begin() + 256);
    pending.active = false;
    out.stateChanged = true;
    Bytes all = pending.command;
    all.insert(all.end(), incoming.begin(), incoming.end());
    std::uint16_t want = Checksum16(incoming, 254);
    std::uint16_t got = le16(&incoming[254]);
    std::string reason;
    if (p_.profile.protocol != Protocol::Block) {
        reason = "key-value model has no parameter block";
    } else if (incoming[0] != 0x78) {
        reason = "marker";
    } else if (want != got) {
        reason = "checksum";
    }
    if (!reason.empty()) {
        JsonLine j("block-write-rejected");
        j.hex(all).str("form", pending.form).str("reason", reason);
        j.num("checksum_expected", want).num("checksum_received", got);
        p_.write(j);
        return;
    }
    Bytes& block = p_.block;
    std::string changed = "[";
    bool first = true;
    for (int i = 1; i < 254; ++i) {
        if (incoming[static_cast<std::size_t>(i)] != block[static_cast<std::size_t>(i)]) {
            changed += (first ? "" : ",") + std::string("{\"offset\":") + std::to_string(i) +
                       ",\"old\":" + std::to_string(block[static_cast<std::size_t>(i)]) +
                       ",\"new\":" + std::to_string(incoming[static_cast<std::size_t>(i)]) + "}";
            first = false;
        }
    }
    changed += "]";
    JsonLine j("block-write");
    j.hex(all).str("form", pending.form).raw("changed", changed);
    if (p_.faults.ignoreWrites) {
        // Accepted as usual, but the stored block stays: "fields" shows what
        // was received, a read answers the old block.
        j.raw("fields", fieldsJson(incoming)).flag("fault_ignored", true);
    } else {
        block = incoming;
        j.raw("fields", fieldsJson(block));
    }
    p_.write(j);
}

void BlockProtocol::writeTimedOut(PendingWrite& pending, Bytes& buf) {
    Bytes all = pending.command;
    all.insert(all.end(), buf.begin(), buf.end());
    JsonLine j("block-write-rejected");
    j.hex(all).str("form", pending.form).str("reason", "incomplete");
    j.num("received", static_cast<long long>(buf.size()));
    p_.write(j);
    buf.clear();
    pending.active = false;
}

void BlockProtocol::writeCutByClose(const PendingWrite& pending, std::size_t received) {
    JsonLine j("block-write-rejected");
    j.hex(pending.command)
        .str("reason", "incomplete")
        .num("received", static_cast<long long>(received));
    p_.write(j);
}

std::string BlockProtocol::fieldsJson(const Bytes& b) const {
    std::string s = "{";
    bool first = true;
    for (const auto& f : layoutFields(p_.profile.layout)) {
        auto o = static_cast<std::size_t>(f.offset);
        std::string v;
        switch (f.enc) {
        case 'b':
            v = std::to_string(b[o]);
            break;
        case 'd':
            v = std::to_string(le16(&b[o]) / 8);
            break;
        case 'h':
            v = std::to_string(b[o + 1] != 0 ? static_cast<int>(b[o]) - 256 : b[o]);
            break;
        case 'i':
            v = jsonQuote(std::to_string(b[o]) + "." + std::to_string(b[o + 1]) + "." +
                          std::to_string(b[o + 2]) + "." + std::to_string(b[o + 3]));
            break;
        case 't':
            v = jsonQuote(leadingText(&b[o], 16));
            break;
        case 'p':
            v = jsonQuote(leadingText(&b[o], 4));
            break;
        case 'v': {
            char buf[32];
            std::snprintf(buf, sizeof buf, "%.2f", le16(&b[o]) * 3.3 / 4096.0);
            v = buf;
            break;
        }
        }
        s += (first ? "" : ",") + jsonQuote(f.name) + ":" + v;
        first = false;
    }
    return s + "}";
}

} // namespace vp
