#include "ports/PortNames.h"

#include <dlfcn.h>
#include <fcntl.h>
#include <link.h>
#include <linux/serial.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <fstream>
#include <map>
#include <sstream>
#include <utility>

namespace pellum::ports {
namespace {

constexpr char kPortsSection[] = "ports";
constexpr std::size_t kMaxValueLength = 2047;

std::string ToUpper(std::string text) {
    for (char& c : text) {
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    }
    return text;
}

bool EqualsIgnoringCase(const std::string& a, const std::string& b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) ==
                      std::tolower(static_cast<unsigned char>(y));
           });
}

std::string Trim(const std::string& text) {
    const auto first = text.find_first_not_of(" \t\r\n");
    if (first == std::string::npos) {
        return {};
    }
    const auto last = text.find_last_not_of(" \t\r\n");
    return text.substr(first, last - first + 1);
}

// The key/value pairs of the first [Ports] section, in file order. Section
// and key names match without regard to case, the first key wins, lines
// starting with ';' are comments, values lose surrounding blanks and one
// pair of surrounding double quotes.
std::vector<std::pair<std::string, std::string>> ReadPortsSection(const std::string& path) {
    std::vector<std::pair<std::string, std::string>> entries;
    if (path.empty()) {
        return entries;
    }
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        return entries;
    }
    std::string line;
    bool first = true;
    bool inSection = false;
    bool sectionSeen = false;
    while (std::getline(in, line)) {
        if (first && line.compare(0, 3, "\xEF\xBB\xBF") == 0) {
            line.erase(0, 3);
        }
        first = false;
        const std::string trimmed = Trim(line);
        if (trimmed.empty() || trimmed[0] == ';') {
            continue;
        }
        if (trimmed[0] == '[') {
            const auto close = trimmed.find(']');
            const std::string name =
                Trim(trimmed.substr(1, close == std::string::npos ? std::string::npos : close - 1));
            if (inSection) {
                break; // only the first [Ports] section counts
            }
            inSection = !sectionSeen && EqualsIgnoringCase(name, kPortsSection);
            sectionSeen = sectionSeen || inSection;
            continue;
        }
        if (!inSection) {
            continue;
        }
        const auto equals = trimmed.find('=');
        if (equals == std::string::npos) {
            continue;
        }
        const std::string key = Trim(trimmed.substr(0, equals));
        std::string value = Trim(trimmed.substr(equals + 1));
        if (value.size() >= 2 && value.front() == '"' && value.back() == '"') {
            value = value.substr(1, value.size() - 2);
        }
        if (value.size() > kMaxValueLength) {
            value.resize(kMaxValueLength);
        }
        const bool known = std::any_of(entries.begin(), entries.end(), [&](const auto& entry) {
            return EqualsIgnoringCase(entry.first, key);
        });
        if (!key.empty() && !known) {
            entries.emplace_back(key, value);
        }
    }
    return entries;
}

bool NodeExists(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0;
}

// The built-in mapping of a port name, without PortMap.ini.
std::string BuiltInDevice(const std::string& kind, int number) {
    if (kind == "COM") {
        if (number >= 1 && number <= 32) {
            return "/dev/ttyS" + std::to_string(number - 1);
        }
        if (number >= 33 && number <= 64) {
            return "/dev/ttyUSB" + std::to_string(number - 33);
        }
        if (number >= 65 && number <= 96) {
            return "/dev/ttyACM" + std::to_string(number - 65);
        }
    } else if (kind == "LPT") {
        if (number >= 1 && number <= 8) {
            return "/dev/lp" + std::to_string(number - 1);
        }
    }
    return {};
}

// An 8250 port that the kernel registered without finding a UART reports
// type PORT_UNKNOWN. sysfs tells without opening the device (opening a serial
// port raises its modem lines); TIOCGSERIAL is the fallback.
bool IsGhostSerialPort(int index) {
    std::ifstream type("/sys/class/tty/ttyS" + std::to_string(index) + "/type");
    int value = -1;
    if (type >> value) {
        return value == PORT_UNKNOWN;
    }
    const std::string device = "/dev/ttyS" + std::to_string(index);
    const int fd = ::open(device.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        return false; // cannot tell (e.g. no permission): list it
    }
    struct serial_struct info {};
    const bool ghost = ::ioctl(fd, TIOCGSERIAL, &info) == 0 && info.type == PORT_UNKNOWN;
    ::close(fd);
    return ghost;
}

bool HasHardware(const std::string& kind, int number, const std::string& device) {
    if (!NodeExists(device)) {
        return false;
    }
    if (kind == "COM" && number >= 1 && number <= 32) {
        return !IsGhostSerialPort(number - 1);
    }
    return true;
}

std::string FolderOf(const std::string& path) {
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? std::string("./") : path.substr(0, slash + 1);
}

} // namespace

bool SplitPortName(const std::string& name, std::string& kind, int& number) {
    std::string text = Trim(name);
    if (!text.empty() && text.back() == ':') {
        text.pop_back();
    }
    if (text.size() < 4) {
        return false;
    }
    const std::string prefix = ToUpper(text.substr(0, 3));
    if (prefix != "COM" && prefix != "LPT") {
        return false;
    }
    long value = 0;
    for (std::size_t i = 3; i < text.size(); ++i) {
        if (!std::isdigit(static_cast<unsigned char>(text[i])) || value > 100000) {
            return false;
        }
        value = value * 10 + (text[i] - '0');
    }
    if (value < 1) {
        return false;
    }
    kind = prefix;
    number = static_cast<int>(value);
    return true;
}

std::string DeviceForPort(const std::string& name, const std::string& portMapIniPath) {
    std::string text = Trim(name);
    if (!text.empty() && text.back() == ':') {
        text.pop_back();
    }
    std::string kind;
    int number = 0;
    const bool isUsb = EqualsIgnoringCase(text, "USB");
    if (!isUsb && !SplitPortName(text, kind, number)) {
        return {};
    }
    // An entry with an empty value is no entry (the INI rules cannot tell the
    // two apart), so the built-in mapping stays.
    for (const auto& [key, value] : ReadPortsSection(portMapIniPath)) {
        if (value.empty()) {
            continue;
        }
        if (isUsb) {
            if (EqualsIgnoringCase(key, "USB")) {
                return value;
            }
            continue;
        }
        // "COM05" names the same port as "COM5".
        std::string keyKind;
        int keyNumber = 0;
        if (SplitPortName(key, keyKind, keyNumber) && keyKind == kind && keyNumber == number) {
            return value;
        }
    }
    return isUsb ? std::string() : BuiltInDevice(kind, number);
}

std::vector<PortEntry> EnumeratePorts(const std::string& kind, const std::string& portMapIniPath) {
    const std::string wanted = ToUpper(kind);
    std::map<int, std::string> ports; // number -> device, ordered by number
    if (wanted == "COM" || wanted == "LPT") {
        const int last = wanted == "COM" ? 96 : 8;
        for (int number = 1; number <= last; ++number) {
            const std::string device = BuiltInDevice(wanted, number);
            if (HasHardware(wanted, number, device)) {
                ports[number] = device;
            }
        }
        // PortMap.ini adds names and overrides built-in ones; the first entry
        // for a number wins ("COM5" and "COM05" are the same port).
        std::map<int, std::string> mapped;
        for (const auto& [key, value] : ReadPortsSection(portMapIniPath)) {
            std::string keyKind;
            int number = 0;
            if (!value.empty() && SplitPortName(key, keyKind, number) && keyKind == wanted) {
                mapped.emplace(number, value);
            }
        }
        for (const auto& [number, device] : mapped) {
            ports[number] = device;
        }
    }
    std::vector<PortEntry> result;
    result.reserve(ports.size());
    for (const auto& [number, device] : ports) {
        result.push_back({wanted + std::to_string(number) + ":", device});
    }
    return result;
}

std::string DefaultPortMapPath() {
    if (const char* env = std::getenv("PELLUM_PORTMAP"); env != nullptr && *env != '\0') {
        return env;
    }
    // The folder of the object this code lives in: a printer library, or the
    // program when it is linked in statically.
    Dl_info info{};
    struct link_map* map = nullptr;
    std::string object;
    if (::dladdr1(reinterpret_cast<void*>(&DefaultPortMapPath), &info,
                  reinterpret_cast<void**>(&map), RTLD_DL_LINKMAP) != 0 &&
        map != nullptr && map->l_name != nullptr && map->l_name[0] != '\0') {
        object = map->l_name;
    } else {
        char buffer[4096];
        const ssize_t length = ::readlink("/proc/self/exe", buffer, sizeof buffer - 1);
        if (length > 0) {
            object.assign(buffer, static_cast<std::size_t>(length));
        }
    }
    if (char* real = ::realpath(object.c_str(), nullptr); real != nullptr) {
        object = real;
        std::free(real);
    }
    return FolderOf(object) + "files/PortMap.ini";
}

} // namespace pellum::ports
