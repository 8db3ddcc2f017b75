#include "ServiceCommands.h"

#include <cmath>

namespace vp {

namespace {

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

std::string versionText(const std::vector<int>& v) {
    std::string s;
    for (std::size_t i = 0; i < v.size(); ++i) {
        s += (i ? "." : "") + std::to_string(v[i]);
    }
    return s;
}

} // namespace

const std::vector<FixedCommand>& ServiceCommands::commands() {
    static const std::vector<FixedCommand> table{
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

void ServiceCommands::command(int link, const FixedCommand& c, Actions& out) {
    std::string kind = c.kind;
    std::string form = c.form;
    JsonLine j(kind);
    j.hex(c.bytes);
    if (!form.empty()) {
        j.str("form", form);
    }
    if (kind == "emulation-query") {
        j.num("emulation", p_.emulation());
        p_.write(j);
        reply(out, link, kind, Bytes{static_cast<std::uint8_t>(p_.emulation())});
    } else if (kind == "factory-default") {
        p_.factoryDefaults();
        out.stateChanged = true;
        j.flag("restored", true);
        p_.write(j);
    } else {
        p_.write(j);
    }
}

bool ServiceCommands::textLine(int link, const Bytes& line, const std::string& s, Actions& out) {
    auto cmd = textCommands().find(s);
    if (cmd == textCommands().end()) {
        return false;
    }
    const Profile& profile = p_.profile;
    const std::string& kind = cmd->second;
    JsonLine j(kind);
    j.hex(line);
    if (kind == "version-query") {
        Bytes v;
        for (int x : profile.version) {
            v.push_back(static_cast<std::uint8_t>(x));
        }
        j.str("version", versionText(profile.version));
        p_.write(j);
        reply(out, link, kind, v);
    } else if (kind == "journey-query") {
        auto count = static_cast<std::int32_t>(std::llround(profile.printedLengthM * 1000.0 / 3.0));
        auto u = static_cast<std::uint32_t>(count);
        j.num("count", count).real("metres", profile.printedLengthM);
        p_.write(j);
        reply(out, link, kind,
              Bytes{static_cast<std::uint8_t>(u >> 24), static_cast<std::uint8_t>(u >> 16),
                    static_cast<std::uint8_t>(u >> 8), static_cast<std::uint8_t>(u)});
    } else if (kind == "serial-query") {
        std::string serial =
            profile.protocol == Protocol::KeyValue ? p_.value("serial_no") : profile.serial;
        j.str("serial", serial);
        p_.write(j);
        reply(out, link, kind, toBytes(serial + "\r\n"));
    } else {
        p_.write(j);
    }
    return true;
}

} // namespace vp
