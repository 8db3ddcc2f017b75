#include "Engine.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <fstream>
#include <sstream>

namespace vp {

namespace {

const Bytes kKvPrefix{0x1B, 0x1C, 0x26, 0x20, 0x56, 0x31, 0x20};
const Bytes kKvPrefixShort{0x1B, 0x1C, 0x26, 0x20, 0x56, 0x20};
const Bytes kPacketMarker{0xDD, 0xCC, 0xBB, 0xAA};
constexpr std::size_t kFirmwareHeader = 76;
// Bytes without a line end beyond this are journaled at once, not kept.
constexpr std::size_t kLongestLine = 65536;
constexpr std::uint32_t kFirmwareBodyMax = 64u * 1024u * 1024u;

struct Fixed {
    const char* kind;
    Bytes bytes;
    const char* form;
};

// Commands recognised by their exact bytes wherever a command may begin.
const std::vector<Fixed>& fixedCommands() {
    static const std::vector<Fixed> table{
        {"block-read", {0x5A, 0x5A, 0x5A, 0x43, 0x52, 0x0A}, "tspl"},
        {"block-read", {0x12, 0x62}, "esc"},
        {"block-write", {0x5A, 0x5A, 0x5A, 0x43, 0x57, 0x20}, "tspl"},
        {"block-write", {0x12, 0x63}, "esc"},
        {"emulation-query", {0x1B, 0x1B, 0x08}, ""},
        {"config-page", {0x1D, 0x28, 0x41, 0x02, 0x00, 0x00, 0x01}, "esc-maple"},
        {"config-page", {0x1D, 0x28, 0x41, 0x02, 0x00, 0x00, 0x02}, "esc"},
        {"factory-default", {0x1B, 0x1B, 0x20}, "esc-maple"},
        {"factory-default", {0x1B, 0x21, 0x52}, "standard"},
        {"module-test", {0x1B, 0x1B, 0x04}, "esc-other"},
        {"module-test", {0x12, 0x56}, "esc"},
        {"esc-standard-mode", {0x1B, 0x53}, ""},
    };
    return table;
}

// Text commands: one line each, CR LF (or a lone LF) at the end.
const std::map<std::string, std::string>& textCommands() {
    static const std::map<std::string, std::string> table{
        {"ZZZGETVERSION", "version-query"},
        {"ZZZGETJOURNEY", "journey-query"},
        {"ZZZGETSN", "serial-query"},
        {"SELFTEST", "self-test"},
        {"ZZZLEARN", "learn"},
        {"ZZZDENSITYTST", "density-test"},
        {"ZZZDFUMODE", "dfu-mode"},
    };
    return table;
}

const std::set<std::string>& tsplWords() {
    static const std::set<std::string> w{
        "SIZE",    "GAP",       "BLINE",     "OFFSET",    "SPEED",
        "DENSITY", "DIRECTION", "REFERENCE", "SHIFT",     "CODEPAGE",
        "CLS",     "FEED",      "BACKFEED",  "FORMFEED",  "HOME",
        "PRINT",   "SOUND",     "CUT",       "LIMITFEED", "SELFTEST",
        "TEXT",    "BLOCK",     "BAR",       "BARCODE",   "BITMAP",
        "BOX",     "CIRCLE",    "ELLIPSE",   "ERASE",     "PUTBMP",
        "PUTPCX",  "QRCODE",    "REVERSE",   "DOWNLOAD",  "EOP",
        "KILL",    "MOVE",      "RUN",       "SET",       "INITIALPRINTER",
        "DMATRIX", "PDF417",    "AZTEC",     "MAXICODE",  "TLC39",
        "RSS",     "CODABLOCK", "DIAGONAL",  "EOJ",       "DELAY"};
    return w;
}

bool startsWith(const Bytes& buf, std::size_t at, const Bytes& p) {
    if (buf.size() - at < p.size()) {
        return false;
    }
    return std::equal(p.begin(), p.end(), buf.begin() + static_cast<std::ptrdiff_t>(at));
}

// The bytes from `at` are the beginning of p (but shorter).
bool partialOf(const Bytes& buf, std::size_t at, const Bytes& p) {
    std::size_t have = buf.size() - at;
    if (have >= p.size()) {
        return false;
    }
    return std::equal(buf.begin() + static_cast<std::ptrdiff_t>(at), buf.end(), p.begin());
}

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

bool isInteger(const std::string& s, long long& v) {
    if (s.empty()) {
        return false;
    }
    char* end = nullptr;
    v = std::strtoll(s.c_str(), &end, 10);
    return *end == '\0';
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

std::string lastQuoted(const std::string& s) {
    auto e = s.rfind('"');
    if (e == std::string::npos || e == 0) {
        return "";
    }
    auto b = s.rfind('"', e - 1);
    if (b == std::string::npos) {
        return "";
    }
    return s.substr(b + 1, e - b - 1);
}

std::string firstQuoted(const std::string& s) {
    auto b = s.find('"');
    if (b == std::string::npos) {
        return "";
    }
    auto e = s.find('"', b + 1);
    if (e == std::string::npos) {
        return "";
    }
    return s.substr(b + 1, e - b - 1);
}

std::string firstWord(const std::string& s) {
    std::size_t i = 0;
    while (i < s.size() && ((s[i] >= 'A' && s[i] <= 'Z') || (s[i] >= 'a' && s[i] <= 'z'))) {
        ++i;
    }
    if (i < s.size() && s[i] != ' ') {
        return "";
    }
    std::string w = s.substr(0, i);
    for (char& c : w) {
        if (c >= 'a' && c <= 'z') {
            c = static_cast<char>(c - 'a' + 'A');
        }
    }
    return w;
}

std::string restAfterWord(const std::string& s) {
    auto sp = s.find(' ');
    return sp == std::string::npos ? "" : trim(s.substr(sp + 1));
}

bool printableText(const Bytes& b) {
    for (auto c : b) {
        if (c < 0x20 && c != '\r' && c != '\n' && c != '\t') {
            return false;
        }
        if (c == 0x7F) {
            return false;
        }
    }
    return true;
}

std::string versionText(const std::vector<int>& v) {
    std::string s;
    for (std::size_t i = 0; i < v.size(); ++i) {
        s += (i ? "." : "") + std::to_string(v[i]);
    }
    return s;
}

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

Bytes PacketAck(const Bytes& packet, int status, bool wrongChecksum) {
    Bytes ack(packet.begin(), packet.begin() + 8);
    ack.push_back(static_cast<std::uint8_t>(status & 0xFF));
    ack.push_back(static_cast<std::uint8_t>((status >> 8) & 0xFF));
    std::uint16_t sum = Checksum16(ack, 10);
    if (wrongChecksum) {
        sum = static_cast<std::uint16_t>(sum ^ 0xFFFF);
    }
    ack.push_back(static_cast<std::uint8_t>(sum & 0xFF));
    ack.push_back(static_cast<std::uint8_t>(sum >> 8));
    return ack;
}

Engine::Engine(Profile profile, Journal& journal, Faults& faults)
    : profile_(std::move(profile)), journal_(journal), faults_(faults) {
    block_ = profile_.block;
    keys_ = profile_.keys;
    for (const auto& f : profile_.files) {
        files_.push_back(StoredFile{f.storageClass, f.name, f.data});
    }
}

int Engine::emulation() const {
    if (profile_.protocol == Protocol::KeyValue) {
        std::string ppl = lowerAscii(value("ppl"));
        if (ppl == "zpl") {
            return 4;
        }
        if (ppl == "epl") {
            return 5;
        }
        return 1;
    }
    if (profile_.emulationOffset > 0) {
        return block_[static_cast<std::size_t>(profile_.emulationOffset)];
    }
    return profile_.emulation;
}

void Engine::setEmulationOverride(int code) {
    profile_.emulation = code;
    if (profile_.protocol == Protocol::KeyValue) {
        std::string ppl = code == 4 ? "zpl" : code == 5 ? "epl" : "tsc";
        profile_.keys["ppl"] = ppl;
        keys_["ppl"] = ppl;
    } else if (profile_.emulationOffset > 0) {
        auto off = static_cast<std::size_t>(profile_.emulationOffset);
        profile_.block[off] = static_cast<std::uint8_t>(code);
        sealBlock(profile_.block);
        block_[off] = static_cast<std::uint8_t>(code);
        sealBlock(block_);
    }
}

std::string Engine::value(const std::string& key) const {
    auto it = keys_.find(key);
    return it == keys_.end() ? std::string() : it->second;
}

void Engine::linkOpened(int link, const std::string& transport) {
    links_[link] = Link{};
    JsonLine j("connect");
    j.num("link", link).str("transport", transport);
    journal(j);
}

void Engine::linkClosed(int link, Clock::time_point now, Actions& out) {
    auto it = links_.find(link);
    if (it == links_.end()) {
        return;
    }
    Link& l = it->second;
    if (!l.buf.empty() && !l.blockPending) {
        Bytes rest = l.buf;
        l.buf.clear();
        handleLine(link, l, rest, false, now, out);
    } else if (l.blockPending) {
        JsonLine j("block-write-rejected");
        j.hex(l.blockCommand)
            .str("reason", "incomplete")
            .num("received", static_cast<long long>(l.buf.size()));
        journal(j);
    }
    if (l.job != Link::Job::None) {
        finishJob(l, false);
    }
    JsonLine j("disconnect");
    j.num("link", link);
    journal(j);
    links_.erase(it);
}

void Engine::reply(Actions& out, int link, const std::string& kind, Bytes data) {
    out.replies.push_back(Reply{link, kind, std::move(data)});
}

void Engine::feed(int link, const std::uint8_t* data, std::size_t count, Clock::time_point now,
                  Actions& out) {
    auto it = links_.find(link);
    if (it == links_.end()) {
        it = links_.emplace(link, Link{}).first;
    }
    Link& l = it->second;
    if (l.dropped) {
        return;
    }
    now_ = now;
    l.buf.insert(l.buf.end(), data, data + count);
    l.lastByte = now;
    process(link, l, now, out);
}

void Engine::process(int link, Link& l, Clock::time_point now, Actions& out) {
    while (!l.buf.empty() && !l.dropped) {
        if (l.blockPending) {
            if (l.buf.size() < 256) {
                return;
            }
            handleBlockWrite(link, l, out);
            out.stateChanged = true;
            continue;
        }
        if (firmware_.active) {
            if (firmware_.inBody || firmware_.gotHeader ||
                !(startsWith(l.buf, 0, kKvPrefix) || partialOf(l.buf, 0, kKvPrefix))) {
                if (!processFirmware(link, l, now, out)) {
                    return;
                }
                continue;
            }
            JsonLine j("firmware-aborted");
            j.str("reason", "a command arrived instead of a package header");
            journal(j);
            firmware_ = Firmware{};
        }
        if (download_.active) {
            if (startsWith(l.buf, 0, kPacketMarker) || partialOf(l.buf, 0, kPacketMarker)) {
                if (l.buf.size() < kDownloadPacketSize) {
                    return;
                }
                handlePacket(link, l, out);
                continue;
            }
            abortDownload("a command arrived instead of a packet");
        } else if (startsWith(l.buf, 0, kPacketMarker) && l.buf.size() >= kDownloadPacketSize) {
            handlePacket(link, l, out);
            continue;
        }
        if (startsWith(l.buf, 0, kKvPrefix) || startsWith(l.buf, 0, kKvPrefixShort)) {
            static const Bytes kCrLf{0x0D, 0x0A};
            auto crlf = std::search(l.buf.begin(), l.buf.end(), kCrLf.begin(), kCrLf.end());
            if (crlf == l.buf.end()) {
                if (l.buf.size() > 4096) {
                    JsonLine j("kv-malformed");
                    j.hex(l.buf).str("error", "no CR LF within 4096 bytes");
                    journal(j);
                    l.buf.clear();
                }
                return;
            }
            Bytes line(l.buf.begin(), crlf + 2);
            l.buf.erase(l.buf.begin(), crlf + 2);
            handleKvLine(link, line, out);
            continue;
        }
        if (partialOf(l.buf, 0, kKvPrefix) || partialOf(l.buf, 0, kKvPrefixShort)) {
            return;
        }
        bool partial = false;
        if (handleFixed(link, l, out, partial)) {
            continue;
        }
        if (partial) {
            return;
        }
        // Text: up to a line feed, or up to the start of a recognised command.
        std::size_t end = l.buf.size();
        bool terminated = false;
        for (std::size_t i = 0; i < l.buf.size(); ++i) {
            if (l.buf[i] == '\n') {
                end = i + 1;
                terminated = true;
                break;
            }
            if (i > 0) {
                bool starts = startsWith(l.buf, i, kKvPrefix) ||
                              startsWith(l.buf, i, kKvPrefixShort) ||
                              (download_.active && startsWith(l.buf, i, kPacketMarker));
                for (const auto& f : fixedCommands()) {
                    if (f.bytes[0] < 0x20 && startsWith(l.buf, i, f.bytes)) {
                        starts = true;
                    }
                }
                if (starts) {
                    end = i;
                    break;
                }
            }
        }
        if (!terminated && end == l.buf.size() && l.buf.size() <= kLongestLine) {
            return; // wait for the rest of the line (or the quiet time)
        }
        Bytes line(l.buf.begin(), l.buf.begin() + static_cast<std::ptrdiff_t>(end));
        l.buf.erase(l.buf.begin(), l.buf.begin() + static_cast<std::ptrdiff_t>(end));
        handleLine(link, l, line, terminated, now, out);
    }
}

bool Engine::handleFixed(int link, Link& l, Actions& out, bool& partial) {
    for (const auto& f : fixedCommands()) {
        if (partialOf(l.buf, 0, f.bytes)) {
            partial = true;
            continue;
        }
        if (!startsWith(l.buf, 0, f.bytes)) {
            continue;
        }
        l.buf.erase(l.buf.begin(), l.buf.begin() + static_cast<std::ptrdiff_t>(f.bytes.size()));
        std::string kind = f.kind;
        std::string form = f.form;
        if (kind == "block-write") {
            l.blockPending = true;
            l.blockCommand = f.bytes;
            l.blockForm = form;
            return true;
        }
        JsonLine j(kind);
        j.hex(f.bytes);
        if (!form.empty()) {
            j.str("form", form);
        }
        if (kind == "block-read") {
            bool tsplForm = form == "tspl";
            bool mismatch = profile_.protocol == Protocol::Block && (emulation() == 0) == tsplForm;
            j.num("emulation", emulation()).flag("emulation_mismatch", mismatch);
            Bytes data = block_;
            if (profile_.protocol != Protocol::Block) {
                j.str("note", "key-value model: no parameter block, no reply");
                journal(j);
                return true;
            }
            if (faults_.badChecksum && faults_.appliesTo(kind)) {
                data[254] ^= 0xFF;
                j.flag("fault_bad_checksum", true);
            }
            journal(j);
            reply(out, link, kind, std::move(data));
        } else if (kind == "emulation-query") {
            j.num("emulation", emulation());
            journal(j);
            reply(out, link, kind, Bytes{static_cast<std::uint8_t>(emulation())});
        } else if (kind == "factory-default") {
            factoryDefaults();
            out.stateChanged = true;
            j.flag("restored", true);
            journal(j);
        } else {
            journal(j);
        }
        return true;
    }
    return false;
}

void Engine::handleBlockWrite(int, Link& l, Actions&) {
    Bytes incoming(l.buf.begin(), l.buf.begin() + 256);
    l.buf.erase(l.buf.begin(), l.buf.begin() + 256);
    l.blockPending = false;
    Bytes all = l.blockCommand;
    all.insert(all.end(), incoming.begin(), incoming.end());
    std::uint16_t want = Checksum16(incoming, 254);
    std::uint16_t got = le16(&incoming[254]);
    std::string reason;
    if (profile_.protocol != Protocol::Block) {
        reason = "key-value model has no parameter block";
    } else if (incoming[0] != 0x78) {
        reason = "marker";
    } else if (want != got) {
        reason = "checksum";
    }
    if (!reason.empty()) {
        JsonLine j("block-write-rejected");
        j.hex(all).str("form", l.blockForm).str("reason", reason);
        j.num("checksum_expected", want).num("checksum_received", got);
        journal(j);
        return;
    }
    std::string changed = "[";
    bool first = true;
    for (int i = 1; i < 254; ++i) {
        if (incoming[static_cast<std::size_t>(i)] != block_[static_cast<std::size_t>(i)]) {
            changed += (first ? "" : ",") + std::string("{\"offset\":") + std::to_string(i) +
                       ",\"old\":" + std::to_string(block_[static_cast<std::size_t>(i)]) +
                       ",\"new\":" + std::to_string(incoming[static_cast<std::size_t>(i)]) + "}";
            first = false;
        }
    }
    changed += "]";
    block_ = incoming;
    JsonLine j("block-write");
    j.hex(all)
        .str("form", l.blockForm)
        .raw("changed", changed)
        .raw("fields", blockFieldsJson(block_));
    journal(j);
}

std::string Engine::blockFieldsJson(const Bytes& b) const {
    std::string s = "{";
    bool first = true;
    for (const auto& f : layoutFields(profile_.layout)) {
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

void Engine::handleKvLine(int link, const Bytes& line, Actions& out) {
    bool shortPrefix = startsWith(line, 0, kKvPrefixShort);
    std::size_t p = shortPrefix ? kKvPrefixShort.size() : kKvPrefix.size();
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
    } else if (shortPrefix) {
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
        journal(j);
        return;
    }
    JsonLine j(verb);
    j.hex(line).str("key", tokens[0]);
    bool known = std::find(knownKeys().begin(), knownKeys().end(), tokens[0]) != knownKeys().end();
    j.flag("known", known);
    if (verb == "getval") {
        handleGetval(link, tokens[0], j, out);
    } else if (verb == "setval") {
        if (!known) {
            j.str("value", tokens[1]).flag("accepted", false).str("error", "unknown key");
            journal(j);
            return;
        }
        handleSetval(tokens[0], tokens[1], j, out);
    } else {
        handleDo(link, tokens, j, out);
    }
}

std::string Engine::listOf(const std::string& storageClass) const {
    std::string s;
    for (const auto& f : files_) {
        if (f.storageClass == storageClass) {
            s += (s.empty() ? "" : ",") + f.name;
        }
    }
    if (storageClass == "autoform" && !s.empty()) {
        s += ",";
    }
    return s;
}

long long Engine::usedBytes(char memory) const {
    long long used = 0;
    for (const auto& f : files_) {
        bool ram = !f.name.empty() && f.name[0] == 'R';
        if ((memory == 'R') == ram) {
            used += static_cast<long long>(f.data.size());
        }
    }
    return used;
}

long long Engine::capacity(char memory) const {
    return memory == 'R' ? profile_.ramCapacity : profile_.storageCapacity;
}

void Engine::handleGetval(int link, const std::string& key, JsonLine& j, Actions& out) {
    std::string v;
    if (key == "bitmaps" || key == "fonts" || key == "labels" || key == "autoform") {
        v = listOf(key);
    } else if (key == "use_capacity") {
        v = std::to_string(usedBytes('E'));
    } else if (key == "remain_capacity") {
        v = std::to_string(std::max(0LL, capacity('E') - usedBytes('E')));
    } else if (key == "use_capacity_ram") {
        v = std::to_string(usedBytes('R'));
    } else if (key == "remain_capacity_ram") {
        v = std::to_string(std::max(0LL, capacity('R') - usedBytes('R')));
    } else {
        v = value(key);
    }
    j.str("value", v);
    journal(j);
    Bytes data = toBytes(v);
    data.push_back(0x00);
    reply(out, link, "getval", std::move(data));
}

void Engine::handleSetval(const std::string& key, const std::string& value, JsonLine& j,
                          Actions& out) {
    std::string v = value;
    j.str("value", value);
    if (key == "bitmaps" || key == "fonts" || key == "labels" || key == "autoform" ||
        key == "use_capacity" || key == "remain_capacity" || key == "use_capacity_ram" ||
        key == "remain_capacity_ram" || key == "version" || key == "serial_no" || key == "dpi" ||
        key == "mileage") {
        j.flag("accepted", false).str("error", "read-only key");
        journal(j);
        return;
    }
    std::string error = checkValue(key, v);
    if (!error.empty()) {
        j.flag("accepted", false).str("error", error);
        journal(j);
        return;
    }
    std::string old = this->value(key);
    keys_[key] = v;
    j.flag("accepted", true).str("old", old);
    if (v != value) {
        j.str("stored", v);
    }
    if (key == "ppl") {
        j.num("emulation", emulation());
    }
    journal(j);
    out.stateChanged = true;
}

void Engine::handleDo(int link, const std::vector<std::string>& t, JsonLine& j, Actions& out) {
    const std::string& action = t[0];
    if (t.size() >= 2) {
        j.str(t.size() == 3 ? "class" : "argument", t[1]);
    }
    if (t.size() == 3) {
        j.str("name", t[2]);
    }
    if (action == "factory_default") {
        factoryDefaults();
        out.stateChanged = true;
        j.flag("restored", true);
    } else if (action == "reset_printer") {
        if (download_.active) {
            abortDownload("printer reset");
        }
        j.flag("restarted", true);
    } else if (action == "dfu") {
        if (download_.active) {
            abortDownload("firmware-update mode");
        }
        firmware_ = Firmware{};
        firmware_.active = true;
        firmware_.link = link;
        firmware_.entered = now_;
        j.flag("firmware_mode", true);
    } else if (action == "download" || action == "userfont_download") {
        bool userFont = action == "userfont_download";
        std::string error;
        j.rename(userFont ? "userfont-announce" : "download-announce");
        static const std::set<std::string> classes{"bitmaps", "fonts", "labels", "autoform"};
        static const std::set<std::string> encodings{"gbk", "big5", "jis", "euc", "ascii"};
        if (profile_.protocol != Protocol::KeyValue) {
            error = "this model keeps no files";
        } else if (userFont && (t.size() != 2 || !encodings.count(t[1]))) {
            error = "expected one encoding: gbk, big5, jis, euc or ascii";
        } else if (!userFont && t.size() != 3) {
            error = "expected a storage class and a name";
        } else if (!userFont && !classes.count(t[1])) {
            error = "unknown storage class";
        } else if (!userFont && (t[2].size() < 3 || t[2].size() > 12 ||
                                 (t[2].rfind("R_", 0) != 0 && t[2].rfind("E_", 0) != 0) ||
                                 t[2].find(' ') != std::string::npos)) {
            error = "name must be R_ or E_ followed by 1 to 10 characters without spaces";
        }
        if (!error.empty()) {
            j.flag("accepted", false).str("error", error);
            journal(j);
            reply(out, link, j.kind(), toBytes("NG"));
            return;
        }
        if (download_.active) {
            abortDownload("a new download was announced");
        }
        download_ = Download{};
        download_.active = true;
        download_.userFont = userFont;
        download_.link = link;
        if (userFont) {
            download_.encoding = t[1];
            download_.storageClass = "userfont";
        } else {
            download_.storageClass = t[1];
            download_.name = t[2];
        }
        j.flag("accepted", true).str("announces", userFont ? "userfont-download" : "file-download");
        journal(j);
        reply(out, link, j.kind(), toBytes("OK"));
        return;
    } else if (action == "delete" || action == "print") {
        if (t.size() != 3) {
            j.flag("found", false).str("error", "expected a storage class and a name");
        } else {
            auto it = std::find_if(files_.begin(), files_.end(), [&](const StoredFile& f) {
                return f.storageClass == t[1] && f.name == t[2];
            });
            j.flag("found", it != files_.end());
            if (it != files_.end() && action == "delete") {
                files_.erase(it);
                out.stateChanged = true;
            }
        }
    }
    journal(j);
}

void Engine::abortDownload(const std::string& why) {
    if (!download_.active) {
        return;
    }
    JsonLine j(download_.userFont ? "userfont-aborted" : "download-aborted");
    j.str("class", download_.storageClass)
        .str("name", download_.name)
        .num("packets", download_.nextIndex)
        .num("bytes", static_cast<long long>(download_.data.size()))
        .str("reason", why);
    journal(j);
    download_ = Download{};
}

void Engine::handlePacket(int link, Link& l, Actions& out) {
    Bytes p(l.buf.begin(), l.buf.begin() + static_cast<std::ptrdiff_t>(kDownloadPacketSize));
    l.buf.erase(l.buf.begin(), l.buf.begin() + static_cast<std::ptrdiff_t>(kDownloadPacketSize));
    std::uint32_t index = le32(&p[4]);
    std::size_t n = le16(&p[8]);
    bool userFont = download_.active && download_.userFont;
    std::string kind = userFont ? "userfont-packet" : "download-packet";
    JsonLine j(kind);
    j.hex(p).num("index", index).num("n", static_cast<long long>(n));
    if (!download_.active) {
        j.num("status", -1).str("error", "no download was announced; not acknowledged");
        journal(j);
        return;
    }
    int status = 0;
    std::string error;
    std::uint16_t want = 0;
    std::uint16_t got = le16(&p[kDownloadPacketSize - 2]);
    if (n > kDownloadPacketData) {
        status = 3;
        error = "count above 1024";
    } else if (index != download_.nextIndex) {
        status = 2;
        error = "index out of sequence, expected " + std::to_string(download_.nextIndex);
    } else {
        want = Checksum16(p, userFont ? kDownloadPacketSize - 2 : n + 10);
        std::uint8_t fill = userFont ? 0xFF : 0x00;
        if (want != got) {
            status = 1;
            error = "checksum";
        } else if (!std::all_of(p.begin() + 10 + static_cast<std::ptrdiff_t>(n), p.end() - 2,
                                [&](std::uint8_t b) { return b == fill; })) {
            status = 4;
            error = userFont ? "fill bytes are not FF" : "fill bytes are not 00";
        } else {
            long long total = static_cast<long long>(download_.data.size() + n);
            if (userFont) {
                if (total > static_cast<long long>(kUserFontMax)) {
                    status = 5;
                    error = "user font larger than " + std::to_string(kUserFontMax);
                }
            } else {
                char mem = download_.name[0] == 'R' ? 'R' : 'E';
                long long replaced = 0;
                for (const auto& f : files_) {
                    if (f.storageClass == download_.storageClass && f.name == download_.name) {
                        replaced = static_cast<long long>(f.data.size());
                    }
                }
                if (usedBytes(mem) - replaced + total > capacity(mem)) {
                    status = 5;
                    error = "not enough free memory";
                }
            }
        }
    }
    j.num("checksum_expected", want).num("checksum_received", got);
    if (faults_.ackStatusAt >= 0 && static_cast<long long>(index) == faults_.ackStatusAt) {
        status = faults_.ackStatusValue;
        error = "fault: acknowledgement status";
    }
    j.num("status", status);
    if (!error.empty()) {
        j.str("error", error);
    }
    if (faults_.dropAfter >= 0 && static_cast<long long>(index) == faults_.dropAfter) {
        j.flag("fault_dropped", true);
        journal(j);
        out.drops.push_back(link);
        l.dropped = true;
        abortDownload("fault: connection dropped");
        return;
    }
    bool wrongChecksum = faults_.badChecksum && faults_.appliesTo(kind);
    if (wrongChecksum) {
        j.flag("fault_bad_checksum", true);
    }
    Bytes ack = PacketAck(p, status, wrongChecksum);
    journal(j);
    reply(out, link, kind, std::move(ack));
    if (status != 0) {
        abortDownload(error);
        return;
    }
    download_.data.insert(download_.data.end(), p.begin() + 10,
                          p.begin() + 10 + static_cast<std::ptrdiff_t>(n));
    ++download_.nextIndex;
    if (n == kDownloadPacketData) {
        return;
    }
    out.stateChanged = true;
    if (userFont) {
        userFont_ = StoredFile{"userfont", download_.encoding, download_.data};
        JsonLine c("userfont-complete");
        c.str("encoding", download_.encoding)
            .num("size", static_cast<long long>(download_.data.size()))
            .num("packets", download_.nextIndex);
        journal(c);
    } else {
        StoredFile f{download_.storageClass, download_.name, download_.data};
        files_.erase(std::remove_if(files_.begin(), files_.end(),
                                    [&](const StoredFile& o) {
                                        return o.storageClass == f.storageClass &&
                                               (o.name == f.name || f.storageClass == "autoform");
                                    }),
                     files_.end());
        files_.push_back(f);
        JsonLine c("download-complete");
        c.str("class", f.storageClass)
            .str("name", f.name)
            .str("memory", f.name[0] == 'R' ? "ram" : "storage")
            .num("size", static_cast<long long>(f.data.size()))
            .num("packets", download_.nextIndex);
        int w = 0, h = 0;
        if (f.storageClass == "bitmaps" && RasterRecordSize(f.data, w, h)) {
            c.num("width", w).num("height", h);
        } else if (f.storageClass == "bitmaps") {
            c.flag("raster_valid", false);
        }
        journal(c);
        writePng(f);
    }
    download_ = Download{};
}

void Engine::writePng(const StoredFile& f) {
    if (pngDir.empty() || f.storageClass != "bitmaps") {
        return;
    }
    std::string path = pngDir + "/" + f.name + ".png";
    std::string error;
    JsonLine j("png-written");
    j.str("name", f.name).str("path", path);
    if (!RasterRecordToPng(f.data, path, error)) {
        j.str("error", error);
    }
    journal(j);
}

bool Engine::processFirmware(int link, Link& l, Clock::time_point now, Actions& out) {
    Firmware& fw = firmware_;
    fw.link = link;
    fw.lastByte = now;
    if (!fw.inBody) {
        if (l.buf.size() < kFirmwareHeader) {
            return false;
        }
        Bytes h(l.buf.begin(), l.buf.begin() + kFirmwareHeader);
        l.buf.erase(l.buf.begin(), l.buf.begin() + kFirmwareHeader);
        std::uint32_t size = le32(&h[4]);
        std::string name = leadingText(&h[12], 32);
        std::string version = leadingText(&h[44], 32);
        int status = 0;
        std::string error;
        if (size == 0 || size > kFirmwareBodyMax) {
            status = 2;
            error = "body size 0 or above 64 MiB";
        } else if (name.empty()) {
            status = 6;
            error = "empty record name";
        }
        if (faults_.fwStatusValue >= 0 && faults_.fwStatusAt == fw.headerIndex) {
            status = faults_.fwStatusValue;
            error = "fault: status after header";
        }
        JsonLine j("firmware-header");
        j.hex(h).num("index", fw.headerIndex).num("size", size).num("type", h[8]);
        j.str("name", name).str("version", version).num("status", status);
        if (!error.empty()) {
            j.str("error", error);
        }
        journal(j);
        reply(out, link, "firmware-header", Bytes{static_cast<std::uint8_t>(status)});
        if (status != 0) {
            fw = Firmware{};
            return true;
        }
        fw.gotHeader = true;
        fw.inBody = true;
        fw.bodySize = size;
        fw.bodyReceived = 0;
        fw.piece.clear();
        fw.recordName = name;
        fw.records.push_back(name);
        ++fw.headerIndex;
        return true;
    }
    std::size_t take = std::min<std::size_t>(
        {l.buf.size(), static_cast<std::size_t>(fw.bodySize - fw.bodyReceived),
         1024 - fw.piece.size()});
    std::uint32_t pieceStart = fw.bodyReceived - static_cast<std::uint32_t>(fw.piece.size());
    fw.piece.insert(fw.piece.end(), l.buf.begin(),
                    l.buf.begin() + static_cast<std::ptrdiff_t>(take));
    l.buf.erase(l.buf.begin(), l.buf.begin() + static_cast<std::ptrdiff_t>(take));
    fw.bodyReceived += static_cast<std::uint32_t>(take);
    fw.totalBytes += static_cast<long long>(take);
    bool done = fw.bodyReceived == fw.bodySize;
    if (fw.piece.size() == 1024 || done) {
        JsonLine j("firmware-body");
        j.hex(fw.piece).str("record", fw.recordName).num("offset", pieceStart);
        j.num("size", static_cast<long long>(fw.piece.size())).flag("record_complete", done);
        journal(j);
        fw.piece.clear();
    }
    if (done) {
        fw.inBody = false;
    }
    return true;
}

void Engine::firmwareFinal(Actions& out, int status, const std::string& error) {
    if (faults_.fwStatusValue >= 0 && faults_.fwStatusAt < 0) {
        status = faults_.fwStatusValue;
    }
    JsonLine j("firmware-complete");
    j.raw("records", jsonArray(firmware_.records)).num("bytes", firmware_.totalBytes);
    j.num("status", status).flag("ok", status == 0 && error.empty());
    if (!error.empty()) {
        j.str("error", error);
    }
    if (firmware_.inBody) {
        j.num("expected", firmware_.bodySize).num("received", firmware_.bodyReceived);
    }
    journal(j);
    reply(out, firmware_.link, "firmware-complete", Bytes{static_cast<std::uint8_t>(status)});
    firmware_ = Firmware{};
}

void Engine::handleLine(int link, Link& l, const Bytes& line, bool terminated, Clock::time_point,
                        Actions& out) {
    std::string s(line.begin(), line.end());
    while (!s.empty() && (s.back() == '\n' || s.back() == '\r')) {
        s.pop_back();
    }
    if (terminated) {
        auto cmd = textCommands().find(s);
        if (cmd != textCommands().end()) {
            const std::string& kind = cmd->second;
            JsonLine j(kind);
            j.hex(line);
            if (kind == "version-query") {
                Bytes v;
                for (int x : profile_.version) {
                    v.push_back(static_cast<std::uint8_t>(x));
                }
                j.str("version", versionText(profile_.version));
                journal(j);
                reply(out, link, kind, v);
            } else if (kind == "journey-query") {
                auto count =
                    static_cast<std::int32_t>(std::llround(profile_.printedLengthM * 1000.0 / 3.0));
                auto u = static_cast<std::uint32_t>(count);
                j.num("count", count).real("metres", profile_.printedLengthM);
                journal(j);
                reply(out, link, kind,
                      Bytes{static_cast<std::uint8_t>(u >> 24), static_cast<std::uint8_t>(u >> 16),
                            static_cast<std::uint8_t>(u >> 8), static_cast<std::uint8_t>(u)});
            } else if (kind == "serial-query") {
                std::string serial =
                    profile_.protocol == Protocol::KeyValue ? value("serial_no") : profile_.serial;
                j.str("serial", serial);
                journal(j);
                reply(out, link, kind, toBytes(serial + "\r\n"));
            } else {
                journal(j);
            }
            return;
        }
    }
    using Job = Link::Job;
    if (l.job == Job::None) {
        std::string w = firstWord(s);
        if (s.find("^XA") != std::string::npos) {
            l.job = Job::Zpl;
        } else if (s == "N") {
            l.job = Job::Epl;
        } else if (s.size() > 2 && s[0] == '!' && s[1] == ' ' && s[2] >= '0' && s[2] <= '9') {
            l.job = Job::Cpcl;
        } else if (!w.empty() && tsplWords().count(w)) {
            l.job = Job::Tspl;
        }
        if (l.job == Job::None) {
            bool text = printableText(line);
            JsonLine j(text ? "text" : "unknown");
            j.hex(line);
            if (text) {
                j.str("text", s).flag("terminated", terminated);
            } else {
                j.str("reason", "not a recognised command");
            }
            journal(j);
            return;
        }
        l.jobLines.clear();
        l.jobBytes.clear();
    }
    l.jobLines.push_back(s);
    l.jobBytes.insert(l.jobBytes.end(), line.begin(), line.end());
    bool end = false;
    switch (l.job) {
    case Job::Tspl:
        end = firstWord(s) == "PRINT";
        break;
    case Job::Zpl:
        end = s.find("^XZ") != std::string::npos;
        break;
    case Job::Epl:
        end = s.size() >= 1 && s[0] == 'P' && std::all_of(s.begin() + 1, s.end(), [](char c) {
                  return (c >= '0' && c <= '9') || c == ',';
              });
        break;
    case Job::Cpcl:
        end = trim(s) == "PRINT";
        break;
    case Job::None:
        break;
    }
    if (end) {
        finishJob(l, true);
    }
}

void Engine::finishJob(Link& l, bool complete) {
    using Job = Link::Job;
    const char* kind = l.job == Job::Tspl  ? "job-tspl"
                       : l.job == Job::Zpl ? "job-zpl"
                       : l.job == Job::Epl ? "job-epl"
                                           : "job-cpcl";
    JsonLine j(kind);
    j.hex(l.jobBytes).raw("lines", jsonArray(l.jobLines)).flag("complete", complete);
    std::vector<std::string> texts;
    std::vector<std::string> fonts;
    for (const auto& s : l.jobLines) {
        std::string w = firstWord(s);
        if (l.job == Job::Tspl) {
            if (w == "SIZE") {
                j.str("size", restAfterWord(s));
            } else if (w == "TEXT") {
                texts.push_back(lastQuoted(s));
                fonts.push_back(firstQuoted(s));
            } else if (w == "PRINT") {
                j.str("print", restAfterWord(s));
            }
        } else if (l.job == Job::Zpl) {
            std::size_t at = 0;
            while ((at = s.find("^FD", at)) != std::string::npos) {
                auto e = s.find("^FS", at);
                texts.push_back(
                    s.substr(at + 3, e == std::string::npos ? std::string::npos : e - at - 3));
                at += 3;
            }
            auto a = s.find("^A@");
            if (a != std::string::npos) {
                // ^A@N,50,50,FONT: the font name is the text after the third comma.
                std::size_t c = a;
                for (int k = 0; k < 3 && c != std::string::npos; ++k) {
                    c = s.find(',', c + 1);
                }
                if (c != std::string::npos) {
                    auto e = s.find('^', c);
                    fonts.push_back(
                        s.substr(c + 1, e == std::string::npos ? std::string::npos : e - c - 1));
                }
            }
        } else if (l.job == Job::Epl) {
            if (!s.empty() && s[0] == 'A') {
                texts.push_back(lastQuoted(s));
            } else if (!s.empty() && s[0] == 'P' && s != "N") {
                j.str("print", s.substr(1));
            }
        } else if (l.job == Job::Cpcl) {
            if (s.size() > 2 && (s[0] == 'T' || s.rfind("TEXT ", 0) == 0) && s[1] == ' ') {
                std::istringstream in(s);
                std::string tok;
                for (int k = 0; k < 5 && in >> tok; ++k) {
                }
                std::string rest;
                std::getline(in, rest);
                texts.push_back(trim(rest));
            }
        }
    }
    j.raw("texts", jsonArray(texts));
    if (!fonts.empty()) {
        j.raw("fonts", jsonArray(fonts));
    }
    journal(j);
    l.job = Job::None;
    l.jobLines.clear();
    l.jobBytes.clear();
}

void Engine::factoryDefaults() {
    if (profile_.protocol == Protocol::Block) {
        block_ = profile_.block;
    } else {
        keys_ = profile_.keys;
    }
}

void Engine::poll(Clock::time_point now, Actions& out) {
    using std::chrono::milliseconds;
    now_ = now;
    for (auto& [id, l] : links_) {
        if (l.dropped) {
            continue;
        }
        auto quiet = now - l.lastByte;
        if (l.blockPending) {
            if (quiet >= milliseconds(blockTimeoutMs)) {
                Bytes all = l.blockCommand;
                all.insert(all.end(), l.buf.begin(), l.buf.end());
                JsonLine j("block-write-rejected");
                j.hex(all).str("form", l.blockForm).str("reason", "incomplete");
                j.num("received", static_cast<long long>(l.buf.size()));
                journal(j);
                l.buf.clear();
                l.blockPending = false;
            }
            continue;
        }
        bool firmwareLink =
            firmware_.active && firmware_.link == id && (firmware_.gotHeader || firmware_.inBody);
        if (!l.buf.empty() && !firmwareLink) {
            bool packet = download_.active && (startsWith(l.buf, 0, kPacketMarker) ||
                                               partialOf(l.buf, 0, kPacketMarker));
            if (packet && quiet >= milliseconds(packetTimeoutMs)) {
                JsonLine j(download_.userFont ? "userfont-packet" : "download-packet");
                j.hex(l.buf).num("status", -1).str("error", "packet cut short; not acknowledged");
                journal(j);
                l.buf.clear();
                abortDownload("packet cut short");
            } else if (!packet && quiet >= milliseconds(idleFlushMs)) {
                Bytes rest = l.buf;
                l.buf.clear();
                if (startsWith(rest, 0, kKvPrefix) || startsWith(rest, 0, kKvPrefixShort) ||
                    partialOf(rest, 0, kKvPrefix)) {
                    JsonLine j("kv-malformed");
                    j.hex(rest).str("error", "no CR LF at the end");
                    journal(j);
                } else {
                    handleLine(id, l, rest, false, now, out);
                }
            }
        }
        if (l.job != Link::Job::None && l.buf.empty() && quiet >= milliseconds(jobIdleMs)) {
            finishJob(l, false);
        }
    }
    if (firmware_.active) {
        auto quiet = now - firmware_.lastByte;
        auto it = links_.find(firmware_.link);
        bool pendingBytes = it != links_.end() && !it->second.buf.empty();
        if (firmware_.gotHeader && !firmware_.inBody && !pendingBytes &&
            quiet >= milliseconds(fwQuietMs)) {
            firmwareFinal(out, 0, "");
        } else if (firmware_.inBody && quiet >= milliseconds(2 * fwQuietMs)) {
            firmwareFinal(out, 5, "body shorter than its header says");
        } else if (firmware_.gotHeader && pendingBytes && quiet >= milliseconds(2 * fwQuietMs)) {
            it->second.buf.clear();
            firmwareFinal(out, 2, "header cut short");
        } else if (!firmware_.gotHeader && now - firmware_.entered >= std::chrono::seconds(60)) {
            JsonLine j("firmware-aborted");
            j.str("reason", "no package header within 60 s");
            journal(j);
            firmware_ = Firmware{};
        }
    }
}

std::optional<Clock::time_point> Engine::nextDeadline() const {
    using std::chrono::milliseconds;
    std::optional<Clock::time_point> best;
    auto consider = [&](Clock::time_point t) {
        if (!best || t < *best) {
            best = t;
        }
    };
    for (const auto& [id, l] : links_) {
        if (l.dropped) {
            continue;
        }
        if (l.blockPending) {
            consider(l.lastByte + milliseconds(blockTimeoutMs));
        } else if (!l.buf.empty()) {
            bool packet = download_.active && (startsWith(l.buf, 0, kPacketMarker) ||
                                               partialOf(l.buf, 0, kPacketMarker));
            bool firmwareLink = firmware_.active && firmware_.link == id &&
                                (firmware_.gotHeader || firmware_.inBody);
            if (!firmwareLink) {
                consider(l.lastByte + milliseconds(packet ? packetTimeoutMs : idleFlushMs));
            }
        }
        if (l.job != Link::Job::None) {
            consider(l.lastByte + milliseconds(jobIdleMs));
        }
    }
    if (firmware_.active) {
        auto it = links_.find(firmware_.link);
        bool pendingBytes = it != links_.end() && !it->second.buf.empty();
        if (firmware_.gotHeader && !firmware_.inBody && !pendingBytes) {
            consider(firmware_.lastByte + milliseconds(fwQuietMs));
        } else if (firmware_.gotHeader) {
            consider(firmware_.lastByte + milliseconds(2 * fwQuietMs));
        } else {
            consider(firmware_.entered + std::chrono::seconds(60));
        }
    }
    return best;
}

bool Engine::saveState(const std::string& path, std::string& error) const {
    std::string tmp = path + ".tmp";
    {
        std::ofstream out(tmp, std::ios::binary | std::ios::trunc);
        if (!out) {
            error = "cannot write " + tmp;
            return false;
        }
        out << "pellum-virtual-printer state 1\n";
        out << "model " << profile_.name << "\n";
        if (profile_.protocol == Protocol::Block) {
            Bytes b = block_;
            out << "block " << hexText(b) << "\n";
        }
        for (const auto& [k, v] : keys_) {
            out << "key " << k << " " << hexText(toBytes(v)) << "\n";
        }
        for (const auto& f : files_) {
            out << "file " << f.storageClass << " " << f.name << " " << hexText(f.data) << "\n";
        }
        if (userFont_) {
            out << "userfont " << userFont_->name << " " << hexText(userFont_->data) << "\n";
        }
        out.flush();
        if (!out) {
            error = "cannot write " + tmp;
            return false;
        }
    }
    if (std::rename(tmp.c_str(), path.c_str()) != 0) {
        error = "cannot rename " + tmp + " to " + path;
        return false;
    }
    return true;
}

bool Engine::loadState(const std::string& path, std::string& error) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        error = "cannot open " + path;
        return false;
    }
    std::string line;
    if (!std::getline(in, line) || line != "pellum-virtual-printer state 1") {
        error = path + " is not a virtual-printer state file";
        return false;
    }
    Bytes block = block_;
    std::map<std::string, std::string> keys;
    std::vector<StoredFile> files;
    std::optional<StoredFile> userFont;
    bool sawModel = false;
    while (std::getline(in, line)) {
        if (line.empty()) {
            continue;
        }
        auto sp = line.find(' ');
        std::string tag = line.substr(0, sp);
        std::string rest = sp == std::string::npos ? "" : line.substr(sp + 1);
        if (tag == "model") {
            if (rest != profile_.name) {
                error = path + " holds the state of " + rest + ", not " + profile_.name;
                return false;
            }
            sawModel = true;
        } else if (tag == "block") {
            Bytes b;
            if (!parseHex(rest, b) || b.size() != 256) {
                error = path + ": bad block line";
                return false;
            }
            block = b;
        } else if (tag == "key" || tag == "file" || tag == "userfont") {
            std::istringstream ls(rest);
            std::string a, b;
            ls >> a;
            if (tag == "file") {
                ls >> b;
            }
            std::string hex;
            std::getline(ls, hex);
            Bytes data;
            if (a.empty() || !parseHex(hex, data)) {
                error = path + ": bad " + tag + " line";
                return false;
            }
            if (tag == "key") {
                keys[a] = toString(data);
            } else if (tag == "file") {
                files.push_back(StoredFile{a, b, data});
            } else {
                userFont = StoredFile{"userfont", a, data};
            }
        } else {
            error = path + ": unknown line " + tag;
            return false;
        }
    }
    if (!sawModel) {
        error = path + ": no model line";
        return false;
    }
    block_ = block;
    if (profile_.protocol == Protocol::KeyValue) {
        keys_ = keys;
    }
    files_ = files;
    userFont_ = userFont;
    return true;
}

std::string Engine::control(const std::string& lineIn) {
    std::string line = trim(lineIn);
    std::vector<std::string> w;
    {
        std::istringstream in(line);
        std::string x;
        while (in >> x) {
            w.push_back(x);
        }
    }
    JsonLine j("control");
    j.str("command", line);
    journal(j);
    if (w.empty()) {
        return "ERR empty command";
    }
    const std::string& c = w[0];
    if (c == "ping") {
        return "OK pong";
    }
    if (c == "faults") {
        return "OK " + faults_.describe();
    }
    if (c == "block") {
        return "OK " + hexText(block_);
    }
    if (c == "fields") {
        return "OK " + blockFieldsJson(block_);
    }
    if (c == "set-block") {
        Bytes b;
        if (!parseHex(
                line.substr(line.find(' ') == std::string::npos ? line.size() : line.find(' ') + 1),
                b) ||
            b.size() != 256) {
            return "ERR set-block needs 256 bytes in hex";
        }
        block_ = b;
        return "OK";
    }
    if (c == "get" && w.size() == 2) {
        return "OK " + value(w[1]);
    }
    if (c == "set" && w.size() >= 2) {
        // The value is the rest of the line after the key (it may hold spaces).
        std::size_t pos = line.find_first_not_of(' ', c.size());
        pos += w[1].size();
        keys_[w[1]] = trim(line.substr(pos));
        return "OK";
    }
    if (c == "help") {
        return "OK ping faults block set-block fields get set files emulation factory png save "
               "no-reply short-reply split-reply split-pause delay bad-checksum ack-status "
               "fw-status drop-after refuse only times clear";
    }
    if (c == "files") {
        std::string s;
        for (const auto& f : files_) {
            s += (s.empty() ? "" : ",") + f.storageClass + ":" + f.name + ":" +
                 std::to_string(f.data.size());
        }
        if (userFont_) {
            s += (s.empty() ? "" : ",") + std::string("userfont:") + userFont_->name + ":" +
                 std::to_string(userFont_->data.size());
        }
        return "OK " + s;
    }
    if (c == "emulation" && w.size() == 2) {
        long long v = 0;
        if (!isInteger(w[1], v) || v < 0 || v > 255) {
            return "ERR emulation needs a code 0-255";
        }
        setEmulationOverride(static_cast<int>(v));
        return "OK";
    }
    if (c == "emulation") {
        return "OK " + std::to_string(emulation());
    }
    if (c == "factory") {
        factoryDefaults();
        return "OK";
    }
    if (c == "png" && w.size() == 3) {
        for (const auto& f : files_) {
            if (f.name == w[1] && f.storageClass == "bitmaps") {
                std::string error;
                if (!RasterRecordToPng(f.data, w[2], error)) {
                    return "ERR " + error;
                }
                return "OK";
            }
        }
        return "ERR no stored picture " + w[1];
    }
    if (c == "save" && w.size() == 2) {
        std::string error;
        if (!saveState(w[1], error)) {
            return "ERR " + error;
        }
        return "OK";
    }
    std::string error = faults_.command(w);
    if (!error.empty()) {
        return "ERR " + error;
    }
    return "OK " + faults_.describe();
}

} // namespace vp
