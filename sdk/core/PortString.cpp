#include "core/PortString.h"

#include "PellumSdk.h"
#include "ports/PortNames.h"

#include <algorithm>
#include <cctype>

namespace pellum::sdk {
namespace {

std::string Trim(const std::string& text) {
    const auto first = text.find_first_not_of(" \t\r\n");
    if (first == std::string::npos) {
        return {};
    }
    const auto last = text.find_last_not_of(" \t\r\n");
    return text.substr(first, last - first + 1);
}

std::string Upper(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    return text;
}

std::string Lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

// Decimal digits only, value in [1, max]; 0 otherwise.
int ParseNumber(const std::string& text, int max) {
    if (text.empty() || text.size() > 9) {
        return 0;
    }
    int value = 0;
    for (char c : text) {
        if (!std::isdigit(static_cast<unsigned char>(c))) {
            return 0;
        }
        value = value * 10 + (c - '0');
    }
    return value <= max ? value : 0;
}

std::int32_t ParseNetwork(const std::string& target, PortSpec& spec) {
    std::string host = target;
    std::string port;
    if (!host.empty() && host.front() == '[') {
        const auto close = host.find(']');
        if (close == std::string::npos) {
            return PELLUM_ERR_BAD_PORT;
        }
        const std::string rest = host.substr(close + 1);
        host = host.substr(1, close - 1);
        if (!rest.empty()) {
            if (rest.front() != ':') {
                return PELLUM_ERR_BAD_PORT;
            }
            port = rest.substr(1);
            if (port.empty()) {
                return PELLUM_ERR_BAD_PORT;
            }
        }
    } else if (std::count(host.begin(), host.end(), ':') == 1) {
        const auto colon = host.find(':');
        port = host.substr(colon + 1);
        host = host.substr(0, colon);
        if (port.empty()) {
            return PELLUM_ERR_BAD_PORT;
        }
    } // more than one colon: an IPv6 address without a port
    host = Trim(host);
    port = Trim(port);
    if (host.empty() || host.find_first_of(" \t") != std::string::npos) {
        return PELLUM_ERR_BAD_PORT;
    }
    spec.tcpPort = port.empty() ? kDefaultTcpPort : ParseNumber(port, 65535);
    if (spec.tcpPort == 0) {
        return PELLUM_ERR_BAD_PORT;
    }
    spec.kind = PortSpec::Kind::Network;
    spec.host = host;
    spec.name = "NET";
    return PELLUM_OK;
}

} // namespace

std::string PortSpec::Key() const {
    switch (kind) {
    case Kind::Usb:
        return "USB";
    case Kind::Serial:
        return name + "," + std::to_string(baud);
    case Kind::Parallel:
        return name;
    case Kind::Network:
        return "NET," + Lower(host) + ":" + std::to_string(tcpPort);
    }
    return {};
}

std::int32_t ParsePortString(const std::string& text, PortSpec& spec) {
    spec = PortSpec{};
    const std::string trimmed = Trim(text);
    const std::string upper = Upper(trimmed);
    if (upper == "USB" || upper == "USB:") {
        spec.kind = PortSpec::Kind::Usb;
        spec.name = "USB";
        return PELLUM_OK;
    }
    if (upper.rfind("NET,", 0) == 0) {
        return ParseNetwork(Trim(trimmed.substr(4)), spec);
    }
    const auto comma = trimmed.find(',');
    const std::string name = Trim(trimmed.substr(0, comma));
    std::string kind;
    int number = 0;
    if (!ports::SplitPortName(name, kind, number)) {
        return PELLUM_ERR_BAD_PORT;
    }
    spec.name = kind + std::to_string(number);
    if (kind == "LPT") {
        if (comma != std::string::npos) {
            return PELLUM_ERR_BAD_PORT;
        }
        spec.kind = PortSpec::Kind::Parallel;
        return PELLUM_OK;
    }
    spec.kind = PortSpec::Kind::Serial;
    spec.baud = kDefaultBaud;
    if (comma != std::string::npos) {
        const std::string setting = Upper(Trim(trimmed.substr(comma + 1)));
        const std::string prefix = "BAUDRATE_";
        if (setting.rfind(prefix, 0) != 0) {
            return PELLUM_ERR_BAD_PORT;
        }
        spec.baud = ParseNumber(Trim(setting.substr(prefix.size())), 100000000);
        if (spec.baud == 0) {
            return PELLUM_ERR_BAD_PORT;
        }
    }
    return PELLUM_OK;
}

} // namespace pellum::sdk
