// The key-value command protocol: line building, the connection operations
// and the reply reading.
//
// Keys may be given with or without their double quotes ("density" or
// "\"density\""); a key without quotes gets them when the line is built, so
// the bytes on the wire are the same either way.
#include "settings/PrinterCMD.h"

#include "core/Localization.h"
#include "core/PrinterSession.h"
#include "platform/AnsiCodec.h"
#include "platform/Delay.h"

#include <array>
#include <cstdint>

namespace PrinterCMD {

namespace {

// Every line starts with ESC FS "&" " " "V" "1" " ".
const QByteArray kPrefix = QByteArray::fromHex("1B1C2620563120");
const QByteArray kCrLf = QByteArrayLiteral("\r\n");
const QByteArray kVerbDo = QByteArrayLiteral("do ");
const QByteArray kVerbSetVal = QByteArrayLiteral("setval ");
const QByteArray kVerbGetVal = QByteArrayLiteral("getval ");

// A reply is read until a NUL byte or this many bytes.
constexpr std::int32_t kReplyCapacity = 128;
// The pause between a getval line and the read of its reply.
constexpr int kReplyWaitMs = 50;

// The key as sent: ASCII, with its double quotes. An empty key stays empty.
QByteArray QuotedKey(const QString& key) {
    QByteArray k = key.toLatin1();
    if (k.isEmpty())
        return k;
    if (k.size() >= 2 && k.startsWith('"') && k.endsWith('"'))
        return k;
    return '"' + k + '"';
}

// A free-text argument between double quotes, in the ANSI code page.
QByteArray QuotedArgument(const QString& text) {
    return '"' + pellum::ToAnsi(text) + '"';
}

QString LowerAscii(const QString& text) {
    QString out = text;
    for (QChar& c : out)
        if (c >= QLatin1Char('A') && c <= QLatin1Char('Z'))
            c = QChar(c.unicode() + ('a' - 'A'));
    return out;
}

void WriteLine(pellum::PrinterSession& session, const QByteArray& line) {
    session.SetLastResult(session.Lib().Write(line));
}

// Shows the usual open failure ("_Err_OpenPort:code").
void ReportOpenFailure(std::int32_t code) {
    pellum::lang::ErrorBox(
        pellum::lang::WithCode(pellum::lang::Msg(QStringLiteral("_Err_OpenPort")), code));
}

} // namespace

const QStringList& Keys() {
    static const QStringList keys = [] {
        const char* const names[] = {"calibrate_sensor",
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
        QStringList list;
        for (const char* n : names)
            list.append(QLatin1Char('"') + QLatin1String(n) + QLatin1Char('"'));
        return list;
    }();
    return keys;
}

QByteArray LineDo(const QString& key) {
    return kPrefix + kVerbDo + QuotedKey(key) + kCrLf;
}

QByteArray LineDoArg(const QString& key, const QString& argument) {
    return kPrefix + kVerbDo + QuotedKey(key) + ' ' + QuotedArgument(argument) + kCrLf;
}

QByteArray LineDoArgs(const QString& key, const QString& subKey, const QString& argument) {
    return kPrefix + kVerbDo + QuotedKey(key) + ' ' + QuotedKey(subKey) + ' ' +
           QuotedArgument(argument) + kCrLf;
}

QByteArray LineSetVal(const QString& key, const QString& value) {
    return kPrefix + kVerbSetVal + QuotedKey(key) + ' ' + QuotedArgument(value) + kCrLf;
}

QByteArray LineGetVal(const QString& key) {
    return kPrefix + kVerbGetVal + QuotedKey(key) + kCrLf;
}

bool CmdOpen(pellum::PrinterSession& session) {
    const std::int32_t code = session.Lib().Open(session.Port());
    session.SetLastResult(code);
    // 5: the port is still open from an earlier step; it is usable.
    if (code == 0 || code == 5)
        return true;
    ReportOpenFailure(code);
    return false;
}

void CmdClose(pellum::PrinterSession& session) {
    // The printer object stays with the session, so a later CmdOpen works
    // without a new create.
    session.Lib().Close();
}

bool CmdHoldOpen(pellum::PrinterSession& session) {
    if (session.portHeld)
        return true;
    const std::int32_t code = session.Lib().Open(session.Port());
    session.SetLastResult(code);
    // A held connection must be one this call opened: 5 (opened elsewhere)
    // is refused.
    if (code != 0) {
        ReportOpenFailure(code);
        // Not held: the next CmdHoldOpen tries again instead of reporting a
        // connection that does not exist.
        return false;
    }
    session.portHeld = true;
    return true;
}

void CmdRelease(pellum::PrinterSession& session) {
    if (!session.portHeld)
        return;
    session.Lib().Close();
    session.portHeld = false;
}

void CmdDo(pellum::PrinterSession& session, const QString& key) {
    if (!CmdOpen(session))
        return;
    WriteLine(session, LineDo(key));
    CmdClose(session);
}

void CmdDoArg(pellum::PrinterSession& session, const QString& key, const QString& argument) {
    if (!CmdOpen(session))
        return;
    WriteLine(session, LineDoArg(key, argument));
}

void CmdDoArgs(pellum::PrinterSession& session, const QString& key, const QString& subKey,
               const QString& argument) {
    if (!CmdOpen(session))
        return;
    WriteLine(session, LineDoArgs(key, subKey, argument));
}

void CmdSetVal(pellum::PrinterSession& session, const QString& key, const QString& value) {
    WriteLine(session, LineSetVal(key, LowerAscii(value)));
}

void CmdSetValExact(pellum::PrinterSession& session, const QString& key, const QString& value) {
    WriteLine(session, LineSetVal(key, value));
}

namespace {

// Reads and drops the rest of a reply that was longer than the reply
// capacity, up to and including its NUL. Bounded: a printer that never ends
// its reply costs at most a few reads, each ending at the port's timeout.
void DiscardRestOfReply(pellum::PrinterSession& session) {
    constexpr int kMaxReads = 64; // 8 KiB of list text
    std::array<std::uint8_t, kReplyCapacity> scratch{};
    for (int i = 0; i < kMaxReads; ++i) {
        std::int32_t got = 0;
        const std::int32_t code =
            session.Lib().ReadEof(scratch.data(), 0, kReplyCapacity, 0, 0, &got);
        if (code != 0 || got <= 0 || got > kReplyCapacity ||
            scratch[static_cast<std::size_t>(got - 1)] == 0)
            return;
    }
}

} // namespace

QString CmdGetVal(pellum::PrinterSession& session, const QString& key) {
    QString result;
    if (!key.isEmpty())
        WriteLine(session, LineGetVal(key));
    pellum::Delay(kReplyWaitMs);

    std::array<std::uint8_t, 256> buffer{};
    std::int32_t count = 0;
    const std::int32_t code = session.Lib().ReadEof(buffer.data(), 0, kReplyCapacity, 0, 0, &count);
    session.SetLastResult(code);
    if (code != 0)
        return QString();
    // Never trust the count beyond what was asked for: longer replies are cut.
    if (count > kReplyCapacity)
        count = kReplyCapacity;
    // A cut reply still has its tail on the line; read it away up to its NUL,
    // or it would be taken for the reply to the next getval.
    if (count == kReplyCapacity && buffer[static_cast<std::size_t>(count - 1)] != 0)
        DiscardRestOfReply(session);
    for (std::int32_t i = 0; i < count; ++i)
        if (buffer[static_cast<std::size_t>(i)] != 0)
            result.append(QChar(static_cast<char16_t>(buffer[static_cast<std::size_t>(i)])));
    return result;
}

} // namespace PrinterCMD
