#include "KeyValueProtocol.h"

#include <algorithm>
#include <cstring>
#include <set>
#include <sstream>

namespace vp {

namespace {

bool parseQuoted(const std::string& s, std::vector<std::string>& tokens, std::string& error) {
    std::size_t i = 0;
    while (i < s.size()) {
        if (s[i] != '"') {
            error = "expected a double quote at " + std::to_string(i);
            return false;
        }
        std::size_t e = s.find('"', i + 1);
        if (e == std::string::npos) {
            error = "unclosed double quote";
            return false;
        }
        tokens.push_back(s.substr(i + 1, e - i - 1));
        i = e + 1;
        if (i == s.size()) {
            break;
        }
        if (s[i] != ' ') {
            error = "expected a space after a quoted piece";
            return false;
        }
        ++i;
        if (i == s.size()) {
            error = "trailing space";
            return false;
        }
    }
    if (tokens.empty()) {
        error = "no key";
        return false;
    }
    return true;
}

bool isIpv4(const std::string& s) {
    std::stringstream ss(s);
    std::string part;
    int n = 0;
    while (std::getline(ss, part, '.')) {
        long long v = 0;
        if (!isInteger(part, v) || v < 0 || v > 255) {
            return false;
        }
        ++n;
    }
    return n == 4 && s.back() != '.';
}

// Checks a value written with setval; empty text = accepted.
std::string checkValue(const std::string& key, std::string& value) {
    static const std::map<std::string, std::vector<std::string>> words{
        {"eth_dhcp", {"on", "off"}},
        {"wlan_dhcp", {"on", "off"}},
        {"reprint_after_error", {"on", "off"}},
        {"sw_ribbon", {"on", "off"}},
        {"autoform_switch", {"on", "off"}},
        {"platenin_locat", {"on", "off"}},
        {"platenin_enter_pause", {"on", "off"}},
        {"media_sensor", {"gap", "black mark", "continuous"}},
        {"print_mode", {"tear", "peel", "cutter"}},
        {"ppl", {"tsc", "zpl", "epl"}},
        {"sensor_select", {"reflective", "transmissive"}},
        {"media_power_up", {"none", "calibation"}},
        {"com_parity", {"none", "odd", "even"}},
        {"com_stopbits", {"1", "2"}},
        {"com_wordlength", {"7", "8"}},
        {"com_baud", {"4800", "9600", "19200", "38400", "57600", "115200"}},
    };
    static const std::map<std::string, std::pair<int, int>> ranges{{"density", {0, 30}},
                                                                   {"speed", {1, 12}},
                                                                   {"heat_adj", {-50, 50}},
                                                                   {"tear_off", {-120, 120}}};
    if (auto w = words.find(key); w != words.end()) {
        if (std::find(w->second.begin(), w->second.end(), value) == w->second.end()) {
            return "not one of the accepted words";
        }
        return "";
    }
    if (auto r = ranges.find(key); r != ranges.end()) {
        long long v = 0;
        if (!isInteger(value, v) || v < r->second.first || v > r->second.second) {
            return "not a whole number in " + std::to_string(r->second.first) + ".." +
                   std::to_string(r->second.second);
        }
        return "";
    }
    if (key == "eth_ip" || key == "eth_mask" || key == "eth_gateway") {
        // The program writes each of the four parts followed by a dot; the
        // printer keeps the address without the final dot.
        std::string v = value;
        if (!v.empty() && v.back() == '.') {
            v.pop_back();
        }
        if (!isIpv4(v)) {
            return "not an IPv4 address";
        }
        value = v;
        return "";
    }
    if (key == "bt_pwd") {
        if (value.size() != 4 ||
            !std::all_of(value.begin(), value.end(), [](char c) { return c >= '0' && c <= '9'; })) {
            return "not four digits";
        }
        return "";
    }
    if (key == "bt_name") {
        if (value.empty() || value.size() > 16) {
            return "empty or longer than 16 characters";
        }
        return "";
    }
    return "";
}

} // namespace

const std::vector<std::string>& knownKeys() {
    static const std::vector<std::string> keys{"calibrate_sensor",
                                               "factory_default",
                                               "reset_printer",
                                               "print_test_page",
                                               "configguration_page",
                                               "tph_test_page",
                                               "dump_text",
                                               "dfu",
                                               "update_firmware",
                                               "graph_sensor",
                                               "download",
                                               "delete",
                                               "print",
                                               "font_download_quick",
                                               "wifi_default",
                                               "wifi_read_params",
                                               "wifi_update_params",
                                               "com_baud",
                                               "com_flow",
                                               "com_wordlength",
                                               "com_stopbits",
                                               "com_parity",
                                               "bt_baud",
                                               "bt_name",
                                               "bt_pwd",
                                               "bt_mac",
                                               "eth_dhcp",
                                               "eth_ip",
                                               "eth_mask",
                                               "eth_gateway",
                                               "eth_mac",
                                               "wlan_ssid",
                                               "wlan_encry",
                                               "wlan_key",
                                               "wlan_dhcp",
                                               "wlan_ip",
                                               "wlan_mask",
                                               "wlan_gateway",
                                               "wlan_mac",
                                               "dpi",
                                               "dpl",
                                               "heat_adj",
                                               "density",
                                               "speed",
                                               "sw_ribbon",
                                               "sw_cutter",
                                               "sw_peeloff",
                                               "pwm",
                                               "dis_of_tearoff",
                                               "dis_of_thermal",
                                               "year",
                                               "month",
                                               "date",
                                               "hour",
                                               "minute",
                                               "second",
                                               "lcd_language",
                                               "lcd_pwd",
                                               "darkness",
                                               "print_speed",
                                               "label_width",
                                               "control_codes",
                                               "column_offset",
                                               "row_offset",
                                               "control_prefix",
                                               "format_prefix",
                                               "delimiter_char",
                                               "label_top",
                                               "letf_position",
                                               "print_width",
                                               "ppl",
                                               "unit",
                                               "media_sensor",
                                               "paper_width",
                                               "paper_height",
                                               "reference_x",
                                               "reference_y",
                                               "offset",
                                               "shift_x",
                                               "shift_y",
                                               "code_page",
                                               "country_code",
                                               "max_length",
                                               "print_mode",
                                               "version",
                                               "serial_no",
                                               "mileage_reset",
                                               "mileage",
                                               "cutter_cnt_reset",
                                               "cutter_cnt",
                                               "cut_piece",
                                               "direction",
                                               "mirron",
                                               "reprint_after_error",
                                               "media_power_up",
                                               "head_close",
                                               "tear_off",
                                               "printer_status",
                                               "print_method",
                                               "sensor_select",
                                               "heat_sw",
                                               "speed_sw",
                                               "top_of_form_backup",
                                               "calibration_paper_len",
                                               "calibration_gap_len",
                                               "fonts",
                                               "userfont_download",
                                               "bitmaps",
                                               "labels",
                                               "autoform",
                                               "autoform_switch",
                                               "use_capacity",
                                               "remain_capacity",
                                               "use_capacity_ram",
                                               "remain_capacity_ram",
                                               "lcd_logo_capacity",
                                               "lcd_mcu_ver",
                                               "lcd_osd_ver",
                                               "platenin_locat",
                                               "platenin_enter_pause",
                                               "font_language",
                                               "wifi_version",
                                               "wifi_mac",
                                               "wifi_mode",
                                               "wifi_name",
                                               "wifi_password",
                                               "wifi_dhcp",
                                               "wifi_ip",
                                               "wifi_ap_channel"};
    return keys;
}

const Bytes& KeyValueProtocol::prefix() {
    static const Bytes p{0x1B, 0x1C, 0x26, 0x20, 0x56, 0x31, 0x20};
    return p;
}

const Bytes& KeyValueProtocol::shortPrefix() {
    static const Bytes p{0x1B, 0x1C, 0x26, 0x20, 0x56, 0x20};
    return p;
}

bool KeyValueProtocol::startsLine(const Bytes& buf, std::size_t at) {
    return startsWith(buf, at, prefix()) || startsWith(buf, at, shortPrefix());
}

bool KeyValueProtocol::partialPrefix(const Bytes& buf) {
    return partialOf(buf, 0, prefix()) || partialOf(buf, 0, shortPrefix());
}

bool KeyValueProtocol::take(int link, Bytes& buf, Actions& out) {
    static const Bytes kCrLf{0x0D, 0x0A};
    auto crlf = std::search(buf.begin(), buf.end(), kCrLf.begin(), kCrLf.end());
    if (crlf == buf.end()) {
        if (buf.size() > 4096) {
            JsonLine j("kv-malformed");
            j.hex(buf).str("error", "no CR LF within 4096 bytes");
            p_.write(j);
            buf.clear();
        }
        return false;
    }
    Bytes l(buf.begin(), crlf + 2);
    buf.erase(buf.begin(), crlf + 2);
    line(link, l, out);
    return true;
}

void KeyValueProtocol::cutShort(const Bytes& rest) {
    JsonLine j("kv-malformed");
    j.hex(rest).str("error", "no CR LF at the end");
    p_.write(j);
}

void KeyValueProtocol::line(int link, const Bytes& line, Actions& out) {
    bool secondPrefix = startsWith(line, 0, shortPrefix());
    std::size_t p = secondPrefix ? shortPrefix().size() : prefix().size();
    std::string body(line.begin() + static_cast<std::ptrdiff_t>(p), line.end() - 2);
    std::string verb;
    for (const char* v : {"do ", "setval ", "getval ", "getkey ", "setkey "}) {
        if (body.rfind(v, 0) == 0) {
            verb = std::string(v, std::strlen(v) - 1);
            break;
        }
    }
    std::vector<std::string> tokens;
    std::string error;
    if (verb.empty()) {
        error = "unknown verb";
    } else if (!parseQuoted(body.substr(verb.size() + 1), tokens, error)) {
        // error set
    } else if (secondPrefix) {
        error = "second prefix (1B 1C 26 20 56 20) is not answered";
    } else if (verb == "getval" && tokens.size() != 1) {
        error = "getval takes one key";
    } else if (verb == "setval" && tokens.size() != 2) {
        error = "setval takes a key and a value";
    } else if (verb == "do" && tokens.size() > 3) {
        error = "do takes at most a key, a sub-key and an argument";
    } else if (verb == "getkey" || verb == "setkey") {
        error = "verb " + verb + " is not answered";
    }
    if (!error.empty()) {
        JsonLine j("kv-malformed");
        j.hex(line).str("error", error).str("line", body);
        p_.write(j);
        return;
    }
    JsonLine j(verb);
    j.hex(line).str("key", tokens[0]);
    bool known = std::find(knownKeys().begin(), knownKeys().end(), tokens[0]) != knownKeys().end();
    j.flag("known", known);
    if (verb == "getval") {
        getval(link, tokens[0], j, out);
    } else if (verb == "setval") {
        if (!known) {
            j.str("value", tokens[1]).flag("accepted", false).str("error", "unknown key");
            p_.write(j);
            return;
        }
        setval(tokens[0], tokens[1], j, out);
    } else {
        doCommand(link, tokens, j, out);
    }
}

void KeyValueProtocol::getval(int link, const std::string& key, JsonLine& j, Actions& out) {
    std::string v;
    if (key == "bitmaps" || key == "fonts" || key == "labels" || key == "autoform") {
        v = p_.listOf(key);
    } else if (key == "use_capacity") {
        v = std::to_string(p_.usedBytes('E'));
    } else if (key == "remain_capacity") {
        v = std::to_string(std::max(0LL, p_.capacity('E') - p_.usedBytes('E')));
    } else if (key == "use_capacity_ram") {
        v = std::to_string(p_.usedBytes('R'));
    } else if (key == "remain_capacity_ram") {
        v = std::to_string(std::max(0LL, p_.capacity('R') - p_.usedBytes('R')));
    } else {
        v = p_.value(key);
    }
    j.str("value", v);
    p_.write(j);
    Bytes data = toBytes(v);
    data.push_back(0x00);
    reply(out, link, "getval", std::move(data));
}

void KeyValueProtocol::setval(const std::string& key, const std::string& value, JsonLine& j,
                              Actions& out) {
    std::string v = value;
    j.str("value", value);
    if (key == "bitmaps" || key == "fonts" || key == "labels" || key == "autoform" ||
        key == "use_capacity" || key == "remain_capacity" || key == "use_capacity_ram" ||
        key == "remain_capacity_ram" || key == "version" || key == "serial_no" || key == "dpi" ||
        key == "mileage") {
        j.flag("accepted", false).str("error", "read-only key");
        p_.write(j);
        return;
    }
    std::string error = checkValue(key, v);
    if (!error.empty()) {
        j.flag("accepted", false).str("error", error);
        p_.write(j);
        return;
    }
    std::string old = p_.value(key);
    j.flag("accepted", true).str("old", old);
    if (p_.faults.ignoreWrites) {
        // Accepted as usual, but the key store keeps the old value.
        j.flag("fault_ignored", true);
        p_.write(j);
        return;
    }
    p_.keys[key] = v;
    if (v != value) {
        j.str("stored", v);
    }
    if (key == "ppl") {
        j.num("emulation", p_.emulation());
    }
    p_.write(j);
    out.stateChanged = true;
}

void KeyValueProtocol::doCommand(int link, const std::vector<std::string>& t, JsonLine& j,
                                 Actions& out) {
    const std::string& action = t[0];
    if (t.size() >= 2) {
        j.str(t.size() == 3 ? "class" : "argument", t[1]);
    }
    if (t.size() == 3) {
        j.str("name", t[2]);
    }
    if (action == "factory_default") {
        p_.factoryDefaults();
        out.stateChanged = true;
        j.flag("restored", true);
    } else if (action == "reset_printer") {
        if (downloads_.active()) {
            downloads_.abort("printer reset");
        }
        j.flag("restarted", true);
    } else if (action == "dfu") {
        if (downloads_.active()) {
            downloads_.abort("firmware-update mode");
        }
        firmware_.enter(link);
        j.flag("firmware_mode", true);
    } else if (action == "download" || action == "userfont_download") {
        downloads_.announce(link, t, j, out);
        return;
    } else if (action == "delete" || action == "print") {
        if (t.size() != 3) {
            j.flag("found", false).str("error", "expected a storage class and a name");
        } else {
            auto it = std::find_if(p_.files.begin(), p_.files.end(), [&](const StoredFile& f) {
                return f.storageClass == t[1] && f.name == t[2];
            });
            j.flag("found", it != p_.files.end());
            if (it != p_.files.end() && action == "delete") {
                p_.files.erase(it);
                out.stateChanged = true;
            }
        }
    }
    p_.write(j);
}

} // namespace vp
