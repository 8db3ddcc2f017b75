#include "core/PrinterObjects.h"

#include "core/PortString.h"
#include "ports/Port.h"
#include "ports/PortNames.h"

#include <cstring>
#include <memory>
#include <mutex>
#include <shared_mutex>
#include <unordered_map>

namespace pellum::sdk {
namespace {

constexpr std::size_t kMaxTextUnits = 4096;
constexpr std::size_t kSerialNumberSize = 32;
// The two commands of the TSPL library's own functions.
constexpr std::uint8_t kSelfTestCommand[] = {0x53, 0x45, 0x4C, 0x46, 0x54,
                                             0x45, 0x53, 0x54, 0x0D, 0x0A}; // "SELFTEST\r\n"
constexpr std::uint8_t kGetSerialCommand[] = {0x5A, 0x5A, 0x5A, 0x47, 0x45,
                                              0x54, 0x53, 0x4E, 0x0D, 0x0A}; // "ZZZGETSN\r\n"

struct PrinterObject {
    std::u16string model;
    // Exclusive for open, close and destroy; shared for transfers.
    std::shared_mutex lifecycle;
    std::unique_ptr<ports::Port> port;
    std::string portKey;
    bool destroyed = false;
};

class Registry {
public:
    PellumHandle Add(std::u16string model) {
        auto object = std::make_shared<PrinterObject>();
        object->model = std::move(model);
        std::lock_guard<std::mutex> lock(mutex_);
        const std::uintptr_t key = next_++;
        objects_.emplace(key, std::move(object));
        return reinterpret_cast<PellumHandle>(key);
    }

    // The object leaves the registry; a thread still inside a transfer keeps
    // its own reference until that transfer ends.
    std::shared_ptr<PrinterObject> Remove(PellumHandle handle) {
        std::lock_guard<std::mutex> lock(mutex_);
        const auto it = objects_.find(reinterpret_cast<std::uintptr_t>(handle));
        if (it == objects_.end()) {
            return nullptr;
        }
        auto object = std::move(it->second);
        objects_.erase(it);
        return object;
    }

    std::shared_ptr<PrinterObject> Find(PellumHandle handle) {
        std::lock_guard<std::mutex> lock(mutex_);
        const auto it = objects_.find(reinterpret_cast<std::uintptr_t>(handle));
        return it == objects_.end() ? nullptr : it->second;
    }

private:
    std::mutex mutex_;
    std::unordered_map<std::uintptr_t, std::shared_ptr<PrinterObject>> objects_;
    std::uintptr_t next_ = 1;
};

// Never destroyed: a thread still inside the library at process exit (or
// after the library is unloaded) must not find it gone.
Registry& Objects() {
    static Registry* registry = new Registry;
    return *registry;
}

std::int32_t OpenSpec(const PortSpec& spec, std::unique_ptr<ports::Port>& port) {
    const ports::Timing timing = ports::Timing::FromEnvironment();
    ports::OpenResult opened;
    switch (spec.kind) {
    case PortSpec::Kind::Network:
        opened = ports::OpenTcpPort(spec.host, spec.tcpPort, timing);
        break;
    case PortSpec::Kind::Usb:
        opened =
            ports::OpenUsbPort(ports::DeviceForPort("USB", ports::DefaultPortMapPath()), timing);
        break;
    case PortSpec::Kind::Serial:
    case PortSpec::Kind::Parallel: {
        const std::string device = ports::DeviceForPort(spec.name, ports::DefaultPortMapPath());
        if (device.empty()) {
            return PELLUM_ERR_NO_DEVICE;
        }
        opened = spec.kind == PortSpec::Kind::Serial
                     ? ports::OpenSerialPort(device, spec.baud, timing)
                     : ports::OpenParallelPort(device, timing);
        break;
    }
    }
    port = std::move(opened.port);
    return opened.code;
}

std::int32_t Transfer(PellumHandle handle, auto&& action) {
    const auto object = Objects().Find(handle);
    if (!object) {
        return PELLUM_ERR_BAD_HANDLE;
    }
    std::shared_lock<std::shared_mutex> lock(object->lifecycle);
    if (!object->port) {
        return PELLUM_ERR_NOT_OPEN;
    }
    return action(*object->port);
}

} // namespace

bool Utf16ToUtf8(const PellumChar* text, std::size_t maxUnits, std::string& out) {
    out.clear();
    if (text == nullptr) {
        return true;
    }
    std::size_t i = 0;
    for (; text[i] != 0; ++i) {
        if (i >= maxUnits) {
            return false;
        }
        char32_t c = text[i];
        if (c >= 0xD800 && c <= 0xDBFF && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
            c = 0x10000 + ((c - 0xD800) << 10) + (text[i + 1] - 0xDC00);
            ++i;
        } else if (c >= 0xD800 && c <= 0xDFFF) {
            c = 0xFFFD;
        }
        if (c < 0x80) {
            out += static_cast<char>(c);
        } else if (c < 0x800) {
            out += static_cast<char>(0xC0 | (c >> 6));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            out += static_cast<char>(0xE0 | (c >> 12));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | (c >> 18));
            out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return true;
}

std::int32_t CreatePrinter(PellumHandle* handle, const PellumChar* model) {
    if (handle == nullptr) {
        return PELLUM_ERR_BAD_HANDLE;
    }
    std::u16string name;
    if (model != nullptr) {
        for (std::size_t i = 0; model[i] != 0; ++i) {
            if (i >= kMaxTextUnits) {
                return PELLUM_ERR_BAD_HANDLE;
            }
            name += model[i];
        }
    }
    *handle = Objects().Add(std::move(name));
    return PELLUM_OK;
}

std::int32_t DestroyPrinter(PellumHandle* handle) {
    if (handle == nullptr) {
        return PELLUM_ERR_BAD_HANDLE;
    }
    const auto object = Objects().Remove(*handle);
    if (!object) {
        return PELLUM_ERR_BAD_HANDLE;
    }
    std::unique_lock<std::shared_mutex> lock(object->lifecycle);
    object->port.reset();
    object->portKey.clear();
    object->destroyed = true;
    // The object is freed with its last reference; the handle is no longer
    // known, so a later call through it is refused as a bad handle.
    return PELLUM_OK;
}

std::int32_t OpenPort(PellumHandle handle, const PellumChar* port) {
    const auto object = Objects().Find(handle);
    if (!object) {
        return PELLUM_ERR_BAD_HANDLE;
    }
    std::string text;
    if (port == nullptr || !Utf16ToUtf8(port, kMaxTextUnits, text)) {
        return PELLUM_ERR_BAD_PORT;
    }
    PortSpec spec;
    if (const std::int32_t parsed = ParsePortString(text, spec); parsed != PELLUM_OK) {
        return parsed;
    }
    std::unique_lock<std::shared_mutex> lock(object->lifecycle);
    if (object->port) {
        if (object->portKey == spec.Key()) {
            return PELLUM_ERR_ALREADY_OPEN; // still open and usable
        }
        // Another port: writing to the old one would reach the wrong printer.
        object->port.reset();
        object->portKey.clear();
    }
    std::unique_ptr<ports::Port> opened;
    const std::int32_t result = OpenSpec(spec, opened);
    object->destroyed = false;
    if (result == PELLUM_OK) {
        object->port = std::move(opened);
        object->portKey = spec.Key();
    }
    return result;
}

std::int32_t ClosePort(PellumHandle handle) {
    const auto object = Objects().Find(handle);
    if (!object) {
        return PELLUM_ERR_BAD_HANDLE;
    }
    std::unique_lock<std::shared_mutex> lock(object->lifecycle);
    object->port.reset();
    object->portKey.clear();
    return PELLUM_OK;
}

std::int32_t WriteData(PellumHandle handle, const std::uint8_t* data, std::int32_t count) {
    if (count < 0 || (data == nullptr && count > 0)) {
        return PELLUM_ERR_BAD_HANDLE;
    }
    return Transfer(handle, [&](ports::Port& port) {
        return port.Write(data, static_cast<std::size_t>(count));
    });
}

std::int32_t ReadData(PellumHandle handle, std::uint8_t* buffer, std::int32_t size,
                      std::int32_t* delivered) {
    if (delivered != nullptr) {
        *delivered = 0;
    }
    if (delivered == nullptr || size < 0 || (buffer == nullptr && size > 0)) {
        return PELLUM_ERR_BAD_HANDLE;
    }
    return Transfer(handle, [&](ports::Port& port) {
        std::size_t count = 0;
        const std::int32_t result = port.Read(buffer, static_cast<std::size_t>(size), count);
        *delivered = static_cast<std::int32_t>(count);
        return result;
    });
}

std::int32_t ReadDataEOF(PellumHandle handle, std::uint8_t* buffer, std::int32_t /*value32*/,
                         std::int32_t size, std::uint8_t /*value8*/, std::uint8_t endByte,
                         std::int32_t* delivered) {
    if (delivered != nullptr) {
        *delivered = 0;
    }
    if (delivered == nullptr || size < 0 || (buffer == nullptr && size > 0)) {
        return PELLUM_ERR_BAD_HANDLE;
    }
    return Transfer(handle, [&](ports::Port& port) {
        std::size_t count = 0;
        const std::int32_t result =
            port.ReadUntil(buffer, static_cast<std::size_t>(size), endByte, count);
        *delivered = static_cast<std::int32_t>(count);
        return result;
    });
}

std::int32_t SelfTest(PellumHandle handle) {
    return Transfer(handle, [&](ports::Port& port) {
        return port.Write(kSelfTestCommand, sizeof kSelfTestCommand);
    });
}

std::int32_t GetSerialNumber(PellumHandle handle, std::uint8_t* buffer32) {
    if (buffer32 == nullptr) {
        return PELLUM_ERR_BAD_HANDLE;
    }
    std::memset(buffer32, 0, kSerialNumberSize);
    return Transfer(handle, [&](ports::Port& port) {
        const std::int32_t written = port.Write(kGetSerialCommand, sizeof kGetSerialCommand);
        if (written != PELLUM_OK) {
            return written;
        }
        std::size_t count = 0;
        const std::int32_t result = port.Read(buffer32, kSerialNumberSize, count);
        if (result == PELLUM_OK && count == 0) {
            return static_cast<std::int32_t>(PELLUM_ERR_TIMEOUT);
        }
        return result;
    });
}

std::u16string ModelName(PellumHandle handle) {
    const auto object = Objects().Find(handle);
    if (!object) {
        return {};
    }
    std::shared_lock<std::shared_mutex> lock(object->lifecycle);
    return object->model;
}

} // namespace pellum::sdk
